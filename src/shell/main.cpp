// quorvane: the desktop program. The core runs on its own thread; this thread shows it.
//
// On a machine without a display it runs on Qt's offscreen platform; with QUORVANE_ECHO_MEMO=1
// every event line is also written to standard output, so a terminal can follow it.
#include "app/CoreHost.h"
#include "app/MemoEcho.h"
#include "app/ProcessSignals.h"
#include "core/Clock.h"
#include "core/ThreadHandover.h"
#include "inverter/DeviceOpener.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxNotifier.h"
#include "shell/Style.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <memory>

using namespace quorvane;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MakeQtHandoversVisibleToRaceChecker();
    QApplication application(argc, argv);
    application.setApplicationName("Quorvane");
    application.setQuitOnLastWindowClosed(false);
    ApplyAmethystKamri(application);

    SystemClock clock;
    DeviceOpener opener; // serial lines and USB-HID devices alike
    MessageBoxNotifier notifier;
    CoreApp::Options options;
    options.SettingsPath = SettingsFilePath(QCoreApplication::applicationFilePath().toStdString());
    options.LogBase = QDir::currentPath().toStdString();
    CoreHost host(options, clock, opener, notifier);
    TForm1 window(host, notifier);

    // The end of the session, SIGTERM and SIGINT close without asking, so the day's logs and
    // the totals are written.
    ProcessSignals stopSignals(false);
    // An open question (one the core waits for) is answered No first, so the core is free to close.
    const auto closeWithoutAsking = [&window, &notifier] {
        notifier.CancelQuestions();
        window.CloseWithoutAsking();
    };
    QObject::connect(&stopSignals, &ProcessSignals::stopRequested, &window, closeWithoutAsking);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window, closeWithoutAsking);
    QObject::connect(&window, &TForm1::closedForGood, &application, &QApplication::quit);

    std::unique_ptr<MemoEcho> echo;
    QObject::connect(&host, &CoreHost::ready, &window, [&window, &echo](CoreApp* core) {
        // The echo listens before the window is attached: attaching sets the core going (the
        // memo republished, the automatic connect), and no line may pass before it listens.
        if (qEnvironmentVariableIntValue("QUORVANE_ECHO_MEMO") == 1) {
            echo = std::make_unique<MemoEcho>(*core, stdout);
            std::printf("Live page: http://localhost:%d/\n", core->LivePagePort());
            std::fflush(stdout);
        }
        window.Attach(core);
    });
    window.show();
    host.Start();
    return application.exec();
}
