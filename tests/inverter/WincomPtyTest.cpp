// The serial port itself over real pseudo-terminals against the inverter simulator: what the
// device files do (exclusive opens, locks, purge, hang-up) and how reads end. Nothing here
// asserts on how soon a thread is scheduled: a test waits for the bytes it needs to be in the
// port's queue before it reads, and time bounds only catch a read that waits for the wrong
// thing. How the time-outs split replies is shown on the in-process line with virtual time.
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "WaitUntil.h"
#include "inverter/Frame.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/ReplyFrame.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::WaitUntil;
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
    // Waits until the simulator's reply has reached the port's input queue.
    [[nodiscard]] bool replyWaiting(size_t count) const
    {
        return WaitUntil([&] { return inverter.UnreadBytes() >= count; });
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

TEST_F(WincomPty, MainValuesArriveAtLinePaceWholeAndInOrder)
{
    const Bytes expected = model.MainValuesReply();
    const auto start = SteadyClock::now();
    ASSERT_EQ(send("QPIGS"), 8);
    // On a busy machine the simulator's thread may wake so late that the reply has a gap
    // longer than the quiet time, and comes in two reads: what matters is what arrived.
    Bytes received;
    const bool whole = WaitUntil([&] {
        const int n = comm.ReadUntilQuiet(buffer);
        received.insert(received.end(), buffer, buffer + n);
        return received.size() >= expected.size();
    });
    ASSERT_TRUE(whole) << received.size() << " of " << expected.size() << " bytes";

    EXPECT_EQ(received, expected);
    EXPECT_TRUE(ReplyCrcOk(received, static_cast<int>(received.size()) - 3));
    // The bytes themselves take about 4.17 ms each on the line.
    EXPECT_GE(since(start), std::chrono::milliseconds(static_cast<long>(expected.size()) * 4));
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS"});
}

TEST_F(WincomPty, ReadUntilQuietReturnsZeroWhenNothingComes)
{
    model.InjectFault({.kind = Fault::NoAnswer});
    ASSERT_EQ(send("QPIGS"), 8);
    const auto start = SteadyClock::now();
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    EXPECT_GE(since(start), TComm::kQuietGap);
}

TEST_F(WincomPty, ReadBlockReturnsThePartialCount)
{
    model.SetFullSpeed(true);
    model.SetRawReply("QMOD", {0x28, 'L', 0x06}); // three of the five bytes
    ASSERT_EQ(send("QMOD"), 7);
    ASSERT_TRUE(replyWaiting(3));
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x28, 'L', 0x06}));
}

TEST(PosixSerialPortRead, AReadEndsWhenItsCompletionCheckSaysTheReplyIsWhole)
{
    // Forty bytes now, the rest an hour later: only a read that stops at its completion check
    // returns before the hour is up.
    sim::InverterModel model;
    sim::PtyInverter inverter{model};
    model.SetFullSpeed(true);
    model.InjectFault({.kind = Fault::SplitWithPauses, .duration = 1h, .chunk = 40});
    OpenedPort opened = PosixSerialOpener().open(inverter.DevicePath());
    ASSERT_NE(opened.transport, nullptr);
    ASSERT_EQ(opened.transport->write(FrameCommand("QPIGS"), 1s), 8);
    std::uint8_t buffer[200] = {};
    const ReadLimits limits{.firstByte = 2h, .interByte = 2h, .total = {}, .complete = [](auto received) {
                                return received.size() >= 40;
                            }};
    const int n = opened.transport->read(buffer, limits);
    ASSERT_EQ(n, 40);
    const Bytes reply = model.MainValuesReply();
    EXPECT_EQ(Bytes(buffer, buffer + n), Bytes(reply.begin(), reply.begin() + 40));
}

TEST(PosixSerialPortRead, BytesBeforeTheReplyDoNotStartTheWaitBetweenBytes)
{
    // A LF at once, the reply 300 ms later. A read that let the LF start its 50 ms wait between
    // bytes would end with the LF alone; a simulator thread that runs late only makes the
    // reply later, which the hour-long wait for the reply allows.
    sim::InverterModel model;
    sim::PtyInverter inverter{model};
    model.SetFullSpeed(true);
    model.SetAnswerDelay(300ms);
    model.SetStaleBytes({0x0A});
    OpenedPort opened = PosixSerialOpener().open(inverter.DevicePath());
    ASSERT_NE(opened.transport, nullptr);
    ASSERT_EQ(opened.transport->write(FrameCommand("QMOD"), 1s), 7);
    std::uint8_t buffer[200] = {};
    const ReadLimits limits{.firstByte = 1h, .interByte = 50ms, .total = {},
                            .complete = [](auto received) { return FindReplyFrame(received).has_value(); },
                            .begun = ReplyBegun};
    const int n = opened.transport->read(buffer, limits);
    ASSERT_EQ(n, 6);
    EXPECT_EQ(FindReplyFrame(std::span(buffer, 6))->payload, "L");
}

TEST_F(WincomPty, ABlockReadEndsAtAGapBetweenBytesNotAtItsTotalTime)
{
    // The reply stops after 40 bytes; the rest would come an hour later.
    model.SetFullSpeed(true);
    model.InjectFault({.kind = Fault::SplitWithPauses, .duration = 1h, .chunk = 40});
    const Bytes reply = model.MainValuesReply();
    ASSERT_EQ(send("QPIGS"), 8);
    ASSERT_TRUE(replyWaiting(40));
    const auto start = SteadyClock::now();
    ASSERT_EQ(comm.ReadBlock(buffer), 40);
    EXPECT_EQ(Bytes(buffer, buffer + 40), Bytes(reply.begin(), reply.begin() + 40));
    // 50 ms without a byte end the read; only a read that ignored them would take its whole
    // 20 * 200 + 200 ms.
    EXPECT_LT(since(start), TComm::kReadTotalPerByte * 200 + TComm::kReadTotalConstant);
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
    ASSERT_TRUE(replyWaiting(5));
    comm.Purge();
    EXPECT_EQ(inverter.UnreadBytes(), 0u);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), 0);
}

TEST_F(WincomPty, AnUnpluggedLineFailsReadsAndWritesAndIsGone)
{
    inverter.Unplug();
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), TComm::kReadFailed);
    EXPECT_NE(comm.LastError(), 0u);
    EXPECT_EQ(comm.ReadUntilQuiet(buffer), 0);
    EXPECT_EQ(send("QPIGS"), -1);
    TComm probe{opener, notifier};
    EXPECT_FALSE(probe.PortExists(inverter.DevicePath()));
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

TEST_F(WincomPty, AReadWhoseTimeIsUpStillTakesTheBytesAlreadyWaiting)
{
    comm.Close();
    const OpenedPort opened = opener.open(inverter.DevicePath());
    ASSERT_NE(opened.transport, nullptr);
    model.SetFullSpeed(true);
    ASSERT_EQ(opened.transport->write(FrameCommand("QMOD"), 1s), 7);
    ASSERT_TRUE(replyWaiting(5));
    // As for a reader kept waiting so long that its time ran out before it looked.
    const int n = opened.transport->read(std::span(buffer, 5), ReadLimits{.firstByte = 0ms, .interByte = 0ms, .total = 0ms});
    EXPECT_EQ(n, 5);
}
