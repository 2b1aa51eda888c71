// What goes to the broker, without one: names and topics, which state changes are worth a
// message, the commands understood, and discovery configs that can all be taken back.
#include "mqtt/HomeAssistantDiscovery.h"
#include "mqtt/StateMessages.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvane {
namespace {

TEST(MqttIdentity, NamesTheDeviceByWhatIsKnownOfIt)
{
    const struct {
        const char* name;
        std::string serial;
        std::string learned;
        std::string prefix;
        std::string clientId;
        std::string path;
        MqttIdentity expected;
    } cases[] = {
        {"the serial number told", "92932004102453", "111", "", "", "/opt/q/quorvane.INI",
         {"92932004102453", "quorvane/92932004102453", "quorvane-92932004102453"}},
        {"the number learned in an earlier run", "", "92932004102453", "", "", "/opt/q/quorvane.INI",
         {"92932004102453", "quorvane/92932004102453", "quorvane-92932004102453"}},
        {"the prefix and client id given", "123", "", "house/inverter//", "me", "/q.INI", {"123", "house/inverter", "me"}},
        // Topic wildcards and separators never get into a topic.
        {"a learned id with topic characters", "", "a/b+#", "", "", "/q.INI", {"a_b__", "quorvane/a_b__", "quorvane-a_b__"}},
    };
    for (const auto& c : cases) {
        MqttSettings settings;
        settings.DeviceId = c.learned;
        settings.TopicPrefix = c.prefix;
        settings.ClientId = c.clientId;
        EXPECT_EQ(IdentityFor(settings, c.serial, c.path), c.expected) << c.name;
    }
    // Until a number is known, the settings file names the device, marked by its folder: two
    // programs whose files have the same name never share topics or a client id.
    const MqttIdentity garage = IdentityFor({}, "", "/opt/garage/unit one.INI");
    const MqttIdentity shed = IdentityFor({}, "", "/opt/shed/unit one.INI");
    EXPECT_TRUE(garage.DeviceId.starts_with("unit_one-")) << garage.DeviceId;
    EXPECT_NE(garage.DeviceId, shed.DeviceId);
    EXPECT_NE(garage.ClientId, shed.ClientId);
    EXPECT_EQ(garage, IdentityFor({}, "", "/opt/garage/unit one.INI"));
    EXPECT_EQ(garage.TopicPrefix, "quorvane/" + garage.DeviceId);

    const MqttIdentity identity = IdentityFor({}, "7", "/q.INI");
    EXPECT_EQ(identity.StateTopic(), "quorvane/7/state");
    EXPECT_EQ(identity.EventTopic(), "quorvane/7/event");
    EXPECT_EQ(identity.AvailabilityTopic(), "quorvane/7/availability");
    EXPECT_EQ(identity.PriorityCommandTopic(), "quorvane/7/output_priority/set");
}

TEST(StateMessages, AReadingOrAChangeOfStateIsWorthAMessageCountersAloneAreNot)
{
    CoreState published;
    published.ValidReadings = 3;
    published.Phase = LinkPhase::Connected;
    const struct {
        const char* name;
        void (*change)(CoreState&);
        bool worth;
    } cases[] = {
        {"nothing new", [](CoreState&) {}, false},
        {"a failed poll", [](CoreState& s) { ++s.Polls.NoReply; ++s.Polls.Requests; }, false},
        {"a new reading", [](CoreState& s) { ++s.ValidReadings; }, true},
        {"the link lost", [](CoreState& s) { s.Phase = LinkPhase::Disconnected; }, true},
        {"another mode", [](CoreState& s) { s.Mode = InverterMode::Battery; }, true},
        {"another priority", [](CoreState& s) { s.Priority = OutputPriority::SBU; }, true},
    };
    for (const auto& c : cases) {
        CoreState now = published;
        c.change(now);
        EXPECT_EQ(StateWorthPublishing(published, now), c.worth) << c.name;
    }
    EXPECT_TRUE(StateWorthPublishing(std::nullopt, published));
}

TEST(StateMessages, PriorityCommands)
{
    const struct {
        const char* payload;
        std::optional<OutputPriority> priority;
    } cases[] = {
        {"utility_first", OutputPriority::UtilityFirst}, {"solar_first", OutputPriority::SolarFirst},
        {" SBU\r\n", OutputPriority::SBU},               {"sbu2", std::nullopt},
        {"", std::nullopt},                              {"2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PriorityFromCommand(c.payload), c.priority) << c.payload;
}

TEST(StateMessages, RetainAndQualityOfService)
{
    const MqttIdentity identity = IdentityFor({}, "7", "/q.INI");
    MqttSettings settings;
    settings.Retain = false;
    const MqttMessage state = StateMessage(identity, settings, CoreState{});
    EXPECT_FALSE(state.Retain);
    EXPECT_EQ(state.Qos, 0);
    const MqttMessage offline = AvailabilityMessage(identity, false);
    EXPECT_EQ(offline, (MqttMessage{"quorvane/7/availability", "offline", 1, true}));
    const MqttMessage event = EventMessage(identity, {CoreEventKind::DayChanged, QDateTime(QDate(2026, 12, 11), QTime(0, 0), Qt::UTC)});
    EXPECT_EQ(event.Payload, R"({"event":"day_changed","time":"2026-12-11T00:00:00Z"})");
    EXPECT_FALSE(event.Retain);
    const MqttMessage fault = EventMessage(
        identity, {CoreEventKind::FaultOn, QDateTime(QDate(2026, 12, 11), QTime(0, 0), Qt::UTC), "over_temperature"});
    EXPECT_EQ(fault.Payload, R"({"condition":"over_temperature","event":"fault_on","time":"2026-12-11T00:00:00Z"})");
}

TEST(HomeAssistantDiscovery, EveryConfigCanBeTakenBackAndThePriorityHasOneForm)
{
    const MqttIdentity identity = IdentityFor({}, "7", "/q.INI");
    for (const bool commands : {false, true}) {
        MqttSettings settings;
        settings.AllowCommands = commands;
        std::set<std::string> configs;
        std::set<std::string> cleared;
        for (const MqttMessage& message : DiscoveryMessages(identity, settings, "7")) {
            EXPECT_TRUE(message.Retain) << message.Topic;
            (message.Payload.empty() ? cleared : configs).insert(message.Topic);
        }
        const std::string select = "homeassistant/select/7/output_priority/config";
        const std::string sensor = "homeassistant/sensor/7/output_priority/config";
        EXPECT_EQ(configs.contains(select), commands);
        EXPECT_EQ(configs.contains(sensor), !commands);
        EXPECT_EQ(cleared, (std::set<std::string>{commands ? sensor : select}));

        std::set<std::string> withdrawn;
        for (const MqttMessage& message : DiscoveryWithdrawals(identity, settings)) {
            EXPECT_TRUE(message.Payload.empty());
            withdrawn.insert(message.Topic);
        }
        for (const auto& topic : configs)
            EXPECT_TRUE(withdrawn.contains(topic)) << topic;
    }
}

} // namespace
} // namespace quorvane
