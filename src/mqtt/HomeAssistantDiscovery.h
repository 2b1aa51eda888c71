#pragma once

#include "mqtt/MqttIdentity.h"
#include "mqtt/MqttMessage.h"

#include <string>
#include <vector>

namespace quorvane {

// Home Assistant's MQTT discovery: one retained config message per entity under
// <discovery prefix>/<component>/<device id>/<key>/config, each reading its value from the
// state message and going unavailable with the availability topic. The output priority is a
// select entity with a command topic when the settings allow commands, else a sensor.
// `serialNumber` may be empty (not told yet).
[[nodiscard]] std::vector<MqttMessage> DiscoveryMessages(const MqttIdentity& identity, const MqttSettings& settings,
                                                         const std::string& serialNumber);

// Empty retained messages on every discovery topic of `identity` (both forms of the priority
// entity among them): the broker forgets the configs and Home Assistant removes the entities.
[[nodiscard]] std::vector<MqttMessage> DiscoveryWithdrawals(const MqttIdentity& identity, const MqttSettings& settings);

} // namespace quorvane
