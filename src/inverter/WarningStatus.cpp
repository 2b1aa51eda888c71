#include "inverter/WarningStatus.h"

#include <algorithm>
#include <array>

namespace quorvane {

namespace {

// What a set bit means. Bits the family leaves undefined have no entry.
struct BitMeaning {
    int bit;
    const char* id;
    const char* text;
    WarningSeverity severity;
};

constexpr auto W = WarningSeverity::Warning;
constexpr auto F = WarningSeverity::Fault;

constexpr std::array kMeanings = {
    BitMeaning{1, "inverter_fault", "Inverter fault", F},
    BitMeaning{2, "bus_over", "Bus over", F},
    BitMeaning{3, "bus_under", "Bus under", F},
    BitMeaning{4, "bus_soft_fail", "Bus soft fail", F},
    BitMeaning{5, "line_fail", "Line fail", W},
    BitMeaning{6, "opv_short", "OPV short", W},
    BitMeaning{7, "inverter_voltage_too_low", "Inverter voltage too low", F},
    BitMeaning{8, "inverter_voltage_too_high", "Inverter voltage too high", F},
    BitMeaning{9, "over_temperature", "Over temperature", W},
    BitMeaning{10, "fan_locked", "Fan locked", W},
    BitMeaning{11, "battery_voltage_high", "Battery voltage high", W},
    BitMeaning{12, "battery_low", "Battery low", W},
    BitMeaning{14, "battery_under_shutdown", "Battery under shutdown", W},
    BitMeaning{16, "overload", "Overload", W},
    BitMeaning{17, "eeprom_fault", "EEPROM fault", W},
    BitMeaning{18, "inverter_over_current", "Inverter over current", F},
    BitMeaning{19, "inverter_soft_fail", "Inverter soft fail", F},
    BitMeaning{20, "self_test_fail", "Self test fail", F},
    BitMeaning{21, "op_dc_voltage_over", "OP DC voltage over", F},
    BitMeaning{22, "battery_open", "Battery open", F},
    BitMeaning{23, "current_sensor_fail", "Current sensor fail", F},
    BitMeaning{24, "battery_short", "Battery short", F},
    BitMeaning{25, "power_limit", "Power limit", W},
    BitMeaning{26, "pv_voltage_high", "PV voltage high", W},
    BitMeaning{27, "mppt_overload_fault", "MPPT overload fault", W},
    BitMeaning{28, "mppt_overload_warning", "MPPT overload warning", W},
    BitMeaning{29, "battery_too_low_to_charge", "Battery too low to charge", W},
    BitMeaning{30, "pv1_loss", "PV1 loss", W},
    BitMeaning{31, "pv2_loss", "PV2 loss", W},
};

constexpr int kInverterFaultBit = 1;
// These report a warning alone, and a fault while the inverter fault bit is set with them.
constexpr int kFaultWithInverterFault[] = {9, 10, 11, 16};

const BitMeaning* meaningOf(int bit)
{
    const auto found = std::find_if(kMeanings.begin(), kMeanings.end(), [bit](const BitMeaning& m) { return m.bit == bit; });
    return found == kMeanings.end() ? nullptr : &*found;
}

WarningCondition conditionOf(int bit, bool inverterFault)
{
    const BitMeaning* meaning = meaningOf(bit);
    if (meaning == nullptr) // reserved, or past what the family defines
        return {bit, "bit_" + std::to_string(bit), "bit " + std::to_string(bit), WarningSeverity::Warning};
    WarningCondition condition{bit, meaning->id, meaning->text, meaning->severity};
    if (inverterFault && std::ranges::find(kFaultWithInverterFault, bit) != std::end(kFaultWithInverterFault))
        condition.Severity = WarningSeverity::Fault;
    return condition;
}

} // namespace

const WarningCondition* WarningStatus::Find(int bit) const
{
    const auto found = std::ranges::find(Conditions, bit, &WarningCondition::Bit);
    return found == Conditions.end() ? nullptr : &*found;
}

std::optional<WarningStatus> DecodeWarningStatus(std::string_view payload)
{
    if (payload.empty() || payload.find_first_not_of("01") != std::string_view::npos)
        return std::nullopt;
    const bool inverterFault = payload.size() > kInverterFaultBit && payload[kInverterFaultBit] == '1';
    WarningStatus status;
    for (size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] == '1')
            status.Conditions.push_back(conditionOf(static_cast<int>(i), inverterFault));
    }
    return status;
}

std::string WarningSeverityText(WarningSeverity severity)
{
    switch (severity) {
    case WarningSeverity::Warning: return "Warning";
    case WarningSeverity::Fault: return "Fault";
    }
    return "Warning";
}

std::string WarningMemoText(const WarningCondition& condition, WarningChange change)
{
    return WarningSeverityText(condition.Severity) + (change == WarningChange::On ? " on: " : " off: ") + condition.Text;
}

} // namespace quorvane
