#pragma once

#include "face/CoreCommands.h"

#include <functional>

namespace quorvane {

class CoreApp;

// The command face over a way to run work on the core thread: each command becomes one
// action on the CoreApp, queued behind the actions before it. The host posts to the core it
// owns; the core posts to itself for its own web front end.
// Thread safety: every function may be called from any thread, as Post may.
class CoreCommandQueue : public CoreCommands {
public:
    // Runs `action` on the core thread, after the actions posted before it. An error that
    // escapes it is discarded: the action just stops. Then the snapshot is published.
    virtual void Post(std::function<void(CoreApp&)> action) = 0;

    void Begin() override;
    void ToggleConnection() override;
    void CheckConnection() override;
    void RequestStatus() override;
    void SetOutputPriority(OutputPriority priority) override;
    void ChangeChargerSetting(ChargerSetting setting, double value) override;
    void SetTestMode(bool on) override;
    void RequestedByWebClicked(bool ticked) override;
    void SetRequestedByWeb(bool ticked) override;
    void ClearMemo() override;
    void ApplySettings(const TDati& edited) override;
    void ReloadSettings() override;
    void SetShowAllErrors(bool show) override;
    void SetServerEnabled(bool enabled) override;
    void SendTestMail() override;
    void NoteEvent(const std::string& line) override;
    void Close() override;
    void ApplyTimerForm(const TimerFormPost& post, const std::string& client, QObject* context,
                        std::function<void(bool invalidTime)> done) override;
    void SwitchOutputs(const std::array<bool, 8>& requested, const std::string& client) override;
    void RecordPageRequests(std::vector<ClientPageRequests> requests) override;
    void FetchSettings(QObject* context, std::function<void(const TDati&)> done) override;
    void ListHidDevices(QObject* context, std::function<void(const std::vector<HidrawDevice>&)> done) override;
    void FetchMemoLines(QObject* context, std::function<void(const std::vector<std::string>&)> done) override;
    void FetchDayHistory(QDate day, std::size_t maxPoints, QObject* context, std::function<void(const DayHistory&)> done) override;
    void FetchMonthHistory(QDate dayInMonth, QObject* context, std::function<void(const MonthHistory&)> done) override;
};

} // namespace quorvane
