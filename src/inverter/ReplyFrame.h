#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quorvane {

// How every reply is found in the bytes a read brought:
//
//   [stale bytes] "(" payload CRChi CRClo CR [LF]
//
// The CRC covers "(" and the payload. The payload is printable ASCII and the CRC bytes are
// never "(", CR or LF (they are adjusted on the wire), so the frame that ends at a CR starts at
// the last "(" before it. Bytes before that "(" are left over from earlier traffic (the tail
// of a reply cut off, an echo, the LF some units send after every CR) and are skipped; a
// candidate whose CRC fails (a partial frame followed by a stray CR, line noise) is passed
// over for the next CR. A LF right after the CR belongs to the frame and is ignored.
struct ReplyFrame {
    std::string_view payload; // between "(" and the CRC, inside the received bytes
    std::size_t start = 0;    // index of the "("
    std::size_t end = 0;      // index after the CR, and after a LF right behind it

    // "(NAK": the inverter does not know the command or will not carry it out.
    [[nodiscard]] bool Refused() const { return payload == "NAK"; }
    // "(" and the payload: the bytes under the CRC.
    [[nodiscard]] std::span<const std::uint8_t> Framed(std::span<const std::uint8_t> received) const
    {
        return received.subspan(start, payload.size() + 1);
    }
};

// The first whole frame in `received` whose CRC holds and whose payload is printable ASCII;
// none while no such frame has arrived (yet).
[[nodiscard]] std::optional<ReplyFrame> FindReplyFrame(std::span<const std::uint8_t> received);

// True once a "(" has arrived: a reply has begun. Bytes before it are not part of any reply
// to this request.
[[nodiscard]] bool ReplyBegun(std::span<const std::uint8_t> received);

} // namespace quorvane
