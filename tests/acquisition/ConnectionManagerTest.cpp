// The connection manager against simulated inverters on the in-process line (virtual time, so
// no thread's scheduling can split a reply), mapped to COM names through the settings' [Ports]
// section. The test's thread plays the core thread; the timers are fired by hand and the
// pauses between cycles are gated.
#include "FakeUserNotifier.h"
#include "MemoMessages.h"
#include "GatedPacer.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "acquisition/ConnectionManager.h"
#include "monitor/CycleSteps.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "config/Settings.h"
#include "core/CoreTimer.h"
#include "core/DisplayRefresher.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "inverter/Wincom.h"
#include "core/ComputedValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::PumpUntil;
using quorvane::sim::Fault;

namespace {

const std::string kInverter = "/sim/inverter";

// The in-process inverters attached to `devices`, except that the devices listed in `busy` are
// taken by another program between the probe and the open (the probe succeeds, every later
// open fails).
class ProbeThenBusyOpener final : public SerialOpener {
public:
    OpenedPort open(const std::string& device) override
    {
        if (busy.count(device) != 0 && m_opens[device]++ > 0)
            return {};
        return devices.open(device);
    }
    sim::InProcessOpener devices;
    std::set<std::string> busy;

private:
    std::map<std::string, int> m_opens;
};

// Counts the display refreshes the manager asks for.
class CountingRefresher final : public DisplayRefresher {
public:
    void RefreshDisplay() override { ++refreshes; }
    int refreshes = 0;
};

class ConnectionTest : public ::testing::Test {
protected:
    ConnectionTest()
    {
        // Every COM name points nowhere unless a test maps it to a simulator.
        for (int number = 1; number <= PortMap::kLastPort; ++number)
            settings.Ports[number] = "/nonexistent/com" + std::to_string(number);
        opener.devices.Attach(kInverter, model);
        settings.Ports[1] = kInverter;
        settings.AutoSearch = false;
        model.SetFullSpeed(true);
        model.SetAnswerDelay(0ms);
        manager.SetMeasuringInterval(1000);
    }

    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(memo.Lines()); }
    [[nodiscard]] bool memoHas(const std::string& message) const
    {
        const auto all = messages();
        return std::find(all.begin(), all.end(), message) != all.end();
    }
    [[nodiscard]] fakes::GatedPacer& pacer() const { return *pacers.back(); }
    // Serves the current thread's cycle until it sits in its pause.
    void untilPaused() { ASSERT_TRUE(PumpUntil([this] { return pacer().Waiting(); })); }
    // Commands the simulator received after the first `skip`.
    [[nodiscard]] std::vector<std::string> commandsAfter(size_t skip) const
    {
        const auto all = model.ReceivedCommands();
        return {all.begin() + static_cast<long>(std::min(skip, all.size())), all.end()};
    }

    sim::InverterModel model;
    ProbeThenBusyOpener opener;
    fakes::FakeUserNotifier person;
    TComm comm{opener, person};
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    MeasurementRecord record;
    ComputedValues computed;
    LinkState link;
    OutputRequests requests;
    AcquisitionControl control;
    TDati settings{QDate(2026, 6, 1)};
    InverterQueries queries{comm, record, memo, link, requests, clock, [](std::chrono::milliseconds) {}, 7};
    CycleSteps steps{comm, queries, computed, record, requests, link, clock, formats};
    CoreTimer timer{CoreTimer::Drive::Manual};
    CoreTimer timer1{CoreTimer::Drive::Manual};
    CoreTimer timer3{CoreTimer::Drive::Manual};
    CoreTimer timerConnect{CoreTimer::Drive::Manual};
    std::vector<fakes::GatedPacer*> pacers;
    CountingRefresher display;
    ConnectionManager manager{comm, queries, steps, record, memo, link, requests, control, settings, clock,
                              ConnectionTimers{timer, timer1, timer3, timerConnect}, display,
                              [this] {
                                  auto pacer = std::make_unique<fakes::GatedPacer>();
                                  pacers.push_back(pacer.get());
                                  return pacer;
                              }};
};

} // namespace

TEST_F(ConnectionTest, ADirectConnectFindsTheInverterAndTheFirstCycleReadsThePriority)
{
    manager.Connect1Click();
    EXPECT_EQ(messages(), (std::vector<std::string>{"Inverter connected.",
                                                    "Connected to " + kInverter + " port and Inverter."}));
    EXPECT_EQ(manager.View().Label1, "Connected");
    EXPECT_EQ(manager.View().Connect1Caption, "Disconnect");
    EXPECT_FALSE(manager.View().TestEnabled);
    EXPECT_TRUE(link.LinkConnected);
    EXPECT_TRUE(timer.Enabled() && timer1.Enabled());
    EXPECT_TRUE(requests.StatusRequest);
    EXPECT_EQ(record.PollTime, clock.now());
    EXPECT_EQ(manager.ThreadsCreated(), 2); // the thread made at start ended its cycle and was replaced
    EXPECT_EQ(display.refreshes, 1);

    const size_t before = model.ReceivedCommands().size();
    untilPaused();
    EXPECT_EQ(commandsAfter(before), (std::vector<std::string>{"QPIGS", "QMOD", "QPIRI"}));
    EXPECT_FALSE(requests.StatusRequest);
    EXPECT_EQ(record.Flow.OutputPriorityText, "SBU");
    EXPECT_EQ(queries.Label51(), "Output source = SBU");
    EXPECT_EQ(manager.Thread()->LoopCount(), 1);
    EXPECT_FALSE(record.LastReadingStamp.empty());
}

