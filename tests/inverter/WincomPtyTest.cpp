// The serial port over real pseudo-terminals against the inverter simulator, at the real
// pace of 2400 baud. Time bounds are generous: they only catch a read that waits for the
// wrong thing, never a slow machine.
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "inverter/Frame.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::sim::Fault;
using quorvane::sim::FaultSpec;

namespace {

using SteadyClock = std::chrono::steady_clock;

class WincomPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        comm.Open(inverter.DevicePath());
        ASSERT_EQ(comm.LastError(), 0u);
    }

    int send(std::string_view command)
    {
        return comm.Write(FrameCommand(command));
    }

    sim::InverterModel model;
    sim::PtyInverter inverter{model};
    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    std::uint8_t buffer[200] = {};
};

std::chrono::milliseconds since(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
}

} // namespace

TEST_F(WincomPty, MainValuesArriveAtLinePaceAndPassTheirCrc)
{
    const Bytes expected = model.MainValuesReply();
    const auto start = SteadyClock::now();
    ASSERT_EQ(send("QPIGS"), 8);
    const int n = comm.ReadUntilQuiet(buffer);
    const auto elapsed = since(start);

    ASSERT_EQ(static_cast<size_t>(n), expected.size());
    EXPECT_EQ(Bytes(buffer, buffer + n), expected);
    EXPECT_TRUE(ReplyCrcOk(std::span(buffer, static_cast<size_t>(n)), n - 3));
    // The bytes themselves take about 4.17 ms each on the line, and the quiet gap follows.
    EXPECT_GE(elapsed, std::chrono::milliseconds(static_cast<long>(n) * 4) + TComm::kQuietGap);
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS"});
}

TEST_F(WincomPty, ReadUntilQuietReturnsZeroWhenNothingComes)
{
    model.InjectFault({.kind = Fault::NoAnswer});
    ASSERT_EQ(send("QPIGS"), 8);
    const auto start = SteadyClock::now();
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    const auto elapsed = since(start);
    EXPECT_GE(elapsed, TComm::kQuietGap - 5ms);
    EXPECT_LT(elapsed, 5s);
}

TEST_F(WincomPty, ReadBlockReturnsThePartialCount)
{
    model.SetRawReply("QMOD", {0x28, 'L', 0x06}); // three of the five bytes
    ASSERT_EQ(send("QMOD"), 7);
    const auto start = SteadyClock::now();
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), 3);
    EXPECT_LT(since(start), 5s); // at most 20 * 5 + 200 ms on an idle machine
}

TEST_F(WincomPty, ReadBlockStopsAtAGapBetweenBytesReadUntilQuietWaitsItOut)
{
    // A pause of 120 ms after every 40 bytes: longer than the 50 ms between-bytes limit,
    // shorter than the 220 ms of silence that ends a reply.
    model.InjectFault({.kind = Fault::SplitWithPauses, .times = 2, .duration = 120ms, .chunk = 40});
    ASSERT_EQ(send("QPIRI"), 8);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 150)), 40);
    comm.Purge();
    std::this_thread::sleep_for(1s); // let the rest of that reply go by

    comm.Purge();
    ASSERT_EQ(send("QPIRI"), 8);
    const int n = comm.ReadUntilQuiet(buffer);
    ASSERT_GT(n, 80);
    EXPECT_TRUE(ReplyCrcOk(std::span(buffer, static_cast<size_t>(n)), n - 3));
}

TEST_F(WincomPty, AnotherHolderOfThePortKeepsItFromOpening)
{
    TComm second{opener, notifier};
    EXPECT_FALSE(second.PortExists(inverter.DevicePath()));
    second.Open(inverter.DevicePath());
    EXPECT_EQ(second.LastError(), TComm::kOpenFailed);
    EXPECT_FALSE(second.IsOpen());

    comm.Close();
    EXPECT_TRUE(second.PortExists(inverter.DevicePath()));
    second.Open(inverter.DevicePath());
    EXPECT_EQ(second.LastError(), 0u);
}

TEST_F(WincomPty, APortLockedByAnotherProgramDoesNotOpenEvenForRoot)
{
    comm.Close();
    const int other = ::open(inverter.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(comm.PortExists(inverter.DevicePath()));
    comm.Open(inverter.DevicePath());
    EXPECT_EQ(comm.LastError(), TComm::kOpenFailed);
    ::close(other);
    comm.Open(inverter.DevicePath());
    EXPECT_EQ(comm.LastError(), 0u);
}

TEST_F(WincomPty, PortExistsLeavesTheOpenPortAlone)
{
    TComm probe{opener, notifier};
    comm.Close();
    EXPECT_TRUE(probe.PortExists(inverter.DevicePath()));
    EXPECT_FALSE(probe.IsOpen());
    comm.Open(inverter.DevicePath());
    EXPECT_EQ(comm.LastError(), 0u);
}

TEST_F(WincomPty, CloseTwiceDoesNothingMore)
{
    comm.Close();
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(comm.Write(FrameCommand("QID")), -1);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 18)), TComm::kStatusQueryFailed);
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(WincomPty, PurgeDropsAReplyThatWaitsUnread)
{
    ASSERT_EQ(send("QMOD"), 7);
    std::this_thread::sleep_for(300ms); // the whole 5-byte reply is in the input queue
    comm.Purge();
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), 0);
}

TEST_F(WincomPty, AnUnpluggedLineFailsReadsAndWrites)
{
    inverter.Unplug();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), TComm::kReadFailed);
    EXPECT_NE(comm.LastError(), 0u);
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    EXPECT_EQ(send("QPIGS"), -1);
}

TEST(WincomOpen, ANameWithoutADeviceFailsWithoutAMessage)
{
    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier, PortMap({{5, "/nonexistent/ttyUSB-none"}})};
    for (const char* name : {"COM5", "/nonexistent/device", "COM99", "LPT1"}) {
        comm.Open(name);
        EXPECT_EQ(comm.LastError(), TComm::kOpenFailed) << name;
        EXPECT_FALSE(comm.PortExists(name)) << name;
    }
    EXPECT_TRUE(notifier.messages.empty());
}

TEST(WincomOpen, ADeviceThatIsNoSerialLineOpensWithTheSettingsMessage)
{
    // /dev/null opens but has no line settings to read: the message is shown, the port
    // stays open and the caller goes on as with an open port.
    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open("/dev/null");
    EXPECT_EQ(comm.LastError(), 0u);
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_EQ(notifier.messages, std::vector<std::string>{"Errore BuildCommDCB"});
}
