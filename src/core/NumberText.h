#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Numbers in replies, logs and settings always use "." as the decimal separator, whatever
// the user's locale; these conversions never consult the process locale.
//
// A text that is not a whole number converts to 0: an empty field (two spaces in a row in a
// reply), a text with two points, or a lone ".". The reply rules let only digits and "."
// through, so 0 is the reading of "nothing usable here" and never stops a cycle.
[[nodiscard]] double TextToDouble(std::string_view text);
// The strict reading, for files where a value that is not a number is an error to report.
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text);
// Fixed-point with exactly three decimals and "." ("12.345", "0.000"), as logs, totals and
// panels show energies.
[[nodiscard]] std::string FormatFixed3(double value);
// Fixed-point with `decimals` decimals and ".", never "-0".
[[nodiscard]] std::string FormatFixed(double value, int decimals);
[[nodiscard]] int TextToInt(std::string_view text);

} // namespace quorvane
