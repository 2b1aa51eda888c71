#pragma once

// A command face that does nothing: fakes derive from it and override what their test looks at.
#include "face/CoreCommands.h"

#include <QDate>
#include <QObject>

namespace quorvane::testsupport {

class NullCoreCommands : public CoreCommands {
public:
    void Begin() override {}
    void ToggleConnection() override {}
    void CheckConnection() override {}
    void RequestStatus() override {}
    void SetOutputPriority(OutputPriority) override {}
    void ChangeChargerSetting(ChargerSetting, double) override {}
    void SetTestMode(bool) override {}
    void RequestedByWebClicked(bool) override {}
    void SetRequestedByWeb(bool) override {}
    void ClearMemo() override {}
    void ApplySettings(const TDati&) override {}
    void ReloadSettings() override {}
    void SetShowAllErrors(bool) override {}
    void SetServerEnabled(bool) override {}
    void SendTestMail() override {}
    void NoteEvent(const std::string&) override {}
    void Close() override {}
    void ApplyTimerForm(const TimerFormPost&, const std::string&, QObject*, std::function<void(bool)>) override {}
    void SwitchOutputs(const std::array<bool, 8>&, const std::string&) override {}
    void RecordPageRequests(std::vector<ClientPageRequests>) override {}
    void FetchSettings(QObject*, std::function<void(const TDati&)>) override {}
    void ListHidDevices(QObject*, std::function<void(const std::vector<HidrawDevice>&)>) override {}
    void FetchMemoLines(QObject*, std::function<void(const std::vector<std::string>&)>) override {}
    void FetchDayHistory(QDate, std::size_t, QObject*, std::function<void(const DayHistory&)>) override {}
    void FetchMonthHistory(QDate, QObject*, std::function<void(const MonthHistory&)>) override {}

protected:
    // Answers on `context`'s thread, after the work queued before, as the core does.
    template <typename Done, typename Value>
    static void answerLater(QObject* context, Done done, Value value)
    {
        QMetaObject::invokeMethod(
            context, [done = std::move(done), value = std::move(value)] { done(value); }, Qt::QueuedConnection);
    }
};

} // namespace quorvane::testsupport
