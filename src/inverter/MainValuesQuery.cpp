// "QPIGS": the sixteen live values, the device status bits, the poll clock and the
// line-presence state.
#include "inverter/MeasurementRecord.h"
#include "core/Clock.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/MainValuesReply.h"
#include "inverter/Wincom.h"

#include <array>

namespace quorvane {

namespace {

// Test mode draws each of reply slots 1..16 uniformly from its range.
constexpr std::array<std::pair<int, int>, 16> kTestModeRanges = {{
    {200, 239}, {40, 54}, {200, 239}, {40, 54}, {0, 3999}, {0, 3999}, {0, 99}, {380, 409},
    {44, 54},   {0, 19},  {0, 99},    {30, 59}, {0, 39},   {40, 74},  {44, 54}, {0, 99},
}};

} // namespace

void InverterQueries::fillTestModeValues()
{
    for (size_t slot = 1; slot <= kTestModeRanges.size(); ++slot) {
        const auto [low, high] = kTestModeRanges[slot - 1];
        m_record.MainValues[slot] = std::to_string(std::uniform_int_distribution<int>(low, high)(m_random));
    }
    m_record.SetDisplayVariablesFromSlots();
    m_record.UpdatePollTiming(m_clock.now());
    m_record.TakeLinePresenceFromReading();
    m_record.UpdateLineTransition(MeasurementRecord::AbsenceThreshold(m_link.MeasTimeIndex));
    m_record.AcceptReading(m_clock.now());
}

void InverterQueries::applyMainValuesReply(const MainValuesReply& values)
{
    FillReplySlots(values.Fields, m_record.MainValues);
    m_record.SetDisplayVariablesFromSlots();
    m_record.TakeLinePresenceFromReading();
    m_record.UpdatePollTiming(m_clock.now());
    m_record.LineCharging = values.LineCharging;
    m_record.SolarCharging = values.SolarCharging;
    m_record.ChargeOn = values.ChargeOn;
    m_record.AcceptReading(m_clock.now());
}

void InverterQueries::QueryMainValues()
{
    m_record.ValuesValid = false;
    if (m_link.Test) {
        fillTestModeValues();
        return;
    }
    if (m_link.LinkConnected) {
        PollCounters& polls = m_record.Polls;
        if (m_comm.Write(FrameCommand("QPIGS")) <= 0) {
            ++polls.SendFailed;
            addErrorLine("Error in send command.");
            return; // no line-presence step for a request that never went out
        }
        ++polls.Requests;
        // A reply that is short of a field, or has anything but a number where a number
        // belongs, is rejected whole, as one with a bad CRC: the record keeps its values.
        const Reply reply = receiveReply("QPIGS", std::nullopt);
        const auto values = reply.Answered() ? ParseMainValues(reply.frame->payload) : std::nullopt;
        if (values) {
            ++polls.Accepted;
            applyMainValuesReply(*values);
        } else {
            std::uint64_t& reason = reply.count <= 0        ? polls.NoReply
                                    : !reply.frame           ? polls.BadFrame
                                    : reply.frame->Refused() ? polls.Refused
                                                             : polls.Malformed;
            ++reason;
            addErrorLine("Error receiving main values (" + std::to_string(reply.count) + "/" + std::to_string(reply.count) + ")");
        }
    }
    m_record.UpdateLineTransition(MeasurementRecord::AbsenceThreshold(m_link.MeasTimeIndex));
}

} // namespace quorvane
