#include "inverter/ChargerSettings.h"

#include "core/NumberText.h"
#include "inverter/MainValuesReply.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

namespace quorvane {

namespace {

struct Traits {
    std::string_view name;
    SettingKind kind;
    std::string_view command; // the letters before the value
    RatedField field;
};

// In the order of ChargerSetting.
constexpr Traits kTraits[] = {
    {"Charger source priority", SettingKind::Choice, "PCP", RatedField::ChargerPriority},
    {"Maximum charging current", SettingKind::Current, "MCHGC", RatedField::MaxCharging},
    {"Maximum utility charging current", SettingKind::Current, "MUCHGC", RatedField::MaxUtilityCharging},
    {"Re-charge voltage", SettingKind::Voltage, "PBCV", RatedField::Recharge},
    {"Re-discharge voltage", SettingKind::Voltage, "PBDV", RatedField::Redischarge},
    {"Cut-off voltage", SettingKind::Voltage, "PSDV", RatedField::CutOff},
    {"Bulk charging voltage", SettingKind::Voltage, "PCVV", RatedField::Bulk},
    {"Float charging voltage", SettingKind::Voltage, "PBFT", RatedField::Float},
    {"Battery type", SettingKind::Choice, "PBT", RatedField::BatteryType},
};
static_assert(std::size(kTraits) == kChargerSettings.size());

// The parallel machine number goes in front of the current; this program watches one unit.
constexpr std::string_view kPerMachinePrefix = "MNCHGC0";

constexpr std::string_view kChargerPriorityNames[] = {"Utility first", "Solar first", "Solar and utility", "Only solar"};
constexpr std::string_view kBatteryTypeNames[] = {"AGM", "Flooded", "User"};

const Traits& traitsOf(ChargerSetting setting)
{
    return kTraits[static_cast<std::size_t>(setting)];
}

std::string_view prefixOf(const SettingRequest& request)
{
    if (request.Setting == ChargerSetting::MaxChargingCurrent && request.Form == CurrentCommandForm::PerMachine)
        return kPerMachinePrefix;
    return traitsOf(request.Setting).command;
}

// The shortest text that reads back as the value: "30", "46.05".
std::string shortest(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

std::string choiceText(ChargerSetting setting, double code)
{
    const bool battery = setting == ChargerSetting::BatteryType;
    const std::span<const std::string_view> names = battery ? std::span<const std::string_view>(kBatteryTypeNames)
                                                            : std::span<const std::string_view>(kChargerPriorityNames);
    if (code >= 0 && code < static_cast<double>(names.size()) && code == std::trunc(code))
        return std::string(names[static_cast<std::size_t>(code)]);
    return (battery ? "Type " : "Code ") + shortest(code);
}

} // namespace

SettingKind KindOf(ChargerSetting setting)
{
    return traitsOf(setting).kind;
}

std::string_view SettingName(ChargerSetting setting)
{
    return traitsOf(setting).name;
}

std::string_view SettingUnit(ChargerSetting setting)
{
    switch (KindOf(setting)) {
    case SettingKind::Current:
        return "A";
    case SettingKind::Voltage:
        return "V";
    case SettingKind::Choice:
        break;
    }
    return "";
}

int ChoiceCount(ChargerSetting setting)
{
    switch (setting) {
    case ChargerSetting::ChargerPriority:
        return static_cast<int>(std::size(kChargerPriorityNames));
    case ChargerSetting::BatteryType:
        return static_cast<int>(std::size(kBatteryTypeNames));
    default:
        return 0;
    }
}

RatedField RatedFieldOf(ChargerSetting setting)
{
    return traitsOf(setting).field;
}

std::optional<long> VoltageTenths(double volts)
{
    const double tenths = volts * 10.0;
    if (!std::isfinite(tenths) || std::abs(tenths) > 1e9 || std::abs(tenths - std::round(tenths)) > 1e-6)
        return std::nullopt;
    return std::lround(tenths);
}

std::optional<double> SettingValue(ChargerSetting setting, const RatedInfo& rated)
{
    const auto number = [](const auto& field) -> std::optional<double> {
        if (!field)
            return std::nullopt;
        return static_cast<double>(*field);
    };
    switch (setting) {
    case ChargerSetting::ChargerPriority:
        return number(rated.ChargerSource);
    case ChargerSetting::MaxChargingCurrent:
        return number(rated.MaxChargingA);
    case ChargerSetting::MaxUtilityChargingCurrent:
        return number(rated.MaxUtilityChargingA);
    case ChargerSetting::RechargeVoltage:
        return rated.RechargeV;
    case ChargerSetting::RedischargeVoltage:
        return rated.RedischargeV;
    case ChargerSetting::CutOffVoltage:
        return rated.CutOffV;
    case ChargerSetting::BulkVoltage:
        return rated.BulkV;
    case ChargerSetting::FloatVoltage:
        return rated.FloatV;
    case ChargerSetting::BatteryType:
        return number(rated.Battery);
    }
    return std::nullopt;
}

std::string SettingValueText(ChargerSetting setting, double value)
{
    switch (KindOf(setting)) {
    case SettingKind::Choice:
        return choiceText(setting, value);
    case SettingKind::Current:
        return shortest(value) + " A";
    case SettingKind::Voltage:
        break;
    }
    if (setting == ChargerSetting::RedischargeVoltage && value == 0.0)
        return "Battery full";
    return (VoltageTenths(value) ? FormatFixed(value, 1) : shortest(value)) + " V";
}

std::string SettingCommand(const SettingRequest& request)
{
    char digits[32];
    const double value = request.Value;
    switch (KindOf(request.Setting)) {
    case SettingKind::Choice:
        std::snprintf(digits, sizeof digits, "%02ld", std::lround(value));
        break;
    case SettingKind::Current:
        std::snprintf(digits, sizeof digits, "%03ld", std::lround(value));
        break;
    case SettingKind::Voltage: {
        const long tenths = std::lround(value * 10.0);
        std::snprintf(digits, sizeof digits, "%02ld.%ld", tenths / 10, std::abs(tenths % 10));
        break;
    }
    }
    return std::string(prefixOf(request)) + digits;
}

std::optional<SettingRequest> ParseSettingCommand(std::string_view command)
{
    for (const ChargerSetting setting : kChargerSettings) {
        for (const CurrentCommandForm form : {CurrentCommandForm::Classic, CurrentCommandForm::PerMachine}) {
            SettingRequest request{setting, 0.0, form};
            if (form == CurrentCommandForm::PerMachine && setting != ChargerSetting::MaxChargingCurrent)
                continue;
            const std::string_view prefix = prefixOf(request);
            if (!command.starts_with(prefix) || !IsPlainNumber(command.substr(prefix.size())))
                continue;
            request.Value = TextToDouble(command.substr(prefix.size()));
            // Only the exact form: "PBCV46" or "MCHGC30" are not what a unit is sent.
            if (SettingCommand(request) == command)
                return request;
        }
    }
    return std::nullopt;
}

} // namespace quorvane
