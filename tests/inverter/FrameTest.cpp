#include "inverter/Frame.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane;

namespace {

// Plain bitwise CRC-16/XMODEM, written independently of the nibble table under test.
std::uint16_t referenceXmodem(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::uint8_t adjusted(std::uint8_t byte)
{
    return (byte == 0x28 || byte == 0x0D || byte == 0x0A) ? byte + 1 : byte;
}

Bytes withCrcAndCr(std::string_view text)
{
    Bytes frame(AsBytes(text).begin(), AsBytes(text).end());
    const std::uint16_t crc = InverterCrc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(kCarriageReturn);
    return frame;
}

} // namespace

TEST(FrameCommand, EveryCommandInUseComesOutByteForByte)
{
    const struct {
        const char* command;
        Bytes frame;
    } cases[] = {
        {"QPIGS", {0x51, 0x50, 0x49, 0x47, 0x53, 0xB7, 0xA9, 0x0D}},
        {"QMOD", {0x51, 0x4D, 0x4F, 0x44, 0x49, 0xC1, 0x0D}},
        {"QID", {0x51, 0x49, 0x44, 0xD6, 0xEA, 0x0D}},
        {"QPIRI", {0x51, 0x50, 0x49, 0x52, 0x49, 0xF8, 0x54, 0x0D}},
        {"POP00", {0x50, 0x4F, 0x50, 0x30, 0x30, 0xC2, 0x48, 0x0D}},
        {"POP01", {0x50, 0x4F, 0x50, 0x30, 0x31, 0xD2, 0x69, 0x0D}},
        {"POP02", {0x50, 0x4F, 0x50, 0x30, 0x32, 0xE2, 0x0B, 0x0D}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrameCommand(c.command), c.frame) << c.command;
}

TEST(InverterCrc, KnownValues)
{
    const struct {
        std::string text;
        std::uint16_t crc;
    } cases[] = {
        {"", 0x0000},
        {"abc", 0x9DD6},
        {"POP02", 0xE20B}, // plain CRC 0xE20A: the LF low byte is sent as 0x0B
        {"(ACK", 0x3920},
        {"(L", 0x0607},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InverterCrc(AsBytes(c.text)), c.crc) << '"' << c.text << '"';
}

TEST(InverterCrc, IsXmodemWithEachReservedByteRaisedByOne)
{
    // Every two-byte input: the table walk must equal the bitwise CRC, adjusted byte by byte.
    // This covers each of the reserved values in the high and the low byte.
    int adjustedHigh = 0, adjustedLow = 0;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::uint8_t input[] = {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)};
            const std::uint16_t plain = referenceXmodem(input);
            const std::uint8_t high = plain >> 8, low = plain & 0xFF;
            adjustedHigh += adjusted(high) != high;
            adjustedLow += adjusted(low) != low;
            const std::uint16_t expected = static_cast<std::uint16_t>(adjusted(high) << 8 | adjusted(low));
            ASSERT_EQ(InverterCrc(input), expected) << first << ',' << second;
        }
    }
    EXPECT_GT(adjustedHigh, 0);
    EXPECT_GT(adjustedLow, 0);
}

TEST(InverterCrc, NoCrcByteCanBeAFrameDelimiter)
{
    for (int value = 0; value < 65536; value += 7) {
        const std::uint8_t input[] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), 0x42};
        const std::uint16_t crc = InverterCrc(input);
        for (const std::uint8_t byte : {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)}) {
            ASSERT_NE(byte, 0x28);
            ASSERT_NE(byte, 0x0D);
            ASSERT_NE(byte, 0x0A);
        }
    }
}

