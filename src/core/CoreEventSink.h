#pragma once

#include <string>

namespace quorvane {

// The moments the core recognises as events, beside the memo lines and mails that word them.
enum class CoreEventKind {
    LineFault,         // the line has been away for the absence threshold
    LineRestored,      // the line is back
    SwitchedToBattery, // the inverter went from line (bypass) to battery
    SwitchedToLine,    // and back
    ConnectionLost,    // the port went away or the inverter stopped answering, once until it is back
    Connected,         // a connect succeeded (by hand, at start, by the automatic reconnect),
                       // or the inverter answers again after ConnectionLost without one
    DayChanged,        // the supervisor tick closed the day that ended
    WarningOn,         // the inverter reports a warning, steadily (the event names which)
    WarningOff,        // and no longer
    FaultOn,           // the inverter reports a fault
    FaultOff,          // and no longer
};

// Told of each event the moment a lower layer recognises it; the composition root stamps the
// time and publishes it. The parts that report keep working without one (a null sink).
// Thread ownership: called on the core thread only.
class CoreEventSink {
public:
    virtual ~CoreEventSink() = default;
    virtual void Report(CoreEventKind kind) = 0;
    // A warning or fault that turned on or off; `condition` is its stable id ("battery_low").
    virtual void ReportCondition(CoreEventKind kind, const std::string& condition) = 0;
};

} // namespace quorvane
