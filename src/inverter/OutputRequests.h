#pragma once

#include <atomic>

namespace quorvane {

// The requests behind the buttons "set SBU", "set UTI", "set SOL" and "Status" and the
// buttons' enabled state. A button press sets its flag and disables the button; the
// acquisition cycle serves the flag and the served step enables the button again.
//
// Thread ownership: the flags are set on the core thread and read and cleared by the
// acquisition thread between hand-offs, hence atomic; the enabled states are core-thread
// state the window shows.
struct OutputRequests {
    std::atomic<bool> SetSbuRequest{false};
    std::atomic<bool> SetUtiRequest{false};
    std::atomic<bool> SetSolRequest{false};
    std::atomic<bool> StatusRequest{false};
    // A charger or battery setting is queued; the served step clears it when none is left.
    std::atomic<bool> ChargerSettingRequest{false};

    bool Button5Enabled = true; // "set SBU"
    bool Button6Enabled = true; // "set SOL"
    bool Button7Enabled = true; // "set UTI"
    bool Button8Enabled = true; // "Status"

    void Button5Click() { SetSbuRequest = true; Button5Enabled = false; }
    void Button6Click() { SetSolRequest = true; Button6Enabled = false; }
    void Button7Click() { SetUtiRequest = true; Button7Enabled = false; }
    void Button8Click() { StatusRequest = true; Button8Enabled = false; }
};

} // namespace quorvane
