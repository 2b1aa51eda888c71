// The frame reader and the main-values reading: the input is taken as the bytes a read
// brought, and as a payload on its own.
//
// Invariants:
// - a frame found is "(" + printable payload + a CRC that checks + CR (+ LF), inside the
//   bytes; it is the first one: the bytes up to its CR give the same frame, the bytes before
//   its CR give none (so a read may stop the moment its CR arrives);
// - any printable payload without "(" behind any bytes without a CR is found as it was framed;
// - a payload splits into fields that join back to it (a space at its end starts no field);
// - a main-values payload is accepted exactly when it has 17 fields or more, the first 16
//   plain numbers and the 17th eight "0"/"1" status bits, which give the charge flags.
#include "FuzzCheck.h"

#include "inverter/Frame.h"
#include "inverter/MainValuesReply.h"
#include "inverter/ReplyFrame.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using namespace quorvane;

namespace {

constexpr std::uint8_t kLineFeed = 0x0A;

bool printable(std::uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

std::string_view asText(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool samePlace(const std::optional<ReplyFrame>& a, const ReplyFrame& b)
{
    return a && a->start == b.start && a->payload.data() == b.payload.data() && a->payload.size() == b.payload.size();
}

void checkFoundFrame(std::span<const std::uint8_t> received)
{
    const auto frame = FindReplyFrame(received);
    FUZZ_CHECK(ReplyBegun(received) == (std::find(received.begin(), received.end(), kReplyStart) != received.end()));
    if (!frame)
        return;
    FUZZ_CHECK(ReplyBegun(received));
    const std::size_t cr = frame->start + 1 + frame->payload.size() + 2;
    FUZZ_CHECK(cr < received.size() && received[cr] == kCarriageReturn);
    FUZZ_CHECK(received[frame->start] == kReplyStart);
    FUZZ_CHECK(frame->payload.data() == reinterpret_cast<const char*>(received.data()) + frame->start + 1);
    FUZZ_CHECK(std::all_of(frame->payload.begin(), frame->payload.end(),
                           [](char c) { return printable(static_cast<std::uint8_t>(c)); }));
    FUZZ_CHECK(ReplyCrcOk(received.subspan(frame->start), static_cast<int>(frame->payload.size() + 1)));
    FUZZ_CHECK(frame->end == cr + 1 || (frame->end == cr + 2 && received[cr + 1] == kLineFeed));
    FUZZ_CHECK(frame->end <= received.size());
    const auto framed = frame->Framed(received);
    FUZZ_CHECK(framed.data() == received.data() + frame->start && framed.size() == frame->payload.size() + 1);
    FUZZ_CHECK(frame->Refused() == (frame->payload == "NAK"));

    FUZZ_CHECK(samePlace(FindReplyFrame(received.first(cr + 1)), *frame));
    FUZZ_CHECK(!FindReplyFrame(received.first(cr)));
}

void checkFramedPayload(std::span<const std::uint8_t> input)
{
    // Bytes left over from earlier traffic (any but CR), then a whole frame.
    const auto middle = input.size() / 2;
    Bytes received;
    for (const std::uint8_t byte : input.first(middle))
        if (byte != kCarriageReturn)
            received.push_back(byte);
    const std::size_t start = received.size();
    std::string payload;
    for (const std::uint8_t byte : input.subspan(middle))
        if (printable(byte) && byte != kReplyStart)
            payload += static_cast<char>(byte);
    const Bytes frame = FrameCommand("(" + payload);
    received.insert(received.end(), frame.begin(), frame.end());
    if (input.size() % 2 == 1)
        received.push_back(kLineFeed);

    const auto found = FindReplyFrame(received);
    FUZZ_CHECK(found && found->start == start && found->payload == payload);
    FUZZ_CHECK(found->end == received.size());
}

bool plainNumber(std::string_view text)
{
    const auto points = std::count(text.begin(), text.end(), '.');
    return text.size() > static_cast<std::size_t>(points) && points <= 1
           && text.find_first_not_of("0123456789.") == std::string_view::npos;
}

void checkFields(std::string_view payload)
{
    const std::vector<std::string_view> fields = SplitFields(payload);
    FUZZ_CHECK(!fields.empty());
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        FUZZ_CHECK(fields[i].find(' ') == std::string_view::npos);
        joined += (i > 0 ? " " : "") + std::string(fields[i]);
    }
    FUZZ_CHECK(joined == payload || (joined + " " == payload));

    const auto values = ParseMainValues(payload);
    const bool wellFormed = fields.size() >= 17 && std::all_of(fields.begin(), fields.begin() + 16, plainNumber)
                            && fields[16].size() == 8 && fields[16].find_first_not_of("01") == std::string_view::npos;
    FUZZ_CHECK(values.has_value() == wellFormed);
    for (const std::string_view field : fields)
        FUZZ_CHECK(IsPlainNumber(field) == plainNumber(field));
    if (!values)
        return;
    FUZZ_CHECK(values->Fields == fields);
    FUZZ_CHECK(values->ChargeOn == fields[16][5] - '0');
    FUZZ_CHECK(values->SolarCharging == fields[16][6] - '0');
    FUZZ_CHECK(values->LineCharging == fields[16][7] - '0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    checkFoundFrame(input);
    checkFramedPayload(input);
    checkFields(asText(input));
    if (const auto frame = FindReplyFrame(input))
        checkFields(frame->payload);
    return 0;
}
