// quorvaned publishing to a real Mosquitto broker, each daemon against a simulated inverter of
// its own (the simulator program on a pseudo-terminal): several inverters side by side on one
// broker, a daemon that dies without a goodbye, and a priority command from the broker that
// reaches the inverter.
#include "ChildProcess.h"
#include "DaemonRun.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "WaitUntil.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {
namespace {

using fakes::ChildProcess;
using fakes::MosquittoBroker;
using fakes::MqttSubscriber;
using fakes::ReceivedMessage;
using fakes::WaitUntil;

QJsonObject json(const std::string& payload)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

// One inverter and the daemon that watches it: the simulator program with the serial number
// it is given, a folder holding the daemon's settings file and logs, and the daemon, which
// connects by itself and publishes to the broker. Made and used on the test's thread.
class WatchedInverter {
public:
    // `simulatorOptions` follow the serial number on the simulator's command line.
    explicit WatchedInverter(std::string serial, std::vector<std::string> simulatorOptions = {})
        : m_serial(std::move(serial)), m_simulatorOptions(std::move(simulatorOptions))
    {
    }

    // Starts the simulator, then the daemon on settings that point it at the simulator's line
    // and at the broker on `brokerPort`.
    ::testing::AssertionResult Start(int brokerPort, bool allowCommands = false)
    {
        // Bytes without the line's pace, but a real unit's pause before each answer.
        std::vector<std::string> options{"--full-speed", "--delay", "50", "--serial", m_serial};
        options.insert(options.end(), m_simulatorOptions.begin(), m_simulatorOptions.end());
        m_simulator = std::make_unique<ChildProcess>(QUORVANE_SIMULATOR_PATH, options, ChildProcess::Input::Piped);
        const std::string announcement = "Inverter simulator on ";
        const auto line = fakes::WaitForOutputLine(*m_simulator, announcement, m_simulatorOutput);
        if (!line)
            return ::testing::AssertionFailure() << "the simulator did not start: " << m_simulatorOutput;
        const std::string devicePath = line->substr(line->find(announcement) + announcement.size());

        const std::string settingsPath = QDir(m_folder.path()).filePath("quorvane.INI").toStdString();
        std::ofstream(settingsPath, std::ios::binary)
            << fakes::SerialLineSettings(devicePath) << "[Mqtt]\r\nEnabled=1\r\nHost=localhost\r\nPort=" << brokerPort
            << "\r\nAllowCommands=" << (allowCommands ? 1 : 0) << "\r\n";
        m_daemon = std::make_unique<ChildProcess>(
            QUORVANED, std::vector<std::string>{"--config", settingsPath, "--log-dir", m_folder.path().toStdString()});
        return ::testing::AssertionSuccess();
    }

    [[nodiscard]] const std::string& Serial() const { return m_serial; }
    [[nodiscard]] std::string TopicPrefix() const { return "quorvane/" + m_serial; }

    // Waits for a line of the daemon's output (its event memo) that holds `text`.
    bool WaitForDaemonLine(const std::string& text)
    {
        return fakes::WaitForOutputLine(*m_daemon, text, m_daemonOutput).has_value();
    }
    // The daemon's output so far, for a failure message.
    const std::string& DaemonOutput()
    {
        while (const auto line = m_daemon->ReadLine(std::chrono::milliseconds(20)))
            m_daemonOutput += *line + "\n";
        return m_daemonOutput;
    }

    // The simulator's answer to one of the commands of its console.
    std::string AskSimulator(const std::string& command)
    {
        if (!m_simulator->Write(command + "\n"))
            return "(the simulator is gone)";
        return m_simulator->ReadLine(fakes::kPatience).value_or("(no answer)");
    }

