// A serial device that goes away under an open port: the simulator's pseudo-terminal closed,
// as an unplugged USB adapter hangs up. The port reports the loss as such, not as one more
// failed exchange, so that the link can be healed; and the port lets the dead line go.
// Limits given to reads are long: a read that waits for them instead of seeing the hang-up
// would return 0, not the loss.
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "WaitUntil.h"
#include "inverter/Frame.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::WaitUntil;

namespace {

const ReadLimits kPatientRead{.firstByte = 30s, .interByte = 30s, .total = 30s};

} // namespace

TEST(PortLossPty, AClosedPtyGivesTheLossFromReadAndWriteForGood)
{
    sim::InverterModel model;
    sim::PtyInverter inverter{model};
    PosixSerialOpener opener;
    OpenedPort opened = opener.open(inverter.DevicePath());
    ASSERT_NE(opened.transport, nullptr);
    SerialTransport& port = *opened.transport;

    inverter.Unplug();
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(port.read(buffer, kPatientRead), SerialTransport::kConnectionLost);
    EXPECT_EQ(port.write(FrameCommand("QPIGS"), 30s), SerialTransport::kConnectionLost);
    EXPECT_EQ(port.read(buffer, kPatientRead), SerialTransport::kConnectionLost);
    EXPECT_TRUE(port.takeLineStatus().connectionLost);
}

TEST(PortLossPty, AWriteAloneSeesTheLoss)
{
    sim::InverterModel model;
    sim::PtyInverter inverter{model};
    PosixSerialOpener opener;
    OpenedPort opened = opener.open(inverter.DevicePath());
    ASSERT_NE(opened.transport, nullptr);

    inverter.Unplug();
    EXPECT_EQ(opened.transport->write(FrameCommand("QID"), 30s), SerialTransport::kConnectionLost);
}

TEST(PortLossPty, ThePortLetsALineLostMidReplyGo)
{
    sim::InverterModel model; // at line pace: the reply takes about half a second
    sim::PtyInverter inverter{model};
    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open(inverter.DevicePath());
    ASSERT_EQ(comm.State(), TComm::PortState::Open);

    ASSERT_EQ(comm.Write(FrameCommand("QPIGS")), 8);
    ASSERT_TRUE(WaitUntil([&] { return inverter.UnreadBytes() > 0; }));
    inverter.Unplug();
    // What came before the hang-up may still be read; then the loss shows.
    std::uint8_t buffer[200] = {};
    ASSERT_TRUE(WaitUntil([&] {
        comm.ReadUntilQuiet(buffer);
        return comm.State() == TComm::PortState::Lost;
    }));

    EXPECT_FALSE(comm.IsOpen()); // the descriptor is closed, the device name free again
    EXPECT_EQ(comm.DevicePath(), inverter.DevicePath());
    EXPECT_EQ(comm.Write(FrameCommand("QPIGS")), -1);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), TComm::kReadFailed);
    EXPECT_NE(comm.LastError(), 0u);
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    comm.Close();
    EXPECT_EQ(comm.State(), TComm::PortState::Closed);
}
