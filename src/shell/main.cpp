// quorvane: the desktop program. The core runs on its own thread; this thread shows it.
//
// On a machine without a display it runs on Qt's offscreen platform; with QUORVANE_ECHO_MEMO=1
// every event line is also written to standard output, so a terminal can follow it.
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "core/ThreadHandover.h"
#include "inverter/DeviceOpener.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxNotifier.h"
#include "shell/Style.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <utility>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvane;

namespace {

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

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
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe);
    QSocketNotifier stopSignals(g_signalPipe[0], QSocketNotifier::Read);
    // An open question (one the core waits for) is answered No first, so the core is free to close.
    const auto closeWithoutAsking = [&window, &notifier] {
        notifier.CancelQuestions();
        window.CloseWithoutAsking();
    };
    QObject::connect(&stopSignals, &QSocketNotifier::activated, &window, closeWithoutAsking);
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGINT, onStopSignal);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window, closeWithoutAsking);
    QObject::connect(&window, &TForm1::closedForGood, &application, &QApplication::quit);

    QObject::connect(&host, &CoreHost::ready, &window, [&window](CoreApp* core) {
        // The echo listens before the window is attached: attaching sets the core going (the
        // memo republished, the automatic connect), and no line may pass before it listens.
        if (qEnvironmentVariableIntValue("QUORVANE_ECHO_MEMO") == 1) {
            const auto echo = [](const QStringList& lines) {
                for (const QString& line : lines)
                    std::printf("%s\n", line.toUtf8().constData());
                std::fflush(stdout);
            };
            // The lines from before the window came (today's log, the start's notices) arrive
            // once, as the memo is republished for the window; then each new line.
            auto startEchoed = std::make_shared<bool>(false);
            QObject::connect(&core->Memo(), &EventMemo::reset, &window, [echo, startEchoed](const QStringList& lines) {
                if (!std::exchange(*startEchoed, true))
                    echo(lines);
            }, Qt::QueuedConnection);
            QObject::connect(&core->Memo(), &EventMemo::linesAppended, &window,
                             [echo](qsizetype, const QStringList& lines) { echo(lines); }, Qt::QueuedConnection);
            const QString page = "http://localhost:" + QString::number(core->WebServer().Port()) + "/";
            std::printf("Live page: %s\n", page.toUtf8().constData());
            std::fflush(stdout);
        }
        window.Attach(core);
    });
    window.show();
    host.Start();
    return application.exec();
}
