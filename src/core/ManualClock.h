#pragma once

#include "core/Clock.h"

#include <atomic>
#include <chrono>

namespace quorvane {

// A clock that only moves when told to: for tests and for replaying days faster than real time.
// Thread-safe: the time is one atomic count of milliseconds since the epoch.
class ManualClock final : public Clock {
public:
    explicit ManualClock(const QDateTime& start) : m_msecs(start.toMSecsSinceEpoch()) {}

    [[nodiscard]] QDateTime now() const override
    {
        return QDateTime::fromMSecsSinceEpoch(m_msecs.load());
    }
    void set(const QDateTime& when) { m_msecs.store(when.toMSecsSinceEpoch()); }
    void advance(std::chrono::milliseconds step) { m_msecs.fetch_add(step.count()); }

private:
    std::atomic<qint64> m_msecs;
};

} // namespace quorvane
