#pragma once

// The replies captured from real inverters (tests/data/pi30-captures.tsv), for the tests that
// read them.
#include "inverter/Frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane::captures {

struct Capture {
    int line = 0;
    std::string command;
    Bytes reply;
    bool crcKnown = true;
    std::string notes;
};

inline constexpr const char* kCapturesFile = QUORVANE_TESTDATA_DIR "/pi30-captures.tsv";

enum CaptureSelection { WithCrcOnly, WithoutCrcToo };

// A file that is missing or empty fails the calling test by name, so no test passes on no data.
inline std::vector<Capture> LoadCaptures(CaptureSelection selection = WithCrcOnly)
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
        if (columns.size() < 3)
            continue;
        const bool crcKnown = columns[2] == "yes";
        if (!crcKnown && selection == WithCrcOnly)
            continue;
        Capture capture{.line = line, .command = columns[0], .reply = {}, .crcKnown = crcKnown,
                        .notes = columns.size() > 4 ? columns[4] : ""};
        std::stringstream hex(columns[1]);
        for (unsigned value = 0; hex >> std::hex >> value;)
            capture.reply.push_back(static_cast<std::uint8_t>(value));
        captures.push_back(std::move(capture));
    }
    if (captures.empty())
        ADD_FAILURE() << "no replies with a known CRC in " << kCapturesFile;
    return captures;
}

// The payload: after the "(", before the CRC bytes where the capture has them.
inline std::string PayloadOf(const Capture& capture)
{
    const size_t crcAndCr = capture.crcKnown ? 3 : 0;
    return std::string(capture.reply.begin() + 1, capture.reply.end() - static_cast<long>(crcAndCr));
}

// What the capture notes say about a frame that was damaged on the wire or in transcription.
inline bool NotedAsDamaged(const std::string& notes)
{
    for (const char* mark : {"artifact", "line noise", "garbled", "bad fixture", "CHK", "NOT a wire capture"})
        if (notes.find(mark) != std::string::npos)
            return true;
    return false;
}

} // namespace quorvane::captures
