#pragma once

#include <string>
#include <vector>

namespace quorvane::fakes {

// The messages of memo lines without their stamps: "[stamp] message " gives "message"; a line
// with no stamp prefix (a later web request line) stays as it is.
inline std::vector<std::string> MessagesOf(const std::vector<std::string>& lines)
{
    std::vector<std::string> messages;
    for (const std::string& line : lines) {
        const auto prefixEnd = line.starts_with("[") ? line.find("] ") : std::string::npos;
        messages.push_back(prefixEnd == std::string::npos ? line
                                                          : line.substr(prefixEnd + 2, line.size() - prefixEnd - 3));
    }
    return messages;
}

} // namespace quorvane::fakes
