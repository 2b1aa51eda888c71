#include "monitor/CycleSteps.h"

#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "inverter/LinkState.h"
#include "inverter/Wincom.h"
#include "monitor/ChargerSettingService.h"
#include "monitor/EnergyIntegration.h"
#include "monitor/WarningWatch.h"

namespace quorvane {

CycleSteps::CycleSteps(TComm& comm, InverterQueries& queries, ComputedValues& computed, MeasurementRecord& record,
                       OutputRequests& requests, const LinkState& link, const Clock& clock, const LocaleFormats& formats)
    : m_comm(comm)
    , m_queries(queries)
    , m_computed(computed)
    , m_record(record)
    , m_requests(requests)
    , m_link(link)
    , m_clock(clock)
    , m_formats(formats)
{
}

void CycleSteps::PurgeAndQueryMainValues()
{
    m_comm.Purge();
    m_queries.QueryMainValues();
}

void CycleSteps::PurgeAndQueryMode()
{
    m_comm.Purge();
    m_queries.QueryMode();
}

void CycleSteps::PurgeAndQuerySecondPv()
{
    m_record.SecondPvValid = false;
    // Only of a unit that answers its main values now, and never again of one that refused
    // (a unit with one input) until it is connected again.
    if (m_link.Test || !m_record.ValuesValid || m_secondPvRefusal.Refused())
        return;
    m_comm.Purge();
    const auto result = m_queries.QuerySecondPv();
    if (result.Result == QueryOutcome::Refused) {
        m_secondPvRefusal.Note();
    } else if (result.Result == QueryOutcome::Answered) {
        m_record.SecondPv = result.Reading;
        m_record.SecondPvValid = true;
    }
}

void CycleSteps::LinkOpened()
{
    m_secondPvRefusal.Reconnected();
    if (m_warnings != nullptr)
        m_warnings->Reconnected();
    if (m_chargerSettings != nullptr)
        m_chargerSettings->LinkOpened();
}

void CycleSteps::ServeChargerSetting()
{
    if (m_chargerSettings != nullptr)
        m_chargerSettings->ServeNext();
    else
        m_requests.ChargerSettingRequest = false;
}

void CycleSteps::ComputeValues()
{
    Integrate(m_computed, m_record, m_link.Test);
}

void CycleSteps::StampReading()
{
    if (m_record.ModeValid && m_record.ValuesValid) {
        const QDateTime now = m_clock.now();
        m_record.LastReadingStamp =
            m_formats.shortDate(now.date()) + " - " + m_formats.longTime(now.time()) + RefreshNote;
    }
    if (ReadingDone)
        ReadingDone();
}

void CycleSteps::QueryWarnings()
{
    // Only after an accepted main-values reading: a unit that does not answer those now would
    // not answer this either, and the line's time belongs to getting it back.
    if (m_warnings == nullptr || m_link.Test || !m_record.ValuesValid || !m_warnings->Due())
        return;
    m_comm.Purge();
    if (m_warnings->Take(m_queries.QueryWarningStatus()) && ReadingDone)
        ReadingDone();
}

void CycleSteps::ServePriority(OutputPriority priority)
{
    m_queries.SetOutputPriority(priority);
}

void CycleSteps::PurgeAndQueryRatedInfo()
{
    m_comm.Purge();
    m_queries.QueryRatedInfo();
    if (m_chargerSettings != nullptr && !m_link.Test)
        m_chargerSettings->AskCurrentStepsOnce();
    m_requests.Button8Enabled = true;
}

} // namespace quorvane
