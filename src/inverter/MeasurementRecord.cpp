#include "inverter/MeasurementRecord.h"

#include "core/NumberText.h"

#include <array>
#include <utility>

namespace quorvane {

namespace {

constexpr int kFirstSlotsFilled = 30;
constexpr double kLinePresentAboveVolts = 100.0;

// Display variable and the main-values reply field it is taken from.
constexpr std::array<std::pair<std::string MeasurementRecord::*, int>, 16> kDisplayFields = {{
    {&MeasurementRecord::AcVoltage, 1},
    {&MeasurementRecord::AcFrequency, 2},
    {&MeasurementRecord::PvInputVoltage, 14},
    {&MeasurementRecord::PvInputCurrent, 13},
    {&MeasurementRecord::BatteryVoltage, 9},
    {&MeasurementRecord::BatteryCapacity, 11},
    {&MeasurementRecord::ChargingCurrent, 10},
    {&MeasurementRecord::DischargeCurrent, 16},
    {&MeasurementRecord::OutputFrequency, 4},
    {&MeasurementRecord::OutputVoltage, 3},
    {&MeasurementRecord::OutputApparentPower, 5},
    {&MeasurementRecord::OutputActivePower, 6},
    {&MeasurementRecord::LoadPercent, 7},
    {&MeasurementRecord::HeatSinkTemperature, 12},
    {&MeasurementRecord::BusVoltage, 8},
    {&MeasurementRecord::SccBatteryVoltage, 15},
}};

} // namespace

MeasurementRecord::MeasurementRecord()
{
    for (int slot = 0; slot < kFirstSlotsFilled; ++slot)
        MainValues[static_cast<size_t>(slot)] = "00";
}

void MeasurementRecord::SetDisplayVariablesFromSlots()
{
    for (const auto& [variable, field] : kDisplayFields)
        this->*variable = StripLeadingZeros(MainValues[static_cast<size_t>(field)]);
}

void MeasurementRecord::TakeLinePresenceFromReading()
{
    LinePresentPrev = LinePresent;
    LinePresent = TextToDouble(AcVoltage) > kLinePresentAboveVolts;
}

void MeasurementRecord::UpdateLineTransition(int absenceThreshold)
{
    const bool previous = LinePresentPrev;
    const bool current = LinePresent;
    if (previous != current)
        LineTransition = previous ? -1 : 1;
    if (!previous && !current) {
        --LineTransition;
        LastAbsenceCount = LineTransition;
    }
    if (previous && current && LineTransition != 0) {
        if (LastAbsenceCount > absenceThreshold) {
            // The absence was too short to count: the next increment brings the counter to 0.
            LineTransition = -1;
            LastAbsenceCount = 0;
        }
        ++LineTransition;
    }
}

void MeasurementRecord::AcceptReading(const QDateTime& now)
{
    ValuesValid = true;
    ++ValidReadings;
    LastValidReading = now;
}

void MeasurementRecord::UpdatePollTiming(const QDateTime& now)
{
    PrevPollTime = PollTime;
    PollTime = now;
    if (!PrevPollTime.isValid()) {
        SecondsSincePrevPoll = 0.0;
        return;
    }
    // Elapsed real time, not the difference of two times of day: a step that crosses midnight
    // counts the time since the last reading (the difference plus 24 h), never almost a day.
    // A clock set back by hand gives no step rather than a negative one.
    const qint64 elapsedMs = PrevPollTime.msecsTo(PollTime);
    // To the millisecond: whole seconds would drop most of a 1.76 s cycle's fraction.
    SecondsSincePrevPoll = elapsedMs > 0 ? static_cast<double>(elapsedMs) / 1000.0 : 0.0;
}

int MeasurementRecord::AbsenceThreshold(int measTimeIndex)
{
    return measTimeIndex <= 2 ? -5 : -1;
}

} // namespace quorvane
