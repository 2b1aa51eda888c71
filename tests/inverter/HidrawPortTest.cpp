// The USB-HID port over a socket pair that keeps report boundaries as hidraw does (a real
// hidraw node cannot be made without uhid): the test plays the device on the other end,
// reading the reports the port writes and queueing 8-byte reports for it to read.
#include "WaitUntil.h"
#include "inverter/Frame.h"
#include "inverter/HidReports.h"
#include "inverter/HidrawPort.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

Bytes bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

// Ends a read as soon as a CR has come, as the frame reader does with a whole reply.
const ReadComplete kUntilCr = [](std::span<const std::uint8_t> received) {
    return !received.empty() && received.back() == kCarriageReturn;
};
const ReadLimits kPatientUntilCr{.firstByte = 30s, .interByte = 30s, .total = 30s, .complete = kUntilCr};
const ReadLimits kPatient{.firstByte = 30s, .interByte = 30s, .total = 30s};

class HidrawPortTest : public ::testing::Test {
protected:
    HidrawPortTest()
    {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        m_port = std::make_unique<HidrawPort>(ends[0]);
        m_device = ends[1];
    }
    ~HidrawPortTest() override { unplug(); }

    HidrawPort& port() { return *m_port; }
    // The device sends one input report, padded to 8 bytes with zeros.
    void sendReport(const Bytes& data) const
    {
        Bytes report = data;
        report.resize(kHidReportSize, 0);
        ASSERT_EQ(::send(m_device, report.data(), report.size(), MSG_NOSIGNAL), static_cast<ssize_t>(report.size()));
    }
    // The reports the port wrote, as they came.
    [[nodiscard]] std::vector<Bytes> reportsWritten() const
    {
        std::vector<Bytes> reports;
        std::uint8_t report[64];
        ssize_t count = 0;
        while ((count = ::recv(m_device, report, sizeof report, MSG_DONTWAIT)) > 0)
            reports.emplace_back(report, report + count);
        return reports;
    }
    Bytes read(size_t size, const ReadLimits& limits)
    {
        Bytes buffer(size);
        const int count = port().read(buffer, limits);
        EXPECT_GE(count, 0);
        buffer.resize(static_cast<size_t>(std::max(count, 0)));
        return buffer;
    }
    void unplug()
    {
        if (m_device >= 0)
            ::close(m_device);
        m_device = -1;
    }

    int m_device = -1;

private:
    std::unique_ptr<HidrawPort> m_port;
};

std::chrono::milliseconds since(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
}

} // namespace

