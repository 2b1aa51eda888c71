// The USB-HID report framing: the input as a request to send, as a sequence of reports the
// device sent, and as a reply payload that travels in reports.
//
// Invariants:
// - a request cut into slices of 8 bytes gives output reports that start with report number
//   0, carry their slice and zeros after it, and whose data joined and cut at the request's
//   length give the request back; a longer slice puts only its first 8 bytes in a report;
// - a report's protocol bytes are the report's own first bytes (nothing invented, nothing
//   moved): none for a report of zeros only, otherwise every byte up to and including its
//   first CR, or the whole report when it has none; zero bytes before the CR are kept;
// - a reply frame of a printable payload, padded with zeros into 8-byte reports, comes back
//   whole from the reports' protocol bytes joined, also when a CRC byte is 0x00.
#include "FuzzCheck.h"

#include "inverter/Frame.h"
#include "inverter/HidReports.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

using namespace quorvane;

namespace {

void checkRequest(std::span<const std::uint8_t> request)
{
    Bytes joined;
    for (size_t written = 0; written < request.size(); written += kHidReportSize) {
        const auto slice = request.subspan(written, std::min(kHidReportSize, request.size() - written));
        const HidOutputReport report = MakeOutputReport(slice);
        FUZZ_CHECK(report[0] == kHidReportNumber);
        FUZZ_CHECK(std::equal(slice.begin(), slice.end(), report.begin() + 1));
        FUZZ_CHECK(std::all_of(report.begin() + 1 + slice.size(), report.end(), [](std::uint8_t b) { return b == 0; }));
        joined.insert(joined.end(), report.begin() + 1, report.end());
    }
    FUZZ_CHECK(joined.size() % kHidReportSize == 0 && joined.size() - request.size() < kHidReportSize);
    FUZZ_CHECK(std::equal(request.begin(), request.end(), joined.begin()));

    // A slice longer than a report: its first 8 bytes, nothing read past them.
    if (request.size() > kHidReportSize) {
        const HidOutputReport report = MakeOutputReport(request);
        FUZZ_CHECK(std::equal(report.begin() + 1, report.end(), request.begin()));
    }
}

void checkReport(std::span<const std::uint8_t> report)
{
    const auto bytes = ProtocolBytesOf(report);
    if (std::all_of(report.begin(), report.end(), [](std::uint8_t b) { return b == 0; })) {
        FUZZ_CHECK(bytes.empty());
        return;
    }
    FUZZ_CHECK(bytes.data() == report.data());
    const auto cr = std::find(report.begin(), report.end(), kCarriageReturn);
    const size_t expected = cr == report.end() ? report.size() : static_cast<size_t>(cr - report.begin()) + 1;
    FUZZ_CHECK(bytes.size() == expected);
}

// The first byte gives the length of the reports the rest is cut into (1 to the largest a
// read takes), the last one possibly shorter.
void checkReports(std::span<const std::uint8_t> input)
{
    if (input.empty())
        return;
    const size_t length = 1 + input[0] % kLargestHidReport;
    for (auto rest = input.subspan(1); !rest.empty(); rest = rest.subspan(std::min(length, rest.size())))
        checkReport(rest.first(std::min(length, rest.size())));
}

void checkReplyThroughReports(std::span<const std::uint8_t> input)
{
    std::string payload;
    for (const std::uint8_t byte : input)
        if (byte >= 0x20 && byte <= 0x7E)
            payload += static_cast<char>(byte);
    // FrameCommand gives what a reply looks like too: "(" payload, CRC, CR.
    const Bytes frame = FrameCommand("(" + payload);
    Bytes received;
    for (size_t sent = 0; sent < frame.size(); sent += kHidReportSize) {
        std::array<std::uint8_t, kHidReportSize> report{};
        std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(sent), std::min(kHidReportSize, frame.size() - sent),
                    report.begin());
        const auto bytes = ProtocolBytesOf(report);
        received.insert(received.end(), bytes.begin(), bytes.end());
    }
    FUZZ_CHECK(received == frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    checkRequest(input);
    checkReports(input);
    checkReplyThroughReports(input);
    return 0;
}
