#pragma once

#include <QMetaType>

#include <string>

namespace quorvane {

// The [Mqtt] section: where the state, the events and the Home Assistant discovery go. A
// settings file without the section has these defaults, and MQTT stays off.
// A value: the core thread holds the applied one, copies travel to the publisher's thread.
struct MqttSettings {
    bool Enabled = false;
    std::string Host = "localhost";
    int Port = 1883;      // 1..65535
    std::string Username; // empty: no login
    std::string Password;
    bool Tls = false;
    std::string CaFile;   // with Tls: the CA that signed the broker's certificate; empty: the system's
    std::string ClientId; // empty: "quorvane-<device id>"
    std::string TopicPrefix; // empty: "quorvane/<device id>"
    bool Retain = true;   // the state message is retained
    bool Discovery = true;
    std::string DiscoveryPrefix = "homeassistant";
    bool AllowCommands = false; // the output priority may be set through the broker
    // The inverter's serial number as last learned, so that the topics stay the same from the
    // start of the next run on; empty until an inverter told it.
    std::string DeviceId;

    bool operator==(const MqttSettings&) const = default;
};

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::MqttSettings)
