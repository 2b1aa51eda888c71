#include "inverter/ReplyFrame.h"

#include "inverter/Frame.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::size_t kCrcLength = 2;

bool printable(std::uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

// The frame that ends at the CR at `cr`, starting at the last "(" between `from` and it.
std::optional<ReplyFrame> frameEndingAt(std::span<const std::uint8_t> received, std::size_t from, std::size_t cr)
{
    std::size_t start = cr;
    while (start > from && received[start - 1] != kReplyStart)
        --start;
    if (start == from)
        return std::nullopt; // no "(" since the previous CR
    --start;
    if (cr - start < 1 + kCrcLength)
        return std::nullopt;
    const std::size_t underCrc = cr - kCrcLength - start; // "(" + payload
    const auto payload = received.subspan(start + 1, underCrc - 1);
    if (!std::all_of(payload.begin(), payload.end(), printable)
        || !ReplyCrcOk(received.subspan(start, underCrc + kCrcLength), static_cast<int>(underCrc)))
        return std::nullopt;
    ReplyFrame frame;
    frame.payload = std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size());
    frame.start = start;
    frame.end = cr + 1;
    if (frame.end < received.size() && received[frame.end] == kLineFeed)
        ++frame.end;
    return frame;
}

} // namespace

std::optional<ReplyFrame> FindReplyFrame(std::span<const std::uint8_t> received)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < received.size(); ++i) {
        if (received[i] != kCarriageReturn)
            continue;
        if (auto frame = frameEndingAt(received, from, i))
            return frame;
        from = i + 1; // no frame spans a CR
    }
    return std::nullopt;
}

bool ReplyBegun(std::span<const std::uint8_t> received)
{
    return std::find(received.begin(), received.end(), kReplyStart) != received.end();
}

} // namespace quorvane
