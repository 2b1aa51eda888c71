#pragma once

// quorvaned as the process tests run it: a settings file that has it connect by itself to a
// serial line, and its standard output (the live page's address, then the event memo line by
// line) read up to the line a test waits for.
#include "ChildProcess.h"
#include "WaitUntil.h"

#include <chrono>
#include <optional>
#include <regex>
#include <string>

namespace quorvane::fakes {

// Settings for a program on the serial line at `devicePath` (as COM1, no search), measuring
// every second, its live page on a port the system hands out. Sections of the test's own may
// follow it in the same file.
inline std::string SerialLineSettings(const std::string& devicePath, bool autoConnect = true)
{
    return "[Main]\r\nCOM PORT index=1\r\nAutoSearch=0\r\nAutoConnect=" + std::string(autoConnect ? "1" : "0")
           + "\r\nMeasTime=0\r\n[Http]\r\nPort=0\r\n[Ports]\r\nCOM1=" + devicePath + "\r\n";
}

// Reads `program`'s output until a line holds `text`: that line, or nothing when the output
// ended or `limit` ran out first. Every line read is added to `seen`, for a failure message.
inline std::optional<std::string> WaitForOutputLine(ChildProcess& program, const std::string& text, std::string& seen,
                                                    std::chrono::milliseconds limit = kPatience)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto line = program.ReadLine(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
        if (!line)
            return std::nullopt;
        seen += *line + "\n";
        if (line->find(text) != std::string::npos)
            return line;
    }
    return std::nullopt;
}

// The port of the live page the program announced; 0 when it announced none.
inline int LivePagePort(ChildProcess& program, std::string& seen)
{
    const auto line = WaitForOutputLine(program, "Live page: ", seen);
    std::smatch match;
    if (!line || !std::regex_search(*line, match, std::regex("http://localhost:([0-9]+)/")))
        return 0;
    return std::stoi(match[1]);
}

} // namespace quorvane::fakes
