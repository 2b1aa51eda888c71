#pragma once

#include "WaitUntil.h"
#include "acquisition/CyclePacer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvane::fakes {

// A pause between cycles that lasts until the test lets the thread go: the test decides
// exactly how many cycles run, with no real measuring interval.
class GatedPacer final : public CyclePacer {
public:
    void Wait(std::chrono::milliseconds) override
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_releases > 0 || m_interrupted; });
        if (m_releases > 0)
            --m_releases;
        --m_waiting;
    }
    void Interrupt() override
    {
        const std::lock_guard lock(m_mutex);
        m_interrupted = true;
        m_changed.notify_all();
    }
    // Ends one pause (the one under way, or the next one).
    void Release()
    {
        const std::lock_guard lock(m_mutex);
        ++m_releases;
        m_changed.notify_all();
    }
    [[nodiscard]] bool Waiting() const
    {
        const std::lock_guard lock(m_mutex);
        return m_waiting > 0;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waiting = 0;
    int m_releases = 0;
    bool m_interrupted = false;
};

// Runs the calling thread's event loop (it plays the core thread) until the condition holds.
// The limit only ends a test that would hang; a busy machine gets all the time it needs.
inline bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience)
{
    QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace quorvane::fakes
