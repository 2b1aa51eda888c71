#include "app/CoreCommandQueue.h"

#include "app/CoreApp.h"
#include "core/ThreadHandover.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace quorvane {

namespace {

// Hands `value` to `done` on the thread of `context`, unless `context` is gone by then. Called
// on the core thread. A context on the core thread is reached directly: it cannot go away
// meanwhile, and a queued call to it is dropped when it does. One elsewhere (the main thread)
// is reached through the application object, which outlives every front end, and looked for
// there.
template <typename Value, typename Done>
void answer(const QPointer<QObject>& context, Value value, Done done)
{
    if (!context)
        return;
    if (context->thread() == QThread::currentThread()) {
        QMetaObject::invokeMethod(
            context.data(), [value = std::move(value), done = std::move(done)] { done(value); }, Qt::QueuedConnection);
        return;
    }
    AnnounceHandover();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [context, value = std::move(value), done = std::move(done)] {
            if (context)
                done(value);
        },
        Qt::QueuedConnection);
}

} // namespace

void CoreCommandQueue::Begin()
{
    Post([](CoreApp& core) { core.Begin(); });
}

void CoreCommandQueue::ToggleConnection()
{
    Post([](CoreApp& core) { core.ToggleConnection(); });
}

void CoreCommandQueue::CheckConnection()
{
    Post([](CoreApp& core) { core.CheckConnection(); });
}

void CoreCommandQueue::RequestStatus()
{
    Post([](CoreApp& core) { core.RequestStatus(); });
}

void CoreCommandQueue::ChangeChargerSetting(ChargerSetting setting, double value)
{
    Post([setting, value](CoreApp& core) { core.ChangeChargerSetting(setting, value, "the window"); });
}

void CoreCommandQueue::SetOutputPriority(OutputPriority priority)
{
    Post([priority](CoreApp& core) { core.SetOutputPriority(priority); });
}

void CoreCommandQueue::SetTestMode(bool on)
{
    Post([on](CoreApp& core) { core.TestClick(on); });
}

void CoreCommandQueue::RequestedByWebClicked(bool ticked)
{
    Post([ticked](CoreApp& core) { core.ReqByWebClick(ticked); });
}

void CoreCommandQueue::SetRequestedByWeb(bool ticked)
{
    Post([ticked](CoreApp& core) { core.SetReqByWebBox(ticked); });
}

void CoreCommandQueue::ClearMemo()
{
    Post([](CoreApp& core) { core.ClearMemo(); });
}

void CoreCommandQueue::ApplySettings(const TDati& edited)
{
    Post([edited](CoreApp& core) { core.ApplyEditedSettings(edited); });
}

void CoreCommandQueue::ReloadSettings()
{
    Post([](CoreApp& core) { core.ReloadSettings(); });
}

void CoreCommandQueue::SetShowAllErrors(bool show)
{
    Post([show](CoreApp& core) { core.SetShowAllErrors(show); });
}

void CoreCommandQueue::SetServerEnabled(bool enabled)
{
    Post([enabled](CoreApp& core) { core.SetServerEnabled(enabled); });
}

void CoreCommandQueue::SendTestMail()
{
    Post([](CoreApp& core) { core.SendTestMail(); });
}

void CoreCommandQueue::NoteEvent(const std::string& line)
{
    Post([line](CoreApp& core) { core.NoteEvent(line); });
}

void CoreCommandQueue::Close()
{
    Post([](CoreApp& core) { core.CloseSequence(); });
}

void CoreCommandQueue::ApplyTimerForm(const TimerFormPost& post, const std::string& client, QObject* context,
                                      std::function<void(bool invalidTime)> done)
{
    Post([post, client, target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.ApplyTimerForm(post, client), done);
    });
}

void CoreCommandQueue::SwitchOutputs(const std::array<bool, 8>& requested, const std::string& client)
{
    Post([requested, client](CoreApp& core) { core.SwitchOutputs(requested, client); });
}

void CoreCommandQueue::RecordPageRequests(std::vector<ClientPageRequests> requests)
{
    Post([requests = std::move(requests)](CoreApp& core) { core.RecordPageRequests(requests); });
}

void CoreCommandQueue::FetchSettings(QObject* context, std::function<void(const TDati&)> done)
{
    Post([target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.Settings(), done);
    });
}

void CoreCommandQueue::ListHidDevices(QObject* context,
                                      std::function<void(const std::vector<HidrawDevice>&)> done)
{
    Post([target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.HidDevices(), done);
    });
}

void CoreCommandQueue::FetchMemoLines(QObject* context, std::function<void(const std::vector<std::string>&)> done)
{
    Post([target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.MemoLines(), done);
    });
}

} // namespace quorvane
