#include "app/CoreCommandQueue.h"

#include "app/CoreApp.h"
#include "core/LocaleFormats.h"
#include "core/ThreadHandover.h"
#include "records/LogHistory.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

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

// Reads with `read` on a worker of the global pool, once the core told where its logs are and
// in which locale; the value reaches `done` on the main thread, where `context` lives, unless
// `context` is gone by then. The worker keeps its own formats: the core may end before it does.
template <typename Value>
void readOnWorker(CoreCommandQueue& queue, QObject* context,
                  std::function<Value(const std::string& logBase, const LocaleFormats& formats)> read,
                  std::function<void(const Value&)> done)
{
    queue.Post([target = QPointer<QObject>(context), read = std::move(read), done = std::move(done)](CoreApp& core) {
        QThreadPool::globalInstance()->start(
            [target, read, done, logBase = core.LogBase(), localeName = core.LocaleName()] {
                const LocaleFormats formats(localeName);
                Value value = read(logBase, formats);
                AnnounceHandover();
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [target, done, value = std::move(value)] {
                        if (target)
                            done(value);
                    },
                    Qt::QueuedConnection);
            });
    });
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

void CoreCommandQueue::FetchDayHistory(QDate day, std::size_t maxPoints, QObject* context,
                                       std::function<void(const DayHistory&)> done)
{
    readOnWorker<DayHistory>(
        *this, context,
        [day, maxPoints](const std::string& logBase, const LocaleFormats& formats) {
            return ReadDayHistoryFiles(logBase, day, formats, maxPoints);
        },
        std::move(done));
}

void CoreCommandQueue::FetchMonthHistory(QDate dayInMonth, QObject* context,
                                         std::function<void(const MonthHistory&)> done)
{
    readOnWorker<MonthHistory>(
        *this, context,
        [dayInMonth](const std::string& logBase, const LocaleFormats& formats) {
            return ReadMonthHistoryFile(logBase, dayInMonth, formats);
        },
        std::move(done));
}

} // namespace quorvane
