#pragma once

#include <string>

namespace quorvane {

// Tells systemd how the service is doing (sd_notify): ready, alive, stopping. Without systemd
// (no NOTIFY_SOCKET in the environment) every call does nothing.
// Thread ownership: the main thread.
class ServiceManager {
public:
    ServiceManager();

    // Started: the web server listens and the first connection has been tried.
    void Ready(const std::string& status);
    // The core is alive; sent only when the unit asks for a watchdog.
    void Alive();
    void Stopping();
    // A line `systemctl status` shows.
    void Status(const std::string& status);

    [[nodiscard]] bool WatchdogWanted() const { return m_watchdogWanted; }

private:
    bool m_watchdogWanted = false;
};

} // namespace quorvane
