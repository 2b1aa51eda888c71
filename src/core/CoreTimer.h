#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace quorvane {

// A timer of the core thread with the handful of properties the handlers rely on: an
// interval, an enabled state and a handler. Driven by the event loop in the program; tests
// create it manual and fire it themselves, so five-second or one-hour timers cost nothing.
// Thread ownership: the core thread.
class CoreTimer final : public QObject {
    Q_OBJECT
public:
    enum class Drive { EventLoop, Manual };

    explicit CoreTimer(Drive drive, int intervalMs = 1000, QObject* parent = nullptr);

    void SetHandler(std::function<void()> handler) { m_handler = std::move(handler); }
    void SetEnabled(bool enabled);
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetInterval(int intervalMs);
    [[nodiscard]] int Interval() const { return m_intervalMs; }

    // Runs the handler as one expiry would, when the timer is enabled.
    void Fire();

private:
    void restart();

    Drive m_drive;
    bool m_enabled = false;
    int m_intervalMs;
    std::function<void()> m_handler;
    QTimer m_timer;
};

} // namespace quorvane
