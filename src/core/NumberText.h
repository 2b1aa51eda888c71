#pragma once

#include <string_view>

namespace quorvane {

// Numbers in replies, logs and settings always use "." as the decimal separator, whatever
// the user's locale; these conversions never consult the process locale.
//
// A text that is not a whole number converts to 0: an empty field (two spaces in a row in a
// reply), a text with two points, or a lone ".". The reply rules let only digits and "."
// through, so 0 is the reading of "nothing usable here" and never stops a cycle.
[[nodiscard]] double TextToDouble(std::string_view text);
[[nodiscard]] int TextToInt(std::string_view text);

} // namespace quorvane
