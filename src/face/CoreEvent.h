#pragma once

#include "core/CoreEventSink.h"

#include <QDateTime>
#include <QMetaType>

#include <string>

namespace quorvane {

// An event the core recognised, with the core clock's time at that moment. Front ends that
// act on events take this rather than reading the memo's lines.
// Thread ownership: a value; the core thread makes it, a copy travels to the front end.
struct CoreEvent {
    CoreEventKind Kind;
    QDateTime Time;
    // For warning and fault events: which condition, by its stable id ("over_temperature").
    std::string Condition{};

    bool operator==(const CoreEvent&) const = default;
};

// A stable lower-case identifier for integrations (topics, metric labels, JSON): it never
// changes with the wording of the memo and is not meant to be shown to a person.
[[nodiscard]] constexpr const char* EventName(CoreEventKind kind)
{
    switch (kind) {
    case CoreEventKind::LineFault:
        return "line_fault";
    case CoreEventKind::LineRestored:
        return "line_restored";
    case CoreEventKind::SwitchedToBattery:
        return "switched_to_battery";
    case CoreEventKind::SwitchedToLine:
        return "switched_to_line";
    case CoreEventKind::ConnectionLost:
        return "connection_lost";
    case CoreEventKind::Connected:
        return "connected";
    case CoreEventKind::DayChanged:
        return "day_changed";
    case CoreEventKind::WarningOn:
        return "warning_on";
    case CoreEventKind::WarningOff:
        return "warning_off";
    case CoreEventKind::FaultOn:
        return "fault_on";
    case CoreEventKind::FaultOff:
        return "fault_off";
    }
    return "unknown";
}

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::CoreEvent)
