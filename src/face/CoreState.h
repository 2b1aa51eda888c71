#pragma once

#include "core/ComputedValues.h"
#include "core/NumberText.h"
#include "inverter/InverterStates.h"
#include "inverter/LinkState.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/PollCounters.h"

#include <QDateTime>
#include <QMetaType>

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// Where the link to the inverter stands.
enum class LinkPhase { Disconnected, Connecting, Connected, TestMode };

// `connecting`: the connection manager's connect is under way (the presence check has not
// answered yet).
[[nodiscard]] inline LinkPhase PhaseOf(const LinkState& link, bool connecting)
{
    if (!link.LinkConnected)
        return LinkPhase::Disconnected;
    if (connecting)
        return LinkPhase::Connecting;
    return link.Test ? LinkPhase::TestMode : LinkPhase::Connected;
}

// What the core publishes of the inverter and the link, as values: front ends that compute
// with the readings or word them their own way take this rather than the window's texts. A
// reading that is no number is 0, as everywhere in the core.
// Thread ownership: a value; the core thread makes it, a copy travels to the front end.
struct CoreState {
    double AcVoltageV = 0.0;
    double AcFrequencyHz = 0.0;
    double PvInputVoltageV = 0.0;
    double PvInputCurrentA = 0.0;
    double BatteryVoltageV = 0.0;
    double SccBatteryVoltageV = 0.0;
    double BatteryCapacityPercent = 0.0;
    double ChargingCurrentA = 0.0;
    double DischargeCurrentA = 0.0;
    double OutputVoltageV = 0.0;
    double OutputFrequencyHz = 0.0;
    double ApparentPowerVA = 0.0;
    double ActivePowerW = 0.0;
    double LoadPercent = 0.0;
    double HeatSinkTemperatureC = 0.0;
    double BusVoltageV = 0.0;
    // The latest main-values reading was accepted.
    bool ValuesValid = false;

    // Empty until a query first found them, as in the measurement record.
    std::optional<InverterMode> Mode;
    std::optional<ChargeState> Charge;
    std::optional<LoadSource> Source; // as the latest query that decided one found it
    std::optional<OutputPriority> Priority;

    double SolarEnergyTodayKWh = 0.0;
    double SolarPowerW = 0.0;
    double LineApparentEnergyTodayKVAh = 0.0;
    double LineEnergyTodayKWh = 0.0;
    double SolarEnergyTotalKWh = 0.0; // since the totals' start date
    double LineEnergyTotalKWh = 0.0;  // since the totals' start date

    LinkPhase Phase = LinkPhase::Disconnected;
    // The latest accepted main-values reading and how many were accepted so far.
    QDateTime LastValidReading;
    int ValidReadings = 0;
    PollCounters Polls;
    // The inverter's serial number as it told it; empty while unknown.
    std::string SerialNumber;
    // The warnings and faults the inverter reports now, in bit order; empty when all is well.
    std::vector<WarningCondition> Warnings;
    // The second PV input of a dual-tracker unit, as last read; empty for a unit with one.
    std::optional<SecondPvReading> SecondPv;
    // The charger and battery settings in force, as the rated information last gave them, and
    // the charging currents the unit allows; empty until read.
    std::optional<RatedInfo> Rated;
    std::optional<CurrentSteps> ChargingSteps;

    bool operator==(const CoreState&) const = default;
};

[[nodiscard]] inline CoreState StateOf(const MeasurementRecord& record, const ComputedValues& computed, LinkPhase phase)
{
    CoreState state;
    state.AcVoltageV = TextToDouble(record.AcVoltage);
    state.AcFrequencyHz = TextToDouble(record.AcFrequency);
    state.PvInputVoltageV = TextToDouble(record.PvInputVoltage);
    state.PvInputCurrentA = TextToDouble(record.PvInputCurrent);
    state.BatteryVoltageV = TextToDouble(record.BatteryVoltage);
    state.SccBatteryVoltageV = TextToDouble(record.SccBatteryVoltage);
    state.BatteryCapacityPercent = TextToDouble(record.BatteryCapacity);
    state.ChargingCurrentA = TextToDouble(record.ChargingCurrent);
    state.DischargeCurrentA = TextToDouble(record.DischargeCurrent);
    state.OutputVoltageV = TextToDouble(record.OutputVoltage);
    state.OutputFrequencyHz = TextToDouble(record.OutputFrequency);
    state.ApparentPowerVA = TextToDouble(record.OutputApparentPower);
    state.ActivePowerW = TextToDouble(record.OutputActivePower);
    state.LoadPercent = TextToDouble(record.LoadPercent);
    state.HeatSinkTemperatureC = TextToDouble(record.HeatSinkTemperature);
    state.BusVoltageV = TextToDouble(record.BusVoltage);
    state.ValuesValid = record.ValuesValid;
    state.Mode = record.Flow.Mode;
    state.Charge = record.Flow.Charge;
    state.Source = record.Flow.DecidedSource;
    state.Priority = record.Flow.Priority;
    state.SolarEnergyTodayKWh = computed.Aux1;
    state.SolarPowerW = computed.Aux2;
    state.LineApparentEnergyTodayKVAh = computed.Aux3;
    state.LineEnergyTodayKWh = computed.Aux4;
    state.SolarEnergyTotalKWh = computed.Aux5;
    state.LineEnergyTotalKWh = computed.Aux6;
    state.Phase = phase;
    state.LastValidReading = record.LastValidReading;
    state.ValidReadings = record.ValidReadings;
    state.Polls = record.Polls;
    state.SerialNumber = record.SerialNumber;
    state.Warnings = record.Warnings.Conditions;
    state.SecondPv = record.SecondPv;
    state.Rated = record.Rated;
    state.ChargingSteps = record.ChargingSteps;
    return state;
}

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::CoreState)
