#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// How serious a reported condition is: a fault stops or endangers the output, a warning
// does not.
enum class WarningSeverity { Warning, Fault };

// One condition the warning-status reply reports as set.
struct WarningCondition {
    int Bit = 0;
    std::string Id;   // stable, lower case, for integrations: "battery_low", "bit_13"
    std::string Text; // for people: "Battery low", "bit 13"
    WarningSeverity Severity = WarningSeverity::Warning;

    bool operator==(const WarningCondition&) const = default;
};

// The conditions one warning-status reply reports, in bit order. A plain value.
struct WarningStatus {
    std::vector<WarningCondition> Conditions;

    // The condition of this bit, or nullptr when the bit is clear.
    [[nodiscard]] const WarningCondition* Find(int bit) const;

    bool operator==(const WarningStatus&) const = default;
};

// Reads the payload of the warning-status reply ("QPIWS"): one '0' or '1' for each bit, bit N
// being character N. Older units send 32 characters, newer ones 36 or more. None for an empty
// payload or one with any other character (a "NAK", a damaged reply).
[[nodiscard]] std::optional<WarningStatus> DecodeWarningStatus(std::string_view payload);

enum class WarningChange { On, Off };

// "Warning" or "Fault".
[[nodiscard]] std::string WarningSeverityText(WarningSeverity severity);
// "warning" or "fault": the stable form for integrations.
[[nodiscard]] constexpr const char* WarningSeverityId(WarningSeverity severity)
{
    return severity == WarningSeverity::Fault ? "fault" : "warning";
}
// The memo line of a condition that turned on or off, e.g. "Fault on: Bus over",
// "Warning off: Battery low".
[[nodiscard]] std::string WarningMemoText(const WarningCondition& condition, WarningChange change);

} // namespace quorvane
