// bench_web: wrk against the core's live page and against nginx serving the same bytes, 50
// connections for 10 s each, and the polling cycle (bench_cycle) idle and under that load;
// while wrk loads our page, 200 clients follow "/events" and the core publishes a state every
// 100 ms: each client must get every one.
//
//   bench_web BENCH_CYCLE_PATH
//
// Last line: web_ratio R p99_ms P nginx_rps N our_rps Q cycle_slowdown S sse_clients C sse_missed M
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "app/CoreApp.h"
#include "app/CoreParts.h"
#include "core/Clock.h"
#include "inverter/PosixSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QTimer>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <cstdio>
#include <fstream>

using namespace quorvane;

namespace {

struct WrkFigures {
    double rps = 0;
    double p99Ms = 0;
};

int freePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

double milliseconds(const QString& value, const QString& unit)
{
    const double number = value.toDouble();
    if (unit == "us")
        return number / 1000;
    if (unit == "s")
        return number * 1000;
    return number;
}

// Runs a process to its end while the core keeps serving its events; returns its output.
QString runToEnd(QProcess& process)
{
    fakes::PumpUntil([&] { return process.state() == QProcess::NotRunning; }, std::chrono::minutes(3));
    return QString::fromUtf8(process.readAllStandardOutput());
}

WrkFigures parseWrk(const QString& output)
{
    WrkFigures figures;
    const auto rps = QRegularExpression(R"(Requests/sec:\s+([0-9.]+))").match(output);
    if (rps.hasMatch())
        figures.rps = rps.captured(1).toDouble();
    const auto p99 = QRegularExpression(R"(99%\s+([0-9.]+)(us|ms|s))").match(output);
    if (p99.hasMatch())
        figures.p99Ms = milliseconds(p99.captured(1), p99.captured(2));
    return figures;
}

void startWrk(QProcess& wrk, const QString& url)
{
    wrk.start("wrk", {"-t2", "-c50", "-d10s", "--latency", url});
}

// Clients of "/events" that count the state messages they receive, read on one thread.
class StreamFollowers {
public:
    StreamFollowers(int port, int count) : m_counts(static_cast<size_t>(count))
    {
        const std::string request = "GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n";
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            m_sockets.push_back(fd);
            m_tails.emplace_back();
        }
        m_reader = std::thread([this] { read(); });
    }
    ~StreamFollowers()
    {
        m_stop = true;
        m_reader.join();
        for (const int fd : m_sockets)
            ::close(fd);
    }
    [[nodiscard]] int Received(size_t client) const { return m_counts[client].load(); }
    [[nodiscard]] size_t Count() const { return m_sockets.size(); }

private:
    void read()
    {
        static const std::string marker = "event: state\n";
        std::vector<pollfd> fds;
        for (const int fd : m_sockets)
            fds.push_back({fd, POLLIN, 0});
        char buffer[65536];
        while (!m_stop) {
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            for (size_t i = 0; i < fds.size(); ++i) {
                if ((fds[i].revents & POLLIN) == 0)
                    continue;
                const auto got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    fds[i].fd = -1; // gone: what it missed shows in the count
                    continue;
                }
                // Counted across reads: the tail of the last read may hold the start of a marker.
                std::string text = m_tails[i] + std::string(buffer, static_cast<size_t>(got));
                for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1))
                    m_counts[i].fetch_add(1);
                m_tails[i] = text.size() >= marker.size() ? text.substr(text.size() - marker.size() + 1) : text;
            }
        }
    }

    std::vector<int> m_sockets;
    std::vector<std::string> m_tails;
    std::vector<std::atomic<int>> m_counts;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};

