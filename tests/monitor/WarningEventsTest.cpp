// The inverter's warning and fault bits through the whole core: asked at their own pace,
// steadied over two readings, and told as memo lines, mails, events and state.
#include "CoreRig.h"

#include "records/LogTree.h"

#include <QObject>

#include <algorithm>
#include <initializer_list>

using namespace quorvane;

namespace {

constexpr int kInverterFault = 1;
constexpr int kOverTemperature = 9;
constexpr int kBatteryLow = 12;

std::string bitsWith(std::initializer_list<int> bits)
{
    std::string payload(36, '0');
    for (const int bit : bits)
        payload[static_cast<size_t>(bit)] = '1';
    return payload;
}

class WarningEvents : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "[Mail]\r\nAddress=owner@example.com\r\n" + m_extraSettings; }

    void SetUp() override
    {
        CoreRig::SetUp();
        QObject::connect(core.get(), &CoreApp::eventOccurred, [this](const CoreEvent& event) {
            if (!event.Condition.empty())
                events.push_back(std::string(EventName(event.Kind)) + " " + event.Condition);
        });
        connect();
    }

    [[nodiscard]] size_t asked(const std::string& command) const
    {
        const auto commands = model.ReceivedCommands();
        return static_cast<size_t>(std::ranges::count(commands, command));
    }
    // Seconds pass until the inverter has been asked for its warnings `count` more times.
    void warningReadings(size_t count)
    {
        const size_t target = asked("QPIWS") + count;
        for (int second = 0; second < 60 && asked("QPIWS") < target; ++second)
            this->second();
        ASSERT_EQ(asked("QPIWS"), target);
    }
    [[nodiscard]] std::vector<std::string> activeIds() const
    {
        std::vector<std::string> ids;
        for (const WarningCondition& condition : core->State().Warnings)
            ids.push_back(condition.Id);
        return ids;
    }
    [[nodiscard]] std::vector<std::string> memoMatching(const std::string& part) const
    {
        std::vector<std::string> found;
        for (const std::string& message : messages())
            if (message.find(part) != std::string::npos)
                found.push_back(message);
        return found;
    }

    std::string m_extraSettings;
    std::vector<std::string> events;
};

} // namespace

TEST_F(WarningEvents, AskedAtMostEveryFiveSecondsAfterTheMainValues)
{
    for (int second = 0; second < 20; ++second)
        this->second();
    // One-second cycles: main values in each, the warning status in every fifth.
    const auto commands = model.ReceivedCommands();
    int mainValuesSinceWarnings = -1;
    for (const std::string& command : commands) {
        if (command == "QPIGS" && mainValuesSinceWarnings >= 0)
            ++mainValuesSinceWarnings;
        if (command == "QPIWS") {
            if (mainValuesSinceWarnings >= 0) {
                EXPECT_EQ(mainValuesSinceWarnings, 5);
            }
            mainValuesSinceWarnings = 0;
        }
    }
    EXPECT_GE(asked("QPIWS"), 4u);
    const auto first = std::ranges::find(commands, "QPIWS");
    ASSERT_NE(first, commands.end());
    ASSERT_GE(first - commands.begin(), 3);
    // The main values and the mode keep their order and come first.
    EXPECT_EQ(std::vector<std::string>(first - 3, first), (std::vector<std::string>{"QPIGS", "QMOD", "QPIGS2"}));
}

