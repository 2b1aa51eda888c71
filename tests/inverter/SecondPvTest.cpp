// The second PV input's reply, as real dual-tracker units send it.
#include "CapturedReplies.h"

#include "inverter/ReplyFrame.h"
#include "inverter/SecondPv.h"

#include <gtest/gtest.h>

#include <map>

using namespace quorvane;

TEST(SecondPv, ThreeNumbersOrNothing)
{
    const struct {
        const char* payload;
        std::optional<SecondPvReading> expected;
    } cases[] = {
        {"01.0 202.0 00205 ", SecondPvReading{1.0, 202.0, 205.0}},
        {"03.1 327.3 01026", SecondPvReading{3.1, 327.3, 1026.0}},
        {"00.0 000.0 00000 0 1", SecondPvReading{0, 0, 0}}, // fields after the third are some units' own
        {"NAK", std::nullopt},
        {"01.0 202.0", std::nullopt},
        {"01.0 2O2.0 00205", std::nullopt}, // a letter where a digit belongs
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeSecondPv(c.payload), c.expected) << c.payload;
}

TEST(SecondPv, EveryCapturedReplyIsRead)
{
    using namespace quorvane::captures;
    int read = 0;
    for (const Capture& capture : LoadCaptures()) {
        if (capture.command != "QPIGS2")
            continue;
        const auto frame = FindReplyFrame(capture.reply);
        if (!frame) { // the one capture whose CRC was damaged in transcription
            EXPECT_NE(capture.notes.find("CRC"), std::string::npos) << "line " << capture.line;
            continue;
        }
        const auto reading = DecodeSecondPv(frame->payload);
        ASSERT_TRUE(reading) << "line " << capture.line;
        // The charging power goes with the current and voltage the unit reports (within what
        // its rounding to 0.1 A allows).
        EXPECT_NEAR(reading->ChargingPowerW, reading->CurrentA * reading->VoltageV,
                    0.05 * reading->VoltageV + 0.05 * reading->ChargingPowerW + 1)
            << "line " << capture.line;
        ++read;
    }
    EXPECT_GE(read, 7);
}
