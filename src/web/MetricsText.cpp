#include "web/MetricsText.h"

#include "face/StateIds.h"

#include <charconv>

namespace quorvane {

namespace {

constexpr double kJoulesPerKilowattHour = 3.6e6;

constexpr std::array<const char*, kWebRequestKinds> kWebRequestKindIds = {
    "main_page", "timer_page", "form", "status", "metrics", "other", "history", "events", "dashboard"};

// The shortest text that reads back as the same number.
template <typename Number>
std::string number(Number value)
{
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return std::string(text.data(), end);
}

class Exposition {
public:
    // Starts a family: its HELP and TYPE lines.
    void family(const char* name, const char* type, const char* help)
    {
        m_text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void sample(const char* name, const std::string& value, const std::string& labels = {})
    {
        m_text += name;
        if (!labels.empty())
            m_text += "{" + labels + "}";
        m_text += " " + value + "\n";
    }
    void gauge(const char* name, const char* help, double value)
    {
        family(name, "gauge", help);
        sample(name, number(value));
    }
    template <typename Number>
    void counter(const char* name, const char* help, Number value)
    {
        family(name, "counter", help);
        sample(name, number(value));
    }
    // A gauge that is 1 for the one state that holds, with the state as a label; no sample
    // while the state is not known.
    template <typename Enum>
    void stateSet(const char* name, const char* label, const char* help, const std::optional<Enum>& value)
    {
        family(name, "gauge", help);
        if (value)
            sample(name, "1", std::string(label) + "=\"" + IdOf(*value) + "\"");
    }

    [[nodiscard]] std::string text() && { return std::move(m_text); }

private:
    std::string m_text;
};

} // namespace

std::string MetricsText(const CoreState& state, const WebRequestCounts& webRequests)
{
    Exposition out;
    const bool connected = state.Phase == LinkPhase::Connected || state.Phase == LinkPhase::TestMode;
    out.gauge("quorvane_up", "1 while the inverter is connected and its latest main-values reading was accepted.",
              connected && state.ValuesValid ? 1 : 0);
    out.gauge("quorvane_last_reading_timestamp_seconds",
              "When the latest main-values reading was accepted, in seconds since the epoch; 0 before the first.",
              state.LastValidReading.isValid() ? static_cast<double>(state.LastValidReading.toSecsSinceEpoch()) : 0);

    out.gauge("quorvane_ac_voltage_volts", "Line (AC input) voltage.", state.AcVoltageV);
    out.gauge("quorvane_ac_frequency_hertz", "Line (AC input) frequency.", state.AcFrequencyHz);
    out.gauge("quorvane_pv_input_voltage_volts", "PV input voltage.", state.PvInputVoltageV);
    out.gauge("quorvane_pv_input_current_amperes", "PV input current into the battery.", state.PvInputCurrentA);
    out.gauge("quorvane_battery_voltage_volts", "Battery voltage.", state.BatteryVoltageV);
    out.gauge("quorvane_scc_battery_voltage_volts", "Battery voltage at the solar charger.", state.SccBatteryVoltageV);
    out.gauge("quorvane_battery_capacity_percent", "Battery capacity.", state.BatteryCapacityPercent);
    out.gauge("quorvane_battery_charging_current_amperes", "Battery charging current.", state.ChargingCurrentA);
    out.gauge("quorvane_battery_discharge_current_amperes", "Battery discharge current.", state.DischargeCurrentA);
    out.gauge("quorvane_output_voltage_volts", "AC output voltage.", state.OutputVoltageV);
    out.gauge("quorvane_output_frequency_hertz", "AC output frequency.", state.OutputFrequencyHz);
    out.gauge("quorvane_output_apparent_power_volt_amperes", "AC output apparent power.", state.ApparentPowerVA);
    out.gauge("quorvane_output_active_power_watts", "AC output active power (the load).", state.ActivePowerW);
    out.gauge("quorvane_output_load_percent", "Output load.", state.LoadPercent);
    out.gauge("quorvane_heat_sink_temperature_celsius", "Inverter heat sink temperature.", state.HeatSinkTemperatureC);
    out.gauge("quorvane_bus_voltage_volts", "DC bus voltage.", state.BusVoltageV);

    if (state.SecondPv) { // dual-tracker units only
        out.gauge("quorvane_pv2_input_voltage_volts", "Second PV input voltage.", state.SecondPv->VoltageV);
        out.gauge("quorvane_pv2_input_current_amperes", "Second PV input current.", state.SecondPv->CurrentA);
        out.gauge("quorvane_pv2_charging_power_watts", "Second PV input charging power.",
                  state.SecondPv->ChargingPowerW);
    }
    out.gauge("quorvane_solar_power_watts", "Solar power into the battery, computed.", state.SolarPowerW);
    // Energies in the base unit, joules (1 kWh = 3.6 MJ); the apparent energy in volt-ampere seconds.
    out.gauge("quorvane_solar_energy_today_joules", "Solar energy since midnight.",
              state.SolarEnergyTodayKWh * kJoulesPerKilowattHour);
    out.gauge("quorvane_line_energy_today_joules", "Line energy since midnight.",
              state.LineEnergyTodayKWh * kJoulesPerKilowattHour);
    out.gauge("quorvane_line_apparent_energy_today_volt_ampere_seconds", "Line apparent energy since midnight.",
              state.LineApparentEnergyTodayKVAh * kJoulesPerKilowattHour);
    out.counter("quorvane_solar_energy_joules_total", "Solar energy since the totals' start date.",
                state.SolarEnergyTotalKWh * kJoulesPerKilowattHour);
    out.counter("quorvane_line_energy_joules_total", "Line energy since the totals' start date.",
                state.LineEnergyTotalKWh * kJoulesPerKilowattHour);

    out.stateSet("quorvane_inverter_mode", "mode", "The inverter's working mode (1 for the current one).", state.Mode);
    out.stateSet("quorvane_charge_state", "state", "The battery's charge state (1 for the current one).", state.Charge);
    out.stateSet("quorvane_load_source", "source", "Where the load's power comes from (1 for the current source).",
                 state.Source);
    out.stateSet("quorvane_output_priority", "priority", "The output source priority (1 for the current one).",
                 state.Priority);
    out.stateSet("quorvane_link_phase", "phase", "Where the link to the inverter stands (1 for the current phase).",
                 std::optional<LinkPhase>(state.Phase));

    const PollCounters& polls = state.Polls;
    out.counter("quorvane_poll_requests_total", "Main-values requests written to the inverter.", polls.Requests);
    out.counter("quorvane_poll_accepted_total", "Main-values replies taken as the new readings.", polls.Accepted);
    out.counter("quorvane_poll_send_failures_total", "Main-values requests that could not be written.",
                polls.SendFailed);
    out.family("quorvane_poll_rejected_total", "counter", "Main-values replies rejected, by reason.");
    for (const auto& [reason, value] : {std::pair{"no_reply", polls.NoReply}, std::pair{"bad_frame", polls.BadFrame},
                                        std::pair{"refused", polls.Refused}, std::pair{"malformed", polls.Malformed}})
        out.sample("quorvane_poll_rejected_total", std::to_string(value), std::string("reason=\"") + reason + "\"");
    out.family("quorvane_inverter_condition_active", "gauge",
               "Warnings and faults the inverter reports now (1 for each active one).");
    for (const WarningCondition& condition : state.Warnings)
        out.sample("quorvane_inverter_condition_active", "1",
                   "condition=\"" + condition.Id + "\",severity=\""
                       + WarningSeverityId(condition.Severity) + "\"");
    out.counter("quorvane_reconnects_total", "Connections made again after the link was lost.", polls.Reconnects);

    out.family("quorvane_web_requests_total", "counter", "Requests to the web server, by kind.");
    for (std::size_t kind = 0; kind < kWebRequestKinds; ++kind)
        out.sample("quorvane_web_requests_total", std::to_string(webRequests[kind]),
                   std::string("kind=\"") + kWebRequestKindIds[kind] + "\"");
    return std::move(out).text();
}

} // namespace quorvane
