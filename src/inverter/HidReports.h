#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvane {

// How the inverter's bytes travel over USB-HID: in reports of 8 bytes each way, the last one
// of a request or a reply filled up with zeros. The device uses no numbered reports, so what
// hidraw reads starts with the report's data, while a write starts with report number 0
// (the kernel's hidraw convention for such devices: the first byte of a write names the
// report, and the kernel does not send it to the device as data).
inline constexpr size_t kHidReportSize = 8;
inline constexpr std::uint8_t kHidReportNumber = 0;
// Room for one report as read(); larger than any report these devices send.
inline constexpr size_t kLargestHidReport = 64;

// What one write() to the device carries: the report number, then 8 bytes of the request.
using HidOutputReport = std::array<std::uint8_t, 1 + kHidReportSize>;

// The output report for one slice of at most 8 request bytes, padded with zeros.
[[nodiscard]] HidOutputReport MakeOutputReport(std::span<const std::uint8_t> slice);

// The protocol bytes one report carries: everything up to and including the first CR (what
// follows it in the same report is padding); nothing for a report of zeros only. Zero bytes
// elsewhere are data: a CRC byte may be 0x00.
[[nodiscard]] std::span<const std::uint8_t> ProtocolBytesOf(std::span<const std::uint8_t> report);

} // namespace quorvane
