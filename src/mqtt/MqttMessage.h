#pragma once

#include <string>

namespace quorvane {

// One message for the broker. QoS 1 for what must arrive (events, availability, discovery),
// 0 for the state, of which only the latest counts.
struct MqttMessage {
    std::string Topic;
    std::string Payload;
    int Qos = 1;
    bool Retain = false;

    bool operator==(const MqttMessage&) const = default;
};

// An empty retained message: the broker forgets what `topic` retained (and Home Assistant
// removes an entity whose config it was).
[[nodiscard]] inline MqttMessage RetainedRemoval(std::string topic)
{
    return {.Topic = std::move(topic), .Payload = "", .Qos = 1, .Retain = true};
}

} // namespace quorvane