TEST_F(ConnectionTest, APortHeldElsewhereIsNotFound)
{
    OpenedPort other = opener.devices.open(kInverter);
    ASSERT_NE(other.transport, nullptr);
    manager.Connect1Click();
    other.transport.reset();
    EXPECT_EQ(messages(), std::vector<std::string>{"Port COM1 NOT found"});
    EXPECT_EQ(display.refreshes, 0); // nothing new to show
    EXPECT_EQ(manager.View().Label1, "Error");
    EXPECT_EQ(manager.View().Connect1Caption, "Connect");
    EXPECT_TRUE(manager.View().TestEnabled);
    EXPECT_FALSE(link.LinkConnected);
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(ConnectionTest, APortThatNeverAnswersIsClosedAgain)
{
    model.InjectFault({.kind = Fault::NoAnswer, .times = -1});
    manager.Connect1Click();
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "Inverter Not connected.",
                              "Communication port COM1 exists, but Inverter NOT found. Try another port.",
                          }));
    EXPECT_EQ(manager.View().Label1, "Error");
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(link.LinkConnected);
    EXPECT_EQ(display.refreshes, 0);
}

TEST_F(ConnectionTest, ASearchGoesThroughThePortsUntilOneAnswers)
{
    sim::InverterModel silentModel;
    silentModel.InjectFault({.kind = Fault::NoAnswer, .times = -1});
    opener.devices.Attach("/sim/silent", silentModel);
    sim::InverterModel busyModel;
    opener.devices.Attach("/sim/busy", busyModel);
    opener.busy.insert("/sim/busy");
    settings.AutoSearch = true;
    settings.Ports[1] = "/nonexistent/com1";
    settings.Ports[4] = "/sim/silent";
    settings.Ports[7] = "/sim/busy";
    settings.Ports[12] = kInverter;

    manager.Connect1Click();

    std::vector<std::string> expected;
    for (int number = 1; number <= 11; ++number) {
        const std::string port = "COM" + std::to_string(number);
        expected.push_back("Trying port " + port + "...");
        if (number == 4) {
            expected.push_back("Inverter Not connected.");
            expected.push_back("Port COM4 Found but Inverter not connected.");
        } else if (number == 7) {
            expected.push_back("Port COM7 Busy.");
        } else {
            expected.push_back("Port " + port + " Not Found.");
        }
    }
    expected.push_back("Trying port COM12...");
    expected.push_back("Inverter connected.");
    expected.push_back("Connected to " + kInverter + " port and Inverter.");
    EXPECT_EQ(messages(), expected);
    EXPECT_EQ(manager.View().Label1, "Connected");
}

TEST_F(ConnectionTest, ASearchWithNoInverterAnywhere)
{
    settings.AutoSearch = true;
    settings.Ports[1] = "/nonexistent/com1";
    manager.Connect1Click();
    const auto all = messages();
    ASSERT_EQ(all.size(), 29u * 2 + 1);
    EXPECT_EQ(all[0], "Trying port COM1...");
    EXPECT_EQ(all[57], "Port COM29 Not Found.");
    EXPECT_EQ(all.back(), "Port not found in system.");
    EXPECT_EQ(manager.View().Label1, "Error");
    EXPECT_FALSE(link.LinkConnected);
}

TEST_F(ConnectionTest, TestModeResumesTheSameThreadEachTime)
{
    manager.TestClick(true);
    EXPECT_EQ(timer3.Interval(), 200);
    manager.Connect1Click();
    EXPECT_EQ(manager.View().Label1, "Test Mode");
    EXPECT_EQ(display.refreshes, 1);
    untilPaused();
    EXPECT_EQ(manager.Thread()->LoopCount(), 1);
    manager.Connect1Click();
    EXPECT_EQ(manager.View().Label1, "Test Mode");
    EXPECT_EQ(manager.View().Connect1Caption, "Connect");
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->Suspended(); }));
    manager.Connect1Click();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->LoopCount() == 2 && pacer().Waiting(); }));

    EXPECT_EQ(manager.ThreadsCreated(), 1);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Entering in TEST mode.", "Connected in Test Mode.",
                                                    "Disconnected in Test Mode.", "Connected in Test Mode."}));
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
    EXPECT_TRUE(record.ValuesValid);
    manager.Connect1Click();
    manager.TestClick(false);
    EXPECT_TRUE(memoHas("Leaving TEST mode."));
    EXPECT_EQ(timer3.Interval(), 200); // kept until the settings are applied again
}

TEST_F(ConnectionTest, CheckButton)
{
    manager.Button1Click(); // disconnected: only the verdict line
    EXPECT_EQ(messages(), std::vector<std::string>{"Inverter NOT connected on port COM1"});
    memo.Clear();
    manager.TestClick(true);
    manager.Button1Click();
    EXPECT_EQ(messages(), (std::vector<std::string>{"Entering in TEST mode.", "Dummy connection test OK."}));
}

