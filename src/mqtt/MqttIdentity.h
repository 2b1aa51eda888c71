#pragma once

#include "config/MqttSettings.h"

#include <string>

namespace quorvane {

// Who this Quorvane is on the broker and where its topics are.
// A value, made and used on the publisher's thread.
struct MqttIdentity {
    std::string DeviceId;    // names the device to Home Assistant and in the default topics
    std::string TopicPrefix; // no "/" at the end
    std::string ClientId;

    [[nodiscard]] std::string StateTopic() const { return TopicPrefix + "/state"; }
    [[nodiscard]] std::string EventTopic() const { return TopicPrefix + "/event"; }
    [[nodiscard]] std::string AvailabilityTopic() const { return TopicPrefix + "/availability"; }
    // Where a broker client asks for another output source priority.
    [[nodiscard]] std::string PriorityCommandTopic() const { return TopicPrefix + "/output_priority/set"; }

    bool operator==(const MqttIdentity&) const = default;
};

// The device id is the inverter's serial number once it told it, else the one learned in an
// earlier run, else the settings file's name (without folder and extension) with a mark of its
// whole path, e.g. "quorvane-1c2d3e4f". The topic
// prefix and the client id follow it unless the settings name them.
[[nodiscard]] MqttIdentity IdentityFor(const MqttSettings& settings, const std::string& serialNumber,
                                       const std::string& settingsPath);

} // namespace quorvane
