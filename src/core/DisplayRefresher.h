#pragma once

namespace quorvane {

// The display refresh: the panels' texts and the main page taken from the readings as they
// stand, and published. Called on the core thread by whoever just changed what is shown
// (a connect, the supervisor tick, a web form).
class DisplayRefresher {
public:
    virtual ~DisplayRefresher() = default;
    virtual void RefreshDisplay() = 0;
};

} // namespace quorvane
