// The publisher against a real Mosquitto broker: what a subscriber sees of the state, the
// events and the availability, Home Assistant's discovery, commands, logins, TLS, and a
// broker that goes away and comes back.
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "NullCoreCommands.h"
#include "WaitUntil.h"

#include "face/StateJson.h"
#include "mqtt/MqttService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <mutex>

namespace quorvane {
namespace {

using fakes::MosquittoBroker;
using fakes::MqttSubscriber;
using fakes::WaitUntil;

// Records what the publisher asks of the core; called on the publisher's thread.
class RecordingCore final : public testsupport::NullCoreCommands {
public:
    void NoteEvent(const std::string& line) override
    {
        const std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    void SetOutputPriority(OutputPriority priority) override
    {
        const std::lock_guard lock(m_mutex);
        m_priorities.push_back(priority);
    }
    std::vector<std::string> Lines() const
    {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::vector<OutputPriority> Priorities() const
    {
        const std::lock_guard lock(m_mutex);
        return m_priorities;
    }
    bool Noted(const std::string& part) const
    {
        for (const auto& line : Lines())
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<OutputPriority> m_priorities;
};

CoreState reading(int number, double acVoltage = 230.0)
{
    CoreState state;
    state.AcVoltageV = acVoltage;
    state.ValuesValid = true;
    state.ValidReadings = number;
    state.Phase = LinkPhase::Connected;
    state.Priority = OutputPriority::SolarFirst;
    state.SerialNumber = "92932004102453";
    state.LastValidReading = QDateTime(QDate(2026, 6, 1), QTime(12, 0, 5), Qt::UTC);
    return state;
}

QJsonObject json(const std::string& payload)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

class MqttPublisherTest : public ::testing::Test {
protected:
    MqttSettings settingsFor(const MosquittoBroker& broker) const
    {
        MqttSettings settings;
        settings.Enabled = true;
        settings.Host = "localhost";
        settings.Port = broker.Port();
        return settings;
    }
    void apply(const MqttSettings& settings)
    {
        QMetaObject::invokeMethod(service.Publisher(), [this, settings] { service.Publisher()->ApplySettings(settings); });
    }
    void state(const CoreState& value)
    {
        QMetaObject::invokeMethod(service.Publisher(), [this, value] { service.Publisher()->TakeState(value); });
    }
    void event(CoreEventKind kind)
    {
        const CoreEvent value{kind, QDateTime(QDate(2026, 6, 1), QTime(12, 0, 7), Qt::UTC)};
        QMetaObject::invokeMethod(service.Publisher(), [this, value] { service.Publisher()->TakeEvent(value); });
    }

    RecordingCore core;
    MqttService service{core, "/opt/quorvane/bin/quorvane.INI"};
    const std::string prefix = "quorvane/92932004102453";
};

TEST_F(MqttPublisherTest, StateEventsAndAvailabilityReachASubscriber)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "quorvane/#");
    apply(settingsFor(broker));
    // Nothing is published as state before the first accepted reading.
    CoreState before = reading(0);
    before.ValuesValid = false;
    state(before);
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/availability"));
    EXPECT_EQ(subscriber.WaitFor(prefix + "/availability")->Payload, "online");

    state(reading(1));
    const auto first = subscriber.WaitFor(prefix + "/state");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Payload, StateJson(reading(1)));
    EXPECT_EQ(subscriber.On(prefix + "/state").size(), 1U);

    // Poll counters alone make no message; the next reading does.
    CoreState counted = reading(1);
    counted.Polls.Requests = 5;
    state(counted);
    state(reading(2, 231.5));
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/state", [](const auto& m) { return json(m.Payload)["valid_readings"] == 2; }));
    EXPECT_EQ(subscriber.On(prefix + "/state").size(), 2U);

    event(CoreEventKind::LineFault);
    const auto fault = subscriber.WaitFor(prefix + "/event");
    ASSERT_TRUE(fault);
    EXPECT_FALSE(fault->Retained);
    EXPECT_EQ(json(fault->Payload)["event"], "line_fault");
    EXPECT_EQ(json(fault->Payload)["time"], "2026-06-01T12:00:07Z");

