// The whole core connecting to an inverter on its USB-HID port: [Ports] maps COM1 to a hidraw
// device, the program's own opener drives that name as HID, and the simulator answers over a
// SOCK_SEQPACKET socket pair handed out for it (report boundaries kept, as hidraw keeps them;
// a real hidraw node cannot be made here). The test's thread is the core thread and steps the
// acquisition cycle itself; the simulator's thread answers at full speed.
#include "SimulatedHidDevice.h"
#include "monitor/CoreRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace quorvane;
using ::testing::Contains;

namespace {

const std::string& kDevice = testsupport::SimulatedHidDevice::kPath;

class HidLink : public testsupport::CoreRig {
protected:
    std::string inverterDevice() const override { return kDevice; }
    SerialOpener& portOpener() override { return hid.opener; }

    testsupport::SimulatedHidDevice hid{model};
};

} // namespace

TEST_F(HidLink, TheProgramConnectsOverHidAndShowsTheMainValues)
{
    core->ForTests().Connection().Connect1Click();
    ASSERT_TRUE(core->ForTests().Link().LinkConnected) << ::testing::PrintToString(messages());
    EXPECT_THAT(messages(), Contains("Connected to " + kDevice + " port and Inverter."));

    cycle();
    core->RefreshDisplay();
    EXPECT_EQ(core->ForTests().Display().Basic[0], "230.0"); // AC voltage
    EXPECT_EQ(core->ForTests().Display().Basic[1], "50.0");  // AC frequency
    EXPECT_GE(core->ForTests().Record().ValidReadings, 1);
    EXPECT_GE(model.ReceivedCommands().size(), 3u);

    // Unplugged, the port is lost and the next tick says so.
    hid.inverter.Unplug();
    cycle();
    core->ForTests().Tick().TimerTimer();
    EXPECT_THAT(messages(), Contains("Connection to " + kDevice + " lost: the device hung up or went away."));
}
