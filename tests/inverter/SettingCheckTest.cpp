// Which values a unit takes for its charger and battery settings, and the reasons given for
// those it would refuse.
#include "inverter/SettingCheck.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quorvane;

namespace {

using S = ChargerSetting;
using Fault = SettingFault;

// Units as they report themselves: battery rating, re-charge, cut-off, bulk, float,
// re-discharge.
RatedInfo unit(double battery, double recharge, double cutOff, double bulk, double floatV, std::optional<double> redischarge)
{
    RatedInfo rated;
    rated.BatteryRatingV = battery;
    rated.RechargeV = recharge;
    rated.CutOffV = cutOff;
    rated.BulkV = bulk;
    rated.FloatV = floatV;
    rated.RedischargeV = redischarge;
    return rated;
}

const RatedInfo k48 = unit(48, 46.0, 42.0, 56.4, 54.0, 54.0);
const RatedInfo k24 = unit(24, 23.0, 21.0, 28.2, 27.0, 27.0);
const RatedInfo k12 = unit(12, 11.5, 10.5, 14.1, 13.5, 13.5);
// Re-charge and re-discharge close together, so both relations of the re-charge bind.
const RatedInfo k48Close = unit(48, 49.0, 44.0, 56.4, 54.0, 50.0);
const RatedInfo k48CloseFull = unit(48, 49.0, 44.0, 56.4, 54.0, 0.0);
const RatedInfo k48CloseOld = unit(48, 49.0, 44.0, 56.4, 54.0, std::nullopt); // no re-discharge field
const RatedInfo k36 = unit(36, 34.5, 31.5, 42.3, 40.5, 40.5);
const RatedInfo kNoRating = unit(0, 46.0, 42.0, 56.4, 54.0, 54.0);

const CurrentSteps kListed{{10, 20, 30}, {2, 10, 20}};
const CurrentSteps kNotListed{};

} // namespace

