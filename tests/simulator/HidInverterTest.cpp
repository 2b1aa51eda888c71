// The simulator as a USB-HID device: the port the program opens for a hidraw name is one end
// of a SOCK_SEQPACKET socket pair (report boundaries kept, as hidraw keeps them), the model
// answers on the other in 8-byte reports.
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "SimulatedHidDevice.h"
#include "WaitUntil.h"
#include "inverter/Frame.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

using namespace quorvane;
using quorvane::fakes::WaitUntil;
using quorvane::testsupport::SimulatedHidDevice;

namespace {

const std::string& kDevice = SimulatedHidDevice::kPath;

class HidInverterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        comm.Open(kDevice);
        ASSERT_EQ(comm.LastError(), 0u);
    }

    sim::InverterModel model; // at line pace: a reply takes about half a second
    SimulatedHidDevice hid{model};
    fakes::FakeUserNotifier notifier;
    TComm comm{hid.opener, notifier};
    std::uint8_t buffer[200] = {};
};

size_t reportsFor(size_t bytes)
{
    return (bytes + 7) / 8;
}

} // namespace

TEST_F(HidInverterTest, ARequestInOneReportIsAnsweredInReportsAtTheModelsPace)
{
    const Bytes expected = model.MainValuesReply();
    ASSERT_EQ(comm.Write(FrameCommand("QPIGS")), 8);
    // Every report queued before the read: no scheduling on a busy machine can split the reply.
    ASSERT_TRUE(WaitUntil([&] { return hid.inverter.ReportsSent() >= reportsFor(expected.size()); }));
    const int count = comm.ReadUntilQuiet(buffer);
    EXPECT_EQ(Bytes(buffer, buffer + count), expected);
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS"});
    EXPECT_EQ(model.ReceivedByteCount(), 8u); // the report number and padding are no request bytes
}

TEST_F(HidInverterTest, ARequestOverTwoReportsIsGatheredUpToItsCr)
{
    model.SetFullSpeed(true);
    ASSERT_EQ(comm.Write(FrameCommand("QPIGS2")), 9);
    ASSERT_TRUE(WaitUntil([&] { return hid.inverter.ReportsSent() >= 1; }));
    const int count = comm.ReadUntilQuiet(buffer);
    EXPECT_EQ(Bytes(buffer, buffer + count), sim::InverterModel::FrameReply("NAK"));
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS2"});
}

TEST_F(HidInverterTest, UnpluggedTheOpenPortIsLostAndTheDeviceGone)
{
    hid.inverter.Unplug();
    ASSERT_TRUE(WaitUntil([&] {
        comm.ReadUntilQuiet(buffer);
        return comm.State() == TComm::PortState::Lost;
    }));
    EXPECT_EQ(comm.DevicePath(), kDevice);
    EXPECT_FALSE(comm.PortExists(kDevice));
}