    // A subscriber that comes later finds the state and the availability retained.
    MqttSubscriber late(broker.Port(), "quorvane/#");
    ASSERT_TRUE(late.WaitFor(prefix + "/state"));
    EXPECT_TRUE(late.WaitFor(prefix + "/state")->Retained);
    EXPECT_EQ(late.WaitFor(prefix + "/availability")->Payload, "online");
    EXPECT_TRUE(late.On(prefix + "/event").empty());
    EXPECT_TRUE(core.Noted("MQTT: connected to localhost:" + std::to_string(broker.Port())));
}

TEST_F(MqttPublisherTest, DiscoveryDescribesEverySensorForHomeAssistant)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "homeassistant/#");
    apply(settingsFor(broker));
    state(reading(1));
    const std::string sensors = "homeassistant/sensor/92932004102453/";
    ASSERT_TRUE(subscriber.WaitFor(sensors + "solar_energy_total_kwh/config",
                                   [](const auto& m) { return json(m.Payload)["device"].toObject().contains("serial_number"); }));
    ASSERT_TRUE(WaitUntil([&] {
        int configs = 0;
        for (const auto& message : subscriber.Messages())
            configs += !message.Payload.empty() && message.Topic.starts_with(sensors);
        return configs >= 27;
    }));
    // Every config is retained: a Home Assistant that starts later finds them all.
    MqttSubscriber late(broker.Port(), "homeassistant/#");
    ASSERT_TRUE(WaitUntil([&] { return late.Messages().size() >= 27; }));
    for (const auto& message : late.Messages()) {
        SCOPED_TRACE(message.Topic);
        EXPECT_TRUE(message.Retained);
        const QJsonObject config = json(message.Payload);
        for (const char* key : {"name", "unique_id", "state_topic", "value_template", "availability_topic", "device"})
            EXPECT_TRUE(config.contains(key)) << key;
        EXPECT_EQ(config["state_topic"], QString::fromStdString(prefix + "/state"));
        EXPECT_FALSE(config["device"].toObject()["identifiers"].toArray().isEmpty());
        EXPECT_TRUE(config["unique_id"].toString().contains("92932004102453"));
    }
    // The energy counters can feed the Energy dashboard.
    for (const char* key : {"solar_energy_today_kwh", "solar_energy_total_kwh", "line_energy_today_kwh", "line_energy_total_kwh"}) {
        const QJsonObject config = json(subscriber.WaitFor(sensors + key + "/config")->Payload);
        EXPECT_EQ(config["device_class"], "energy") << key;
        EXPECT_EQ(config["state_class"], "total_increasing") << key;
        EXPECT_EQ(config["unit_of_measurement"], "kWh") << key;
    }
    // Without commands, the priority is a sensor only.
    EXPECT_FALSE(subscriber.WaitFor(sensors + "output_priority/config")->Payload.empty());
    EXPECT_TRUE(subscriber.On("homeassistant/select/92932004102453/output_priority/config").empty()
                || subscriber.On("homeassistant/select/92932004102453/output_priority/config").back().Payload.empty());
}

