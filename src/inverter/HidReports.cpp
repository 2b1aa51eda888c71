#include "inverter/HidReports.h"

#include "inverter/Frame.h"

#include <algorithm>

namespace quorvane {

HidOutputReport MakeOutputReport(std::span<const std::uint8_t> slice)
{
    HidOutputReport report{};
    report[0] = kHidReportNumber;
    std::copy_n(slice.begin(), std::min(slice.size(), kHidReportSize), report.begin() + 1);
    return report;
}

std::span<const std::uint8_t> ProtocolBytesOf(std::span<const std::uint8_t> report)
{
    if (std::all_of(report.begin(), report.end(), [](std::uint8_t byte) { return byte == 0; }))
        return {};
    const auto end = std::find(report.begin(), report.end(), kCarriageReturn);
    return report.first(end == report.end() ? report.size() : static_cast<size_t>(end - report.begin()) + 1);
}

} // namespace quorvane
