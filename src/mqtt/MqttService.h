#pragma once

#include "mqtt/MqttPublisher.h"

#include <QThread>

#include <string>

namespace quorvane {

class CoreCommands;

// The MQTT publisher on a thread of its own, so that neither the core nor a window ever waits
// for a broker. Connect the core's signals to Publisher()'s slots: they are queued to it.
// Thread ownership: made and destroyed on the owner's thread; the publisher lives on the
// "mqtt" thread.
class MqttService {
public:
    MqttService(CoreCommands& core, std::string settingsPath);
    // Says goodbye to the broker ("offline", a clean disconnect) and ends the thread.
    ~MqttService();
    MqttService(const MqttService&) = delete;
    MqttService& operator=(const MqttService&) = delete;

    [[nodiscard]] MqttPublisher* Publisher() const { return m_publisher; }

private:
    QThread m_thread;
    MqttPublisher* m_publisher; // owned; deleted on its thread
};

} // namespace quorvane
