#pragma once

#include <optional>
#include <string_view>

namespace quorvane {

// The second PV input of a dual-tracker unit, as its reply to "QPIGS2" gives it:
//   "(" current voltage power, e.g. "(01.0 202.0 00205" - 1.0 A at 202.0 V, 205 W of charging.
// Units with one input refuse the query.
struct SecondPvReading {
    double CurrentA = 0.0;
    double VoltageV = 0.0;
    double ChargingPowerW = 0.0;

    bool operator==(const SecondPvReading&) const = default;
};

// None unless the payload starts with three plain numbers (more fields may follow).
[[nodiscard]] std::optional<SecondPvReading> DecodeSecondPv(std::string_view payload);

} // namespace quorvane
