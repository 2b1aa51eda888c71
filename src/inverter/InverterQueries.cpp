#include "inverter/InverterQueries.h"

#include "core/EventMemo.h"

#include <thread>

namespace quorvane {

InverterQueries::InverterQueries(TComm& comm, MeasurementRecord& record, EventMemo& memo, const LinkState& link,
                                 OutputRequests& requests, const Clock& clock, Pause pause, std::uint32_t testModeSeed)
    : m_comm(comm)
    , m_record(record)
    , m_memo(memo)
    , m_link(link)
    , m_requests(requests)
    , m_clock(clock)
    , m_pause(pause ? std::move(pause) : Pause([](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }))
    , m_random(testModeSeed)
{
}

void InverterQueries::addErrorLine(const std::string& line)
{
    // Lines about failed sends and rejected replies only while the user asked for them.
    if (m_link.ShowAllErrors)
        m_memo.AddEventLine(line);
}

} // namespace quorvane
