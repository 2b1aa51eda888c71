#pragma once

#include "InverterModel.h"

#include <atomic>
#include <string>
#include <thread>

namespace quorvane::sim {

// An inverter on a real pseudo-terminal: the program under test opens DevicePath() as its
// serial port. The line thread, owned by this object, reads requests up to their CR and
// writes the model's replies at the model's pace. Start-up is complete when the constructor
// returns (the device exists and is raw); the destructor stops and joins the thread.
class PtyInverter {
public:
    explicit PtyInverter(InverterModel& model);
    ~PtyInverter();
    PtyInverter(const PtyInverter&) = delete;
    PtyInverter& operator=(const PtyInverter&) = delete;

    [[nodiscard]] const std::string& DevicePath() const { return m_devicePath; }
    // Pulls the cable: the pty is closed, the port's reads and writes fail from now on.
    void Unplug();

private:
    void run();
    bool sendReply(const ReplySchedule& reply);
    bool waitForStop(int timeoutMs);
    void closeLine();

    InverterModel& m_model;
    int m_master = -1;
    int m_heldSlave = -1; // keeps the line up while no client has the port open
    int m_wakePipe[2] = {-1, -1};
    std::string m_devicePath;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_unplugRequested{false};
    std::thread m_thread;
};

} // namespace quorvane::sim
