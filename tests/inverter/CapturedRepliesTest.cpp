// Replies captured from real inverters: every undamaged frame of the commands this system
// sends must be found, every damaged one rejected, and every undamaged main-values reply read.
#include "CapturedReplies.h"
#include "inverter/Frame.h"
#include "inverter/MainValuesReply.h"
#include "inverter/ReplyFrame.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace quorvane;
using namespace quorvane::captures;

namespace {

bool isUsedBySystem(const std::string& command)
{
    for (const char* used : {"QPIGS", "QMOD", "QID", "QPIRI", "ACK", "NAK"})
        if (command == used)
            return true;
    return false;
}

} // namespace

TEST(CapturedReplies, UndamagedFramesAreFoundDamagedOnesRejectedWhateverComesAround)
{
    // As they were captured, after a LF left from an earlier reply, after the tail of an
    // earlier frame and a stray CR, and with a LF after their own CR.
    const struct {
        const char* name;
        Bytes before, after;
    } surroundings[] = {
        {"as captured", {}, {}},
        {"after a LF", {0x0A}, {}},
        {"after an earlier partial frame and a CR", {'(', '2', '3', '0', kCarriageReturn}, {}},
        {"with a LF after the CR", {}, {0x0A}},
    };
    int accepted = 0, rejected = 0;
    for (const Capture& capture : LoadCaptures()) {
        if (!isUsedBySystem(capture.command))
            continue;
        const bool damaged = NotedAsDamaged(capture.notes);
        for (const auto& around : surroundings) {
            Bytes received = around.before;
            received.insert(received.end(), capture.reply.begin(), capture.reply.end());
            received.insert(received.end(), around.after.begin(), around.after.end());
            const auto frame = FindReplyFrame(received);
            EXPECT_EQ(frame.has_value(), !damaged) << "line " << capture.line << ' ' << capture.command << ", " << around.name;
            if (frame) {
                EXPECT_EQ(frame->start, around.before.size()) << "line " << capture.line << ", " << around.name;
                EXPECT_EQ(frame->payload.size(), capture.reply.size() - 4) << "line " << capture.line << ", " << around.name;
            }
        }
        damaged ? ++rejected : ++accepted;
    }
    EXPECT_GE(accepted, 40);
    EXPECT_GE(rejected, 6);
}

TEST(CapturedReplies, EveryUndamagedMainValuesReplyIsReadWithItsStatusBits)
{
    // Replies with and without their CRC bytes: the payload is what counts here.
    int checked = 0;
    for (const Capture& capture : LoadCaptures(WithoutCrcToo)) {
        if (capture.command != "QPIGS" || NotedAsDamaged(capture.notes))
            continue;
        const std::string payload = PayloadOf(capture);
        const auto reply = ParseMainValues(payload);
        ASSERT_TRUE(reply) << "line " << capture.line;
        std::stringstream words(payload);
        std::vector<std::string> fields;
        for (std::string field; words >> field;)
            fields.push_back(field);
        EXPECT_EQ(std::vector<std::string>(reply->Fields.begin(), reply->Fields.end()), fields) << "line " << capture.line;
        // Whatever the reply's length, the bits are the 17th field's last three characters,
        // which in the usual 110-byte reply are its characters 88 to 90.
        const std::string& bits = fields.at(16);
        EXPECT_EQ(reply->ChargeOn, bits[5] - '0') << "line " << capture.line;
        EXPECT_EQ(reply->SolarCharging, bits[6] - '0') << "line " << capture.line;
        EXPECT_EQ(reply->LineCharging, bits[7] - '0') << "line " << capture.line;
        if (capture.crcKnown && capture.reply.size() == 110) {
            EXPECT_EQ(std::string(capture.reply.begin() + 88, capture.reply.begin() + 91), bits.substr(5))
                << "line " << capture.line;
        }
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

TEST(CapturedReplies, MainValuesFillTheirSlotsAsSentWithNothingOfTheCrcInTheLast)
{
    int checked = 0;
    for (const Capture& capture : LoadCaptures()) {
        if (capture.command != "QPIGS" || NotedAsDamaged(capture.notes))
            continue;
        const auto frame = FindReplyFrame(capture.reply);
        ASSERT_TRUE(frame) << "line " << capture.line;
        ReplySlots slots;
        SplitReply(frame->Framed(capture.reply), slots);
        const std::vector<std::string_view> fields = SplitFields(frame->payload);
        for (size_t i = 0; i < fields.size(); ++i)
            EXPECT_EQ(slots[i + 1], fields[i]) << "line " << capture.line << " field " << i + 1;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}
