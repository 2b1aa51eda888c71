#include "mqtt/MqttService.h"

#include "core/ThreadHandover.h"

#include <future>

namespace quorvane {

MqttService::MqttService(CoreCommands& core, std::string settingsPath)
    : m_publisher(new MqttPublisher(core, std::move(settingsPath)))
{
    qRegisterMetaType<quorvane::MqttSettings>();
    qRegisterMetaType<quorvane::CoreState>();
    qRegisterMetaType<quorvane::CoreEvent>();
    m_thread.setObjectName("mqtt");
    m_publisher->moveToThread(&m_thread);
    m_thread.start();
}

MqttService::~MqttService()
{
    // The end is handed back through a promise rather than Qt's blocking call, so that race
    // checkers see what the publisher did happen before this thread goes on.
    std::promise<void> gone;
    AnnounceHandover();
    QMetaObject::invokeMethod(
        m_publisher,
        [this, &gone] {
            m_publisher->Shutdown();
            delete m_publisher;
            gone.set_value();
        },
        Qt::QueuedConnection);
    gone.get_future().wait();
    m_thread.quit();
    m_thread.wait();
}

} // namespace quorvane
