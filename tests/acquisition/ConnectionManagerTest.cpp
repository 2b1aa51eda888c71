// The connection manager against simulated inverters on the in-process line: connecting,
// searching, test mode, the "Check" button, the thread's cycles and the watchdog's reconnects.
#include "ConnectionRig.h"
#include "inverter/FlowTexts.h"

#include <filesystem>
#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::PumpUntil;
using quorvane::sim::Fault;
using quorvane::testsupport::kInverter;

namespace {

using ConnectionTest = quorvane::testsupport::ConnectionRig;

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
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "SBU");
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

TEST_F(ConnectionTest, ASearchGoesOnToTheHidDevicesWithAKnownUsbIdByTheirDeviceFiles)
{
    const auto addHidDevice = [this](const std::string& name, const std::string& id) {
        const std::string folder = sysfs.path().toStdString() + "/class/hidraw/" + name + "/device";
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/uevent") << "HID_ID=0003:0000" << id.substr(0, 4) << ":0000" << id.substr(5) << "\n";
    };
    addHidDevice("hidraw0", "0665:5161"); // mapped to COM3 below: tried there only
    addHidDevice("hidraw1", "046d:c31c"); // a keyboard: never tried
    addHidDevice("hidraw2", "1234:abcd"); // tried when the settings add its id
    addHidDevice("hidraw5", "0665:5161");
    sim::InverterModel silentModel;
    silentModel.InjectFault({.kind = Fault::NoAnswer, .times = -1});
    opener.devices.Attach("/dev/hidraw0", silentModel);
    opener.devices.Attach("/dev/hidraw2", silentModel);
    opener.devices.Attach("/dev/hidraw5", model);
    settings.AutoSearch = true;
    settings.Ports[1] = "/nonexistent/com1";
    settings.Ports[3] = "/dev/hidraw0";

    const struct {
        const char* hidIds;
        std::vector<std::string> hidLines;
    } cases[] = {
        {"", {}},
        {"1234:ABCD",
         {"Trying port /dev/hidraw2...", "Inverter Not connected.", "Port /dev/hidraw2 Found but Inverter not connected."}},
    };
    for (const auto& c : cases) {
        memo.Clear();
        settings.HidIds = c.hidIds;
        manager.Connect1Click();

        std::vector<std::string> expected;
        for (int number = 1; number <= PortMap::kLastPort; ++number) {
            const std::string port = "COM" + std::to_string(number);
            expected.push_back("Trying port " + port + "...");
            if (number == 3) {
                expected.push_back("Inverter Not connected.");
                expected.push_back("Port COM3 Found but Inverter not connected.");
            } else {
                expected.push_back("Port " + port + " Not Found.");
            }
        }
        expected.insert(expected.end(), c.hidLines.begin(), c.hidLines.end());
        expected.push_back("Trying port /dev/hidraw5...");
        expected.push_back("Inverter connected.");
        expected.push_back("Connected to /dev/hidraw5 port and Inverter.");
        EXPECT_EQ(messages(), expected) << c.hidIds;
        EXPECT_EQ(manager.View().Label1, "Connected");
        manager.Connect1Click(); // disconnect for the next case
        ASSERT_FALSE(link.LinkConnected);
    }
}

TEST_F(ConnectionTest, AHidDeviceMappedThroughALinkIsTriedOnlyUnderItsComName)
{
    const std::string root = sysfs.path().toStdString();
    std::filesystem::create_directories(root + "/class/hidraw/hidraw5/device");
    std::ofstream(root + "/class/hidraw/hidraw5/device/uevent") << "HID_ID=0003:00000665:00005161\n";
    std::filesystem::create_directories(root + "/dev");
    std::ofstream(root + "/dev/hidraw5") << "";
    std::filesystem::create_symlink(root + "/dev/hidraw5", root + "/inverter-hid"); // as a udev rule links it
    manager.SetHidrawDirectory(HidrawDirectory(root, root + "/dev"));
    sim::InverterModel silentModel;
    silentModel.InjectFault({.kind = Fault::NoAnswer, .times = -1});
    opener.devices.Attach(root + "/inverter-hid", silentModel);
    opener.devices.Attach(root + "/dev/hidraw5", silentModel);
    settings.AutoSearch = true;
    settings.Ports[1] = "/nonexistent/com1";
    settings.Ports[2] = root + "/inverter-hid";

    manager.Connect1Click();
    const auto all = messages();
    EXPECT_EQ(std::count(all.begin(), all.end(), "Port COM2 Found but Inverter not connected."), 1);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& line) { return line.find("hidraw5") != std::string::npos; }), 0);
    EXPECT_EQ(all.back(), "Port not found in system.");
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
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "UTIL");
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

TEST_F(ConnectionTest, TheWatchdogDisconnectsAStalledLinkAndTriesToReconnect)
{
    settings.AutoReConnect = true;
    manager.Connect1Click();
    ASSERT_TRUE(link.LinkConnected);
    untilPaused(); // the thread now sits in its pause: no more cycles
    // The cable goes, and with it the device, as a USB adapter's does.
    model.Unplug();

    auto tick = [this] {
        manager.Watchdog();
        manager.NoteProgress();
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
    const auto all = messages();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2], "Port COM1 NOT found"); // the cable is still out
    EXPECT_EQ(all.back(), "AutoReconnect executed.");
    EXPECT_EQ(manager.ReconnectAttempts, 1);
    EXPECT_FALSE(link.LinkConnected);
    // So the next attempt follows five seconds later.
    EXPECT_TRUE(timerConnect.Enabled());
    EXPECT_EQ(manager.ReconnectState, ConnectionManager::kReconnectPending);
}

TEST_F(ConnectionTest, SixFruitlessReconnectsEndWithTheFatalLine)
{
    // The inverter answers the presence check, but no main-values reply passes its CRC.
    Bytes rejected = sim::InverterModel::FrameReply("NAK");
    ++rejected[rejected.size() - 2];
    model.SetRawReply("QPIGS", rejected);
    settings.AutoReConnect = true;
    manager.Connect1Click();
    untilPaused();
    auto tick = [this] {
        manager.Watchdog();
        manager.NoteProgress();
    };
    for (int attempt = 1; attempt <= 6; ++attempt) {
        // Each new thread makes its first cycle and then stalls in its pause; no tick between
        // two reconnects ever sees a reading.
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

    // Given up: the link stays as it is until readings come again.
    for (int stalled = 0; stalled < 20; ++stalled)
        tick();
    EXPECT_TRUE(link.LinkConnected);
    EXPECT_EQ(manager.ReconnectState, -99);
    EXPECT_FALSE(timerConnect.Enabled());
    model.ClearRawReplies();
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->LoopCount() == 2 && pacer().Waiting(); }));
    tick();
    EXPECT_EQ(manager.ReconnectState, 0);
    EXPECT_EQ(manager.ReconnectAttempts, 0);
}

TEST_F(ConnectionTest, ATickThatSeesProgressResetsTheReconnectCount)
{
    settings.AutoReConnect = true;
    manager.Connect1Click();
    untilPaused();
    manager.Watchdog();
    manager.NoteProgress();
    for (int stalled = 0; stalled < 5; ++stalled) {
        manager.Watchdog();
        manager.NoteProgress();
    }
    EXPECT_EQ(manager.ReconnectState, 5);
    pacer().Release();
    ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->LoopCount() == 2 && pacer().Waiting(); }));
    manager.Watchdog();
    EXPECT_EQ(manager.ReconnectState, 0);
    EXPECT_EQ(manager.StallTicks, 0);
}
