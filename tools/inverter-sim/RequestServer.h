#pragma once

#include "InverterModel.h"
#include "LineWaiter.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace quorvane::sim {

// What a simulated device does with its end of the line: gathers each request up to its CR,
// asks the model for the reply and hands the reply to the device to send. Devices differ only
// in how bytes arrive (HID reports, raw chunks) and how a reply leaves (8-byte reports, plain
// writes): those are the two steps a device gives. Once the model is unplugged the device end
// is closed, the hang-up every open port sees, and the line thread ends.
// The line thread, owned by this object, runs the steps and owns the device end while it
// runs. The owning device calls Start and Stop; the steps call SleepUntil.
class RequestServer {
public:
    // Reads what has arrived at the device end: the request's bytes, none when there were none.
    using ReadStep = std::function<Bytes(int deviceEnd)>;
    // Sends one reply on the device end, each part when SleepUntil says it is due; false when
    // the server stopped on the way.
    using ReplyStep = std::function<bool(int deviceEnd, const ReplySchedule& reply)>;

    RequestServer(InverterModel& model, ReadStep read, ReplyStep reply);
    ~RequestServer();
    RequestServer(const RequestServer&) = delete;
    RequestServer& operator=(const RequestServer&) = delete;

    // Takes `deviceEnd` over, makes it non-blocking and starts the line thread.
    void Start(int deviceEnd);
    // Ends and joins the line thread and closes the device end. Called again, does nothing.
    void Stop();
    // Sleeps until `due`; false when the server is stopping or the model was unplugged.
    [[nodiscard]] bool SleepUntil(std::chrono::steady_clock::time_point due);

private:
    void run();
    [[nodiscard]] bool stopped() const;
    void closeDeviceEnd();

    InverterModel& m_model;
    ReadStep m_read;
    ReplyStep m_reply;
    int m_deviceEnd = -1; // the line thread's while it runs
    LineWaiter m_waiter;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace quorvane::sim