TEST_F(MqttPublisherTest, PriorityCommandsAreTakenOnlyWhenAllowedAndAlwaysNoted)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "#");
    const std::string commandTopic = prefix + "/output_priority/set";

    // Not allowed: not even listened to.
    apply(settingsFor(broker));
    state(reading(1));
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/state"));
    subscriber.Publish(commandTopic, "sbu");

    MqttSettings allowed = settingsFor(broker);
    allowed.AllowCommands = true;
    apply(allowed);
    const auto select = subscriber.WaitFor("homeassistant/select/92932004102453/output_priority/config",
                                           [](const auto& m) { return !m.Payload.empty(); });
    ASSERT_TRUE(select);
    EXPECT_EQ(json(select->Payload)["command_topic"], QString::fromStdString(commandTopic));
    EXPECT_EQ(json(select->Payload)["options"].toArray().size(), 3);
    ASSERT_TRUE(WaitUntil([&] { return core.Lines().size() >= 2; })); // connected twice

    const struct {
        const char* payload;
        std::optional<OutputPriority> taken;
    } commands[] = {
        {"sbu", OutputPriority::SBU},
        {" Utility_First\n", OutputPriority::UtilityFirst},
        {"solar", std::nullopt},
        {"", std::nullopt},
    };
    size_t expectedTaken = 0;
    for (const auto& command : commands) {
        SCOPED_TRACE(command.payload);
        const size_t linesBefore = core.Lines().size();
        subscriber.Publish(commandTopic, command.payload);
        ASSERT_TRUE(WaitUntil([&] { return core.Lines().size() > linesBefore; }));
        const std::string line = core.Lines().back();
        if (command.taken) {
            ++expectedTaken;
            EXPECT_NE(line.find("asked through localhost:" + std::to_string(broker.Port())), std::string::npos) << line;
            ASSERT_TRUE(WaitUntil([&] { return core.Priorities().size() == expectedTaken; }));
            EXPECT_EQ(core.Priorities().back(), *command.taken);
        } else {
            EXPECT_NE(line.find("was ignored"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(core.Priorities().size(), expectedTaken); // the one sent before commands were allowed was not
}

TEST_F(MqttPublisherTest, ABrokerThatComesBackGetsTheLatestStateAndTheQueuedEvents)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "quorvane/#");
    apply(settingsFor(broker));
    state(reading(1));
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/state"));

    broker.Stop();
    ASSERT_TRUE(WaitUntil([&] { return core.Noted("was lost"); }));
    const int kEvents = static_cast<int>(MqttPublisher::kEventQueueLimit) + 500;
    for (int i = 0; i < kEvents; ++i)
        event(i % 2 == 0 ? CoreEventKind::LineFault : CoreEventKind::LineRestored);
    for (int number = 2; number <= 20; ++number)
        state(reading(number));
    subscriber.Clear();
    ASSERT_TRUE(broker.Start());

    ASSERT_TRUE(WaitUntil([&] { return core.Noted("500 events were dropped while the broker was away."); }));
    ASSERT_TRUE(WaitUntil([&] { return subscriber.On(prefix + "/event").size() == MqttPublisher::kEventQueueLimit; }));
    // Of the states only the latest went out; the events kept their order (the oldest dropped).
    const auto states = subscriber.On(prefix + "/state");
    ASSERT_EQ(states.size(), 1U);
    EXPECT_EQ(json(states.front().Payload)["valid_readings"], 20);
    const auto events = subscriber.On(prefix + "/event");
    for (size_t i = 0; i < events.size(); ++i)
        ASSERT_EQ(json(events[i].Payload)["event"], i % 2 == 0 ? "line_fault" : "line_restored") << i;
}

TEST_F(MqttPublisherTest, LoginsAndTls)
{
    enum class Ca { None, TheBrokers, Missing };
    const struct {
        const char* name;
        MosquittoBroker::Access access;
        std::string user;
        std::string password;
        Ca ca;
        const char* refusal; // in the memo when it is not reached
    } cases[] = {
        {"user and password", MosquittoBroker::Access::Password, MosquittoBroker::kUser, MosquittoBroker::kPassword, Ca::None, nullptr},
        {"a wrong password", MosquittoBroker::Access::Password, MosquittoBroker::kUser, "guess", Ca::None, "Connection Refused"},
        {"TLS under the test CA", MosquittoBroker::Access::Tls, "", "", Ca::TheBrokers, nullptr},
        {"TLS with a CA file that is not there", MosquittoBroker::Access::Tls, "", "", Ca::Missing,
         "cannot be used); not trying again until the settings change."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MosquittoBroker broker(c.access);
        const bool tls = c.access == MosquittoBroker::Access::Tls;
        MqttSubscriber subscriber(broker.Port(), "quorvane/#",
                                  {.User = tls ? "" : MosquittoBroker::kUser,
                                   .Password = tls ? "" : MosquittoBroker::kPassword,
                                   .CaFile = tls ? broker.CaFile() : ""});
        MqttSettings settings = settingsFor(broker);
        settings.Username = c.user;
        settings.Password = c.password;
        settings.Tls = tls;
        settings.CaFile = c.ca == Ca::TheBrokers ? broker.CaFile() : c.ca == Ca::Missing ? "/nonexistent/ca.crt" : "";
        apply(settings);
        state(reading(1));
        if (c.refusal == nullptr) {
            EXPECT_TRUE(subscriber.WaitFor(prefix + "/state"));
        } else {
            ASSERT_TRUE(WaitUntil([&] { return core.Noted(c.refusal); })) << core.Lines().back();
            EXPECT_TRUE(subscriber.On(prefix + "/state").empty());
        }
        MqttSettings off;
        apply(off);
    }
}

TEST_F(MqttPublisherTest, TheSerialNumberMovesTheDeviceAndTakesTheOldOneAway)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "#");
    apply(settingsFor(broker));
    CoreState unnamed = reading(1);
    unnamed.SerialNumber.clear();
    state(unnamed);
    // Until the inverter tells its number, the settings file names the device.
    const std::string file = IdentityFor({}, "", "/opt/quorvane/bin/quorvane.INI").DeviceId;
    ASSERT_TRUE(subscriber.WaitFor("quorvane/" + file + "/state"));
    ASSERT_TRUE(subscriber.WaitFor("homeassistant/sensor/" + file + "/ac_voltage_v/config"));

    state(reading(2));
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/state"));
    for (const std::string& gone : {"quorvane/" + file + "/state", "quorvane/" + file + "/availability",
                                    "homeassistant/sensor/" + file + "/ac_voltage_v/config"}) {
        EXPECT_TRUE(subscriber.WaitFor(gone, [](const auto& m) { return m.Payload.empty(); })) << gone;
    }
    EXPECT_EQ(subscriber.WaitFor(prefix + "/availability")->Payload, "online");
}

} // namespace
} // namespace quorvane