TEST(ReplyCrcOk, JudgesTheTwoBytesAfterTheFirstK)
{
    const Bytes mode = {0x28, 0x4C, 0x06, 0x07, 0x0D}; // "(L"
    Bytes wrongLow = mode;
    wrongLow[3] ^= 0x01;
    Bytes notCrThenOther = mode;
    notCrThenOther[4] = 'X';
    const Bytes threeOfFive = {0x28, 0x4C, 0x06};
    const struct {
        const char* name;
        Bytes received;
        int k;
        bool accepted;
    } cases[] = {
        {"whole mode reply", mode, 2, true},
        {"the byte after the CRC is not examined", notCrThenOther, 2, true},
        {"a wrong low byte", wrongLow, 2, false},
        {"CRC expected one byte later", mode, 3, false},
        {"second CRC byte never arrived", threeOfFive, 2, false},
        {"nothing arrived", {}, 2, false},
        {"negative k (a reply of two bytes)", {0x28, 0x4C}, -1, false},
        {"ACK", {0x28, 'A', 'C', 'K', 0x39, 0x20, 0x0D}, 4, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyCrcOk(c.received, c.k), c.accepted) << c.name;
}

TEST(MapReplyChar, DigitsAndPointPassEverythingElseIsZero)
{
    for (int byte = 0; byte < 256; ++byte) {
        const bool passes = (byte >= '0' && byte <= '9') || byte == '.';
        EXPECT_EQ(MapReplyChar(static_cast<std::uint8_t>(byte)), passes ? static_cast<char>(byte) : '0') << byte;
    }
}

TEST(StripLeadingZeros, Cases)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"000.0", ".0"}, {"0.5", ".5"}, {"050.0", "50.0"}, {"000", "0"}, {"00", "0"}, {"0", "0"},
        {"230.0", "230.0"}, {".5", ".5"}, {"", ""}, {"0012", "12"}, {"00110110", "110110"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripLeadingZeros(c.in), c.out) << '"' << c.in << '"';
}

TEST(SplitReply, FillsSlotsAtSingleSpacesAndMapsEveryByte)
{
    ReplySlots slots;
    slots.fill("keep");
    const Bytes reply = withCrcAndCr("(12 -3.5 AB");
    SplitReply(reply, slots);
    EXPECT_EQ(slots[0], "keep");
    EXPECT_EQ(slots[1], "12");
    EXPECT_EQ(slots[2], "03.5");
    // The last field runs to the end: "AB", two CRC bytes and the CR, each mapped.
    ASSERT_EQ(slots[3].size(), 5u);
    EXPECT_EQ(slots[3].substr(0, 2), "00");
    for (size_t i = 2; i < 5; ++i)
        EXPECT_EQ(slots[3][i], MapReplyChar(reply[reply.size() - 5 + i]));
    EXPECT_EQ(slots[4], "keep");
}

TEST(SplitReply, EdgeCases)
{
    const struct {
        const char* name;
        std::string reply;
        std::vector<std::pair<int, std::string>> expected;
    } cases[] = {
        {"two spaces give an empty field", "(1  3", {{1, "1"}, {2, ""}, {3, "3"}, {4, "keep"}}},
        {"a trailing space ends the split", "(7 ", {{1, "7"}, {2, "keep"}}},
        {"only the start byte empties slot 1", "(", {{1, ""}, {2, "keep"}}},
        {"a space right after the start", "( 5", {{1, ""}, {2, "5"}}},
    };
    for (const auto& c : cases) {
        ReplySlots slots;
        slots.fill("keep");
        SplitReply(AsBytes(c.reply), slots);
        for (const auto& [slot, text] : c.expected)
            EXPECT_EQ(slots[static_cast<size_t>(slot)], text) << c.name << ", slot " << slot;
    }
}

TEST(SplitReply, StopsAtTheLastSlot)
{
    std::string reply = "(";
    for (int field = 1; field <= 120; ++field)
        reply += std::to_string(field) + ' ';
    ReplySlots slots;
    SplitReply(AsBytes(reply), slots);
    EXPECT_EQ(slots[1], "1");
    EXPECT_EQ(slots[99], "99");
    EXPECT_EQ(slots[0], "");
}
