#pragma once

#include "inverter/InverterStates.h"

#include <optional>
#include <string>

namespace quorvane {

struct EnergyFlow;

// The texts the window, the pages and the logs show for the inverter's states. The first
// three are empty for a state no query has set yet.
[[nodiscard]] std::string ModeText(std::optional<InverterMode> mode);
[[nodiscard]] std::string ChargeStateText(std::optional<ChargeState> state);
// The source alone, e.g. "Source:Batt./Solar".
[[nodiscard]] std::string LoadSourceText(std::optional<LoadSource> source);
// The short text ("UTIL", "SOLAR", "SBU"), "--" while unknown.
[[nodiscard]] std::string OutputPriorityText(std::optional<OutputPriority> priority);
// The pages' load line: the source and, when the mode query decided it, the priority in
// force then in brackets, e.g. "Source:Line (SBU)".
[[nodiscard]] std::string LoadSourceWithPriorityText(const EnergyFlow& flow);

} // namespace quorvane
