#pragma once

#include "config/Settings.h"
#include "inverter/HidrawDirectory.h"
#include "inverter/InverterQueries.h" // OutputPriority

#include <functional>
#include <string>
#include <vector>

class QObject;

namespace quorvane {

// Everything a front end (the window, a program without a window, a remote client) may ask of
// the core. A call returns at once: the command is queued to the core thread and runs there,
// after the commands queued before it; what it changes reaches the front end as the core
// publishes it. Answers that are values come back through `done`, run on the main thread (where
// `context` lives), and are dropped when `context` is gone by then.
// Thread safety: every function may be called from any thread.
class CoreCommands {
public:
    virtual ~CoreCommands() = default;

    // The front end listens now: everything it shows is published once more, and at the first
    // call the core runs its start-up policy (the automatic connection the settings ask for).
    virtual void Begin() = 0;
    // "Connect" / "Disconnect", whichever the link's state offers.
    virtual void ToggleConnection() = 0;
    // "Check": asks the inverter whether it is still there.
    virtual void CheckConnection() = 0;
    // "Status": the inverter's output priority, read at the next cycle.
    virtual void RequestStatus() = 0;
    // "set UTI", "set SOL", "set SBU": applied at the next cycle.
    virtual void SetOutputPriority(OutputPriority priority) = 0;
    virtual void SetTestMode(bool on) = 0;
    // The window's "Read variables only when requested by web" box was clicked to `ticked`.
    virtual void RequestedByWebClicked(bool ticked) = 0;
    // Ticks or clears that box; its handler runs only when its state changes.
    virtual void SetRequestedByWeb(bool ticked) = 0;
    // "Clear>>": the event memo is cleared once the person confirms.
    virtual void ClearMemo() = 0;
    // The settings dialog's OK or Apply: `edited` becomes the applied settings and is saved.
    virtual void ApplySettings(const TDati& edited) = 0;
    // The settings file is read again and applied, as at start.
    virtual void ReloadSettings() = 0;
    // "Display all errors on log".
    virtual void SetShowAllErrors(bool show) = 0;
    // "Disable HTTP" (the negation): starts or stops the web server at once.
    virtual void SetServerEnabled(bool enabled) = 0;
    virtual void SendTestMail() = 0;
    // A line for the event memo from the front end itself.
    virtual void NoteEvent(const std::string& line) = 0;
    // The close sequence: one last cycle, the timers stop, the port closes, the logs and the
    // totals are written one last time. The core says `closed` when done.
    virtual void Close() = 0;

    virtual void FetchSettings(QObject* context, std::function<void(const TDati&)> done) = 0;
    virtual void ListHidDevices(QObject* context, std::function<void(const std::vector<HidrawDevice>&)> done) = 0;
};

} // namespace quorvane
