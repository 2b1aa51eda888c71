// Replies captured from real inverters: every undamaged frame of the commands this system
// sends must be accepted, every damaged one rejected.
#include "inverter/Frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

struct Capture {
    int line = 0;
    std::string command;
    Bytes reply;
    std::string notes;
};

constexpr const char* kCapturesFile = QUORVANE_TESTDATA_DIR "/pi30-captures.tsv";

// A file that is missing or empty fails the calling test by name, so no test passes on no data.
std::vector<Capture> loadCaptures()
{
    std::ifstream file(kCapturesFile);
    if (!file) {
        ADD_FAILURE() << "cannot open the captures file " << kCapturesFile;
        return {};
    }
    std::vector<Capture> captures;
    std::string row;
    int line = 0;
    while (std::getline(file, row)) {
        if (++line == 1)
            continue; // header
        std::vector<std::string> columns;
        std::stringstream cells(row);
        for (std::string cell; std::getline(cells, cell, '\t');)
            columns.push_back(cell);
        if (columns.size() < 3 || columns[2] != "yes")
            continue;
        Capture capture{.line = line, .command = columns[0], .reply = {}, .notes = columns.size() > 4 ? columns[4] : ""};
        std::stringstream hex(columns[1]);
        for (unsigned value = 0; hex >> std::hex >> value;)
            capture.reply.push_back(static_cast<std::uint8_t>(value));
        captures.push_back(std::move(capture));
    }
    if (captures.empty())
        ADD_FAILURE() << "no replies with a known CRC in " << kCapturesFile;
    return captures;
}

bool isUsedBySystem(const std::string& command)
{
    for (const char* used : {"QPIGS", "QMOD", "QID", "QPIRI", "ACK", "NAK"})
        if (command == used)
            return true;
    return false;
}

// What the capture notes say about a frame that was damaged on the wire or in transcription.
bool notedAsDamaged(const std::string& notes)
{
    for (const char* mark : {"artifact", "line noise", "garbled", "bad fixture", "CHK", "NOT a wire capture"})
        if (notes.find(mark) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(CapturedReplies, UndamagedFramesAreAcceptedDamagedOnesRejected)
{
    int accepted = 0, rejected = 0;
    for (const Capture& capture : loadCaptures()) {
        if (!isUsedBySystem(capture.command))
            continue;
        // No CRC byte can be a CR, so the first CR ends the frame (some units add a LF).
        const auto cr = std::find(capture.reply.begin(), capture.reply.end(), kCarriageReturn);
        const int k = static_cast<int>(cr - capture.reply.begin()) - 2;
        const bool ok = ReplyCrcOk(capture.reply, k);
        EXPECT_EQ(ok, !notedAsDamaged(capture.notes)) << "line " << capture.line << ' ' << capture.command;
        ok ? ++accepted : ++rejected;
    }
    EXPECT_GE(accepted, 40);
    EXPECT_GE(rejected, 6);
}

TEST(CapturedReplies, MainValuesSplitIntoTheirFields)
{
    int checked = 0;
    for (const Capture& capture : loadCaptures()) {
        if (capture.command != "QPIGS" || notedAsDamaged(capture.notes))
            continue;
        const auto cr = std::find(capture.reply.begin(), capture.reply.end(), kCarriageReturn);
        const std::span<const std::uint8_t> received(capture.reply.data(), static_cast<size_t>(cr - capture.reply.begin()) + 1);
        ReplySlots slots;
        SplitReply(received, slots);
        std::string payload(capture.reply.begin() + 1, cr - 2);
        std::stringstream fields(payload);
        int slot = 1;
        std::string field;
        std::vector<std::string> expected;
        while (fields >> field)
            expected.push_back(field);
        // Every field but the last (which also carries the CRC bytes and the CR) as sent.
        for (size_t i = 0; i + 1 < expected.size(); ++i, ++slot)
            EXPECT_EQ(slots[static_cast<size_t>(slot)], expected[i]) << "line " << capture.line << " field " << slot;
        EXPECT_TRUE(slots[static_cast<size_t>(slot)].starts_with(expected.back())) << "line " << capture.line;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}
