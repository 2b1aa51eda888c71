// bench_footprint: the desktop program running offscreen, then the program without a window,
// each connected to the simulator at a 1-second measuring interval for a while (60 s unless
// told otherwise): its resident memory and the processor time it used.
//
//   bench_footprint QUORVANE_PATH QUORVANED_PATH [SECONDS]
//
// Last lines: footprint cpu_pct C rss_mb M
//             footprint_headless cpu_pct C rss_mb M
#include "PtyInverter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

using namespace quorvane;

namespace {

// User plus system time of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            user = std::stoul(field);
        if (i == 15)
            system = std::stoul(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double residentMegabytes(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

struct Footprint {
    double cpuPercent = 0;
    double residentMb = 0;
};

// Runs `program` (copied into a folder of its own with its settings file beside it) against a
// fresh simulator for `seconds` of steady state; nothing when it did not start.
std::optional<Footprint> measure(const QString& executable, bool headless, int seconds)
{
    sim::InverterModel model;
    sim::PtyInverter inverter(model);
    QTemporaryDir folder;
    const QString name = QFileInfo(executable).fileName();
    const QString program = folder.filePath(name);
    QFile::copy(executable, program);
    QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner);
    const QString settings = folder.filePath("quorvane.INI");
    std::ofstream(settings.toStdString())
        << "[Main]\nAutoSearch=0\nAutoConnect=1\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1=" << inverter.DevicePath()
        << "\n";

    QProcess quorvane;
    quorvane.setWorkingDirectory(folder.path());
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    quorvane.setProcessEnvironment(environment);
    quorvane.setStandardOutputFile(QProcess::nullDevice());
    quorvane.start(program, headless ? QStringList{"--config", settings, "--log-dir", folder.path()} : QStringList{});
    if (!quorvane.waitForStarted(10000))
        return std::nullopt;
    QThread::sleep(5); // start-up and connection are not the steady state
    const double cpuBefore = cpuSeconds(quorvane.processId());
    QThread::sleep(static_cast<unsigned long>(seconds));
    const double cpu = cpuSeconds(quorvane.processId()) - cpuBefore;
    const double rss = residentMegabytes(quorvane.processId());
    const auto commands = model.ReceivedCommands().size();
    quorvane.terminate();
    quorvane.waitForFinished(30000);

    std::printf("%s, %d s connected: %.2f s of processor time, %zu commands answered, %.1f MB resident\n",
                name.toUtf8().constData(), seconds, cpu, commands, rss);
    return Footprint{100.0 * cpu / seconds, rss};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_footprint QUORVANE_PATH QUORVANED_PATH [SECONDS]\n");
        return 2;
    }
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    const auto desktop = measure(argv[1], false, seconds);
    const auto headless = measure(argv[2], true, seconds);
    if (!desktop || !headless)
        return 1;
    std::printf("footprint cpu_pct %.2f rss_mb %.1f\n", desktop->cpuPercent, desktop->residentMb);
    std::printf("footprint_headless cpu_pct %.2f rss_mb %.1f\n", headless->cpuPercent, headless->residentMb);
    return 0;
}
