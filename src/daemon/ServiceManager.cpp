#include "daemon/ServiceManager.h"

#include <systemd/sd-daemon.h>

#include <cstdint>

namespace quorvane {

ServiceManager::ServiceManager()
{
    std::uint64_t interval = 0;
    m_watchdogWanted = sd_watchdog_enabled(0, &interval) > 0;
}

void ServiceManager::Ready(const std::string& status)
{
    sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void ServiceManager::Alive()
{
    if (m_watchdogWanted)
        sd_notify(0, "WATCHDOG=1");
}

void ServiceManager::Stopping()
{
    sd_notify(0, "STOPPING=1");
}

void ServiceManager::Status(const std::string& status)
{
    sd_notifyf(0, "STATUS=%s", status.c_str());
}

} // namespace quorvane
