// quorvane: the desktop program. The core runs on its own thread; this thread shows it.
//
// On a machine without a display it runs on Qt's offscreen platform; with QUORVANE_ECHO_MEMO=1
// every event line is also written to standard output, so a terminal can follow it.
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "inverter/PosixSerialPort.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxNotifier.h"
#include "shell/Style.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
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
    QApplication application(argc, argv);
    application.setApplicationName("Quorvane");
    application.setQuitOnLastWindowClosed(false);
    ApplyAmethystKamri(application);

    SystemClock clock;
    PosixSerialOpener opener;
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
    QObject::connect(&stopSignals, &QSocketNotifier::activated, &window, [&window] { window.CloseWithoutAsking(); });
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGINT, onStopSignal);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window, [&window] { window.CloseWithoutAsking(); });
    QObject::connect(&window, &TForm1::closedForGood, &application, &QApplication::quit);

    QObject::connect(&host, &CoreHost::ready, &window, [&window](CoreApp* core) {
        window.Attach(core);
        if (qEnvironmentVariableIntValue("QUORVANE_ECHO_MEMO") == 1) {
            QObject::connect(&core->Memo(), &EventMemo::linesAppended, &window, [](qsizetype, const QStringList& lines) {
                for (const QString& line : lines)
                    std::printf("%s\n", line.toUtf8().constData());
                std::fflush(stdout);
            }, Qt::QueuedConnection);
            const QString page = "http://localhost:" + QString::number(core->WebServer().Port()) + "/";
            std::printf("Live page: %s\n", page.toUtf8().constData());
            std::fflush(stdout);
        }
    });
    window.show();
    host.Start();
    return application.exec();
}
