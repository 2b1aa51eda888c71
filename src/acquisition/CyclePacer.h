#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvane {

// The pause between two acquisition cycles. Interrupt() ends a pause at once (and every later
// one), so a thread told to stop never sits out a measuring interval of up to an hour.
// Thread ownership: Wait runs on the acquisition thread, Interrupt on the core thread.
class CyclePacer {
public:
    virtual ~CyclePacer() = default;
    virtual void Wait(std::chrono::milliseconds interval) = 0;
    virtual void Interrupt() = 0;
};

class RealTimePacer final : public CyclePacer {
public:
    void Wait(std::chrono::milliseconds interval) override
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, interval, [this] { return m_interrupted; });
    }
    void Interrupt() override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_interrupted = true;
        }
        m_wake.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_interrupted = false; // guarded by m_mutex
};

} // namespace quorvane
