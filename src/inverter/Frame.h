#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Request frame:  command letters | CRC high | CRC low | CR        (CRC over the letters)
// Reply frame:    "(" payload     | CRC high | CRC low | CR        (CRC over "(" and payload)
// Payload fields are separated by single spaces.

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kCarriageReturn = 0x0D;
inline constexpr std::uint8_t kReplyStart = 0x28; // "("

// The reply slots 0..99 that SplitReply fills; slot 0 is never written by a reply.
inline constexpr int kReplySlotCount = 100;
using ReplySlots = std::array<std::string, kReplySlotCount>;

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR) computed a nibble at a
// time, then adjusted: a high or low byte equal to 0x28 "(", 0x0D CR or 0x0A LF is increased
// by one, so that no CRC byte can be mistaken for a frame start or end. The adjusted value is
// what travels on the wire, high byte first.
[[nodiscard]] std::uint16_t InverterCrc(std::span<const std::uint8_t> bytes);

[[nodiscard]] Bytes FrameCommand(std::string_view command);

// True when the two bytes at positions k and k+1 of `received` equal the CRC of its first k
// bytes. Bytes that never arrived (beyond the end of `received`) never match.
[[nodiscard]] bool ReplyCrcOk(std::span<const std::uint8_t> received, int k);

// Splits a payload at single spaces: two spaces in a row give an empty field, a space at the
// end gives none, and an empty payload is one empty field.
[[nodiscard]] std::vector<std::string_view> SplitFields(std::string_view payload);

// Puts fields 1, 2, ... into slots 1, 2, ... up to slot 99, every byte through MapReplyChar.
// Slots after the last field keep their contents.
void FillReplySlots(const std::vector<std::string_view>& fields, ReplySlots& slots);

// Splits "(" + payload (byte 0, the "(", skipped) as SplitFields does and fills the slots
// with the fields. The last field runs to the end of the bytes given.
void SplitReply(std::span<const std::uint8_t> received, ReplySlots& slots);

// "0".."9" and "." stand for themselves; every other byte reads as "0".
[[nodiscard]] char MapReplyChar(std::uint8_t byte);

// Removes leading "0"s but never the last character: "000.0" -> ".0", "000" -> "0".
[[nodiscard]] std::string StripLeadingZeros(std::string_view text);

[[nodiscard]] inline std::span<const std::uint8_t> AsBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace quorvane
