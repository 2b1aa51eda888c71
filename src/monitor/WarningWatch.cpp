#include "monitor/WarningWatch.h"

#include "config/Settings.h"
#include "core/Clock.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "inverter/MeasurementRecord.h"
#include "mail/MailOutbox.h"

namespace quorvane {

namespace {

CoreEventKind eventKindOf(const WarningCondition& condition, WarningChange change)
{
    const bool fault = condition.Severity == WarningSeverity::Fault;
    if (change == WarningChange::On)
        return fault ? CoreEventKind::FaultOn : CoreEventKind::WarningOn;
    return fault ? CoreEventKind::FaultOff : CoreEventKind::WarningOff;
}

} // namespace

WarningWatch::WarningWatch(const TDati& settings, MeasurementRecord& record, EventMemo& memo, MailOutbox& mail,
                           const Clock& clock, const LocaleFormats& formats)
    : m_settings(settings), m_record(record), m_memo(memo), m_mail(mail), m_clock(clock), m_formats(formats)
{
}

bool WarningWatch::Due() const
{
    if (m_refusal.Refused())
        return false;
    if (!m_lastQuery.isValid())
        return true;
    const qint64 sinceLast = m_lastQuery.msecsTo(m_clock.now());
    // A clock set back makes the query due at once rather than after the lost time.
    return sinceLast < 0 || sinceLast >= std::chrono::milliseconds(kQueryInterval).count();
}

bool WarningWatch::Take(const OptionalQueryResult<WarningStatus>& result)
{
    m_lastQuery = m_clock.now();
    switch (result.Result) {
    case QueryOutcome::NoReply:
        return false; // one lost reply says nothing about the bits
    case QueryOutcome::Refused:
        if (m_refusal.Note())
            m_memo.AddEventLine("The inverter does not report warnings and faults (QPIWS refused); "
                                "asked again after the next connection.");
        return false;
    case QueryOutcome::Answered:
        break;
    }
    const WarningChanges changes = m_debounce.Feed(result.Reading);
    const bool activeChanged = m_record.Warnings != m_debounce.Active();
    m_record.Warnings = m_debounce.Active();
    for (const WarningCondition& condition : changes.TurnedOff)
        report(condition, WarningChange::Off);
    for (const WarningCondition& condition : changes.TurnedOn)
        report(condition, WarningChange::On);
    return activeChanged;
}

void WarningWatch::Reconnected()
{
    m_refusal.Reconnected();
    m_lastQuery = {};
    m_debounce.ForgetReadings();
}

void WarningWatch::report(const WarningCondition& condition, WarningChange change)
{
    const std::string text = WarningMemoText(condition, change);
    m_memo.AddEventLine(text);
    const bool fault = condition.Severity == WarningSeverity::Fault;
    if ((fault ? m_settings.Inverter.MailFaults : m_settings.Inverter.MailWarnings) && !m_settings.Address.empty()) {
        const QDateTime now = m_clock.now();
        m_mail.SendMail(text + " (" + m_formats.shortDate(now.date()) + " " + m_formats.longTime(now.time()) + ")",
                        false, "");
    }
    if (m_eventSink != nullptr)
        m_eventSink->ReportCondition(eventKindOf(condition, change), condition.Id);
}

} // namespace quorvane
