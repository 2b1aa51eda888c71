// quorvaned: Quorvane without a window, for a machine that runs it as a service. The same core
// as the desktop program, on its own thread; this thread only starts it, relays the process's
// signals to it and tells systemd how it is doing.
#include "app/CoreHost.h"
#include "app/MemoEcho.h"
#include "app/ProcessSignals.h"
#include "core/Clock.h"
#include "core/ThreadHandover.h"
#include "daemon/DaemonOptions.h"
#include "daemon/InstanceLock.h"
#include "daemon/ServiceManager.h"
#include "daemon/StandardErrorNotifier.h"
#include "inverter/DeviceOpener.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace quorvane;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 1;

} // namespace

int main(int argc, char** argv)
{
    MakeQtHandoversVisibleToRaceChecker();
    QCoreApplication application(argc, argv);
    application.setApplicationName("quorvaned");

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const DaemonOptions options = DaemonOptions::Parse(arguments, QCoreApplication::applicationFilePath().toStdString(),
                                                       QDir::currentPath().toStdString());
    if (!options.Error.empty()) {
        std::fprintf(stderr, "quorvaned: %s\nTry 'quorvaned --help'.\n", options.Error.c_str());
        return kExitUsage;
    }
    if (options.ShowHelp) {
        std::fputs(DaemonUsage().c_str(), stdout);
        return 0;
    }
    if (options.ShowVersion) {
        std::printf("quorvaned %s\n", QUORVANE_VERSION_TEXT);
        return 0;
    }
    const InstanceLock lock(options.SettingsPath);
    if (!lock.Held()) {
        std::fprintf(stderr, "quorvaned: not started: %s\n", lock.Problem().c_str());
        return kExitCannotStart;
    }

    SystemClock clock;
    DeviceOpener opener; // serial lines and USB-HID devices alike
    StandardErrorNotifier person;
    CoreApp::Options coreOptions;
    coreOptions.SettingsPath = options.SettingsPath;
    coreOptions.LogBase = options.LogBase;
    CoreHost host(coreOptions, clock, opener, person);
    ServiceManager service;
    ProcessSignals processSignals(true);
    std::unique_ptr<MemoEcho> echo;

    QObject::connect(&host, &CoreHost::ready, &application, [&](CoreApp* core) {
        // Everything listens before the core begins, so no line and no tick passes unseen.
        echo = std::make_unique<MemoEcho>(*core, stdout);
        if (const int port = core->LivePagePort(); port != 0)
            std::printf("Live page: http://localhost:%d/\n", port);
        std::fflush(stdout);
        QObject::connect(core, &CoreApp::begun, &application, [&service](int port) {
            service.Ready(port != 0 ? "Running; live page on port " + std::to_string(port) : "Running; no web server");
        }, Qt::QueuedConnection);
        // The watchdog is kept alive by the core thread's heartbeat: a core that hangs stops it.
        QObject::connect(core, &CoreApp::ticked, &application, [&service] { service.Alive(); }, Qt::QueuedConnection);
        QObject::connect(core, &CoreApp::closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
        host.Begin();
    });
    bool closing = false;
    QObject::connect(&processSignals, &ProcessSignals::stopRequested, &application, [&] {
        if (std::exchange(closing, true))
            return;
        service.Stopping();
        host.Close();
    });
    QObject::connect(&processSignals, &ProcessSignals::reloadRequested, &host, [&host] { host.ReloadSettings(); });

    host.Start();
    return application.exec();
}
