#include "app/CoreHost.h"

#include "core/ThreadHandover.h"

#include <QCoreApplication>
#include <QPointer>

#include <future>

namespace quorvane {

CoreHost::CoreHost(CoreApp::Options options, const Clock& clock, SerialOpener& opener, UserNotifier& person,
                   QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_clock(clock), m_opener(opener), m_person(person)
{
    qRegisterMetaType<quorvane::CoreSnapshot>();
    qRegisterMetaType<quorvane::CoreState>();
    qRegisterMetaType<quorvane::CoreEvent>();
    qRegisterMetaType<quorvane::LogListKind>();
    m_thread.setObjectName("core");
    m_home = new QObject;
    m_home->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_home, &QObject::deleteLater);
    m_thread.start();
}

CoreHost::~CoreHost()
{
    if (m_thread.isRunning()) {
        // The core's end is handed back through a promise rather than Qt's blocking call, so
        // that race checkers see everything the core thread did (to the port, the line, the
        // files) happen before the caller goes on to destroy what the core used.
        std::promise<void> coreGone;
        QMetaObject::invokeMethod(
            m_home,
            [this, &coreGone] {
                delete m_core;
                m_core = nullptr;
                coreGone.set_value();
            },
            Qt::QueuedConnection);
        coreGone.get_future().wait();
        m_thread.quit();
        m_thread.wait();
    }
}

void CoreHost::Start()
{
    AnnounceHandover();
    QMetaObject::invokeMethod(
        m_home,
        [this] {
            m_core = new CoreApp(m_options, m_clock, m_opener, m_person);
            QMetaObject::invokeMethod(this, [this] { emit ready(m_core); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CoreHost::Post(std::function<void(CoreApp&)> action)
{
    AnnounceHandover();
    QMetaObject::invokeMethod(
        m_home,
        [this, action = std::move(action)] {
            if (m_core == nullptr)
                return;
            try {
                action(*m_core);
            } catch (...) {
                // An error that escapes a handler is discarded; the handler just stops.
            }
            m_core->PublishSnapshot();
        },
        Qt::QueuedConnection);
}

namespace {

// Hands `value` to `done` on the main thread, unless `context` is gone by then. The call goes
// through the application object, which outlives every front end, and finds `context` there.
template <typename Value, typename Done>
void answer(const QPointer<QObject>& context, Value value, Done done)
{
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

void CoreHost::Begin()
{
    Post([](CoreApp& core) { core.Begin(); });
}

void CoreHost::ToggleConnection()
{
    Post([](CoreApp& core) { core.ToggleConnection(); });
}

void CoreHost::CheckConnection()
{
    Post([](CoreApp& core) { core.CheckConnection(); });
}

void CoreHost::RequestStatus()
{
    Post([](CoreApp& core) { core.RequestStatus(); });
}

void CoreHost::SetOutputPriority(OutputPriority priority)
{
    Post([priority](CoreApp& core) { core.SetOutputPriority(priority); });
}

void CoreHost::SetTestMode(bool on)
{
    Post([on](CoreApp& core) { core.TestClick(on); });
}

void CoreHost::RequestedByWebClicked(bool ticked)
{
    Post([ticked](CoreApp& core) { core.ReqByWebClick(ticked); });
}

void CoreHost::SetRequestedByWeb(bool ticked)
{
    Post([ticked](CoreApp& core) { core.SetReqByWebBox(ticked); });
}

void CoreHost::ClearMemo()
{
    Post([](CoreApp& core) { core.ClearMemo(); });
}

void CoreHost::ApplySettings(const TDati& edited)
{
    Post([edited](CoreApp& core) { core.ApplyEditedSettings(edited); });
}

void CoreHost::ReloadSettings()
{
    Post([](CoreApp& core) { core.ReloadSettings(); });
}

void CoreHost::SetShowAllErrors(bool show)
{
    Post([show](CoreApp& core) { core.SetShowAllErrors(show); });
}

void CoreHost::SetServerEnabled(bool enabled)
{
    Post([enabled](CoreApp& core) { core.SetServerEnabled(enabled); });
}

void CoreHost::SendTestMail()
{
    Post([](CoreApp& core) { core.SendTestMail(); });
}

void CoreHost::NoteEvent(const std::string& line)
{
    Post([line](CoreApp& core) { core.NoteEvent(line); });
}

void CoreHost::Close()
{
    Post([](CoreApp& core) { core.CloseSequence(); });
}

void CoreHost::FetchSettings(QObject* context, std::function<void(const TDati&)> done)
{
    Post([target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.Settings(), done);
    });
}

void CoreHost::ListHidDevices(QObject* context, std::function<void(const std::vector<HidrawDevice>&)> done)
{
    Post([target = QPointer<QObject>(context), done = std::move(done)](CoreApp& core) {
        answer(target, core.HidDevices(), done);
    });
}

} // namespace quorvane
