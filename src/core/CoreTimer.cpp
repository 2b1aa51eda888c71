#include "core/CoreTimer.h"

namespace quorvane {

CoreTimer::CoreTimer(Drive drive, int intervalMs, QObject* parent)
    : QObject(parent), m_drive(drive), m_intervalMs(intervalMs), m_timer(this)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CoreTimer::Fire);
}

void CoreTimer::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    restart();
}

void CoreTimer::SetInterval(int intervalMs)
{
    m_intervalMs = intervalMs;
    restart();
}

void CoreTimer::restart()
{
    if (m_drive == Drive::Manual)
        return;
    if (m_enabled)
        m_timer.start(m_intervalMs);
    else
        m_timer.stop();
}

void CoreTimer::Fire()
{
    if (m_enabled && m_handler)
        m_handler();
}

} // namespace quorvane
