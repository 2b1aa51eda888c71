#pragma once

#include <QDateTime>

namespace quorvane {

// The one source of "now" for the whole core. Production uses the system clock; tests
// inject a clock they move by hand, so a simulated day runs in milliseconds.
// Implementations must be safe to call from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time, millisecond resolution.
    [[nodiscard]] virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace quorvane
