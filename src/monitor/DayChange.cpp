#include "monitor/DayChange.h"

#include "config/Settings.h"
#include "core/ComputedValues.h"
#include "core/DisplayTexts.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "inverter/MeasurementRecord.h"
#include "mail/MailOutbox.h"
#include "records/LogBook.h"

namespace quorvane {

DayChange::DayChange(const TDati& settings, LogBook& logs, ComputedValues& computed, const DisplayTexts& display,
                     EventMemo& memo, MeasurementRecord& record, MailOutbox& mail, const LocaleFormats& formats)
    : m_settings(settings), m_logs(logs), m_computed(computed), m_display(display), m_memo(memo), m_record(record),
      m_mail(mail), m_formats(formats)
{
}

void DayChange::Run(const QDateTime& dayReference, const QDateTime& now)
{
    const QDate ended = dayReference.date();
    const std::string day = m_formats.shortDate(ended);

    if (m_settings.LogEnergy) {
        m_logs.AppendEnergyRow(ended);
        if (now.date().month() != ended.month() || now.date().year() != ended.year())
            m_logs.Tree().RollEnergyLogName(now.date());
        m_computed.DailyReset();
        m_logs.EnergyList().ClearRows();
        m_logs.SetEnergyCaption();
    }
    if (m_settings.LogBasic) {
        m_logs.WriteBasicLog(ended);
        if (m_settings.Out[0])
            m_mail.SendMail("Basic variables of day " + day + " in attach.", false, m_logs.Tree().BasicLogPath());
        m_logs.Tree().RollBasicLogName(now.date());
        m_logs.BasicList().ClearRows();
    }
    if (m_settings.LogComputed) {
        m_logs.WriteComputedLog(ended);
        if (m_settings.Out[1])
            m_mail.SendMail("Computed variables of day " + day + " in attach.", false,
                            m_logs.Tree().ComputedLogPath());
        m_logs.Tree().RollComputedLogName(now.date());
        m_logs.ComputedList().ClearRows();
    }
    m_logs.SaveTotals(now.date());
    if (m_settings.Out[2]) {
        // The panels as this tick's display refresh left them: the day's complete figures.
        m_mail.SendMail("Daily Energy production (" + day + "): " + m_display.Computed[0] + " kWh. \r\n"
                            + "Total production from " + m_logs.TotalsStartDate() + " is: " + m_display.Computed[4]
                            + "kWh",
                        false, "");
    }
    if (m_settings.LogEvent) {
        m_logs.SaveEventLog(ended);
        m_logs.Tree().RollEventLogName(now.date());
        m_memo.Clear();
    }
    // The reading clock starts the new day: no step spans the day change.
    m_record.PollTime = now;
    m_record.PrevPollTime = m_record.PollTime;
    if (m_eventSink != nullptr)
        m_eventSink->Report(CoreEventKind::DayChanged);
}

} // namespace quorvane
