#include "inverter/InverterQueries.h"

#include "core/EventMemo.h"
#include "inverter/Wincom.h"

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

InverterQueries::Reply InverterQueries::receiveReply(std::string_view command, std::optional<std::size_t> expectedLength)
{
    Reply reply;
    reply.count = expectedLength ? m_comm.ReadReply(m_reply, *expectedLength) : m_comm.ReadReplyUntilQuiet(m_reply);
    if (reply.count <= 0)
        return reply;
    reply.frame = FindReplyFrame(std::span(m_reply.data(), static_cast<std::size_t>(reply.count)));
    if (reply.frame && reply.frame->Refused())
        addErrorLine("Inverter refused " + std::string(command) + " (NAK).");
    return reply;
}

void InverterQueries::addErrorLine(const std::string& line)
{
    // Lines about failed sends and rejected replies only while the user asked for them.
    if (m_link.ShowAllErrors)
        m_memo.AddEventLine(line);
}

} // namespace quorvane
