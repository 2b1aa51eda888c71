// The serial port with the simulator's logic behind it in-process: the same exchanges as on a
// real line, with virtual time, so whole days of polling can run in milliseconds.
#include "FakeUserNotifier.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "inverter/Frame.h"
#include "inverter/Wincom.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::sim::Fault;

namespace {

class WincomInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        opener.Attach("/sim/inverter", model);
        comm.Open("COM3");
        ASSERT_EQ(comm.LastError(), 0u);
    }

    int exchangeQuiet(std::string_view command)
    {
        comm.Purge();
        comm.Write(FrameCommand(command));
        return comm.ReadUntilQuiet(buffer);
    }

    sim::InverterModel model;
    sim::InProcessOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier, PortMap({{3, "/sim/inverter"}})};
    std::uint8_t buffer[200] = {};
};

} // namespace

TEST_F(WincomInProcess, RepliesComeWholeAndCorrectlyFramed)
{
    const int n = exchangeQuiet("QPIGS");
    EXPECT_EQ(Bytes(buffer, buffer + n), model.MainValuesReply());
    EXPECT_EQ(comm.DevicePath(), "/sim/inverter");
}

TEST_F(WincomInProcess, TimeOutsEndReadsWhereARealLineWould)
{
    // Each case: the fault on the next reply, the read, and the bytes it returns.
    const struct {
        const char* name;
        sim::FaultSpec fault;
        bool untilQuiet;
        int count;
        int expected;
    } cases[] = {
        {"no answer, read until quiet", {.kind = Fault::NoAnswer}, true, 0, 0},
        {"no answer, block read", {.kind = Fault::NoAnswer}, false, 5, 0},
        {"answer later than 20 * 5 + 200 ms", {.kind = Fault::Delay, .duration = 300ms}, false, 5, 0},
        {"answer within the time-out", {.kind = Fault::Delay, .duration = 100ms}, false, 5, 5},
        {"a pause longer than 50 ms between bytes", {.kind = Fault::SplitWithPauses, .duration = 60ms, .chunk = 2}, false, 5, 2},
        {"a pause shorter than the quiet gap", {.kind = Fault::SplitWithPauses, .duration = 200ms, .chunk = 2}, true, 0, 5},
        {"a pause longer than the quiet gap", {.kind = Fault::SplitWithPauses, .duration = 230ms, .chunk = 2}, true, 0, 2},
        {"truncated", {.kind = Fault::Truncated}, false, 5, 2},
        {"extra bytes after the CR", {.kind = Fault::ExtraBytes, .extra = {0x0A, 'Z'}}, true, 0, 7},
    };
    for (const auto& c : cases) {
        comm.Purge();
        model.InjectFault(c.fault);
        comm.Write(FrameCommand("QMOD"));
        const int n = c.untilQuiet ? comm.ReadUntilQuiet(buffer) : comm.ReadBlock(std::span(buffer, static_cast<size_t>(c.count)));
        EXPECT_EQ(n, c.expected) << c.name;
    }
}

TEST_F(WincomInProcess, AReplyReadEndsAtItsFrameAndOnlyTheReplyItselfIsTimed)
{
    // At line pace in virtual time: the simulator answers 50 ms after the request is in, and
    // bytes it sends before the reply leave as soon as the request is in.
    const struct {
        const char* name;
        const char* command;
        std::optional<size_t> expectedLength; // none: read until quiet
        int serialDigits = 14;
        bool lineFeed = false;
        Bytes stale = {};
        std::optional<sim::FaultSpec> fault = std::nullopt;
        int received = 0;
    } cases[] = {
        {"the mode", "QMOD", 5, 14, false, {}, std::nullopt, 5},
        {"a shorter serial number than reckoned with", "QID", 18, 13, false, {}, std::nullopt, 17},
        {"a longer one", "QID", 18, 16, false, {}, std::nullopt, 20},
        {"a LF after the CR is not waited for", "QMOD", 5, 14, true, {}, std::nullopt, 5},
        {"a LF before the reply, 50 ms and more ahead of it", "QMOD", 5, 14, false, {0x0A}, std::nullopt, 6},
        {"an echo of the request before the reply", "QID", 18, 14, false, FrameCommand("QID"), std::nullopt, 6 + 18},
        {"bytes after the CR are not waited for", "QMOD", 5, 14, false, {},
         sim::FaultSpec{.kind = Fault::ExtraBytes, .extra = {'Z'}}, 5},
        {"no answer", "QMOD", 5, 14, false, {}, sim::FaultSpec{.kind = Fault::NoAnswer}, 0},
        {"half a reply", "QMOD", 5, 14, false, {}, sim::FaultSpec{.kind = Fault::Truncated}, 2},
        {"a damaged reply is read to its end", "QMOD", 5, 14, false, {}, sim::FaultSpec{.kind = Fault::WrongCrc}, 5},
        {"a reply later than 20 * 5 + 200 ms", "QMOD", 5, 14, false, {},
         sim::FaultSpec{.kind = Fault::Delay, .duration = 300ms}, 0},
        {"bytes before a reply that comes too late", "QMOD", 5, 14, false, {0x0A},
         sim::FaultSpec{.kind = Fault::Delay, .duration = 300ms}, 1},
        {"a pause longer than 50 ms inside the reply", "QMOD", 5, 14, false, {},
         sim::FaultSpec{.kind = Fault::SplitWithPauses, .duration = 60ms, .chunk = 2}, 2},
        {"main values end at the CR", "QPIGS", std::nullopt, 14, false, {},
         sim::FaultSpec{.kind = Fault::ExtraBytes, .extra = {'Z'}}, 110},
        {"main values with a LF after the CR", "QPIGS", std::nullopt, 14, true, {0x0A}, std::nullopt, 111},
        {"a damaged reply is read until the line is quiet", "QPIGS", std::nullopt, 14, false, {},
         sim::FaultSpec{.kind = Fault::WrongCrc}, 110},
        {"a pause shorter than the quiet gap", "QPIGS", std::nullopt, 14, false, {},
         sim::FaultSpec{.kind = Fault::SplitWithPauses, .duration = 200ms, .chunk = 40}, 110},
        {"a pause longer than the quiet gap", "QPIGS", std::nullopt, 14, false, {},
         sim::FaultSpec{.kind = Fault::SplitWithPauses, .duration = 230ms, .chunk = 40}, 40},
    };
    for (const auto& c : cases) {
        model.SetSerialNumberLength(c.serialDigits);
        model.SetLineFeedAfterCr(c.lineFeed);
        model.SetStaleBytes(c.stale);
        if (c.fault)
            model.InjectFault(*c.fault);
        comm.Purge();
        comm.Write(FrameCommand(c.command));
        const int n = c.expectedLength ? comm.ReadReply(buffer, *c.expectedLength) : comm.ReadReplyUntilQuiet(buffer);
        EXPECT_EQ(n, c.received) << c.name;
    }
}

