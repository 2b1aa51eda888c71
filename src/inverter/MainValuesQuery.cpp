// "QPIGS": the sixteen live values, the device status bits, the poll clock and the
// line-presence state.
#include "inverter/MeasurementRecord.h"
#include "core/Clock.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

#include <array>

namespace quorvane {

namespace {

// Test mode draws each of reply slots 1..16 uniformly from its range.
constexpr std::array<std::pair<int, int>, 16> kTestModeRanges = {{
    {200, 239}, {40, 54}, {200, 239}, {40, 54}, {0, 3999}, {0, 3999}, {0, 99}, {380, 409},
    {44, 54},   {0, 19},  {0, 99},    {30, 59}, {0, 39},   {40, 74},  {44, 54}, {0, 99},
}};

// Reply characters (character 0 is the "(") holding the device status bits.
constexpr int kChargeOnCharacter = 88;
constexpr int kSolarChargingCharacter = 89;
constexpr int kLineChargingCharacter = 90;

int statusBit(const std::uint8_t* reply, int index)
{
    return MapReplyChar(reply[index]) - '0';
}

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

void InverterQueries::applyMainValuesReply(const std::uint8_t* reply, int count)
{
    SplitReply(std::span(reply, static_cast<size_t>(count)), m_record.MainValues);
    m_record.SetDisplayVariablesFromSlots();
    m_record.TakeLinePresenceFromReading();
    m_record.UpdatePollTiming(m_clock.now());
    // A reply of the expected shape has at least 91 characters before its CRC. A shorter one
    // that still passed its CRC leaves the bits as they were rather than reading its CRC bytes
    // or stale buffer contents as bits.
    if (count - 3 > kLineChargingCharacter) {
        m_record.LineCharging = statusBit(reply, kLineChargingCharacter);
        m_record.SolarCharging = statusBit(reply, kSolarChargingCharacter);
        m_record.ChargeOn = statusBit(reply, kChargeOnCharacter);
    }
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
        if (m_comm.Write(FrameCommand("QPIGS")) <= 0) {
            addErrorLine("Error in send command.");
            return; // no line-presence step for a request that never went out
        }
        std::array<std::uint8_t, kReplyCapacity> reply{};
        const int n = m_comm.ReadUntilQuiet(reply);
        if (n >= 3 && ReplyCrcOk(std::span(reply.data(), static_cast<size_t>(n)), n - 3))
            applyMainValuesReply(reply.data(), n);
        else
            addErrorLine("Error receiving main values (" + std::to_string(n) + "/" + std::to_string(n) + ")");
    }
    m_record.UpdateLineTransition(MeasurementRecord::AbsenceThreshold(m_link.MeasTimeIndex));
}

} // namespace quorvane
