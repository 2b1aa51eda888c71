#include "mqtt/StateMessages.h"

#include "face/StateIds.h"
#include "face/StateJson.h"

#include <QString>

namespace quorvane {

MqttMessage StateMessage(const MqttIdentity& identity, const MqttSettings& settings, const CoreState& state)
{
    return {.Topic = identity.StateTopic(), .Payload = StateJson(state), .Qos = 0, .Retain = settings.Retain};
}

MqttMessage EventMessage(const MqttIdentity& identity, const CoreEvent& event)
{
    return {.Topic = identity.EventTopic(),
            .Payload = EventJson(event),
            .Qos = 1,
            .Retain = false};
}

MqttMessage AvailabilityMessage(const MqttIdentity& identity, bool online)
{
    return {.Topic = identity.AvailabilityTopic(), .Payload = online ? "online" : "offline", .Qos = 1, .Retain = true};
}

bool StateWorthPublishing(const std::optional<CoreState>& published, const CoreState& now)
{
    if (!published)
        return true;
    return now.ValidReadings != published->ValidReadings || now.Phase != published->Phase
           || now.Mode != published->Mode || now.Priority != published->Priority
           || now.SerialNumber != published->SerialNumber || now.Warnings != published->Warnings;
}

std::optional<OutputPriority> PriorityFromCommand(std::string_view payload)
{
    const QString asked = QString::fromUtf8(payload.data(), static_cast<qsizetype>(payload.size())).trimmed().toLower();
    for (const OutputPriority priority : {OutputPriority::UtilityFirst, OutputPriority::SolarFirst, OutputPriority::SBU}) {
        if (asked == QLatin1String(IdOf(priority)))
            return priority;
    }
    return std::nullopt;
}

} // namespace quorvane
