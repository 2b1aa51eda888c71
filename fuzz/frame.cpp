// The frame functions of the inverter link: CRC, the CRC check of a reply, the split into
// reply slots and the removal of leading zeros. The input is taken as bytes received.
//
// Invariants:
// - a framed command carries its letters, a CRC that checks and a CR, and no CRC byte is "(",
//   CR or LF;
// - a reply with its own CRC appended checks at the payload's end; the check never reads past
//   the bytes received and agrees with the CRC computed over the first k bytes;
// - the split fills slots with digits and "." only, one slot per space-separated field (at
//   most 99), each the field's bytes mapped one for one, and leaves the slots after the last
//   field as they were;
// - stripping leading zeros keeps a non-empty tail of the text and is idempotent.
#include "FuzzCheck.h"

#include "inverter/Frame.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using namespace quorvane;

namespace {

bool isCrcByteAllowed(std::uint8_t byte)
{
    return byte != 0x28 && byte != 0x0D && byte != 0x0A;
}

void checkCrc(std::span<const std::uint8_t> bytes)
{
    const std::uint16_t crc = InverterCrc(bytes);
    FUZZ_CHECK(isCrcByteAllowed(static_cast<std::uint8_t>(crc >> 8)));
    FUZZ_CHECK(isCrcByteAllowed(static_cast<std::uint8_t>(crc & 0xFF)));

    const std::string_view letters(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const Bytes frame = FrameCommand(letters);
    FUZZ_CHECK(frame.size() == bytes.size() + 3);
    FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), frame.begin()));
    FUZZ_CHECK(frame.back() == kCarriageReturn);
    FUZZ_CHECK(ReplyCrcOk(frame, static_cast<int>(bytes.size())));

    // Every place the CRC may be looked for, including ones past the end and before the start.
    const int size = static_cast<int>(bytes.size());
    for (const int k : {-1, 0, 1, size - 3, size - 2, size - 1, size, size + 1}) {
        const bool inside = k >= 0 && k + 2 <= size;
        bool expected = false;
        if (inside) {
            const std::uint16_t over = InverterCrc(bytes.first(static_cast<size_t>(k)));
            expected = bytes[static_cast<size_t>(k)] == (over >> 8) && bytes[static_cast<size_t>(k) + 1] == (over & 0xFF);
        }
        FUZZ_CHECK(ReplyCrcOk(bytes, k) == expected);
    }
}

void checkSplit(std::span<const std::uint8_t> received)
{
    static const std::string kUntouched = "untouched";
    ReplySlots slots;
    slots.fill(kUntouched);
    SplitReply(received, slots);

    // The fields as the bytes after the "(" give them.
    const std::string_view payload =
        received.size() > 1 ? std::string_view(reinterpret_cast<const char*>(received.data()) + 1, received.size() - 1)
                            : std::string_view();
    size_t slot = 1;
    std::string_view rest = payload;
    for (;;) {
        const size_t space = rest.find(' ');
        const std::string_view field = rest.substr(0, space);
        FUZZ_CHECK(slots[slot].size() == field.size());
        for (size_t i = 0; i < field.size(); ++i)
            FUZZ_CHECK(slots[slot][i] == MapReplyChar(static_cast<std::uint8_t>(field[i])));
        ++slot;
        // A space at the very end starts no further field.
        if (space == std::string_view::npos || space + 1 == rest.size() || slot == kReplySlotCount)
            break;
        rest.remove_prefix(space + 1);
    }
    for (size_t s = 1; s < slot; ++s)
        FUZZ_CHECK(slots[s].find_first_not_of("0123456789.") == std::string::npos);
    FUZZ_CHECK(slots[0] == kUntouched);
    for (size_t s = slot; s < slots.size(); ++s)
        FUZZ_CHECK(slots[s] == kUntouched);
}

void checkStripLeadingZeros(std::string_view text)
{
    const std::string stripped = StripLeadingZeros(text);
    FUZZ_CHECK(stripped.empty() == text.empty());
    FUZZ_CHECK(text.ends_with(stripped));
    FUZZ_CHECK(stripped.size() <= 1 || stripped.front() != '0' || text.front() != '0');
    FUZZ_CHECK(text.substr(0, text.size() - stripped.size()).find_first_not_of('0') == std::string_view::npos);
    FUZZ_CHECK(StripLeadingZeros(stripped) == stripped);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    checkCrc(bytes);
    checkSplit(bytes);
    checkStripLeadingZeros(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
