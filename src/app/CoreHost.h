#pragma once

#include "app/CoreApp.h"
#include "app/CoreCommandQueue.h"
#include "mqtt/MqttService.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace quorvane {

// Runs the core on its own thread: the core thread, a Qt event loop that owns the CoreApp and
// everything in it. The host lives on the thread that made it (the GUI thread) and never waits
// for the core thread, except at the very end, to let the core go. It is the core's command
// face: each command is queued to the core thread. It also runs the MQTT publisher, the
// front end for brokers, which follows the core as the window does.
class CoreHost final : public QObject, public CoreCommandQueue {
    Q_OBJECT
public:
    CoreHost(CoreApp::Options options, const Clock& clock, SerialOpener& opener, UserNotifier& person,
             QObject* parent = nullptr);
    ~CoreHost() override;

    // Builds the core on the core thread; `ready` follows on this thread.
    void Start();
    // Runs `action` on the core thread, after the actions posted before it. An error that
    // escapes it is discarded: the action just stops. Then the snapshot is published.
    void Post(std::function<void(CoreApp&)> action) override;

    [[nodiscard]] CoreApp* Core() const { return m_core; }

signals:
    void ready(quorvane::CoreApp* core);

private:
    CoreApp::Options m_options;
    const Clock& m_clock;
    SerialOpener& m_opener;
    UserNotifier& m_person;
    QThread m_thread;
    QObject* m_home = nullptr; // lives on the core thread: the context of everything posted there
    CoreApp* m_core = nullptr; // owned; built and destroyed on the core thread
    std::unique_ptr<MqttService> m_mqtt; // a front end of the core, on its own thread
};

} // namespace quorvane
