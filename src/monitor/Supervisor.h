#pragma once

#include <QDateTime>

#include <array>
#include <string>

namespace quorvane {

class Clock;
class ConnectionManager;
class DayChange;
class EnergyFlowEvents;
class EventMemo;
class LocaleFormats;
class ProgressSaver;
struct OutputRequests;
struct TDati;

// What the tick asks of the program around it.
class SupervisorHost {
public:
    virtual ~SupervisorHost() = default;
    virtual void RefreshDisplay() = 0;
    // Ticks or clears the requested-by-web box (its click handler runs on a change).
    virtual void SetReqByWebBox(bool ticked) = 0;
};

// The one-second supervisor tick: the system's clock. It refreshes the display, watches the
// acquisition thread, fires the daily timers A and B, runs the day change at midnight and has
// the energy-flow events reported.
// Thread ownership: the core thread.
class Supervisor {
public:
    static constexpr int kTicksBetweenStatusRequests = 350;

    Supervisor(const Clock& clock, const LocaleFormats& formats, TDati& settings, OutputRequests& requests,
               ConnectionManager& connection, EventMemo& memo, DayChange& dayChange, EnergyFlowEvents& events,
               ProgressSaver& progress, SupervisorHost& host);

    // The tick's nine steps, in order, and the save of the day's progress once a minute.
    void TimerTimer();

    // A switch time fires on the tick whose clock is at or after it while the previous tick's
    // was before it, compared as times of day to the millisecond: at most once a day, never at
    // 00:00:00, and every time passed while the tick was stopped fires on its first tick.
    // A time in the hour skipped when clocks go forward fires on the first tick after it.
    [[nodiscard]] static bool Fires(const QTime& switchTime, const QTime& previousTick, const QTime& tick);

    [[nodiscard]] const QDateTime& DayReference() const { return m_dayReference; }
    [[nodiscard]] const std::string& Panel3() const { return m_panel3; }
    [[nodiscard]] int TickCount() const { return m_tickCount; }

private:
    // The four switches of timers A and B, each remembering when it last fired.
    enum Switch : size_t { AOn, AOff, BOn, BOff, SwitchCount };
    struct LastFiring {
        QDate day;
        QTime switchTime;
    };

    void runTimers();
    // Fires says so, and this switch has not fired today at this switch time: the hour that
    // repeats when clocks go back must not fire it a second time.
    bool firesOnce(Switch which, const QTime& switchTime);

    const Clock& m_clock;
    const LocaleFormats& m_formats;
    TDati& m_settings;
    OutputRequests& m_requests;
    ConnectionManager& m_connection;
    EventMemo& m_memo;
    DayChange& m_dayChange;
    EnergyFlowEvents& m_events;
    ProgressSaver& m_progress;
    SupervisorHost& m_host;

    QDateTime m_tickTime;
    QTime m_tickClock;
    QTime m_prevTickClock;
    QDateTime m_dayReference;
    int m_tickCount = 0;
    std::string m_panel3;
    std::array<LastFiring, SwitchCount> m_lastFiring{};
};

} // namespace quorvane
