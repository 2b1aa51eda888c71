#pragma once

#include "InverterModel.h"
#include "inverter/SerialTransport.h"

#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace quorvane::sim {

// The simulator's logic put directly behind the port interface, for tests that must run
// faster than a real line (whole simulated days). Time on this line is virtual: a read
// "waits" by moving the line's own clock, so a time-out costs nothing, yet delays, pauses and
// missing bytes end reads exactly where the real time-outs would.
// Used by one thread at a time, like any port.
class InProcessLine final : public SerialTransport {
public:
    explicit InProcessLine(InverterModel& model);

    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) override;
    void purge() override;
    LineStatus takeLineStatus() override;

private:
    bool lost();

    InverterModel& m_model;
    bool m_lost = false;
    Bytes m_request;
    std::deque<TimedByte> m_pending; // arrival times on the line's clock
    std::chrono::microseconds m_now{0};
};

// Hands out InProcessLines for device names, one open line per name at a time, as the
// exclusive open of a real port would.
class InProcessOpener final : public SerialOpener {
public:
    void Attach(const std::string& device, InverterModel& model);
    OpenedPort open(const std::string& device) override;

private:
    friend class ClaimedLine;
    void release(const std::string& device);

    std::mutex m_mutex;
    std::map<std::string, InverterModel*> m_models;
    std::set<std::string> m_claimed;
};

} // namespace quorvane::sim