    // Ends the daemon at once, as a crash or a power cut would: no goodbye to the broker.
    void KillDaemon() { m_daemon->KillNow(); }
    // Stops the daemon as its service manager would: its exit status, or nothing when it did
    // not end.
    std::optional<int> StopDaemon()
    {
        m_daemon->Signal(SIGTERM);
        return m_daemon->WaitForExit(fakes::kPatience);
    }

private:
    std::string m_serial;
    std::vector<std::string> m_simulatorOptions;
    QTemporaryDir m_folder;
    std::unique_ptr<ChildProcess> m_simulator;
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_simulatorOutput;
    std::string m_daemonOutput;
};

bool isOnline(const ReceivedMessage& message)
{
    return message.Payload == "online";
}

// Where a test marks how far a subscriber has come, under `root`.
std::string markerTopic(const std::string& root)
{
    return root + "/test-marker";
}

// Waits until `subscriber` has everything the broker took before this call: a marker
// published now reaches it after those, as the broker keeps the order of a client's messages.
bool caughtUp(MqttSubscriber& subscriber, const std::string& root)
{
    static int markers = 0;
    const std::string marker = "marker " + std::to_string(++markers);
    subscriber.Publish(markerTopic(root), marker);
    return subscriber.WaitFor(markerTopic(root), [&](const auto& message) { return message.Payload == marker; })
        .has_value();
}

// Each topic's last message as a subscriber saw it, the ones emptied (taken back) and the
// markers left out: what the broker keeps for the next subscriber, when they are retained.
std::map<std::string, std::string> lastNonEmpty(const std::vector<ReceivedMessage>& messages)
{
    std::map<std::string, std::string> last;
    for (const auto& message : messages)
        if (!message.Topic.ends_with(markerTopic("")))
            last[message.Topic] = message.Payload;
    std::erase_if(last, [](const auto& entry) { return entry.second.empty(); });
    return last;
}

// A discovery topic "<prefix>/<component>/<device id>/<key>/config" as the device it
// describes and the entity ("<component>/<key>") it gives that device.
std::pair<std::string, std::string> discoveredEntity(const std::string& topic)
{
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = topic.find('/', start);
        parts.push_back(topic.substr(start, end - start));
    }
    if (parts.size() != 5)
        return {topic, ""};
    return {parts[2], parts[1] + "/" + parts[3]};
}

// Three inverters, each with its own daemon, on one broker; a subscriber follows the daemons'
// topics and another Home Assistant's discovery. Every daemon has published a state.
class MqttDaemonSideBySide : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* serial : {"96342108100011", "96342108100022", "96342108100033"}) {
            inverters.push_back(std::make_unique<WatchedInverter>(serial));
            ASSERT_TRUE(inverters.back()->Start(broker.Port()));
        }
        for (auto& inverter : inverters) {
            SCOPED_TRACE(inverter->Serial());
            const auto state = subscriber.WaitFor(inverter->TopicPrefix() + "/state");
            ASSERT_TRUE(state) << inverter->DaemonOutput();
            EXPECT_EQ(json(state->Payload)["serial_number"], QString::fromStdString(inverter->Serial()));
        }
    }

    // What the subscriber received and what the daemons wrote, for a failure message.
    std::string everything()
    {
        std::string text;
        for (const auto& message : subscriber.Messages())
            text += message.Topic + " " + message.Payload.substr(0, 60) + "\n";
        for (auto& inverter : inverters)
            text += "--- " + inverter->Serial() + ":\n" + inverter->DaemonOutput();
        return text;
    }

    // Whether `topic` lies under one of the inverters' serial numbers.
    bool underASerialNumber(const std::string& topic) const
    {
        return std::ranges::any_of(inverters, [&](const auto& inverter) {
            return topic.starts_with(inverter->TopicPrefix() + "/");
        });
    }

    MosquittoBroker broker;
    MqttSubscriber subscriber{broker.Port(), "quorvane/#"};
    MqttSubscriber homeAssistant{broker.Port(), "homeassistant/#"};
    std::vector<std::unique_ptr<WatchedInverter>> inverters; // ended first, while the broker is there
};

