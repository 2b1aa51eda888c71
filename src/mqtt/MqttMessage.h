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

} // namespace quorvane
