#pragma once

#include "face/CoreEvent.h"
#include "face/CoreState.h"
#include "inverter/InverterQueries.h" // OutputPriority
#include "mqtt/MqttIdentity.h"
#include "mqtt/MqttMessage.h"

#include <optional>
#include <string_view>

namespace quorvane {

// The state as the status API gives it, on <prefix>/state, retained when the settings say so.
[[nodiscard]] MqttMessage StateMessage(const MqttIdentity& identity, const MqttSettings& settings, const CoreState& state);

// An event on <prefix>/event, never retained: {"event": "<name>", "time": "<ISO 8601>"}.
[[nodiscard]] MqttMessage EventMessage(const MqttIdentity& identity, const CoreEvent& event);

// "online" or "offline" on <prefix>/availability, retained; "offline" is also the will.
[[nodiscard]] MqttMessage AvailabilityMessage(const MqttIdentity& identity, bool online);

// Whether `now` is worth a state message after `published`: a new accepted reading, or a
// change of what a reading does not bring (the link, the mode, the output priority). Poll
// counters alone are not: they move at every request, good or bad.
[[nodiscard]] bool StateWorthPublishing(const std::optional<CoreState>& published, const CoreState& now);

// The output source priority a command message asks for: "utility_first", "solar_first" or
// "sbu" (blanks around it and letter case do not matter).
[[nodiscard]] std::optional<OutputPriority> PriorityFromCommand(std::string_view payload);

} // namespace quorvane