TEST_F(MqttDaemonSideBySide, EachInverterIsADeviceOfItsOwnAndAKilledOneGoesOffline)
{
    for (auto& inverter : inverters)
        EXPECT_TRUE(subscriber.WaitFor(inverter->TopicPrefix() + "/availability", isOnline)) << inverter->Serial();
    // A state always names the inverter of its topic: no daemon published on another's.
    for (const auto& message : subscriber.Messages()) {
        if (message.Topic.ends_with("/state") && !message.Payload.empty()) {
            const std::string named = json(message.Payload)["serial_number"].toString().toStdString();
            EXPECT_EQ(message.Topic, "quorvane/" + named + "/state");
        }
    }
    ASSERT_TRUE(caughtUp(subscriber, "quorvane"));
    ASSERT_TRUE(caughtUp(homeAssistant, "homeassistant"));

    // Home Assistant sees three devices, with the same entities each, none of them shared;
    // nothing named otherwise (before the inverter told its number) is left on the broker.
    std::map<std::string, std::set<std::string>> entitiesOf; // device id -> entities
    std::set<std::string> uniqueIds;
    size_t configs = 0;
    for (const auto& [topic, payload] : lastNonEmpty(homeAssistant.Messages())) {
        SCOPED_TRACE(topic);
        const auto [device, entity] = discoveredEntity(topic);
        const QJsonObject config = json(payload);
        entitiesOf[device].insert(entity);
        uniqueIds.insert(config["unique_id"].toString().toStdString());
        ++configs;
        EXPECT_EQ(config["state_topic"], QString::fromStdString("quorvane/" + device + "/state"));
        EXPECT_EQ(config["availability_topic"], QString::fromStdString("quorvane/" + device + "/availability"));
    }
    ASSERT_EQ(entitiesOf.size(), inverters.size()) << ::testing::PrintToString(entitiesOf);
    for (const auto& inverter : inverters) {
        EXPECT_TRUE(entitiesOf.contains(inverter->Serial())) << inverter->Serial();
        EXPECT_EQ(entitiesOf[inverter->Serial()], entitiesOf.begin()->second) << inverter->Serial();
    }
    EXPECT_FALSE(entitiesOf.begin()->second.empty());
    EXPECT_EQ(uniqueIds.size(), configs);
    for (const auto& [topic, payload] : lastNonEmpty(subscriber.Messages())) {
        // Events are not kept; their own test follows them.
        EXPECT_TRUE(topic.ends_with("/event") || underASerialNumber(topic)) << topic << " holds " << payload;
    }

    // The second daemon dies: the broker says so for it, in its will, and only for it.
    const auto readings = [&](const WatchedInverter& inverter) {
        return json(subscriber.WaitFor(inverter.TopicPrefix() + "/state")->Payload)["valid_readings"].toInt();
    };
    const int firstBefore = readings(*inverters[0]);
    const int thirdBefore = readings(*inverters[2]);
    inverters[1]->KillDaemon();
    ASSERT_TRUE(subscriber.WaitFor(inverters[1]->TopicPrefix() + "/availability",
                                   [](const auto& message) { return message.Payload == "offline"; }));
    // The other two go on measuring and publishing, and never went offline.
    for (const auto& [inverter, before] :
         {std::pair{inverters[0].get(), firstBefore}, std::pair{inverters[2].get(), thirdBefore}}) {
        SCOPED_TRACE(inverter->Serial());
        EXPECT_TRUE(subscriber.WaitFor(inverter->TopicPrefix() + "/state", [before](const auto& message) {
            return json(message.Payload)["valid_readings"].toInt() > before;
        })) << inverter->DaemonOutput();
        for (const auto& message : subscriber.On(inverter->TopicPrefix() + "/availability"))
            EXPECT_EQ(message.Payload, "online");
    }
    // What the broker keeps for a subscriber that comes now.
    MqttSubscriber late(broker.Port(), "quorvane/+/availability");
    for (size_t i = 0; i < inverters.size(); ++i) {
        const auto availability = late.WaitFor(inverters[i]->TopicPrefix() + "/availability");
        ASSERT_TRUE(availability) << inverters[i]->Serial();
        EXPECT_TRUE(availability->Retained);
        EXPECT_EQ(availability->Payload, i == 1 ? "offline" : "online") << inverters[i]->Serial();
    }
    // The others, stopped, say goodbye themselves.
    for (const size_t i : {0U, 2U}) {
        EXPECT_EQ(inverters[i]->StopDaemon(), 0) << inverters[i]->DaemonOutput();
        EXPECT_TRUE(subscriber.WaitFor(inverters[i]->TopicPrefix() + "/availability",
                                       [](const auto& message) { return message.Payload == "offline"; }));
    }
}

