#pragma once

#include "inverter/ChargerSettings.h"
#include "inverter/RatedInfo.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// What a unit allows, for a 48 V battery (a 24 V unit allows half of every voltage, a 12 V
// unit a quarter, on the unit's 0.1 V grid):
//   re-charge     44.0 .. 51.0
//   re-discharge  48.0 .. 58.0, or 00.0 (when the battery is full); above the re-charge
//   cut-off       40.0 .. 48.0, below the re-charge
//   bulk          48.0 .. 58.4
//   float         48.0 .. 58.4, not above the bulk
//   charging currents: one of the steps the unit lists
// The relations hold between the value asked for and the other voltages as the unit reports
// them now, both ways (a re-charge voltage must also stay below the re-discharge voltage), so
// settings changed one at a time each get a clear answer.

// Why a value is refused.
enum class SettingFault {
    None,
    BatteryVoltageUnknown, // a voltage, on a unit whose battery is not 12, 24 or 48 V
    NotOnGrid,             // a voltage with more than one decimal
    OutOfRange,            // a voltage outside the range for the unit's battery
    Relation,              // a voltage against another one as the unit reports it now
    NotAStep,              // a charging current the unit does not list
    StepsUnknown,          // a charging current, on a unit that does not list them
    NoSuchChoice,          // a code the setting does not have
};

struct SettingCheck {
    SettingFault Fault = SettingFault::None;
    std::string Reason; // for people, e.g. "46.5 V is outside 44.0-51.0 V for a 48 V battery"

    [[nodiscard]] bool Ok() const { return Fault == SettingFault::None; }
};

// The charging currents the unit lists, in amperes; empty when it does not (it refused the
// query).
struct CurrentSteps {
    std::vector<int> Charging; // "QMCHGCR"
    std::vector<int> Utility;  // "QMUCHGCR"

    bool operator==(const CurrentSteps&) const = default;
};

struct VoltageRange {
    double LowV = 0.0;
    double HighV = 0.0;

    bool operator==(const VoltageRange&) const = default;
};

// The range of a voltage setting for a battery of this rating (the re-discharge voltage's 0
// aside); none for a setting that is no voltage or a battery rating other than 12, 24, 48 V.
[[nodiscard]] std::optional<VoltageRange> AllowedVoltages(ChargerSetting setting, double batteryRatingV);

// Whether the unit that reported `rated` and `steps` takes `value` for `setting` (a choice's
// code, amperes or volts), and if not, why.
[[nodiscard]] SettingCheck CheckSetting(ChargerSetting setting, double value, const RatedInfo& rated,
                                        const CurrentSteps& steps);

} // namespace quorvane