TEST_F(WincomInProcess, ContentFaultsBreakTheCrc)
{
    for (const Fault kind : {Fault::WrongCrc, Fault::Garbage, Fault::Truncated}) {
        model.InjectFault({.kind = kind});
        const int n = exchangeQuiet("QPIGS");
        EXPECT_FALSE(n >= 3 && ReplyCrcOk(std::span(buffer, static_cast<size_t>(n)), n - 3)) << static_cast<int>(kind);
    }
    const int n = exchangeQuiet("QPIGS");
    EXPECT_TRUE(ReplyCrcOk(std::span(buffer, static_cast<size_t>(n)), n - 3));
}

TEST_F(WincomInProcess, OneOpenPortPerDeviceAndUnplugEndsTheLine)
{
    TComm second{opener, notifier, PortMap({{3, "/sim/inverter"}})};
    EXPECT_FALSE(second.PortExists("COM3"));
    model.InjectFault({.kind = Fault::Unplug});
    EXPECT_EQ(exchangeQuiet("QID"), 0);
    EXPECT_EQ(comm.Write(FrameCommand("QID")), -1);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 18)), TComm::kReadFailed);
    comm.Close();
    EXPECT_FALSE(second.PortExists("COM3"));
}

TEST(InProcessLineRead, AReadEndsWhenItsCompletionCheckSaysTheReplyIsWhole)
{
    // Forty bytes now, the rest an hour later: a read that waited for its gaps would take the
    // hour (virtual here) and return everything.
    sim::InverterModel model;
    sim::InProcessLine line(model);
    model.InjectFault({.kind = Fault::SplitWithPauses, .duration = 1h, .chunk = 40});
    line.write(FrameCommand("QPIGS"), 1s);
    std::uint8_t buffer[200] = {};
    const ReadLimits limits{.firstByte = 2h, .interByte = 2h, .total = {}, .complete = [](auto received) {
                                return received.size() >= 40;
                            }};
    EXPECT_EQ(line.read(buffer, limits), 40);
}

namespace {

// A port whose driver reports line errors on demand, for what a pty cannot produce.
class ErrorReportingLine final : public SerialTransport {
public:
    explicit ErrorReportingLine(std::deque<LineStatus>& statuses) : m_statuses(statuses) {}
    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        return static_cast<int>(bytes.size());
    }
    int read(std::span<std::uint8_t> buffer, const ReadLimits&) override
    {
        std::fill(buffer.begin(), buffer.end(), 'x');
        return static_cast<int>(buffer.size());
    }
    void purge() override {}
    LineStatus takeLineStatus() override
    {
        if (m_statuses.empty())
            return {};
        const LineStatus status = m_statuses.front();
        m_statuses.pop_front();
        return status;
    }

private:
    std::deque<LineStatus>& m_statuses;
};

class ErrorReportingOpener final : public SerialOpener {
public:
    OpenedPort open(const std::string&) override { return {std::make_unique<ErrorReportingLine>(statuses)}; }
    std::deque<LineStatus> statuses;
};

} // namespace

TEST(WincomLineErrors, AFramingErrorFailsOneBlockReadOnly)
{
    ErrorReportingOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open("/dev/anything");
    std::uint8_t buffer[5];

    opener.statuses = {{.queryFailed = false, .errors = LineErrorFlags::Framing | LineErrorFlags::Break}};
    EXPECT_EQ(comm.ReadBlock(buffer), TComm::kLineError);
    EXPECT_EQ(comm.LastError(), LineErrorFlags::Framing | LineErrorFlags::Break);
    EXPECT_EQ(comm.ReadBlock(buffer), 5);
    EXPECT_EQ(comm.LastError(), 0u);

    opener.statuses = {{.queryFailed = true, .errors = 0}};
    EXPECT_EQ(comm.ReadBlock(buffer), TComm::kStatusQueryFailed);
}
