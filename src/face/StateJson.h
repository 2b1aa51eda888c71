#pragma once

#include "face/CoreEvent.h"
#include "face/CoreState.h"

#include <string>

namespace quorvane {

// The state as one JSON object, for scripts and integrations: every reading a number under a
// key that names its unit, the states as stable identifiers (null while unknown), the computed
// values, the link's phase, the time of the latest accepted reading in ISO 8601 with its UTC
// offset (null before the first) and the poll counters. The keys are listed in
// docs/INTEGRATIONS.md; they stay as they are once published.
[[nodiscard]] std::string StateJson(const CoreState& state);
// An event as JSON: {"event":"fault_on","condition":"over_temperature","time":"...+01:00"}
// (the condition for warning and fault events only).
[[nodiscard]] std::string EventJson(const CoreEvent& event);

// `time` in ISO 8601 with its offset from UTC, e.g. "2026-06-01T12:00:05+02:00".
[[nodiscard]] std::string IsoTimeWithOffset(const QDateTime& time);

} // namespace quorvane
