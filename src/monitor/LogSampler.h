#pragma once

#include <QDateTime>

namespace quorvane {

class Clock;
class CoreTimer;
class LocaleFormats;
class LogBook;
class ProgressSaver;
struct DisplayTexts;
struct TDati;

// Told when the first measurement of a connection has been taken (the desktop moves to the
// tray then).
class FirstMeasurementListener {
public:
    virtual ~FirstMeasurementListener() = default;
    virtual void FirstMeasurementTaken() = 0;
};

// Samples what the window shows into the day's two lists, one row each, at the log interval,
// and puts each row on disk at once while its log is enabled, with the day's energies and the
// totals, so a power cut loses nothing already sampled.
// Thread ownership: the core thread.
class LogSampler {
public:
    // `dayReference` is the supervisor's current day: the day the lists (and their files)
    // belong to until the day change closes it, also for a row sampled just after midnight.
    LogSampler(const Clock& clock, const LocaleFormats& formats, const TDati& settings, const DisplayTexts& display,
               LogBook& logs, ProgressSaver& progress, CoreTimer& timer1, CoreTimer& timer3,
               const QDateTime& dayReference, FirstMeasurementListener& listener);

    // One row into each day list, unless the values are read only on web request.
    QDateTime SampleLogRow();
    // The measuring-interval timer: its first tick after a connection samples a row and starts
    // the log timer.
    void Timer1Timer();
    // The log timer: a row while the basic log is enabled.
    void Timer3Timer();

private:
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    const TDati& m_settings;
    const DisplayTexts& m_display;
    LogBook& m_logs;
    ProgressSaver& m_progress;
    CoreTimer& m_timer1;
    CoreTimer& m_timer3;
    const QDateTime& m_dayReference;
    FirstMeasurementListener& m_listener;
};

} // namespace quorvane
