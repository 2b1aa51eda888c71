#pragma once

namespace quorvane {

// The switches every inverter query looks at before it touches the port.
// Thread ownership: the core thread.
struct LinkState {
    // The connection state shown by the "Connect"/"Disconnect" caption.
    bool LinkConnected = false;
    // The "Test mode" box: queries make up plausible values and never touch the port.
    bool Test = false;
    // "Display all errors on log ": lets the link's error lines into the memo.
    bool ShowAllErrors = false;
    // The applied measuring-interval setting (index 0..7); sets the line-absence threshold.
    int MeasTimeIndex = 0;
};

} // namespace quorvane
