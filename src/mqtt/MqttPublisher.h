#pragma once

#include "config/MqttSettings.h"
#include "face/CoreEvent.h"
#include "face/CoreState.h"
#include "mqtt/MosquittoLink.h"
#include "mqtt/MqttIdentity.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace quorvane {

class CoreCommands;

// Publishes the core's state and events to an MQTT broker, with Home Assistant's discovery,
// and takes the output priority commands the settings allow. A front end of the core: it sees
// what the core publishes and asks through its commands, so the core never waits for the
// network. While the broker is away only the latest state is kept (it goes out on the next
// connection) and events wait in a queue of kEventQueueLimit; older ones are dropped beyond
// it, and the memo says how many.
// Thread ownership: lives on the publisher's thread (see MqttService); its slots are called
// there; its link's network thread reaches it only through queued calls.
class MqttPublisher final : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kEventQueueLimit = 1000;

    // `settingsPath` names the device until the inverter tells its serial number.
    MqttPublisher(CoreCommands& core, std::string settingsPath);
    ~MqttPublisher() override;

public slots:
    void ApplySettings(const quorvane::MqttSettings& settings);
    void TakeState(const quorvane::CoreState& state);
    void TakeEvent(const quorvane::CoreEvent& event);
    // The goodbye: "offline" on the availability topic and a clean disconnect.
    void Shutdown();

private:
    void startLink();
    // Ends the link; `withdraw` takes back what the old identity left retained on the broker.
    void endLink(bool withdraw);
    void linkUp(int generation);
    void linkFailed(int generation, const std::string& reason, bool retrying);
    void messageArrived(int generation, const std::string& topic, const std::string& payload);
    void publishState();
    // The queued events in order, as far as the link takes them.
    void flushEvents();
    bool publish(const MqttMessage& message);
    void note(const std::string& line);
    [[nodiscard]] std::string brokerName() const;
    [[nodiscard]] bool reconnectNeeded(const MqttSettings& next, const MqttIdentity& nextIdentity) const;

    CoreCommands& m_core;
    const std::string m_settingsPath;
    MqttSettings m_settings;
    MqttIdentity m_identity;
    std::string m_serialNumber;
    std::unique_ptr<MosquittoLink> m_link;
    int m_generation = 0; // of m_link: reports of an earlier link are dropped
    bool m_connected = false;
    bool m_outageNoted = false;
    std::optional<CoreState> m_latest;    // after the first accepted reading of this run
    std::optional<CoreState> m_published; // on this connection
    std::deque<CoreEvent> m_events;
    std::uint64_t m_droppedEvents = 0;
};

} // namespace quorvane