TEST(SettingCheck, RangesRelationsStepsAndChoices)
{
    const struct {
        ChargerSetting setting;
        double value;
        const RatedInfo& rated;
        const CurrentSteps& steps;
        Fault fault;
        const char* reason; // checked when given
    } cases[] = {
        // Ranges, per battery voltage.
        {S::RechargeVoltage, 44.0, k48, kListed, Fault::None, ""},
        {S::RechargeVoltage, 51.0, k48, kListed, Fault::None, ""},
        {S::RechargeVoltage, 43.9, k48, kListed, Fault::OutOfRange, "43.9 V is outside 44.0-51.0 V for a 48 V battery"},
        {S::RechargeVoltage, 51.1, k48, kListed, Fault::OutOfRange, ""},
        {S::RechargeVoltage, 25.5, k24, kListed, Fault::None, ""},
        {S::RechargeVoltage, 25.6, k24, kListed, Fault::OutOfRange, "25.6 V is outside 22.0-25.5 V for a 24 V battery"},
        {S::RechargeVoltage, 46.0, k24, kListed, Fault::OutOfRange, ""}, // a 48 V unit's value
        {S::RechargeVoltage, 12.8, k12, kListed, Fault::None, ""},        // a quarter of 51.0 V, on the grid
        {S::RechargeVoltage, 12.9, k12, kListed, Fault::OutOfRange, "12.9 V is outside 11.0-12.8 V for a 12 V battery"},
        {S::CutOffVoltage, 40.0, k48, kListed, Fault::None, ""},
        {S::CutOffVoltage, 39.9, k48, kListed, Fault::OutOfRange, ""},
        {S::CutOffVoltage, 10.0, k12, kListed, Fault::None, ""},
        {S::CutOffVoltage, 9.9, k12, kListed, Fault::OutOfRange, ""},
        {S::BulkVoltage, 58.4, k48, kListed, Fault::None, ""},
        {S::BulkVoltage, 58.5, k48, kListed, Fault::OutOfRange, ""},
        {S::BulkVoltage, 29.2, k24, kListed, Fault::None, ""},
        {S::BulkVoltage, 14.6, k12, kListed, Fault::None, ""},
        {S::BulkVoltage, 14.7, k12, kListed, Fault::OutOfRange, ""},
        {S::FloatVoltage, 47.9, k48, kListed, Fault::OutOfRange, ""},
        {S::RedischargeVoltage, 58.0, k48, kListed, Fault::None, ""},
        {S::RedischargeVoltage, 0.0, k48, kListed, Fault::None, ""},
        {S::RedischargeVoltage, 46.0, k48, kListed, Fault::OutOfRange,
         "46.0 V is outside 48.0-58.0 V for a 48 V battery (00.0: when the battery is full)"},
        {S::RedischargeVoltage, 0.0, k12, kListed, Fault::None, ""},
        {S::RedischargeVoltage, 14.5, k12, kListed, Fault::None, ""},
        // Relations with the other voltages as the unit reports them now, both ways.
        {S::FloatVoltage, 56.4, k48, kListed, Fault::None, ""},
        {S::FloatVoltage, 56.5, k48, kListed, Fault::Relation, "the float voltage must not be above the bulk voltage (56.4 V)"},
        {S::BulkVoltage, 53.9, k48, kListed, Fault::Relation, "the bulk voltage must not be below the float voltage (54.0 V)"},
        {S::CutOffVoltage, 45.9, k48, kListed, Fault::None, ""},
        {S::CutOffVoltage, 46.0, k48, kListed, Fault::Relation, "the cut-off voltage must be below the re-charge voltage (46.0 V)"},
        {S::CutOffVoltage, 23.0, k24, kListed, Fault::Relation, ""},
        {S::RedischargeVoltage, 49.0, k48Close, kListed, Fault::Relation,
         "the re-discharge voltage must be above the re-charge voltage (49.0 V)"},
        {S::RedischargeVoltage, 49.1, k48Close, kListed, Fault::None, ""},
        {S::RechargeVoltage, 50.0, k48Close, kListed, Fault::Relation,
         "the re-charge voltage must be below the re-discharge voltage (50.0 V)"},
        {S::RechargeVoltage, 44.0, k48Close, kListed, Fault::Relation,
         "the re-charge voltage must be above the cut-off voltage (44.0 V)"},
        {S::RechargeVoltage, 50.0, k48CloseFull, kListed, Fault::None, ""}, // "when full" sets no bound
        {S::RechargeVoltage, 50.0, k48CloseOld, kListed, Fault::None, ""},  // nor does a field not sent
        // Steps of 0.1 V, whatever arithmetic made the value.
        {S::RechargeVoltage, 46.05, k48, kListed, Fault::NotOnGrid, "46.05 V: voltages go in steps of 0.1 V"},
        {S::BulkVoltage, 0.1 * 564, k48, kListed, Fault::None, ""},
        {S::CutOffVoltage, std::nan(""), k48, kListed, Fault::NotOnGrid, ""},
        // A unit whose battery voltage this program does not know.
        {S::RechargeVoltage, 34.5, k36, kListed, Fault::BatteryVoltageUnknown, "the unit's battery voltage is not known"},
        {S::RedischargeVoltage, 0.0, kNoRating, kListed, Fault::BatteryVoltageUnknown, ""},
        {S::MaxChargingCurrent, 20, kNoRating, kListed, Fault::None, ""},
        {S::BatteryType, 1, k36, kListed, Fault::None, ""},
        // Charging currents: the unit's own steps, each setting its own list.
        {S::MaxChargingCurrent, 20, k48, kListed, Fault::None, ""},
        {S::MaxChargingCurrent, 25, k48, kListed, Fault::NotAStep, "25 A is not allowed: the unit allows 10, 20, 30 A"},
        {S::MaxChargingCurrent, 2, k48, kListed, Fault::NotAStep, ""},
        {S::MaxChargingCurrent, 20.5, k48, kListed, Fault::NotAStep, ""},
        {S::MaxUtilityChargingCurrent, 2, k48, kListed, Fault::None, ""},
        {S::MaxUtilityChargingCurrent, 30, k48, kListed, Fault::NotAStep, "30 A is not allowed: the unit allows 2, 10, 20 A"},
        {S::MaxChargingCurrent, 20, k48, kNotListed, Fault::StepsUnknown,
         "the unit does not say which maximum charging currents it allows"},
        {S::MaxUtilityChargingCurrent, 2, k48, kNotListed, Fault::StepsUnknown,
         "the unit does not say which maximum utility charging currents it allows"},
        // Choices.
        {S::ChargerPriority, 0, k48, kNotListed, Fault::None, ""},
        {S::ChargerPriority, 3, k48, kNotListed, Fault::None, ""},
        {S::ChargerPriority, 4, k48, kListed, Fault::NoSuchChoice,
         "Code 4 is not one of 0 Utility first, 1 Solar first, 2 Solar and utility, 3 Only solar"},
        {S::ChargerPriority, -1, k48, kListed, Fault::NoSuchChoice, ""},
        {S::ChargerPriority, 1.5, k48, kListed, Fault::NoSuchChoice, ""},
        {S::BatteryType, 2, k48, kListed, Fault::None, ""},
        {S::BatteryType, 3, k48, kListed, Fault::NoSuchChoice, "Type 3 is not one of 0 AGM, 1 Flooded, 2 User"},
    };
    for (const auto& c : cases) {
        const SettingCheck check = CheckSetting(c.setting, c.value, c.rated, c.steps);
        const std::string where = std::string(SettingName(c.setting)) + " " + std::to_string(c.value);
        EXPECT_EQ(check.Fault, c.fault) << where << ": " << check.Reason;
        EXPECT_EQ(check.Ok(), check.Reason.empty()) << where;
        if (*c.reason != '\0') {
            EXPECT_EQ(check.Reason, c.reason) << where;
        }
    }
}

