#include "inverter/FlowTexts.h"

#include "inverter/MeasurementRecord.h"

namespace quorvane {

std::string ModeText(std::optional<InverterMode> mode)
{
    if (!mode)
        return {};
    switch (*mode) {
    case InverterMode::Unknown: return "Unknown";
    case InverterMode::PowerOn: return "Power ON";
    case InverterMode::StandBy: return "Stand By";
    case InverterMode::Line: return "Line (bypass)";
    case InverterMode::Battery: return "Battery";
    case InverterMode::Fault: return "Fault";
    case InverterMode::PowerSaving: return "Power Saving";
    case InverterMode::Test: return "Test Mode";
    }
    return "Unknown";
}

std::string ChargeStateText(std::optional<ChargeState> state)
{
    if (!state)
        return {};
    switch (*state) {
    case ChargeState::NotUsed: return "Not used";
    case ChargeState::StandBy: return "Stand-by";
    case ChargeState::Solar: return "Solar charge";
    case ChargeState::Line: return "Line charge";
    case ChargeState::LineAndSolar: return "Line-solar charge";
    case ChargeState::Discharging: return "Discharging";
    case ChargeState::Test: return "Test Battery";
    }
    return "Not used";
}

std::string LoadSourceText(std::optional<LoadSource> source)
{
    if (!source)
        return {};
    switch (*source) {
    case LoadSource::Unknown: return "Unknown";
    case LoadSource::Battery: return "Source:Battery";
    case LoadSource::BatteryAndSolar: return "Source:Batt./Solar";
    case LoadSource::Line: return "Source:Line";
    case LoadSource::Solar: return "Source:Solar";
    case LoadSource::LineFallback: return "Source:Line(2)";
    case LoadSource::Test: return "Test Load";
    }
    return "Unknown";
}

std::string OutputPriorityText(std::optional<OutputPriority> priority)
{
    if (!priority)
        return "--";
    switch (*priority) {
    case OutputPriority::UtilityFirst: return "UTIL";
    case OutputPriority::SolarFirst: return "SOLAR";
    case OutputPriority::SBU: return "SBU";
    }
    return "--";
}

std::string LoadSourceWithPriorityText(const EnergyFlow& flow)
{
    std::string text = LoadSourceText(flow.Source);
    if (flow.SourceDecided)
        text += " (" + OutputPriorityText(flow.PriorityWhenDecided) + ")";
    return text;
}

} // namespace quorvane