TEST_F(WarningEvents, AConditionCountsOnceTwoReadingsAgreeAndEndsTheSameWay)
{
    model.SetWarningBits(bitsWith({kBatteryLow}));
    warningReadings(1);
    EXPECT_TRUE(memoMatching("Warning on").empty());
    EXPECT_TRUE(activeIds().empty());
    warningReadings(1);
    EXPECT_EQ(memoMatching("Warning on"), std::vector<std::string>{"Warning on: Battery low"});
    EXPECT_EQ(activeIds(), std::vector<std::string>{"battery_low"});

    model.SetWarningBits(bitsWith({}));
    warningReadings(1);
    EXPECT_EQ(activeIds(), std::vector<std::string>{"battery_low"});
    warningReadings(1);
    EXPECT_EQ(memoMatching("Warning off"), std::vector<std::string>{"Warning off: Battery low"});
    EXPECT_TRUE(activeIds().empty());
    EXPECT_EQ(events, (std::vector<std::string>{"warning_on battery_low", "warning_off battery_low"}));
    EXPECT_TRUE(outbox.mails.empty()) << "warnings are not mailed unless the settings ask";

    // The day's event log keeps both lines.
    core->CloseSequence();
    std::ifstream eventLog(LogTree::UsualDayLogPath(folder.path().toStdString(), DayLog::Event, clock.now().date()));
    const std::string logged((std::istreambuf_iterator<char>(eventLog)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find("] Warning on: Battery low"), std::string::npos) << logged;
    EXPECT_NE(logged.find("] Warning off: Battery low"), std::string::npos) << logged;
}

TEST_F(WarningEvents, OneOddReadingMakesNoEvent)
{
    model.SetWarningBits(bitsWith({kBatteryLow}));
    warningReadings(1);
    model.SetWarningBits(bitsWith({}));
    warningReadings(3);
    EXPECT_TRUE(memoMatching("Warning").empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(WarningEvents, FaultsAreMailedAndOutlastAReconnection)
{
    model.SetWarningBits(bitsWith({kInverterFault, kOverTemperature}));
    warningReadings(2);
    EXPECT_EQ(memoMatching("Fault on"),
              (std::vector<std::string>{"Fault on: Inverter fault", "Fault on: Over temperature"}));
    ASSERT_EQ(outbox.mails.size(), 2u);
    EXPECT_TRUE(outbox.mails[0].Body.starts_with("Fault on: Inverter fault (")) << outbox.mails[0].Body;

    // The fault is still there after the link was down and up: no second event, no second mail.
    core->ToggleConnection();
    core->ToggleConnection();
    ASSERT_TRUE(core->ForTests().Link().LinkConnected);
    warningReadings(3);
    EXPECT_EQ(memoMatching("Fault on").size(), 2u);
    EXPECT_EQ(outbox.mails.size(), 2u);
    EXPECT_EQ(activeIds(), (std::vector<std::string>{"inverter_fault", "over_temperature"}));
}

TEST_F(WarningEvents, AUnitThatRefusesIsAskedAgainOnlyAfterAReconnection)
{
    model.SetRefused("QPIWS", true);
    const size_t before = asked("QPIWS"); // the connection's first cycle, before the refusal
    for (int second = 0; second < 30; ++second)
        this->second();
    EXPECT_EQ(asked("QPIWS"), before + 1);
    EXPECT_EQ(memoMatching("does not report warnings").size(), 1u);

    model.SetRefused("QPIWS", false);
    model.SetWarningBits(bitsWith({kBatteryLow}));
    core->ToggleConnection();
    core->ToggleConnection();
    warningReadings(2);
    EXPECT_EQ(memoMatching("Warning on"), std::vector<std::string>{"Warning on: Battery low"});
}

class WarningMails : public WarningEvents, public ::testing::WithParamInterface<std::tuple<std::string, size_t>> {
protected:
    std::string settings() const override { return std::get<0>(GetParam()); }
};

TEST_P(WarningMails, FollowTheSettings)
{
    model.SetWarningBits(bitsWith({kInverterFault, kBatteryLow}));
    warningReadings(2);
    EXPECT_EQ(memoMatching(" on: ").size(), 2u);
    EXPECT_EQ(outbox.mails.size(), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WarningMails,
    ::testing::Values(std::tuple<std::string, size_t>{"[Mail]\r\nAddress=a@example.com\r\n", 1},
                      std::tuple<std::string, size_t>{"[Mail]\r\nAddress=a@example.com\r\n[Inverter]\r\nMailWarnings=1\r\n", 2},
                      std::tuple<std::string, size_t>{"[Mail]\r\nAddress=a@example.com\r\n[Inverter]\r\nMailFaults=0\r\n", 0},
                      std::tuple<std::string, size_t>{"", 0})); // no address: nothing to mail to