TEST_F(HidrawPortTest, ARequestGoesOutInZeroPaddedReportsAfterReportNumberZero)
{
    const struct {
        const char* name;
        Bytes request;
        std::vector<Bytes> reports; // each: report number, then 8 bytes
    } cases[] = {
        {"shorter than a report", bytesOf("QID\x01\x02\r"), {bytesOf(std::string("\0QID\x01\x02\r\0\0", 9))}},
        {"exactly one report", bytesOf("QPIGS\xb7\xa9\r"), {bytesOf(std::string("\0QPIGS\xb7\xa9\r", 9))}},
        {"two reports, the last padded",
         bytesOf(std::string("QPIWS\0\x01" "ABCDE\r", 13)),
         {bytesOf(std::string("\0QPIWS\0\x01" "A", 9)), bytesOf(std::string("\0BCDE\r\0\0\0", 9))}},
        {"three whole reports", Bytes(24, 'x'), {Bytes{0, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'},
                                                 Bytes{0, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'},
                                                 Bytes{0, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(port().write(c.request, 5s), static_cast<int>(c.request.size())) << c.name;
        EXPECT_EQ(reportsWritten(), c.reports) << c.name;
    }
}

TEST_F(HidrawPortTest, AReplyComesUpWithoutItsPaddingAndWithItsZeroCrcBytes)
{
    const struct {
        const char* name;
        std::vector<Bytes> reports;
        Bytes reply;
    } cases[] = {
        {"over several reports, the padding after the CR dropped",
         {bytesOf("(230.0 4"), bytesOf("9.9 000."), bytesOf("0\x5a\x11\r")},
         bytesOf("(230.0 49.9 000.0\x5a\x11\r")},
        {"a CRC byte of zero last in its report, the CR in the next",
         {bytesOf(std::string("(ABCDE\x12\0", 8)), bytesOf("\r")},
         bytesOf(std::string("(ABCDE\x12\0\r", 9))},
        {"both CRC bytes zero, the CR in the same report",
         {bytesOf(std::string("(NAK\0\0\r", 7))},
         bytesOf(std::string("(NAK\0\0\r", 7))},
        {"a report of zeros before and inside the reply is ignored",
         {Bytes(8, 0), bytesOf("(1234567"), Bytes(8, 0), bytesOf("8\x01\x02\r")},
         bytesOf("(12345678\x01\x02\r")},
        {"a LF after the CR in its report is padding", {bytesOf("(ACK\x39\x20\r\n")}, bytesOf("(ACK\x39\x20\r")},
    };
    for (const auto& c : cases) {
        for (const Bytes& report : c.reports)
            sendReport(report);
        EXPECT_EQ(read(200, kPatientUntilCr), c.reply) << c.name;
    }
}

TEST_F(HidrawPortTest, AReadEndsWithTheReportThatCompletesItAndTheNextReadTakesTheRest)
{
    sendReport(bytesOf("(ABCDEFG"));
    sendReport(bytesOf("\r"));
    sendReport(bytesOf("(NEXT\r"));
    // A buffer smaller than a report: the rest of the report waits for the next read.
    EXPECT_EQ(read(5, kPatient), bytesOf("(ABCD"));
    EXPECT_EQ(read(200, kPatientUntilCr), bytesOf("EFG\r"));
    // A read that is already complete with the bytes kept from before asks the device nothing.
    sendReport(bytesOf("(Y\r"));
    EXPECT_EQ(read(3, kPatient), bytesOf("(NE"));
    EXPECT_EQ(read(200, kPatientUntilCr), bytesOf("XT\r"));
    EXPECT_EQ(read(200, kPatientUntilCr), bytesOf("(Y\r"));
}

TEST_F(HidrawPortTest, ReadsEndOnTheSerialPortsTimeOuts)
{
    // No report at all: the first-byte time-out.
    auto start = SteadyClock::now();
    EXPECT_EQ(read(200, {.firstByte = 50ms, .interByte = 30s, .total = {}}), Bytes{});
    EXPECT_GE(since(start), 50ms);

    // Reports of padding only are nothing: still the first-byte time-out.
    sendReport(Bytes(8, 0));
    sendReport(Bytes(8, 0));
    start = SteadyClock::now();
    EXPECT_EQ(read(200, {.firstByte = 50ms, .interByte = 30s, .total = {}}), Bytes{});
    EXPECT_GE(since(start), 50ms);

    // A report, then silence: the gap between bytes ends the read, long before the first-byte limit.
    sendReport(bytesOf("(230.0 4"));
    start = SteadyClock::now();
    EXPECT_EQ(read(200, {.firstByte = 30s, .interByte = 50ms, .total = {}}), bytesOf("(230.0 4"));
    EXPECT_LT(since(start), 30s);

    // Bytes before the reply has begun (a LF left from an earlier reply) do not start the wait
    // between bytes: the first-byte time-out still runs.
    sendReport(bytesOf("\n"));
    const ReadBegun hasStart = [](std::span<const std::uint8_t> received) {
        return std::find(received.begin(), received.end(), kReplyStart) != received.end();
    };
    start = SteadyClock::now();
    EXPECT_EQ(read(200, {.firstByte = 100ms, .interByte = 1ms, .total = {}, .begun = hasStart}).size(), 8u);
    EXPECT_GE(since(start), 100ms);

    // A device that keeps sending without a CR: the total limit.
    std::atomic<bool> stop = false;
    std::thread device([&] {
        while (!stop) {
            sendReport(bytesOf("12345678"));
            std::this_thread::sleep_for(5ms);
        }
    });
    start = SteadyClock::now();
    const Bytes received = read(100000, {.firstByte = 30s, .interByte = 30s, .total = 100ms});
    const auto took = since(start);
    stop = true;
    device.join();
    EXPECT_FALSE(received.empty());
    EXPECT_GE(took, 100ms);
    EXPECT_LT(took, 30s);
}

TEST_F(HidrawPortTest, PurgeDropsTheReportsWaitingAndTheBytesKept)
{
    sendReport(bytesOf("(OLD REP"));
    EXPECT_EQ(read(3, kPatient), bytesOf("(OL"));
    sendReport(bytesOf("LY\r"));
    sendReport(bytesOf("(STALE\r"));
    port().purge();
    EXPECT_EQ(read(200, {.firstByte = 20ms, .interByte = 20ms, .total = {}}), Bytes{});
    sendReport(bytesOf("(NEW\r"));
    EXPECT_EQ(read(200, kPatientUntilCr), bytesOf("(NEW\r"));
}

TEST_F(HidrawPortTest, ADeviceThatHangsUpIsLostForGoodAfterItsLastBytes)
{
    sendReport(bytesOf("(LAST\r"));
    unplug();
    std::uint8_t buffer[200] = {};
    EXPECT_EQ(port().read(buffer, kPatient), 6); // what came before the hang-up comes first
    EXPECT_EQ(port().read(buffer, kPatient), SerialTransport::kConnectionLost);
    EXPECT_EQ(port().write(FrameCommand("QPIGS"), 30s), SerialTransport::kConnectionLost);
    EXPECT_EQ(port().read(buffer, kPatient), SerialTransport::kConnectionLost);
    EXPECT_TRUE(port().takeLineStatus().connectionLost);
}

TEST_F(HidrawPortTest, AWriteAloneSeesTheHangUp)
{
    EXPECT_FALSE(port().takeLineStatus().connectionLost);
    unplug();
    EXPECT_EQ(port().write(FrameCommand("QID"), 30s), SerialTransport::kConnectionLost);
    EXPECT_TRUE(port().takeLineStatus().connectionLost);
}

TEST_F(HidrawPortTest, APurgeSeesTheHangUp)
{
    unplug();
    port().purge();
    EXPECT_TRUE(port().takeLineStatus().connectionLost);
}
