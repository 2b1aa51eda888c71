#pragma once

#include "inverter/InverterStates.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quorvane {

// The battery type as the rated information gives it. Some units report codes from 3 up for
// kinds of their own (5 and 9 are seen); such a code is kept as its number.
enum class BatteryType : int { Agm = 0, Flooded = 1, User = 2 };

// Where the charger takes its power from; its value is the code in the rated information.
enum class ChargerPriority { UtilityFirst, SolarFirst, SolarAndUtility, OnlySolar };

// The fields of the rated-information reply ("QPIRI") this program reads, by number (1-based):
//   8 battery rating voltage   9 re-charge   10 cut-off (under voltage)   11 bulk (CV)
//  12 float   13 battery type   14 maximum utility charging current   15 maximum charging
//  current   17 output source priority   18 charger source priority   23 re-discharge
// Fields 1..12 are sent by every unit; old firmware stops before field 23, newer units send
// more after it, and some put "-" where a number belongs.
enum class RatedField : int {
    BatteryRating = 8,
    Recharge = 9,
    CutOff = 10,
    Bulk = 11,
    Float = 12,
    BatteryType = 13,
    MaxUtilityCharging = 14,
    MaxCharging = 15,
    OutputPriority = 17,
    ChargerPriority = 18,
    Redischarge = 23,
};

// The rated information as values: what the unit is built for and the charger and battery
// settings in force. Fields a unit did not send, or sent as something other than a number
// (or a code this program does not know, for the priorities), are none. A plain value.
struct RatedInfo {
    double BatteryRatingV = 0.0;  // 12, 24 or 48 on the units seen
    double RechargeV = 0.0;       // back to charging from the utility below this
    double CutOffV = 0.0;         // the output stops below this
    double BulkV = 0.0;
    double FloatV = 0.0;
    std::optional<BatteryType> Battery;
    std::optional<int> MaxUtilityChargingA;
    std::optional<int> MaxChargingA;
    std::optional<OutputPriority> OutputSource;
    std::optional<ChargerPriority> ChargerSource;
    std::optional<double> RedischargeV; // 0: back to the battery when it is full

    bool operator==(const RatedInfo&) const = default;
};

// None when one of fields 1..12 is missing or not a plain number (a "NAK", a damaged reply).
[[nodiscard]] std::optional<RatedInfo> DecodeRatedInfo(std::string_view payload);

// The charging currents a unit allows, in amperes, as its replies to "QMCHGCR" (maximum
// charging current) and "QMUCHGCR" (maximum utility charging current) list them:
// "010 020 030 ...". None unless every field is a whole number.
[[nodiscard]] std::optional<std::vector<int>> DecodeCurrentSteps(std::string_view payload);

} // namespace quorvane
