// bench_footprint: the desktop program running offscreen, connected to the simulator at a
// 1-second measuring interval, for a while (60 s unless told otherwise): its resident memory
// and the processor time it used.
//
//   bench_footprint QUORVANE_PATH [SECONDS]
//
// Last line: footprint cpu_pct C rss_mb M
#include "PtyInverter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <cstdio>
#include <fstream>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_footprint QUORVANE_PATH [SECONDS]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    sim::InverterModel model;
    sim::PtyInverter inverter(model);
    QTemporaryDir folder;
    const QString program = folder.filePath("quorvane");
    QFile::copy(argv[1], program);
    QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner);
    std::ofstream(folder.filePath("quorvane.INI").toStdString())
        << "[Main]\nAutoSearch=0\nAutoConnect=1\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1=" << inverter.DevicePath()
        << "\n";

    QProcess quorvane;
    quorvane.setWorkingDirectory(folder.path());
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    quorvane.setProcessEnvironment(environment);
    quorvane.start(program, {});
    if (!quorvane.waitForStarted(10000))
        return 1;
    QThread::sleep(5); // start-up and connection are not the steady state
    const double cpuBefore = cpuSeconds(quorvane.processId());
    QThread::sleep(static_cast<unsigned long>(seconds));
    const double cpu = cpuSeconds(quorvane.processId()) - cpuBefore;
    const double rss = residentMegabytes(quorvane.processId());
    const auto commands = model.ReceivedCommands().size();
    quorvane.terminate();
    quorvane.waitForFinished(30000);

    const double cpuPercent = 100.0 * cpu / seconds;
    std::printf("%d s connected: %.2f s of processor time, %zu commands answered, %.1f MB resident\n", seconds, cpu,
                commands, rss);
    std::printf("footprint cpu_pct %.2f rss_mb %.1f\n", cpuPercent, rss);
    return 0;
}