TEST(SettingCheck, JustOutsideEveryRangeIsRefusedWithThatRange)
{
    const struct {
        double battery;
        ChargerSetting setting;
        VoltageRange range;
    } cases[] = {
        {48, S::RechargeVoltage, {44.0, 51.0}}, {48, S::RedischargeVoltage, {48.0, 58.0}},
        {48, S::CutOffVoltage, {40.0, 48.0}},   {48, S::BulkVoltage, {48.0, 58.4}},
        {48, S::FloatVoltage, {48.0, 58.4}},    {24, S::RechargeVoltage, {22.0, 25.5}},
        {24, S::RedischargeVoltage, {24.0, 29.0}}, {24, S::CutOffVoltage, {20.0, 24.0}},
        {24, S::BulkVoltage, {24.0, 29.2}},     {24, S::FloatVoltage, {24.0, 29.2}},
        {12, S::RechargeVoltage, {11.0, 12.8}}, {12, S::RedischargeVoltage, {12.0, 14.5}},
        {12, S::CutOffVoltage, {10.0, 12.0}},   {12, S::BulkVoltage, {12.0, 14.6}},
        {12, S::FloatVoltage, {12.0, 14.6}},
    };
    for (const auto& c : cases) {
        const std::string where = std::string(SettingName(c.setting)) + " " + std::to_string(c.battery);
        EXPECT_EQ(AllowedVoltages(c.setting, c.battery), c.range) << where;
        const RatedInfo rated = unit(c.battery, 0, 0, 0, 0, std::nullopt);
        for (const double outside : {c.range.LowV - 0.1, c.range.HighV + 0.1}) {
            const SettingCheck check = CheckSetting(c.setting, std::round(outside * 10) / 10, rated, kListed);
            EXPECT_EQ(check.Fault, Fault::OutOfRange) << where << ' ' << outside;
        }
    }
    for (const double battery : {0.0, 36.0, 48.1})
        EXPECT_FALSE(AllowedVoltages(S::RechargeVoltage, battery)) << battery;
    EXPECT_FALSE(AllowedVoltages(S::MaxChargingCurrent, 48));
}