double cycleMedian(const QString& output)
{
    const auto match = QRegularExpression(R"(median_ms ([0-9.]+))").match(output);
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_web BENCH_CYCLE_PATH\n");
        return 2;
    }
    const QString cycleBench = argv[1];
    QTemporaryDir folder;

    // The core, its web server on a free port, the live page as it stands after start-up.
    const std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    std::ofstream(settingsPath) << "[Http]\nPort=0\n";
    SystemClock clock;
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    CoreApp::Options options;
    options.SettingsPath = settingsPath;
    options.LogBase = folder.path().toStdString();
    options.MailRoutes = {{"127.0.0.1", 9}, 25};
    CoreApp core(options, clock, opener, person);
    core.RefreshDisplay();
    const QString ours = "http://127.0.0.1:" + QString::number(core.ForTests().WebServer().Port()) + "/";

    // nginx with the same bytes as a static file.
    const QString root = QDir(folder.path()).filePath("www");
    QDir().mkpath(root);
    std::ofstream(QDir(root).filePath("index.html").toStdString(), std::ios::binary) << *core.ForTests().Pages().MainPageText();
    const int nginxPort = freePort();
    const QString config = QDir(folder.path()).filePath("nginx.conf");
    std::ofstream(config.toStdString())
        << "daemon off; worker_processes 2; user root; error_log stderr; pid " << folder.path().toStdString()
        << "/nginx.pid;\nevents { worker_connections 1024; }\nhttp { access_log off; server { listen 127.0.0.1:"
        << nginxPort << "; root " << root.toStdString()
        << "; location = / { default_type text/html; try_files /index.html =404; } } }\n";
    QProcess nginx;
    nginx.start("/usr/sbin/nginx", {"-c", config, "-p", folder.path()});
    nginx.waitForStarted(10000);
    fakes::PumpUntil([] { return false; }, std::chrono::milliseconds(500));

    QProcess wrk;
    startWrk(wrk, "http://127.0.0.1:" + QString::number(nginxPort) + "/");
    const WrkFigures theirs = parseWrk(runToEnd(wrk));
    nginx.terminate();
    nginx.waitForFinished(5000);

    QProcess idleCycle;
    idleCycle.start(cycleBench, {"10"});
    const double idleMs = cycleMedian(runToEnd(idleCycle));

    // Our server under load, with the polling cycle running beside it and clients following
    // the event stream while the core publishes a state every 100 ms.
    constexpr int kFollowers = 200;
    MeasurementRecord& record = core.ForTests().Record();
    record.AcceptReading(clock.now());
    core.PublishSnapshot(); // the latest state, which each client gets when it subscribes
    StreamFollowers followers(core.ForTests().WebServer().Port(), kFollowers);
    fakes::PumpUntil([&] {
        for (size_t client = 0; client < followers.Count(); ++client)
            if (followers.Received(client) < 1)
                return false;
        return true;
    }, std::chrono::seconds(10));
    int published = 1;
    QTimer publisher;
    QObject::connect(&publisher, &QTimer::timeout, [&] {
        record.AcceptReading(clock.now());
        core.PublishSnapshot();
        ++published;
    });
    publisher.start(100);
    QProcess loadedCycle;
    loadedCycle.start(cycleBench, {"10"});
    startWrk(wrk, ours);
    const WrkFigures ourFigures = parseWrk(runToEnd(wrk));
    const double loadedMs = cycleMedian(runToEnd(loadedCycle));
    publisher.stop();
    const auto missedNow = [&] {
        long missed = 0;
        for (size_t client = 0; client < followers.Count(); ++client)
            missed += std::max(0, published - followers.Received(client));
        return missed;
    };
    fakes::PumpUntil([&] { return missedNow() == 0; }, std::chrono::seconds(5));
    const long missed = missedNow();

    const double ratio = theirs.rps > 0 ? ourFigures.rps / theirs.rps : 0;
    const double slowdown = idleMs > 0 ? loadedMs / idleMs - 1 : 0;
    std::printf("nginx: %.0f requests/s, p99 %.2f ms\n", theirs.rps, theirs.p99Ms);
    std::printf("ours:  %.0f requests/s, p99 %.2f ms\n", ourFigures.rps, ourFigures.p99Ms);
    std::printf("poll cycle: %.1f ms idle, %.1f ms under load\n", idleMs, loadedMs);
    std::printf("event stream: %d states published to %zu clients, %ld missed in all\n", published, followers.Count(),
                missed);
    std::printf("web_ratio %.2f p99_ms %.2f nginx_rps %.0f our_rps %.0f cycle_slowdown %.3f sse_clients %zu sse_missed %ld\n",
                ratio, ourFigures.p99Ms, theirs.rps, ourFigures.rps, slowdown, followers.Count(), missed);
    return 0;
}
