#include "app/CoreHost.h"

namespace quorvane {

CoreHost::CoreHost(CoreApp::Options options, const Clock& clock, SerialOpener& opener, UserNotifier& person,
                   QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_clock(clock), m_opener(opener), m_person(person)
{
    qRegisterMetaType<quorvane::CoreSnapshot>();
    m_thread.setObjectName("core");
    m_home = new QObject;
    m_home->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_home, &QObject::deleteLater);
    m_thread.start();
}

CoreHost::~CoreHost()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(
            m_home, [this] { delete m_core; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
}

void CoreHost::Start()
{
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
    QMetaObject::invokeMethod(
        m_home,
        [this, action = std::move(action)] {
            if (m_core != nullptr) {
                action(*m_core);
                m_core->PublishSnapshot();
            }
        },
        Qt::QueuedConnection);
}

} // namespace quorvane
