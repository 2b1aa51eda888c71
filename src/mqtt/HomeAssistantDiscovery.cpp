#include "mqtt/HomeAssistantDiscovery.h"

#include "face/StateIds.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <array>

namespace quorvane {

namespace {

struct SensorEntity {
    const char* key; // the state message's key
    const char* name;
    const char* unit;         // nullptr: none
    const char* deviceClass;  // nullptr: none
    const char* stateClass;   // nullptr: none
};

// The energy counters are total_increasing: the day's counters fall to zero at midnight, which
// Home Assistant takes as the start of a new cycle, never as a negative amount.
constexpr std::array<SensorEntity, 26> kSensors = {{
    {"ac_voltage_v", "AC voltage", "V", "voltage", "measurement"},
    {"ac_frequency_hz", "AC frequency", "Hz", "frequency", "measurement"},
    {"pv_input_voltage_v", "PV input voltage", "V", "voltage", "measurement"},
    {"pv_input_current_a", "PV input current", "A", "current", "measurement"},
    {"battery_voltage_v", "Battery voltage", "V", "voltage", "measurement"},
    {"scc_battery_voltage_v", "SCC battery voltage", "V", "voltage", "measurement"},
    {"battery_capacity_percent", "Battery capacity", "%", "battery", "measurement"},
    {"charging_current_a", "Battery charging current", "A", "current", "measurement"},
    {"discharge_current_a", "Battery discharge current", "A", "current", "measurement"},
    {"output_voltage_v", "Output voltage", "V", "voltage", "measurement"},
    {"output_frequency_hz", "Output frequency", "Hz", "frequency", "measurement"},
    {"output_apparent_power_va", "Output apparent power", "VA", "apparent_power", "measurement"},
    {"output_active_power_w", "Output active power", "W", "power", "measurement"},
    {"load_percent", "Load", "%", nullptr, "measurement"},
    {"heat_sink_temperature_c", "Heat sink temperature", "°C", "temperature", "measurement"},
    {"bus_voltage_v", "Bus voltage", "V", "voltage", "measurement"},
    {"solar_power_w", "Solar power", "W", "power", "measurement"},
    {"solar_energy_today_kwh", "Solar energy today", "kWh", "energy", "total_increasing"},
    {"line_energy_today_kwh", "Line energy today", "kWh", "energy", "total_increasing"},
    {"line_apparent_energy_today_kvah", "Line apparent energy today", "kVAh", nullptr, "total_increasing"},
    {"solar_energy_total_kwh", "Solar energy total", "kWh", "energy", "total_increasing"},
    {"line_energy_total_kwh", "Line energy total", "kWh", "energy", "total_increasing"},
    {"mode", "Mode", nullptr, nullptr, nullptr},
    {"charge_state", "Charge state", nullptr, nullptr, nullptr},
    {"load_source", "Load source", nullptr, nullptr, nullptr},
    {"link", "Inverter link", nullptr, nullptr, nullptr},
}};

// The active warnings and faults as one sensor: their texts, or "none".
constexpr const char* kWarningsKey = "warnings";
constexpr const char* kWarningsName = "Warnings and faults";

constexpr const char* kPriorityKey = "output_priority";
constexpr const char* kPriorityName = "Output source priority";

std::string configTopic(const MqttSettings& settings, const MqttIdentity& identity, const char* component,
                        const char* key)
{
    return settings.DiscoveryPrefix + "/" + component + "/" + identity.DeviceId + "/" + key + "/config";
}

QJsonObject deviceBlock(const MqttIdentity& identity, const std::string& serialNumber)
{
    QJsonObject device;
    device["identifiers"] = QJsonArray{QString::fromStdString("quorvane_" + identity.DeviceId)};
    device["name"] = QString::fromStdString("Inverter " + identity.DeviceId);
    if (!serialNumber.empty())
        device["serial_number"] = QString::fromStdString(serialNumber);
    // The inverter's firmware is not read; the version is of the program that publishes.
    device["sw_version"] = "Quorvane " QUORVANE_VERSION_TEXT;
    return device;
}

// What every entity of the device shares: where its value and availability come from.
QJsonObject entityBase(const MqttIdentity& identity, const QJsonObject& device, const char* key, const char* name)
{
    QJsonObject config;
    config["name"] = name;
    config["unique_id"] = QString::fromStdString("quorvane_" + identity.DeviceId + "_" + key);
    config["object_id"] = QString::fromStdString("quorvane_" + identity.DeviceId + "_" + key);
    config["state_topic"] = QString::fromStdString(identity.StateTopic());
    config["availability_topic"] = QString::fromStdString(identity.AvailabilityTopic());
    config["device"] = device;
    return config;
}

MqttMessage retainedConfig(std::string topic, const QJsonObject& config)
{
    return {.Topic = std::move(topic),
            .Payload = QJsonDocument(config).toJson(QJsonDocument::Compact).toStdString(),
            .Qos = 1,
            .Retain = true};
}

} // namespace

std::vector<MqttMessage> DiscoveryMessages(const MqttIdentity& identity, const MqttSettings& settings,
                                           const std::string& serialNumber)
{
    const QJsonObject device = deviceBlock(identity, serialNumber);
    std::vector<MqttMessage> messages;
    for (const SensorEntity& sensor : kSensors) {
        QJsonObject config = entityBase(identity, device, sensor.key, sensor.name);
        // The states are null until first known; Home Assistant then shows "unknown".
        config["value_template"] =
            QString("{{ value_json.%1 if value_json.%1 is not none else 'unknown' }}").arg(sensor.key);
        if (sensor.unit != nullptr)
            config["unit_of_measurement"] = sensor.unit;
        if (sensor.deviceClass != nullptr)
            config["device_class"] = sensor.deviceClass;
        if (sensor.stateClass != nullptr)
            config["state_class"] = sensor.stateClass;
        messages.push_back(retainedConfig(configTopic(settings, identity, "sensor", sensor.key), config));
    }

    QJsonObject warnings = entityBase(identity, device, kWarningsKey, kWarningsName);
    warnings["value_template"] =
        "{{ value_json.warnings | map(attribute='text') | join(', ') if value_json.warnings else 'none' }}";
    warnings["json_attributes_topic"] = QString::fromStdString(identity.StateTopic());
    warnings["json_attributes_template"] = "{{ {'active': value_json.warnings} | tojson }}";
    warnings["icon"] = "mdi:alert";
    messages.push_back(retainedConfig(configTopic(settings, identity, "sensor", kWarningsKey), warnings));

    QJsonObject priority = entityBase(identity, device, kPriorityKey, kPriorityName);
    priority["value_template"] = "{{ value_json.output_priority if value_json.output_priority is not none else 'unknown' }}";
    if (settings.AllowCommands) {
        priority["command_topic"] = QString::fromStdString(identity.PriorityCommandTopic());
        priority["options"] = QJsonArray{IdOf(OutputPriority::UtilityFirst), IdOf(OutputPriority::SolarFirst),
                                         IdOf(OutputPriority::SBU)};
        messages.push_back(retainedConfig(configTopic(settings, identity, "select", kPriorityKey), priority));
        // The read-only form of an earlier run goes, so the entity is not there twice.
        messages.push_back(RetainedRemoval(configTopic(settings, identity, "sensor", kPriorityKey)));
    } else {
        messages.push_back(retainedConfig(configTopic(settings, identity, "sensor", kPriorityKey), priority));
        messages.push_back(RetainedRemoval(configTopic(settings, identity, "select", kPriorityKey)));
    }
    return messages;
}

std::vector<MqttMessage> DiscoveryWithdrawals(const MqttIdentity& identity, const MqttSettings& settings)
{
    std::vector<MqttMessage> messages;
    for (const SensorEntity& sensor : kSensors)
        messages.push_back(RetainedRemoval(configTopic(settings, identity, "sensor", sensor.key)));
    messages.push_back(RetainedRemoval(configTopic(settings, identity, "sensor", kWarningsKey)));
    messages.push_back(RetainedRemoval(configTopic(settings, identity, "sensor", kPriorityKey)));
    messages.push_back(RetainedRemoval(configTopic(settings, identity, "select", kPriorityKey)));
    return messages;
}

} // namespace quorvane
