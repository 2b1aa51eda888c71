#include "monitor/EnergyFlowEvents.h"

#include "config/Settings.h"
#include "core/EventMemo.h"
#include "inverter/MeasurementRecord.h"
#include "mail/MailOutbox.h"
#include "web/WebPages.h"

namespace quorvane {

namespace {

constexpr size_t kMailOnSwitch = 3; // "Out 4"
constexpr size_t kMailOnLine = 4;   // "Out 5"

} // namespace

EnergyFlowEvents::EnergyFlowEvents(MeasurementRecord& record, const TDati& settings, EventMemo& memo, MailOutbox& mail,
                                   WebPages& pages)
    : m_record(record), m_settings(settings), m_memo(memo), m_mail(mail), m_pages(pages)
{
}

void EnergyFlowEvents::ReportEnergyFlowEvents(const std::string& now)
{
    // The switch first, then the line.
    if (m_record.SwitchEvent == 1 || m_record.SwitchEvent == 2) {
        const std::string text = (m_record.SwitchEvent == 1 ? "Inverter switched from Line-bypass to Battery: "
                                                            : "Inverter switched from Battery To Line-Bypass: ")
                                 + now;
        if (m_settings.Out[kMailOnSwitch])
            m_mail.SendMail(text, false, "");
        m_memo.AddEventLine(text);
        if (m_eventSink != nullptr)
            m_eventSink->Report(m_record.SwitchEvent == 1 ? CoreEventKind::SwitchedToBattery : CoreEventKind::SwitchedToLine);
        m_record.SwitchEvent = 0;
    }

    const int threshold = MeasurementRecord::AbsenceThreshold(m_settings.MeasTime);
    if (m_record.LineTransition <= threshold && !m_lineFaultActive) {
        m_memo.AddEventLine("Line Fault: " + now);
        if (m_settings.Out[kMailOnLine])
            m_mail.SendMail("Line fault: " + now, false, "");
        m_pages.SetEnergyFlow("#FF0000", "Energy flow -- **WARNING** Line down --");
        m_lineFaultActive = true;
        if (m_eventSink != nullptr)
            m_eventSink->Report(CoreEventKind::LineFault);
    } else if (m_record.LineTransition >= -threshold) {
        m_memo.AddEventLine("Line restored: " + now);
        if (m_settings.Out[kMailOnLine])
            m_mail.SendMail("Line restored: " + now, false, "");
        m_pages.SetEnergyFlow("#0000FF", "Energy flow");
        m_record.LineTransition = 0;
        m_record.LastAbsenceCount = 0;
        m_lineFaultActive = false;
        if (m_eventSink != nullptr)
            m_eventSink->Report(CoreEventKind::LineRestored);
    }
}

} // namespace quorvane
