#pragma once

#include "config/Settings.h"
#include "face/WebRequests.h"
#include "inverter/HidrawDirectory.h"
#include "inverter/ChargerSettings.h"
#include "inverter/InverterQueries.h" // OutputPriority

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QDate;
class QObject;

namespace quorvane {

struct DayHistory;
struct MonthHistory;

// Everything a front end (the window, a program without a window, a remote client) may ask of
// the core. A call returns at once: the command is queued to the core thread and runs there,
// after the commands queued before it; what it changes reaches the front end as the core
// publishes it. Answers that are values come back through `done`, run on the thread of
// `context` (the main thread or the core thread), and are dropped when `context` is gone by then.
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
    // One of the inverter's charger or battery settings (a choice's code, amperes or volts):
    // refused with its reason when the unit would not take it, else sent once the person
    // confirms, at the next cycle; the outcome is a memo line.
    virtual void ChangeChargerSetting(ChargerSetting setting, double value) = 0;
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

    // What a web client may ask, once the web front end let it. An authorised Timer form:
    // the timers' states and times are set and saved and the memo names `client`;
    // `done(invalidTime)` says whether a time was no valid hh.mm.ss.
    virtual void ApplyTimerForm(const TimerFormPost& post, const std::string& client, QObject* context,
                                std::function<void(bool invalidTime)> done) = 0;
    // An authorised command form: the outputs no timer drives take the requested states, and
    // the memo names `client`.
    virtual void SwitchOutputs(const std::array<bool, 8>& requested, const std::string& client) = 0;
    // Main-page requests, one memo line per client; in requested-by-web mode they wake the
    // acquisition for one cycle.
    virtual void RecordPageRequests(std::vector<ClientPageRequests> requests) = 0;

    virtual void FetchSettings(QObject* context, std::function<void(const TDati&)> done) = 0;
    virtual void ListHidDevices(QObject* context, std::function<void(const std::vector<HidrawDevice>&)> done) = 0;
    // The event memo's lines, oldest first.
    virtual void FetchMemoLines(QObject* context, std::function<void(const std::vector<std::string>&)> done) = 0;
    // A day's logs, each series thinned to about `maxPoints`, or the energy log of the month of
    // `dayInMonth`, read back as chart series on a worker thread (neither the core's nor the
    // asker's: both go on meanwhile). Here `context` lives on the main thread.
    virtual void FetchDayHistory(QDate day, std::size_t maxPoints, QObject* context,
                                 std::function<void(const DayHistory&)> done) = 0;
    virtual void FetchMonthHistory(QDate dayInMonth, QObject* context,
                                   std::function<void(const MonthHistory&)> done) = 0;
};

} // namespace quorvane
