#pragma once

#include "InverterModel.h"
#include "RequestServer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace quorvane::sim {

// An inverter on a real pseudo-terminal: the program under test opens DevicePath() as its
// serial port. The line thread of its RequestServer, owned by this object, reads requests up
// to their CR and writes the model's replies at the model's pace. Start-up is complete when
// the constructor returns (the device exists and is raw); the destructor stops and joins the
// line thread. The test's thread calls the public functions; the line thread counts the bytes.
class PtyInverter {
public:
    // Told on the line thread the moment a reply's last byte has been written: the reply as
    // sent and that moment. For benchmarks that time what the program does after a reply.
    using ReplyWritten = std::function<void(const Bytes& reply, std::chrono::steady_clock::time_point lastByteAt)>;

    explicit PtyInverter(InverterModel& model, ReplyWritten replyWritten = {});
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
    bool sendReply(int master, const ReplySchedule& reply);
    void releaseSlave();

    InverterModel& m_model;
    int m_heldSlave = -1;  // keeps the line up while no client has the port open
    std::string m_devicePath;
    std::atomic<size_t> m_bytesSent{0};
    const ReplyWritten m_replyWritten; // may be empty
    // Last: built after, and stopped before, what its steps use. Its device end is the master.
    RequestServer m_server;
};

} // namespace quorvane::sim
