#include "monitor/Supervisor.h"

#include "acquisition/ConnectionManager.h"
#include "config/Settings.h"
#include "core/Clock.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "inverter/OutputRequests.h"
#include "monitor/DayChange.h"
#include "monitor/EnergyFlowEvents.h"
#include "monitor/ProgressSaver.h"

namespace quorvane {

namespace {

constexpr size_t kTimerA = 0;
constexpr size_t kTimerB = 1;

} // namespace

Supervisor::Supervisor(const Clock& clock, const LocaleFormats& formats, TDati& settings, OutputRequests& requests,
                       ConnectionManager& connection, EventMemo& memo, DayChange& dayChange, EnergyFlowEvents& events,
                       ProgressSaver& progress, SupervisorHost& host)
    : m_clock(clock)
    , m_formats(formats)
    , m_settings(settings)
    , m_requests(requests)
    , m_connection(connection)
    , m_memo(memo)
    , m_dayChange(dayChange)
    , m_events(events)
    , m_progress(progress)
    , m_host(host)
{
    // The first tick compares with the moment the program started.
    const QDateTime now = clock.now();
    m_tickClock = now.time();
    m_prevTickClock = m_tickClock;
    m_dayReference = now;
    m_panel3 = formats.dateTime(now);
}

bool Supervisor::Fires(const QTime& switchTime, const QTime& previousTick, const QTime& tick)
{
    return tick >= switchTime && previousTick < switchTime;
}

void Supervisor::TimerTimer()
{
    // 1. The tick's clock.
    m_tickTime = m_clock.now();
    m_prevTickClock = m_tickClock;
    m_tickClock = m_tickTime.time();
    m_panel3 = m_formats.dateTime(m_tickTime);

    // 2. Every 350 ticks the rated information is read again.
    if (++m_tickCount == kTicksBetweenStatusRequests) {
        m_tickCount = 0;
        m_requests.StatusRequest = true;
    }

    // 3.-4. Display refresh, watchdog.
    m_host.RefreshDisplay();
    m_connection.Watchdog();

    // 5.-6. Timers A and B; C and D never fire.
    runTimers();

    // 7. The day change, with the day that ended taken from the reference.
    if (m_tickTime.date() != m_dayReference.date()) {
        m_dayChange.Run(m_dayReference, m_tickTime);
        m_dayReference = m_tickTime;
    }

    // 8.-9. Events; the readings and the cycle count this tick saw.
    m_events.ReportEnergyFlowEvents(m_formats.dateTime(m_tickTime));
    m_connection.NoteProgress();

    // What a crash would lose, on disk once a minute.
    m_progress.SaveIfDue(m_dayReference.date());
}

bool Supervisor::firesOnce(Switch which, const QTime& switchTime)
{
    if (!Fires(switchTime, m_prevTickClock, m_tickClock))
        return false;
    LastFiring& last = m_lastFiring[which];
    const QDate today = m_tickTime.date();
    if (last.day == today && last.switchTime == switchTime)
        return false;
    last = {today, switchTime};
    return true;
}

void Supervisor::runTimers()
{
    if (m_settings.TimerEnabled[kTimerA]) {
        if (firesOnce(AOn, m_settings.TimeOn[kTimerA].time())) {
            m_host.SetReqByWebBox(true);
            m_settings.ReqByWeb = true;
            m_memo.AddEventLine(" Timer ON ");
        }
        if (firesOnce(AOff, m_settings.TimeOff[kTimerA].time())) {
            m_host.SetReqByWebBox(false);
            m_settings.ReqByWeb = false;
            m_memo.AddEventLine(" Timer OFF ");
        }
    }
    if (m_settings.TimerEnabled[kTimerB]) {
        if (firesOnce(BOn, m_settings.TimeOn[kTimerB].time())) {
            m_requests.SetSolRequest = true;
            m_memo.AddEventLine(" Timer SOL/SBU ON ( set SOL )");
        }
        if (firesOnce(BOff, m_settings.TimeOff[kTimerB].time())) {
            m_requests.SetSbuRequest = true;
            m_memo.AddEventLine(" Timer SOL/SBU OFF ( set SBU )");
        }
    }
}

} // namespace quorvane
