#include "inverter/InverterQueries.h"

#include "inverter/Frame.h"
#include "inverter/RatedInfo.h"
#include "inverter/Wincom.h"

namespace quorvane {

template <typename Value, typename Decode>
OptionalQueryResult<Value> InverterQueries::askOptional(std::string_view command, Decode decode)
{
    OptionalQueryResult<Value> result;
    if (m_link.Test || !m_link.LinkConnected)
        return result;
    if (m_comm.Write(FrameCommand(command)) <= 0) {
        addErrorLine("Error in send command " + std::string(command) + ".");
        return result;
    }
    const Reply reply = receiveReply(command, std::nullopt);
    if (reply.frame && reply.frame->Refused()) {
        result.Result = QueryOutcome::Refused;
        return result;
    }
    std::optional<Value> value = reply.Answered() ? decode(reply.frame->payload) : std::nullopt;
    if (!value) {
        addErrorLine("Error receiving " + std::string(command) + " (" + std::to_string(reply.count) + ")");
        return result;
    }
    result.Result = QueryOutcome::Answered;
    result.Reading = std::move(*value);
    return result;
}

OptionalQueryResult<WarningStatus> InverterQueries::QueryWarningStatus()
{
    return askOptional<WarningStatus>("QPIWS", DecodeWarningStatus);
}

OptionalQueryResult<SecondPvReading> InverterQueries::QuerySecondPv()
{
    return askOptional<SecondPvReading>("QPIGS2", DecodeSecondPv);
}

OptionalQueryResult<std::vector<int>> InverterQueries::QueryCurrentSteps(std::string_view command)
{
    return askOptional<std::vector<int>>(command, DecodeCurrentSteps);
}

InverterQueries::CommandReply InverterQueries::SendSettingCommand(const std::string& command)
{
    if (m_link.Test || !m_link.LinkConnected)
        return CommandReply::NoReply;
    if (m_comm.Write(FrameCommand(command)) <= 0) {
        addErrorLine("Error in send command " + command + ".");
        return CommandReply::NoReply;
    }
    const Reply reply = receiveReply(command, std::nullopt);
    if (!reply.frame)
        return CommandReply::NoReply;
    return reply.frame->payload == "ACK" ? CommandReply::Acknowledged : CommandReply::Refused;
}

} // namespace quorvane
