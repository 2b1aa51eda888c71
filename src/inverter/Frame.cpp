#include "inverter/Frame.h"

#include <algorithm>

namespace quorvane {

namespace {

// Entry i is the CRC-16/XMODEM of the single nibble i.
constexpr std::array<std::uint16_t, 16> kNibbleTable = {
    0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
    0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF,
};

constexpr std::uint8_t adjustCrcByte(std::uint8_t byte)
{
    return (byte == 0x28 || byte == 0x0D || byte == 0x0A) ? static_cast<std::uint8_t>(byte + 1) : byte;
}

} // namespace

std::uint16_t InverterCrc(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc = static_cast<std::uint16_t>((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (byte >> 4)]);
        crc = static_cast<std::uint16_t>((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (byte & 0x0F)]);
    }
    const auto high = adjustCrcByte(static_cast<std::uint8_t>(crc >> 8));
    const auto low = adjustCrcByte(static_cast<std::uint8_t>(crc & 0xFF));
    return static_cast<std::uint16_t>((high << 8) | low);
}

Bytes FrameCommand(std::string_view command)
{
    const auto letters = AsBytes(command);
    Bytes frame(letters.begin(), letters.end());
    const std::uint16_t crc = InverterCrc(letters);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(kCarriageReturn);
    return frame;
}

bool ReplyCrcOk(std::span<const std::uint8_t> received, int k)
{
    if (k < 0 || static_cast<size_t>(k) + 2 > received.size())
        return false;
    const std::uint16_t crc = InverterCrc(received.first(static_cast<size_t>(k)));
    return received[k] == (crc >> 8) && received[k + 1] == (crc & 0xFF);
}

char MapReplyChar(std::uint8_t byte)
{
    if ((byte >= '0' && byte <= '9') || byte == '.')
        return static_cast<char>(byte);
    return '0';
}

std::vector<std::string_view> SplitFields(std::string_view payload)
{
    std::vector<std::string_view> fields;
    std::size_t p = 0;
    do {
        const std::size_t space = std::min(payload.find(' ', p), payload.size());
        fields.push_back(payload.substr(p, space - p));
        p = space + 1;
    } while (p < payload.size());
    return fields;
}

void FillReplySlots(const std::vector<std::string_view>& fields, ReplySlots& slots)
{
    for (std::size_t s = 1; s < slots.size() && s <= fields.size(); ++s) {
        std::string& slot = slots[s];
        slot.clear();
        for (const char letter : fields[s - 1])
            slot += MapReplyChar(static_cast<std::uint8_t>(letter));
    }
}

void SplitReply(std::span<const std::uint8_t> received, ReplySlots& slots)
{
    const auto text = received.empty() ? received : received.subspan(1);
    FillReplySlots(SplitFields(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())), slots);
}

std::string StripLeadingZeros(std::string_view text)
{
    if (text.size() <= 1 || text.front() != '0')
        return std::string(text);
    size_t first = 0;
    while (first + 1 < text.size() && text[first] == '0')
        ++first;
    return std::string(text.substr(first));
}

} // namespace quorvane
