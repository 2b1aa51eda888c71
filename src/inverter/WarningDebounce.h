#pragma once

#include "inverter/WarningStatus.h"

#include <vector>

namespace quorvane {

// The conditions that turned on and off at one reading, in bit order.
struct WarningChanges {
    std::vector<WarningCondition> TurnedOn;
    std::vector<WarningCondition> TurnedOff;

    [[nodiscard]] bool Empty() const { return TurnedOn.empty() && TurnedOff.empty(); }
};

// Steadies the warning-status readings: a bit counts as on once it was set in two readings in
// a row, and as off once it was clear in two readings in a row, so a single odd reading never
// makes an event. Owned by the thread that reads the inverter; not shared.
class WarningDebounce {
public:
    // Takes the next reading and says what changed with it.
    WarningChanges Feed(const WarningStatus& reading);
    // The conditions that count as on now, as the latest reading reports them (a warning that
    // turned into a fault shows as a fault).
    [[nodiscard]] const WarningStatus& Active() const { return m_active; }
    // Forgets every reading and every condition, without events: after a reconnect the next
    // two readings decide afresh.
    void Reset();
    // Forgets the readings but keeps what is active: the next two readings decide afresh, and
    // a condition they still show makes no second event.
    void ForgetReadings();

private:
    WarningStatus m_previous;
    bool m_hasPrevious = false;
    WarningStatus m_active;
};

} // namespace quorvane
