#include "app/CoreHost.h"

#include "core/ThreadHandover.h"

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
    m_mqtt = std::make_unique<MqttService>(*this, m_options.SettingsPath);
}

CoreHost::~CoreHost()
{
    // The publisher commands the core: it goes first.
    m_mqtt.reset();
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
            MqttPublisher* mqtt = m_mqtt->Publisher();
            connect(m_core, &CoreApp::mqttSettingsApplied, mqtt, &MqttPublisher::ApplySettings);
            connect(m_core, &CoreApp::stateUpdated, mqtt, &MqttPublisher::TakeState);
            connect(m_core, &CoreApp::eventOccurred, mqtt, &MqttPublisher::TakeEvent);
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
            if (m_core != nullptr)
                m_core->RunCommand(action);
        },
        Qt::QueuedConnection);
}

} // namespace quorvane
