// The charger and battery settings: their values in the rated information, their texts and
// their commands.
#include "inverter/ChargerSettings.h"
#include "inverter/Frame.h"
#include "inverter/SettingCheck.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

using S = ChargerSetting;

} // namespace

TEST(ChargerSettings, EachIsReadFromItsOwnFieldOfTheRatedInformation)
{
    // Every field a setting reads holds a value no other field holds.
    const std::string payload = "230.0 21.7 230.0 50.0 21.7 5000 4000 48.0 46.1 42.2 56.3 54.4 1 002 070 0 2 3 1 01 0 0 53.5 0 1";
    const auto rated = DecodeRatedInfo(payload);
    ASSERT_TRUE(rated);
    const struct {
        ChargerSetting setting;
        double value;
    } cases[] = {
        {S::ChargerPriority, 3}, {S::MaxChargingCurrent, 70}, {S::MaxUtilityChargingCurrent, 2},
        {S::RechargeVoltage, 46.1}, {S::RedischargeVoltage, 53.5}, {S::CutOffVoltage, 42.2},
        {S::BulkVoltage, 56.3}, {S::FloatVoltage, 54.4}, {S::BatteryType, 1},
    };
    ASSERT_EQ(std::size(cases), kChargerSettings.size());
    const auto fields = SplitFields(payload);
    for (const auto& c : cases) {
        EXPECT_EQ(SettingValue(c.setting, *rated), c.value) << SettingName(c.setting);
        // The field a simulated unit writes is the one the value is read from.
        const auto field = static_cast<size_t>(RatedFieldOf(c.setting));
        EXPECT_EQ(std::stod(std::string(fields[field - 1])), c.value) << SettingName(c.setting);
    }
    RatedInfo oldFirmware = *rated;
    oldFirmware.RedischargeV.reset();
    oldFirmware.MaxChargingA.reset();
    EXPECT_FALSE(SettingValue(S::RedischargeVoltage, oldFirmware));
    EXPECT_FALSE(SettingValue(S::MaxChargingCurrent, oldFirmware));
}

TEST(ChargerSettings, ValuesReadForPeople)
{
    const struct {
        ChargerSetting setting;
        double value;
        const char* text;
    } cases[] = {
        {S::ChargerPriority, 0, "Utility first"},
        {S::ChargerPriority, 1, "Solar first"},
        {S::ChargerPriority, 2, "Solar and utility"},
        {S::ChargerPriority, 3, "Only solar"},
        {S::BatteryType, 0, "AGM"},
        {S::BatteryType, 1, "Flooded"},
        {S::BatteryType, 2, "User"},
        {S::BatteryType, 9, "Type 9"}, // a unit's own kind
        {S::MaxChargingCurrent, 30, "30 A"},
        {S::MaxUtilityChargingCurrent, 2, "2 A"},
        {S::RechargeVoltage, 46, "46.0 V"},
        {S::CutOffVoltage, 10.5, "10.5 V"},
        {S::FloatVoltage, 54.05, "54.05 V"}, // off the 0.1 V grid: shown as it is
        {S::RedischargeVoltage, 54, "54.0 V"},
        {S::RedischargeVoltage, 0, "Battery full"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingValueText(c.setting, c.value), c.text) << SettingName(c.setting) << ' ' << c.value;
}

TEST(ChargerSettings, CommandsAreWrittenAndReadBackExactly)
{
    using F = CurrentCommandForm;
    const struct {
        SettingRequest request;
        const char* command;
    } cases[] = {
        {{S::ChargerPriority, 1}, "PCP01"},
        {{S::ChargerPriority, 3}, "PCP03"},
        {{S::MaxChargingCurrent, 30, F::Classic}, "MCHGC030"},
        {{S::MaxChargingCurrent, 30, F::PerMachine}, "MNCHGC0030"},
        {{S::MaxChargingCurrent, 120, F::PerMachine}, "MNCHGC0120"},
        {{S::MaxUtilityChargingCurrent, 2}, "MUCHGC002"},
        {{S::MaxUtilityChargingCurrent, 30}, "MUCHGC030"},
        {{S::RechargeVoltage, 46.0}, "PBCV46.0"},
        {{S::RechargeVoltage, 12.8}, "PBCV12.8"},
        {{S::RedischargeVoltage, 54.0}, "PBDV54.0"},
        {{S::RedischargeVoltage, 0.0}, "PBDV00.0"},
        {{S::CutOffVoltage, 42.0}, "PSDV42.0"},
        {{S::CutOffVoltage, 0.1 * 105}, "PSDV10.5"}, // a value with arithmetic's noise
        {{S::BulkVoltage, 56.4}, "PCVV56.4"},
        {{S::FloatVoltage, 54.0}, "PBFT54.0"},
        {{S::BatteryType, 0}, "PBT00"},
        {{S::BatteryType, 2}, "PBT02"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingCommand(c.request), c.command);
        const auto parsed = ParseSettingCommand(c.command);
        ASSERT_TRUE(parsed) << c.command;
        EXPECT_EQ(parsed->Setting, c.request.Setting) << c.command;
        EXPECT_NEAR(parsed->Value, c.request.Value, 1e-9) << c.command;
        EXPECT_EQ(parsed->Form, c.request.Form) << c.command;
    }
    // Only what SettingCommand writes: no other width, no other machine, no other command.
    for (const char* other : {"PBCV46", "PBCV046.0", "PBFT54.00", "MCHGC30", "MCHGC0030", "MNCHGC1030",
                              "MNCHGC030", "PCP1", "PBT-1", "PBCV4 6.0", "POP01", "QPIRI", ""})
        EXPECT_FALSE(ParseSettingCommand(other)) << other;
}

TEST(ChargerSettings, EveryVoltageAUnitAllowsHasACommandThatReadsBack)
{
    int commands = 0;
    for (const double battery : {12.0, 24.0, 48.0}) {
        for (const ChargerSetting setting : kChargerSettings) {
            const auto range = AllowedVoltages(setting, battery);
            if (!range)
                continue;
            const auto low = VoltageTenths(range->LowV);
            const auto high = VoltageTenths(range->HighV);
            ASSERT_TRUE(low && high);
            for (long tenths = *low; tenths <= *high; ++tenths) {
                const SettingRequest request{setting, static_cast<double>(tenths) / 10.0};
                const std::string command = SettingCommand(request);
                EXPECT_EQ(command.size(), command.find_first_of("0123456789") + 4) << command; // nn.n
                EXPECT_EQ(ParseSettingCommand(command), request) << command;
                ++commands;
            }
        }
    }
    EXPECT_GT(commands, 500);
}
