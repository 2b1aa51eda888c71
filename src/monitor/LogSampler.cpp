#include "monitor/LogSampler.h"

#include "config/Settings.h"
#include "core/Clock.h"
#include "core/CoreTimer.h"
#include "core/DisplayTexts.h"
#include "core/LocaleFormats.h"
#include "monitor/ProgressSaver.h"
#include "records/LogBook.h"

namespace quorvane {

LogSampler::LogSampler(const Clock& clock, const LocaleFormats& formats, const TDati& settings,
                       const DisplayTexts& display, LogBook& logs, ProgressSaver& progress, CoreTimer& timer1,
                       CoreTimer& timer3, const QDateTime& dayReference, FirstMeasurementListener& listener)
    : m_clock(clock), m_formats(formats), m_settings(settings), m_display(display), m_logs(logs),
      m_progress(progress), m_timer1(timer1), m_timer3(timer3), m_dayReference(dayReference), m_listener(listener)
{
}

QDateTime LogSampler::SampleLogRow()
{
    const QDateTime now = m_clock.now();
    if (m_settings.ReqByWeb)
        return now;
    const std::string time = m_formats.longTime(now.time());
    const std::string date = m_formats.shortDate(now.date());

    VAR basic{time, date, m_display.Basic, m_display.SecondPv};
    // The second PV input's columns only for a unit that has one: other units' files stay
    // as they always were.
    VAR names{{}, {}, m_settings.BasicCaptions};
    if (!m_display.SecondPv.empty())
        names.Extra.assign(kSecondPvCaptions.begin(), kSecondPvCaptions.end());
    m_logs.BasicList().SetColumnNames(names);
    m_logs.BasicList().AddRow(basic);

    VAR_COMP computed{time, date, m_display.Computed};
    VAR_COMP computedNames{{}, {}, m_settings.Aux};
    m_logs.ComputedList().SetColumnNames(computedNames);
    m_logs.ComputedList().AddRow(computed);

    m_logs.AppendSampledRows(m_dayReference.date());
    m_progress.Save(m_dayReference.date());
    return now;
}

void LogSampler::Timer1Timer()
{
    const bool running = m_timer1.Enabled();
    if (running)
        m_timer1.SetEnabled(false);
    if (!m_timer3.Enabled()) {
        SampleLogRow();
        m_timer3.SetEnabled(true);
        m_listener.FirstMeasurementTaken();
    }
    if (running)
        m_timer1.SetEnabled(true);
}

void LogSampler::Timer3Timer()
{
    if (m_settings.LogBasic)
        SampleLogRow();
}

} // namespace quorvane
