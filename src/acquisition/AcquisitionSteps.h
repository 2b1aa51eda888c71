#pragma once

#include "inverter/InverterQueries.h"

#include <atomic>

namespace quorvane {

// What the acquisition thread reads between hand-offs. Set on the core thread.
struct AcquisitionControl {
    // Set on disconnect: the thread finishes its cycle and its pause, then waits.
    std::atomic<bool> HoldAcquisition{true};
    // "Read variables only when requested by web": the thread waits after every cycle until
    // a page request wakes it.
    std::atomic<bool> ReqByWeb{false};
    // The measuring interval (Timer1's): the pause between two cycles.
    std::atomic<int> IntervalMs{1000};
};

// The steps of one acquisition cycle. Every one runs on the core thread, handed over by the
// acquisition thread, which waits until it is done. Each purge of the port is the first
// action of the step that follows it, so it never falls inside another exchange.
class AcquisitionSteps {
public:
    virtual ~AcquisitionSteps() = default;
    virtual void PurgeAndQueryMainValues() = 0;
    virtual void PurgeAndQueryMode() = 0;
    // The second PV input, of a unit that has one.
    virtual void PurgeAndQuerySecondPv() = 0;
    virtual void ComputeValues() = 0;
    // Stamps a cycle that produced both values and mode.
    virtual void StampReading() = 0;
    // The warning status, when it is due (it keeps its own, slower pace).
    virtual void QueryWarnings() = 0;
    virtual void ServePriority(OutputPriority priority) = 0;
    // Purge, rated information, and the "Status" button enabled again.
    virtual void PurgeAndQueryRatedInfo() = 0;
    // The oldest queued charger or battery setting: sent, acknowledged, read back.
    virtual void ServeChargerSetting() = 0;
    // A connection was made and its first cycle is next: what a unit refused before may be
    // asked again.
    virtual void LinkOpened() = 0;
};

} // namespace quorvane