TEST_F(ConnectionTest, PriorityRequestsMadeBeforeACycleAreSentInOrder)
{
    manager.Connect1Click();
    untilPaused();
    requests.Button5Click(); // set SBU
    requests.Button7Click(); // set UTI
    const size_t before = model.ReceivedCommands().size();
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->LoopCount() == 2 && pacer().Waiting(); }));
    EXPECT_EQ(commandsAfter(before), (std::vector<std::string>{"QPIGS", "QMOD", "POP02", "POP00"}));
    EXPECT_EQ(record.Flow.OutputPriorityText, "UTIL");
    EXPECT_TRUE(requests.Button5Enabled && requests.Button7Enabled);
}

TEST_F(ConnectionTest, CyclesGoOnWithTheInverterGone)
{
    manager.Connect1Click();
    untilPaused();
    model.Unplug();
    for (int cycle = 2; cycle <= 4; ++cycle) {
        pacer().Release();
        ASSERT_TRUE(PumpUntil([&] { return manager.Thread()->LoopCount() == cycle && pacer().Waiting(); }));
        EXPECT_FALSE(record.ValuesValid);
    }
}

TEST_F(ConnectionTest, ExitWhileSuspendedRunsOneMoreCycleAndEnds)
{
    control.ReqByWeb = true;
    manager.Connect1Click();
    untilPaused();
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->Suspended(); }));
    const size_t before = model.ReceivedCommands().size();

    manager.ShutdownAcquisition();
    EXPECT_EQ(manager.Thread(), nullptr);
    EXPECT_EQ(commandsAfter(before), (std::vector<std::string>{"QPIGS", "QMOD"}));
    EXPECT_EQ(control.IntervalMs, 1000);
}

TEST_F(ConnectionTest, TheWatchdogDisconnectsAStalledLinkAndReconnectsOnce)
{
    settings.AutoReConnect = true;
    manager.Connect1Click();
    ASSERT_TRUE(link.LinkConnected);
    untilPaused(); // the thread now sits in its pause: no more cycles
    // The cable goes, and with it the device, as a USB adapter's does.
    model.Unplug();

    auto tick = [this] {
        manager.Watchdog();
        manager.NoteLoopCount();
    };
    tick(); // sees the first cycle
    for (int stalled = 1; stalled < 8; ++stalled) {
        tick();
        ASSERT_TRUE(link.LinkConnected) << stalled;
        EXPECT_EQ(manager.ReconnectState, stalled);
    }
    tick(); // the eighth stalled tick
    EXPECT_FALSE(link.LinkConnected);
    EXPECT_EQ(manager.ReconnectState, -1);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_TRUE(timerConnect.Enabled());
    EXPECT_EQ(timerConnect.Interval(), 5000);

    timerConnect.Fire(); // five seconds later
    EXPECT_FALSE(timerConnect.Enabled());
    const auto all = messages();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2], "Port COM1 NOT found"); // the cable is still out
    EXPECT_EQ(all.back(), "AutoReconnect executed.");
    EXPECT_EQ(manager.ReconnectAttempts, 1);
    EXPECT_EQ(manager.ReconnectState, 0);
    EXPECT_FALSE(link.LinkConnected);
}

TEST_F(ConnectionTest, SixFruitlessReconnectsEndWithTheFatalLine)
{
    settings.AutoReConnect = true;
    manager.Connect1Click();
    untilPaused();
    auto tick = [this] {
        manager.Watchdog();
        manager.NoteLoopCount();
    };
    tick();
    for (int attempt = 1; attempt <= 6; ++attempt) {
        // Each new thread makes its first cycle and then stalls in its pause; no tick between
        // two reconnects ever sees progress.
        for (int stalled = 0; stalled < 8; ++stalled)
            tick();
        ASSERT_FALSE(link.LinkConnected) << attempt;
        timerConnect.Fire();
        ASSERT_TRUE(link.LinkConnected) << attempt;
        untilPaused();
        EXPECT_EQ(manager.ReconnectAttempts, attempt);
    }
    EXPECT_EQ(manager.ReconnectState, -99);
    EXPECT_EQ(messages().back(), "FATAL: maximum number of reconnect attempt has been made. Check cable and Inverter.");
    const auto lines = memo.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), lines.back()), 1);
}

TEST_F(ConnectionTest, ATickThatSeesProgressResetsTheReconnectCount)
{
    settings.AutoReConnect = true;
    manager.Connect1Click();
    untilPaused();
    manager.Watchdog();
    manager.NoteLoopCount();
    for (int stalled = 0; stalled < 5; ++stalled) {
        manager.Watchdog();
        manager.NoteLoopCount();
    }
    EXPECT_EQ(manager.ReconnectState, 5);
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->LoopCount() == 2 && pacer().Waiting(); }));
    manager.Watchdog();
    EXPECT_EQ(manager.ReconnectState, 0);
    EXPECT_EQ(manager.StallTicks, 0);
}
