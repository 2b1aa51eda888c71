#include "mqtt/MqttPublisher.h"

#include "core/ThreadHandover.h"
#include "face/CoreCommands.h"
#include "face/StateIds.h"
#include "mqtt/HomeAssistantDiscovery.h"
#include "mqtt/StateMessages.h"

#include <cctype>

namespace quorvane {

namespace {

constexpr size_t kShownPayloadLimit = 40;

// A payload as the memo may show it: printable ASCII, cut short.
std::string shownPayload(const std::string& payload)
{
    std::string shown;
    for (const char c : payload.substr(0, kShownPayloadLimit))
        shown += std::isprint(static_cast<unsigned char>(c)) != 0 ? c : '?';
    return payload.size() > kShownPayloadLimit ? shown + "..." : shown;
}

} // namespace

MqttPublisher::MqttPublisher(CoreCommands& core, std::string settingsPath)
    : m_core(core), m_settingsPath(std::move(settingsPath))
{
}

MqttPublisher::~MqttPublisher()
{
    m_link.reset(); // no report of it may arrive any more
}

void MqttPublisher::ApplySettings(const MqttSettings& settings)
{
    const MqttIdentity identity = IdentityFor(settings, m_serialNumber, m_settingsPath);
    if (m_link && !reconnectNeeded(settings, identity)) {
        m_settings = settings; // only the remembered device id, which the serial number overrides
        return;
    }
    const bool movesAway = identity != m_identity;
    endLink(movesAway);
    m_settings = settings;
    m_identity = identity;
    if (m_settings.Enabled)
        startLink();
}

bool MqttPublisher::reconnectNeeded(const MqttSettings& next, const MqttIdentity& nextIdentity) const
{
    MqttSettings now = m_settings;
    MqttSettings later = next;
    now.DeviceId.clear();
    later.DeviceId.clear();
    return now != later || nextIdentity != m_identity;
}

void MqttPublisher::TakeState(const CoreState& state)
{
    if (!state.SerialNumber.empty() && state.SerialNumber != m_serialNumber) {
        m_serialNumber = state.SerialNumber;
        const MqttIdentity identity = IdentityFor(m_settings, m_serialNumber, m_settingsPath);
        if (identity != m_identity && m_link) {
            endLink(true);
            m_identity = identity;
            startLink();
        } else {
            m_identity = identity;
            if (m_connected && m_settings.Discovery) // the device block now names the serial number
                for (const MqttMessage& message : DiscoveryMessages(m_identity, m_settings, m_serialNumber))
                    publish(message);
        }
    }
    // Nothing before the first accepted reading: zeros that no inverter measured would enter
    // the history of every sensor, and the energy counters would seem to restart.
    if (state.ValidReadings > 0 || m_latest)
        m_latest = state;
    if (m_connected && m_latest && StateWorthPublishing(m_published, *m_latest))
        publishState();
}

void MqttPublisher::TakeEvent(const CoreEvent& event)
{
    if (!m_settings.Enabled)
        return;
    m_events.push_back(event);
    if (m_events.size() > kEventQueueLimit) {
        m_events.pop_front();
        ++m_droppedEvents;
    }
    if (m_connected)
        flushEvents();
}

void MqttPublisher::flushEvents()
{
    while (!m_events.empty() && publish(EventMessage(m_identity, m_events.front())))
        m_events.pop_front();
}

void MqttPublisher::Shutdown()
{
    endLink(false);
    m_settings.Enabled = false;
}

void MqttPublisher::startLink()
{
    const int generation = ++m_generation;
    MqttEndpoint endpoint{.Host = m_settings.Host,
                          .Port = m_settings.Port,
                          .Username = m_settings.Username,
                          .Password = m_settings.Password,
                          .Tls = m_settings.Tls,
                          .CaFile = m_settings.CaFile,
                          .ClientId = m_identity.ClientId,
                          .Will = AvailabilityMessage(m_identity, false),
                          .Subscriptions = {}};
    if (m_settings.AllowCommands)
        endpoint.Subscriptions.push_back(m_identity.PriorityCommandTopic());
    // The listener runs on the link's network thread: each report is queued to this thread.
    MosquittoLink::Listener listener{
        .Connected =
            [this, generation] {
                AnnounceHandover();
                QMetaObject::invokeMethod(this, [this, generation] { linkUp(generation); }, Qt::QueuedConnection);
            },
        .Failed =
            [this, generation](const std::string& reason, bool retrying) {
                AnnounceHandover();
                QMetaObject::invokeMethod(
                    this, [this, generation, reason, retrying] { linkFailed(generation, reason, retrying); },
                    Qt::QueuedConnection);
            },
        .MessageArrived =
            [this, generation](const std::string& topic, const std::string& payload) {
                AnnounceHandover();
                QMetaObject::invokeMethod(
                    this, [this, generation, topic, payload] { messageArrived(generation, topic, payload); },
                    Qt::QueuedConnection);
            },
    };
    m_outageNoted = false;
    m_link = std::make_unique<MosquittoLink>(std::move(endpoint), std::move(listener));
}

void MqttPublisher::endLink(bool withdraw)
{
    if (!m_link)
        return;
    std::vector<MqttMessage> goodbye;
    if (m_connected && withdraw) {
        if (m_settings.Discovery)
            goodbye = DiscoveryWithdrawals(m_identity, m_settings);
        goodbye.push_back(RetainedRemoval(m_identity.StateTopic()));
        goodbye.push_back(RetainedRemoval(m_identity.AvailabilityTopic()));
    } else if (m_connected) {
        goodbye.push_back(AvailabilityMessage(m_identity, false));
    }
    m_link->Close(goodbye);
    m_link.reset();
    ++m_generation;
    m_connected = false;
    m_published.reset();
}

void MqttPublisher::linkUp(int generation)
{
    if (generation != m_generation)
        return;
    m_connected = true;
    m_outageNoted = false;
    note("MQTT: connected to " + brokerName() + ", topics under " + m_identity.TopicPrefix + "/.");
    publish(AvailabilityMessage(m_identity, true));
    if (m_settings.Discovery)
        for (const MqttMessage& message : DiscoveryMessages(m_identity, m_settings, m_serialNumber))
            publish(message);
    m_published.reset();
    if (m_latest)
        publishState();
    flushEvents();
    if (m_droppedEvents > 0) {
        note("MQTT: " + std::to_string(m_droppedEvents) + " events were dropped while the broker was away.");
        m_droppedEvents = 0;
    }
}

void MqttPublisher::linkFailed(int generation, const std::string& reason, bool retrying)
{
    if (generation != m_generation)
        return;
    const std::string next = retrying ? "; trying again." : "; not trying again until the settings change.";
    if (m_connected) {
        m_connected = false;
        note("MQTT: the connection to " + brokerName() + " was lost (" + reason + ")" + next);
    } else if (!m_outageNoted) {
        note("MQTT: the broker " + brokerName() + " cannot be reached (" + reason + ")" + next);
    }
    m_outageNoted = true;
}

void MqttPublisher::messageArrived(int generation, const std::string& topic, const std::string& payload)
{
    if (generation != m_generation || !m_settings.AllowCommands || topic != m_identity.PriorityCommandTopic())
        return;
    const auto priority = PriorityFromCommand(payload);
    if (!priority) {
        note("MQTT: a command on " + topic + " was ignored: \"" + shownPayload(payload)
             + "\" is no output source priority (utility_first, solar_first, sbu).");
        return;
    }
    note("MQTT: output source priority " + std::string(IdOf(*priority)) + " asked through " + brokerName() + " on "
         + topic + ".");
    m_core.SetOutputPriority(*priority);
}

void MqttPublisher::publishState()
{
    if (publish(StateMessage(m_identity, m_settings, *m_latest)))
        m_published = m_latest;
}

bool MqttPublisher::publish(const MqttMessage& message)
{
    return m_link && m_link->Publish(message);
}

void MqttPublisher::note(const std::string& line)
{
    m_core.NoteEvent(line);
}

std::string MqttPublisher::brokerName() const
{
    return m_settings.Host + ":" + std::to_string(m_settings.Port);
}

} // namespace quorvane
