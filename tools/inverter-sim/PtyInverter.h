#pragma once

#include "InverterModel.h"
#include "LineWaiter.h"

#include <atomic>
#include <string>
#include <thread>

namespace quorvane::sim {

// An inverter on a real pseudo-terminal: the program under test opens DevicePath() as its
// serial port. The line thread, owned by this object, reads requests up to their CR and
// writes the model's replies at the model's pace. Start-up is complete when the constructor
// returns (the device exists and is raw); the destructor stops and joins the thread.
// The test's thread calls the public functions.
class PtyInverter {
public:
    explicit PtyInverter(InverterModel& model);
    ~PtyInverter();
    PtyInverter(const PtyInverter&) = delete;
    PtyInverter& operator=(const PtyInverter&) = delete;

    [[nodiscard]] const std::string& DevicePath() const { return m_devicePath; }
    // Pulls the cable: the model stops answering and the pty is closed. When this returns, the
    // device is gone and the port's reads and writes fail.
    void Unplug();
    // Reply bytes written to the line so far.
    [[nodiscard]] size_t BytesSent() const { return m_bytesSent.load(); }
    // Bytes that have reached the port's input queue and wait there to be read.
    [[nodiscard]] size_t UnreadBytes() const;

private:
    void run();
    bool sendReply(const ReplySchedule& reply);
    [[nodiscard]] bool stopped() const;
    void closeLine();

    InverterModel& m_model;
    int m_master = -1;     // the line thread's while it runs
    int m_heldSlave = -1;  // keeps the line up while no client has the port open
    LineWaiter m_waiter;
    std::string m_devicePath;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_bytesSent{0};
    std::thread m_thread;
};

} // namespace quorvane::sim