// The "connected" event of an inverter belongs under its serial number, which the daemon has
// from the very reply that made it connected: not under the stand-in name taken from the
// settings file, where nobody could tell which inverter it came from.
TEST_F(MqttDaemonSideBySide, EachInvertersEventsGoOutUnderItsOwnSerialNumber)
{
    const auto connectedEvents = [&] {
        std::vector<ReceivedMessage> found;
        for (const auto& message : subscriber.Messages())
            if (message.Topic.ends_with("/event") && json(message.Payload)["event"] == "connected")
                found.push_back(message);
        return found;
    };
    ASSERT_TRUE(WaitUntil([&] { return connectedEvents().size() >= inverters.size(); })) << everything();
    ASSERT_TRUE(caughtUp(subscriber, "quorvane"));
    const auto events = connectedEvents();
    for (const auto& event : events)
        EXPECT_TRUE(underASerialNumber(event.Topic)) << event.Topic << ": " << event.Payload;
    for (auto& inverter : inverters) {
        EXPECT_EQ(std::ranges::count_if(events, [&](const auto& event) {
                      return event.Topic == inverter->TopicPrefix() + "/event";
                  }),
                  1)
            << inverter->Serial();
    }
}

// Until its inverter tells the serial number, a daemon goes by its settings file's name, the
// same for all three here. Each must still hold its own connection to the broker: taking
// another's would end that one (a "lost" line in its memo, events sent on it lost) and have the
// broker publish its will, "offline", for a device that is there.
TEST_F(MqttDaemonSideBySide, NoDaemonPushesAnotherOffTheBroker)
{
    for (auto& inverter : inverters)
        ASSERT_TRUE(inverter->WaitForDaemonLine("topics under " + inverter->TopicPrefix() + "/.")) << everything();
    ASSERT_TRUE(caughtUp(subscriber, "quorvane"));
    for (const auto& message : subscriber.Messages()) {
        if (message.Topic.ends_with("/availability")) {
            EXPECT_NE(message.Payload, "offline") << message.Topic;
        }
    }
    for (auto& inverter : inverters) {
        EXPECT_EQ(inverter->DaemonOutput().find(" was lost "), std::string::npos) << inverter->DaemonOutput();
    }
}

TEST(MqttDaemon, APriorityCommandThroughTheBrokerSwitchesTheInverter)
{
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "quorvane/#");
    WatchedInverter inverter("96342108100044", {"--priority", "0"}); // utility first
    ASSERT_TRUE(inverter.Start(broker.Port(), true));
    const std::string prefix = inverter.TopicPrefix();
    // Online under the serial number: the command topic of that connection is listened to.
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/availability", isOnline)) << inverter.DaemonOutput();
    ASSERT_TRUE(subscriber.WaitFor(prefix + "/state", [](const auto& message) {
        return json(message.Payload)["output_priority"] == "utility_first";
    })) << inverter.DaemonOutput();

    subscriber.Publish(prefix + "/output_priority/set", "sbu");

    EXPECT_TRUE(inverter.WaitForDaemonLine("MQTT: output source priority sbu asked through localhost:"
                                           + std::to_string(broker.Port()) + " on " + prefix + "/output_priority/set."))
        << inverter.DaemonOutput();
    EXPECT_TRUE(inverter.WaitForDaemonLine("SBU source priority successfully set.")) << inverter.DaemonOutput();
    EXPECT_TRUE(subscriber.WaitFor(prefix + "/state", [](const auto& message) {
        return json(message.Payload)["output_priority"] == "sbu";
    }));
    EXPECT_NE(inverter.AskSimulator("commands").find("POP02"), std::string::npos);
    EXPECT_EQ(inverter.StopDaemon(), 0) << inverter.DaemonOutput();
}

} // namespace
} // namespace quorvane
