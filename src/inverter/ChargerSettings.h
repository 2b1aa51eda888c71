#pragma once

#include "inverter/RatedInfo.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// The charger and battery settings a unit takes by command. Each command is answered "(ACK"
// (done) or "(NAK" (refused); the rated information ("QPIRI") shows what is in force.
enum class ChargerSetting {
    ChargerPriority,           // PCP<NN>, 00..03
    MaxChargingCurrent,        // MCHGC<nnn>, or MNCHGC<m><nnn> on newer firmware
    MaxUtilityChargingCurrent, // MUCHGC<nnn>
    RechargeVoltage,           // PBCV<nn.n>
    RedischargeVoltage,        // PBDV<nn.n>, 00.0: when the battery is full
    CutOffVoltage,             // PSDV<nn.n>
    BulkVoltage,               // PCVV<nn.n>
    FloatVoltage,              // PBFT<nn.n>
    BatteryType,               // PBT<NN>, 00..02
};

inline constexpr std::array<ChargerSetting, 9> kChargerSettings = {
    ChargerSetting::ChargerPriority, ChargerSetting::MaxChargingCurrent,
    ChargerSetting::MaxUtilityChargingCurrent, ChargerSetting::RechargeVoltage,
    ChargerSetting::RedischargeVoltage, ChargerSetting::CutOffVoltage,
    ChargerSetting::BulkVoltage, ChargerSetting::FloatVoltage, ChargerSetting::BatteryType,
};

// What a setting's value is: a choice among codes (0 .. ChoiceCount - 1), a whole number of
// amperes, or volts in steps of 0.1 V.
enum class SettingKind { Choice, Current, Voltage };

// The two forms of the maximum charging current's command. Older firmware knows "MCHGC030";
// newer firmware wants the parallel machine number in front of the current, "MNCHGC0030"
// (machine 0: the one unit this program watches). Which to send is the caller's to decide.
enum class CurrentCommandForm { Classic, PerMachine };

// One setting asked for: a value is a choice's code, amperes or volts, as its kind says.
struct SettingRequest {
    ChargerSetting Setting = ChargerSetting::ChargerPriority;
    double Value = 0.0;
    CurrentCommandForm Form = CurrentCommandForm::Classic; // for the maximum charging current only

    bool operator==(const SettingRequest&) const = default;
};

[[nodiscard]] SettingKind KindOf(ChargerSetting setting);
// For people: "Maximum charging current".
[[nodiscard]] std::string_view SettingName(ChargerSetting setting);
// "A", "V", or empty for a choice.
[[nodiscard]] std::string_view SettingUnit(ChargerSetting setting);
// How many codes a choice has (4 charger priorities, 3 battery types); 0 for a number.
[[nodiscard]] int ChoiceCount(ChargerSetting setting);
// Where the rated information reports the setting.
[[nodiscard]] RatedField RatedFieldOf(ChargerSetting setting);
// Volts as whole tenths (46.4 -> 464); none for a value off the 0.1 V grid (46.45) or no
// number at all.
[[nodiscard]] std::optional<long> VoltageTenths(double volts);

// The value in force, as the rated information reports it; none when the unit did not say.
[[nodiscard]] std::optional<double> SettingValue(ChargerSetting setting, const RatedInfo& rated);
// The value for people: "30 A", "46.0 V", "Battery full" (re-discharge 0), "Solar first",
// "AGM", "Type 5" (a unit's own battery type).
[[nodiscard]] std::string SettingValueText(ChargerSetting setting, double value);

// The command that asks for the value: "PBCV46.0", "MUCHGC030", "MCHGC030" / "MNCHGC0030",
// "PCP01". For a value CheckSetting accepted; another value gives a command no unit takes.
[[nodiscard]] std::string SettingCommand(const SettingRequest& request);
// The request a command stands for, exactly as SettingCommand writes it; none for any other
// text (another command, "PBCV46", "MNCHGC1030" for another machine).
[[nodiscard]] std::optional<SettingRequest> ParseSettingCommand(std::string_view command);

} // namespace quorvane
