#pragma once

#include <chrono>
#include <functional>

namespace quorvane::sim {

// What a simulated device's thread waits for: requests on its end of the line, a wake-up from
// another thread (stop, unplug), and the moment the next bytes of a reply are due.
// The device thread waits; any thread may wake it.
class LineWaiter {
public:
    enum class Event { Readable, WokenUp, Failed };

    LineWaiter();
    ~LineWaiter();
    LineWaiter(const LineWaiter&) = delete;
    LineWaiter& operator=(const LineWaiter&) = delete;

    void Wake();
    // Until `fd` has something to read or a wake-up comes (taken here).
    [[nodiscard]] Event WaitForInput(int fd);
    // Sleeps until `due`; false when `stopped` says so after a wake-up on the way.
    [[nodiscard]] bool SleepUntil(std::chrono::steady_clock::time_point due, const std::function<bool()>& stopped);

private:
    void drainWakeUps();

    int m_wakePipe[2] = {-1, -1};
};

} // namespace quorvane::sim
