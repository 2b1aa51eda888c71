// The one frame reader every query uses: where a reply starts and ends in the bytes a read
// brought, and which candidates it passes over.
#include "inverter/Frame.h"
#include "inverter/ReplyFrame.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace quorvane;

namespace {

Bytes operator+(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes text(std::string_view letters)
{
    return Bytes(AsBytes(letters).begin(), AsBytes(letters).end());
}

// "(" + payload + CRC + CR, as a unit sends it.
Bytes framed(std::string_view payload)
{
    Bytes frame = text("(") + text(payload);
    const std::uint16_t crc = InverterCrc(frame);
    return frame + Bytes{static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc & 0xFF), kCarriageReturn};
}

const Bytes kLf = {0x0A};
const Bytes kCr = {kCarriageReturn};

} // namespace

TEST(FindReplyFrame, FindsTheFrameAmongWhatTheLineBrought)
{
    const Bytes mode = framed("L");
    Bytes badCrc = framed("B");
    badCrc[2] ^= 0x01;
    Bytes noisyPayload = framed("230.0 50.0");
    noisyPayload[3] = 0xF6; // CRC fails
    const struct {
        const char* name;
        Bytes received;
        std::optional<std::string> payload; // none: no frame
        size_t start = 0;
        size_t end = 0;                      // 0: the end of the bytes
    } cases[] = {
        {"a frame alone", mode, "L"},
        {"a LF after the CR belongs to the frame", mode + kLf, "L"},
        {"a byte after the CR that is no LF does not", mode + text("Z"), "L", 0, mode.size()},
        {"bytes after a LF are not the frame's", mode + kLf + text("(X"), "L", 0, mode.size() + 1},
        {"a LF left from the last reply", kLf + mode, "L", 1},
        {"an echo of the request", FrameCommand("QMOD") + mode, "L", 7},
        {"noise and NUL before the frame", Bytes{0x00, 0xFF, 0x7F} + mode, "L", 3},
        {"the tail of an earlier reply with its CR LF", text("010") + Bytes{0xA9, 0x79} + kCr + kLf + mode, "L", 7},
        {"an earlier partial frame", text("(230.0 5") + mode, "L", 8},
        {"an earlier partial frame and a stray CR", text("(230.0 5") + kCr + mode, "L", 9},
        {"a damaged frame, then a good one", badCrc + mode, "L", 5},
        {"only a damaged frame", badCrc, std::nullopt},
        {"line noise in the payload", noisyPayload, std::nullopt},
        {"the CR has not come yet", Bytes(mode.begin(), mode.end() - 1), std::nullopt},
        {"the CR replaced by another byte", Bytes(mode.begin(), mode.end() - 1) + text("X"), std::nullopt},
        {"no start", Bytes(mode.begin() + 1, mode.end()), std::nullopt},
        {"a frame too short to hold its CRC", Bytes{kReplyStart, 0x06, kCarriageReturn}, std::nullopt},
        {"an empty payload", framed(""), ""},
        {"a refusal", framed("NAK") + kLf, "NAK"},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto frame = FindReplyFrame(c.received);
        ASSERT_EQ(frame.has_value(), c.payload.has_value()) << c.name;
        if (!frame)
            continue;
        EXPECT_EQ(frame->payload, *c.payload) << c.name;
        EXPECT_EQ(frame->start, c.start) << c.name;
        EXPECT_EQ(frame->end, c.end != 0 ? c.end : c.received.size()) << c.name;
        EXPECT_EQ(frame->Refused(), *c.payload == "NAK") << c.name;
        const auto underCrc = frame->Framed(c.received);
        EXPECT_EQ(std::string(underCrc.begin(), underCrc.end()), "(" + *c.payload) << c.name;
    }
}

TEST(FindReplyFrame, ACrcByteOfZeroIsSentAsItIs)
{
    const Bytes reply = framed("88");
    ASSERT_EQ(reply[reply.size() - 2], 0x00); // the low CRC byte
    const auto frame = FindReplyFrame(reply);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->payload, "88");
}

TEST(FindReplyFrame, AFrameArrivingInPiecesIsWholeOnlyWithItsCr)
{
    const Bytes stream = kLf + framed("230.0 50.0 00110110") + kLf;
    const size_t cr = stream.size() - 2;
    for (size_t length = 0; length <= stream.size(); ++length) {
        const auto frame = FindReplyFrame(std::span(stream).first(length));
        EXPECT_EQ(frame.has_value(), length > cr) << length << " bytes";
        EXPECT_EQ(ReplyBegun(std::span(stream).first(length)), length > 1) << length << " bytes";
    }
}

TEST(FindReplyFrame, APayloadWithAByteNoUnitSendsIsNoFrameEvenUnderAValidCrc)
{
    for (const std::string_view payload : {std::string_view("230.0 \0" "50.0", 11), std::string_view("23\x01"),
                                           std::string_view("\x7F"), std::string_view("\xB0")}) {
        EXPECT_FALSE(FindReplyFrame(framed(payload))) << payload.size();
    }
}
