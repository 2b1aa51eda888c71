#include "inverter/SettingCheck.h"

#include "core/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace quorvane {

namespace {

struct Range48 {
    ChargerSetting setting;
    long lowTenths;
    long highTenths;
};

constexpr Range48 kRangesFor48V[] = {
    {ChargerSetting::RechargeVoltage, 440, 510},
    {ChargerSetting::RedischargeVoltage, 480, 580},
    {ChargerSetting::CutOffVoltage, 400, 480},
    {ChargerSetting::BulkVoltage, 480, 584},
    {ChargerSetting::FloatVoltage, 480, 584},
};

// `lower` stays below `upper` (or at most equal to it).
struct Relation {
    ChargerSetting lower;
    ChargerSetting upper;
    std::string_view lowerName;
    std::string_view upperName;
    bool mayBeEqual;
};

constexpr Relation kRelations[] = {
    {ChargerSetting::CutOffVoltage, ChargerSetting::RechargeVoltage, "cut-off voltage", "re-charge voltage", false},
    {ChargerSetting::RechargeVoltage, ChargerSetting::RedischargeVoltage, "re-charge voltage", "re-discharge voltage", false},
    {ChargerSetting::FloatVoltage, ChargerSetting::BulkVoltage, "float voltage", "bulk voltage", true},
};

struct TenthsRange {
    long low;
    long high;
};

// A 48 V battery's range scaled to the unit's battery. The unit's limits lie on its 0.1 V
// grid, so a quarter of 51.0 V (12.75 V) is 12.8 V, as a 12 V unit reports it.
std::optional<TenthsRange> rangeOf(ChargerSetting setting, double batteryRatingV)
{
    if (batteryRatingV != 12.0 && batteryRatingV != 24.0 && batteryRatingV != 48.0)
        return std::nullopt;
    const double scale = batteryRatingV / 48.0;
    for (const Range48& range : kRangesFor48V)
        if (range.setting == setting)
            return TenthsRange{std::lround(static_cast<double>(range.lowTenths) * scale),
                               std::lround(static_cast<double>(range.highTenths) * scale)};
    return std::nullopt;
}

std::string voltsText(long tenths)
{
    return FormatFixed(static_cast<double>(tenths) / 10.0, 1);
}

// "maximum charging current", for the middle of a sentence.
std::string lowerCaseName(ChargerSetting setting)
{
    std::string name(SettingName(setting));
    name.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(name.front())));
    return name;
}

SettingCheck refused(SettingFault fault, std::string reason)
{
    return {fault, std::move(reason)};
}

SettingCheck checkChoice(ChargerSetting setting, double code)
{
    const int count = ChoiceCount(setting);
    if (code >= 0 && code < count && code == std::trunc(code))
        return {};
    std::string choices;
    for (int choice = 0; choice < count; ++choice)
        choices += (choice == 0 ? "" : ", ") + std::to_string(choice) + " " + SettingValueText(setting, choice);
    return refused(SettingFault::NoSuchChoice, SettingValueText(setting, code) + " is not one of " + choices);
}

SettingCheck checkCurrent(ChargerSetting setting, double amperes, const CurrentSteps& steps)
{
    const std::vector<int>& listed = setting == ChargerSetting::MaxChargingCurrent ? steps.Charging : steps.Utility;
    if (listed.empty())
        return refused(SettingFault::StepsUnknown, "the unit does not say which " + lowerCaseName(setting) + "s it allows");
    if (std::any_of(listed.begin(), listed.end(), [amperes](int step) { return step == amperes; }))
        return {};
    std::string allowed;
    for (const int step : listed)
        allowed += (allowed.empty() ? "" : ", ") + std::to_string(step);
    return refused(SettingFault::NotAStep, SettingValueText(setting, amperes) + " is not allowed: the unit allows " + allowed + " A");
}

SettingCheck checkRelations(ChargerSetting setting, long tenths, const RatedInfo& rated)
{
    for (const Relation& relation : kRelations) {
        const bool isLower = relation.lower == setting;
        if (!isLower && relation.upper != setting)
            continue;
        const ChargerSetting other = isLower ? relation.upper : relation.lower;
        const std::optional<double> otherValue = SettingValue(other, rated);
        // A re-discharge voltage of 0 (when the battery is full) sets no bound.
        if (!otherValue || (other == ChargerSetting::RedischargeVoltage && *otherValue == 0.0))
            continue;
        const long otherTenths = std::lround(*otherValue * 10.0);
        const long below = isLower ? tenths : otherTenths;
        const long above = isLower ? otherTenths : tenths;
        if (below < above || (relation.mayBeEqual && below == above))
            continue;
        const char* rule = isLower ? (relation.mayBeEqual ? " must not be above the " : " must be below the ")
                                   : (relation.mayBeEqual ? " must not be below the " : " must be above the ");
        return refused(SettingFault::Relation,
                       "the " + std::string(isLower ? relation.lowerName : relation.upperName) + rule
                           + std::string(isLower ? relation.upperName : relation.lowerName) + " ("
                           + SettingValueText(other, *otherValue) + ")");
    }
    return {};
}

SettingCheck checkVoltage(ChargerSetting setting, double volts, const RatedInfo& rated)
{
    const std::optional<TenthsRange> range = rangeOf(setting, rated.BatteryRatingV);
    if (!range)
        return refused(SettingFault::BatteryVoltageUnknown, "the unit's battery voltage is not known");
    const std::optional<long> tenths = VoltageTenths(volts);
    if (!tenths)
        return refused(SettingFault::NotOnGrid, SettingValueText(setting, volts) + ": voltages go in steps of 0.1 V");
    const bool full = setting == ChargerSetting::RedischargeVoltage && *tenths == 0;
    if (full)
        return {};
    if (*tenths < range->low || *tenths > range->high)
        return refused(SettingFault::OutOfRange,
                       SettingValueText(setting, volts) + " is outside " + voltsText(range->low) + "-" + voltsText(range->high)
                           + " V for a " + FormatFixed(rated.BatteryRatingV, 0) + " V battery"
                           + (setting == ChargerSetting::RedischargeVoltage ? " (00.0: when the battery is full)" : ""));
    return checkRelations(setting, *tenths, rated);
}

} // namespace

std::optional<VoltageRange> AllowedVoltages(ChargerSetting setting, double batteryRatingV)
{
    const std::optional<TenthsRange> range = rangeOf(setting, batteryRatingV);
    if (!range)
        return std::nullopt;
    return VoltageRange{static_cast<double>(range->low) / 10.0, static_cast<double>(range->high) / 10.0};
}

SettingCheck CheckSetting(ChargerSetting setting, double value, const RatedInfo& rated, const CurrentSteps& steps)
{
    switch (KindOf(setting)) {
    case SettingKind::Choice:
        return checkChoice(setting, value);
    case SettingKind::Current:
        return checkCurrent(setting, value, steps);
    case SettingKind::Voltage:
        break;
    }
    return checkVoltage(setting, value, rated);
}

} // namespace quorvane
