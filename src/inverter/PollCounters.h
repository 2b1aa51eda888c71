#pragma once

#include <cstdint>

namespace quorvane {

// How the main-values polls went since the program started, for monitoring: every request
// that went out ends as accepted or as one rejection reason.
struct PollCounters {
    std::uint64_t Requests = 0;   // main-values requests written to the inverter
    std::uint64_t Accepted = 0;   // replies taken as the new readings
    std::uint64_t SendFailed = 0; // requests that could not be written
    std::uint64_t NoReply = 0;    // nothing came back in time
    std::uint64_t BadFrame = 0;   // bytes came back, but no frame with a valid CRC
    std::uint64_t Refused = 0;    // the inverter answered "(NAK"
    std::uint64_t Malformed = 0;  // a valid frame whose fields are no main values
    std::uint64_t Reconnects = 0; // times the inverter was reached again after the link was lost

    bool operator==(const PollCounters&) const = default;
};

} // namespace quorvane
