#pragma once

#include <QTime>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quorvane {

// The web Timer form as a client posted it.
struct TimerFormPost {
    std::array<bool, 4> Enabled{}; // C1TA..C4TD = "ON", timers A..D
    // Per timer: nothing when neither of its fields was posted; otherwise both times, or no
    // value when either is not a valid hh.mm.ss.
    std::array<std::optional<std::optional<std::pair<QTime, QTime>>>, 4> Times;
};

// One client's main-page requests since they were last recorded.
struct ClientPageRequests {
    std::string Address;
    std::string Stamp; // of the client's last request
    std::int64_t Count = 0;
};

} // namespace quorvane
