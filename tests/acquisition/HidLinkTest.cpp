// The whole core connecting to an inverter on its USB-HID port: [Ports] maps COM3 to a hidraw
// device, the program's own opener drives that name as HID, and the simulator answers over a
// SOCK_SEQPACKET socket pair handed out for it (report boundaries kept, as hidraw keeps them;
// a real hidraw node cannot be made here). The test's thread is the core thread and steps the
// acquisition cycle itself; the simulator's thread answers at full speed.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "HidInverter.h"
#include "InverterModel.h"
#include "MemoMessages.h"
#include "acquisition/DataRead.h"
#include "app/CoreApp.h"
#include "core/ManualClock.h"
#include "inverter/DeviceOpener.h"
#include "mail/MailOutbox.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace quorvane;

namespace {

const std::string kDevice = "/dev/hidraw0";

class NoMail final : public MailOutbox {
public:
    bool SendMail(const std::string&, bool, const std::string&) override { return true; }
};

class HidLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.SetFullSpeed(true);
        model.SetAnswerDelay(std::chrono::milliseconds(0));
        std::ofstream(settingsPath, std::ios::binary)
            << "[Http]\r\nPort=0\r\n[Ports]\r\nCOM3=" << kDevice
            << "\r\n[Main]\r\nAutoSearch=0\r\nCOM PORT=COM3\r\nCOM PORT index=3\r\n";
        CoreApp::Options options;
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = "C";
        options.Timers = CoreTimer::Drive::Manual;
        options.MakePacer = [] { return std::make_unique<fakes::GatedPacer>(); };
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        options.Outbox = &outbox;
        options.SysfsRoot = folder.path().toStdString(); // no other HID device
        core = std::make_unique<CoreApp>(options, clock, opener, person);
    }
    void TearDown() override { core.reset(); }

    void cycle()
    {
        RunAcquisitionCycle(core->Steps(), core->RequestState(), [](const std::function<void()>& step) { step(); });
    }
    [[nodiscard]] bool memoHas(const std::string& message) const
    {
        const auto all = fakes::MessagesOf(core->Memo().Lines());
        return std::find(all.begin(), all.end(), message) != all.end();
    }

    QTemporaryDir folder;
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    sim::InverterModel model;
    sim::HidInverter inverter{model};
    // The program's opener; only the opening of the device file is the simulator's.
    DeviceOpener opener{inverter.OpenFileAs(kDevice)};
    fakes::FakeUserNotifier person;
    NoMail outbox;
    std::unique_ptr<CoreApp> core;
};

} // namespace

TEST_F(HidLink, TheProgramConnectsOverHidAndShowsTheMainValues)
{
    core->Connection().Connect1Click();
    ASSERT_TRUE(core->Link().LinkConnected) << ::testing::PrintToString(fakes::MessagesOf(core->Memo().Lines()));
    EXPECT_TRUE(memoHas("Connected to " + kDevice + " port and Inverter."));

    cycle();
    core->RefreshDisplay();
    EXPECT_EQ(core->Display().Basic[0], "230.0"); // AC voltage
    EXPECT_EQ(core->Display().Basic[1], "50.0");  // AC frequency
    EXPECT_GE(core->Record().ValidReadings, 1);
    EXPECT_GE(model.ReceivedCommands().size(), 3u);

    // Unplugged, the port is lost and the next tick says so.
    inverter.Unplug();
    cycle();
    core->Tick().TimerTimer();
    EXPECT_TRUE(memoHas("Connection to " + kDevice + " lost: the device hung up or went away."));
}
