#include "inverter/MainValuesReply.h"

#include "inverter/Frame.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::size_t kStatusBitsField = 17;
constexpr std::size_t kStatusBitsLength = 8;
// Characters of the status bits field: in the usual 110-byte reply, whose 17th field starts at
// reply character 83, these are reply characters 88, 89 and 90.
constexpr std::size_t kChargeOnBit = 5;
constexpr std::size_t kSolarChargingBit = 6;
constexpr std::size_t kLineChargingBit = 7;

bool isBitField(std::string_view text)
{
    return text.size() == kStatusBitsLength
           && std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '1'; });
}

} // namespace

bool IsPlainNumber(std::string_view text)
{
    const auto digits = std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const auto points = std::count(text.begin(), text.end(), '.');
    return digits > 0 && points <= 1 && static_cast<std::size_t>(digits + points) == text.size();
}

std::optional<MainValuesReply> ParseMainValues(std::string_view payload)
{
    MainValuesReply reply;
    reply.Fields = SplitFields(payload);
    if (reply.Fields.size() < kStatusBitsField)
        return std::nullopt;
    if (!std::all_of(reply.Fields.begin(), reply.Fields.begin() + kStatusBitsField - 1, IsPlainNumber))
        return std::nullopt;
    const std::string_view bits = reply.Fields[kStatusBitsField - 1];
    if (!isBitField(bits))
        return std::nullopt;
    reply.ChargeOn = bits[kChargeOnBit] - '0';
    reply.SolarCharging = bits[kSolarChargingBit] - '0';
    reply.LineCharging = bits[kLineChargingBit] - '0';
    return reply;
}

} // namespace quorvane
