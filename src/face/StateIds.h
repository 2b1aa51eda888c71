#pragma once

#include "face/CoreState.h"

namespace quorvane {

// Stable lower-case identifiers of the states, for integrations (JSON values, metric labels,
// topics). They never change with the wording shown to people and are not meant to be shown.

[[nodiscard]] constexpr const char* IdOf(InverterMode mode)
{
    switch (mode) {
    case InverterMode::Unknown:
        return "unknown";
    case InverterMode::PowerOn:
        return "power_on";
    case InverterMode::StandBy:
        return "standby";
    case InverterMode::Line:
        return "line";
    case InverterMode::Battery:
        return "battery";
    case InverterMode::Fault:
        return "fault";
    case InverterMode::PowerSaving:
        return "power_saving";
    case InverterMode::Test:
        return "test";
    }
    return "unknown";
}

[[nodiscard]] constexpr const char* IdOf(ChargeState charge)
{
    switch (charge) {
    case ChargeState::NotUsed:
        return "not_used";
    case ChargeState::StandBy:
        return "standby";
    case ChargeState::Solar:
        return "solar";
    case ChargeState::Line:
        return "line";
    case ChargeState::LineAndSolar:
        return "line_and_solar";
    case ChargeState::Discharging:
        return "discharging";
    case ChargeState::Test:
        return "test";
    }
    return "unknown";
}

[[nodiscard]] constexpr const char* IdOf(LoadSource source)
{
    switch (source) {
    case LoadSource::Unknown:
        return "unknown";
    case LoadSource::Battery:
        return "battery";
    case LoadSource::BatteryAndSolar:
        return "battery_and_solar";
    case LoadSource::Line:
    case LoadSource::LineFallback:
        return "line";
    case LoadSource::Solar:
        return "solar";
    case LoadSource::Test:
        return "test";
    }
    return "unknown";
}

[[nodiscard]] constexpr const char* IdOf(OutputPriority priority)
{
    switch (priority) {
    case OutputPriority::UtilityFirst:
        return "utility_first";
    case OutputPriority::SolarFirst:
        return "solar_first";
    case OutputPriority::SBU:
        return "sbu";
    }
    return "unknown";
}

[[nodiscard]] constexpr const char* IdOf(LinkPhase phase)
{
    switch (phase) {
    case LinkPhase::Disconnected:
        return "disconnected";
    case LinkPhase::Connecting:
        return "connecting";
    case LinkPhase::Connected:
        return "connected";
    case LinkPhase::TestMode:
        return "test_mode";
    }
    return "unknown";
}

} // namespace quorvane
