#pragma once

#include "face/CoreState.h"

#include <array>
#include <cstdint>
#include <string>

namespace quorvane {

// The kinds of web request counted for monitoring.
enum class WebRequestKind { MainPage, TimerPage, Form, Status, Metrics, Other, History, Events, Dashboard };
constexpr std::size_t kWebRequestKinds = 9;
using WebRequestCounts = std::array<std::uint64_t, kWebRequestKinds>;

// The state and the counters in Prometheus' text exposition format 0.0.4: a HELP and a TYPE
// line for every family, names in the format's base units (energies in joules); readings and
// today's energies as gauges, the energy totals and every count as counters.
[[nodiscard]] std::string MetricsText(const CoreState& state, const WebRequestCounts& webRequests);

} // namespace quorvane
