#include "face/StateJson.h"

#include "face/StateIds.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvane {

namespace {

template <typename Enum>
QJsonValue idOrNull(const std::optional<Enum>& value)
{
    return value ? QJsonValue(IdOf(*value)) : QJsonValue(QJsonValue::Null);
}

QJsonArray warnings(const std::vector<WarningCondition>& conditions)
{
    QJsonArray list;
    for (const WarningCondition& condition : conditions) {
        QJsonObject entry;
        entry["id"] = QString::fromStdString(condition.Id);
        entry["text"] = QString::fromStdString(condition.Text);
        entry["severity"] = WarningSeverityId(condition.Severity);
        entry["bit"] = condition.Bit;
        list.append(entry);
    }
    return list;
}

QJsonValue chargerSettings(const std::optional<RatedInfo>& rated)
{
    if (!rated)
        return QJsonValue::Null;
    static constexpr const char* kChargerPriorityIds[] = {"utility_first", "solar_first", "solar_and_utility",
                                                          "only_solar"};
    static constexpr const char* kBatteryTypeIds[] = {"agm", "flooded", "user"};
    const auto number = [](const auto& value) { return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null); };
    QJsonObject json;
    json["battery_rating_v"] = rated->BatteryRatingV;
    json["recharge_voltage_v"] = rated->RechargeV;
    json["redischarge_voltage_v"] = number(rated->RedischargeV);
    json["cutoff_voltage_v"] = rated->CutOffV;
    json["bulk_voltage_v"] = rated->BulkV;
    json["float_voltage_v"] = rated->FloatV;
    json["max_charging_current_a"] = number(rated->MaxChargingA);
    json["max_utility_charging_current_a"] = number(rated->MaxUtilityChargingA);
    json["charger_priority"] = rated->ChargerSource
                                   ? QJsonValue(kChargerPriorityIds[static_cast<int>(*rated->ChargerSource)])
                                   : QJsonValue(QJsonValue::Null);
    const int type = rated->Battery ? static_cast<int>(*rated->Battery) : -1;
    // A unit's own battery kinds (codes from 3 up) go out as their number.
    json["battery_type"] = type < 0 ? QJsonValue(QJsonValue::Null)
                           : type < 3 ? QJsonValue(kBatteryTypeIds[type])
                                      : QJsonValue(QString("type_%1").arg(type));
    return json;
}

QJsonValue count(std::uint64_t value)
{
    return QJsonValue(static_cast<qint64>(value));
}

} // namespace

std::string IsoTimeWithOffset(const QDateTime& time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

std::string EventJson(const CoreEvent& event)
{
    QJsonObject json;
    json["event"] = EventName(event.Kind);
    if (!event.Condition.empty())
        json["condition"] = QString::fromStdString(event.Condition);
    json["time"] = QString::fromStdString(IsoTimeWithOffset(event.Time));
    return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
}

std::string StateJson(const CoreState& state)
{
    QJsonObject polls;
    polls["requests"] = count(state.Polls.Requests);
    polls["accepted"] = count(state.Polls.Accepted);
    polls["send_failed"] = count(state.Polls.SendFailed);
    polls["no_reply"] = count(state.Polls.NoReply);
    polls["bad_frame"] = count(state.Polls.BadFrame);
    polls["refused"] = count(state.Polls.Refused);
    polls["malformed"] = count(state.Polls.Malformed);
    polls["reconnects"] = count(state.Polls.Reconnects);

    QJsonObject json;
    json["ac_voltage_v"] = state.AcVoltageV;
    json["ac_frequency_hz"] = state.AcFrequencyHz;
    json["pv_input_voltage_v"] = state.PvInputVoltageV;
    json["pv_input_current_a"] = state.PvInputCurrentA;
    json["battery_voltage_v"] = state.BatteryVoltageV;
    json["scc_battery_voltage_v"] = state.SccBatteryVoltageV;
    json["battery_capacity_percent"] = state.BatteryCapacityPercent;
    json["charging_current_a"] = state.ChargingCurrentA;
    json["discharge_current_a"] = state.DischargeCurrentA;
    json["output_voltage_v"] = state.OutputVoltageV;
    json["output_frequency_hz"] = state.OutputFrequencyHz;
    json["output_apparent_power_va"] = state.ApparentPowerVA;
    json["output_active_power_w"] = state.ActivePowerW;
    json["load_percent"] = state.LoadPercent;
    json["heat_sink_temperature_c"] = state.HeatSinkTemperatureC;
    json["bus_voltage_v"] = state.BusVoltageV;
    json["values_valid"] = state.ValuesValid;
    json["mode"] = idOrNull(state.Mode);
    json["charge_state"] = idOrNull(state.Charge);
    json["load_source"] = idOrNull(state.Source);
    json["output_priority"] = idOrNull(state.Priority);
    const auto secondPv = [&](double SecondPvReading::*value) {
        return state.SecondPv ? QJsonValue((*state.SecondPv).*value) : QJsonValue(QJsonValue::Null);
    };
    json["pv2_input_voltage_v"] = secondPv(&SecondPvReading::VoltageV);
    json["pv2_input_current_a"] = secondPv(&SecondPvReading::CurrentA);
    json["pv2_charging_power_w"] = secondPv(&SecondPvReading::ChargingPowerW);
    json["solar_power_w"] = state.SolarPowerW;
    json["solar_energy_today_kwh"] = state.SolarEnergyTodayKWh;
    json["line_apparent_energy_today_kvah"] = state.LineApparentEnergyTodayKVAh;
    json["line_energy_today_kwh"] = state.LineEnergyTodayKWh;
    json["solar_energy_total_kwh"] = state.SolarEnergyTotalKWh;
    json["line_energy_total_kwh"] = state.LineEnergyTotalKWh;
    json["link"] = IdOf(state.Phase);
    json["serial_number"] = state.SerialNumber.empty() ? QJsonValue(QJsonValue::Null)
                                                       : QJsonValue(QString::fromStdString(state.SerialNumber));
    json["reading_time"] = state.LastValidReading.isValid()
                               ? QJsonValue(QString::fromStdString(IsoTimeWithOffset(state.LastValidReading)))
                               : QJsonValue(QJsonValue::Null);
    json["valid_readings"] = state.ValidReadings;
    json["warnings"] = warnings(state.Warnings);
    json["charger_settings"] = chargerSettings(state.Rated);
    json["polls"] = polls;
    return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace quorvane
