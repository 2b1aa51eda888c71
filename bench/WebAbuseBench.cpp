// bench_web_abuse: the core polling the simulator at 2400 baud over a pty while its web server
// is abused on loopback, phase after phase:
//   idle       nothing but the probe client;
//   memo       20,000 distinct client addresses (127.1.x.y), one page each, then wrk from one
//              address (50 connections) for the flood time;
//   pipelined  50 connections that pipeline 2,000 GETs each and never read (opened again
//              whenever the server drops one);
//   holders    200 connections that connect and send nothing (opened again likewise).
// Throughout, a probe client on its own address asks for "/" every 20 ms on a new connection
// and times the whole answer, and the acquisition cycles (the query hand-offs to the core
// thread and the serial exchanges there, 50 ms apart) are timed by their pacer.
//
//   bench_web_abuse [SECONDS_PER_PHASE] [FLOOD_SECONDS]      (defaults 10 and 15)
//
// Last line: web_abuse probe_p99_ms I/M/P/H cycle_slowdown S max_poll_gap_ms G idle_gap_ms J
//   (the probe's p99 in the idle, memo, pipelined and holders phases; S the largest median
//   cycle of an attack phase against the idle one, minus 1; G the longest time between two
//   cycles' starts under attack, J the same when idle)
#include "BenchFigures.h"
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "app/CoreApp.h"
#include "app/CoreParts.h"
#include "core/Clock.h"
#include "inverter/PosixSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

using bench::msBetween;
using bench::percentile;

// When each acquisition cycle started and ended, noted by its pause.
struct CycleLog {
    std::mutex mutex;
    std::vector<std::pair<SteadyClock::time_point, SteadyClock::time_point>> cycles; // guarded
    SteadyClock::time_point started{};                                                // guarded
};

class RecordingPacer final : public CyclePacer {
public:
    explicit RecordingPacer(CycleLog& log) : m_log(log) {}
    void Wait(std::chrono::milliseconds) override
    {
        {
            const std::lock_guard lock(m_log.mutex);
            if (m_log.started != SteadyClock::time_point{})
                m_log.cycles.emplace_back(m_log.started, SteadyClock::now());
        }
        m_pause.Wait(50ms); // short pauses: many cycles per phase
        const std::lock_guard lock(m_log.mutex);
        m_log.started = SteadyClock::now();
    }
    void Interrupt() override { m_pause.Interrupt(); }

private:
    CycleLog& m_log;
    RealTimePacer m_pause;
};

int connectFrom(const char* source, std::uint16_t port, bool blocking)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | (blocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    if (blocking) {
        const timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server);
    if (result != 0 && (blocking || errno != EINPROGRESS)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One whole GET of "/" on a new connection: its time in ms, or -1 when it failed.
double timedGet(const char* source, std::uint16_t port)
{
    const auto start = SteadyClock::now();
    const int fd = connectFrom(source, port, true);
    if (fd < 0)
        return -1;
    const std::string request = "GET / HTTP/1.1\r\nHost: probe\r\nConnection: close\r\n\r\n";
    const bool sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::string reply;
    char buffer[16384];
    for (ssize_t count; sent && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        reply.append(buffer, static_cast<size_t>(count));
    ::close(fd);
    return sent && reply.starts_with("HTTP/1.1 200") && reply.ends_with("</html>\n") ? msBetween(start, SteadyClock::now())
                                                                                     : -1;
}

struct ProbeResult {
    std::vector<double> ms;
    int failed = 0;
};

// A normal client on an address of its own, every 20 ms until told to stop.
ProbeResult probe(std::uint16_t port, const std::atomic<bool>& stop)
{
    ProbeResult result;
    while (!stop) {
        const double ms = timedGet("127.0.0.2", port);
        if (ms < 0)
            ++result.failed;
        else
            result.ms.push_back(ms);
        std::this_thread::sleep_for(20ms);
    }
    return result;
}

// `count` connections, each opened again as soon as the server drops it, that send `payload`
// as far as the socket takes it and never read.
void holdConnections(std::uint16_t port, int count, const std::string& payload, const std::atomic<bool>& stop,
                     std::atomic<long>& opened)
{
    struct Held {
        int fd = -1;
        size_t sent = 0;
    };
    std::vector<Held> held(static_cast<size_t>(count));
    std::vector<pollfd> polled(held.size());
    while (!stop) {
        for (size_t i = 0; i < held.size(); ++i) {
            if (held[i].fd < 0) {
                held[i] = {connectFrom("127.0.0.3", port, false), 0};
                ++opened;
            }
            const bool sending = held[i].sent < payload.size();
            polled[i] = {held[i].fd, static_cast<short>(POLLRDHUP | (sending ? POLLOUT : 0)), 0};
        }
        ::poll(polled.data(), polled.size(), 10);
        for (size_t i = 0; i < held.size(); ++i) {
            Held& connection = held[i];
            if (polled[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
                ::close(connection.fd);
                connection.fd = -1;
                continue;
            }
            if ((polled[i].revents & POLLOUT) && connection.sent < payload.size()) {
                const ssize_t n = ::send(connection.fd, payload.data() + connection.sent, payload.size() - connection.sent,
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) {
                    connection.sent += static_cast<size_t>(n);
                } else if (n < 0 && errno != EAGAIN) {
                    ::close(connection.fd);
                    connection.fd = -1;
                }
            }
        }
    }
    for (const Held& connection : held)
        if (connection.fd >= 0)
            ::close(connection.fd);
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Runs `work` on the core thread (this program's main thread) and waits for its result.
template <typename Work> auto onCore(QObject* context, Work work)
{
    decltype(work()) result{};
    QMetaObject::invokeMethod(context, [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
}

struct PhaseFigures {
    const char* name = "";
    ProbeResult probes;
    int cycles = 0;
    double cycleMedianMs = 0;
    double cycleMaxMs = 0;
    double maxGapMs = 0; // between two cycles' starts
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const auto phase = std::chrono::seconds(argc > 1 ? std::max(2, std::atoi(argv[1])) : 10);
    const auto flood = std::chrono::seconds(argc > 2 ? std::max(2, std::atoi(argv[2])) : 15);

    sim::InverterModel model;
    sim::PtyInverter inverter(model);
    QTemporaryDir folder;
    const std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    std::ofstream(settingsPath) << "[Main]\nAutoSearch=0\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1="
                                << inverter.DevicePath() << "\n";
    SystemClock clock;
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    CycleLog cycles;
    CoreApp::Options options;
    options.SettingsPath = settingsPath;
    options.LogBase = folder.path().toStdString();
    options.MailRoutes = {{"127.0.0.1", 9}, 25};
    options.MakePacer = [&cycles] { return std::make_unique<RecordingPacer>(cycles); };
    CoreApp core(options, clock, opener, person);
    const std::uint16_t port = core.ForTests().WebServer().Port();
    core.ForTests().Connection().Connect1Click();

    std::vector<PhaseFigures> figures;
    long memoLinesAfter = 0, memoLinesExpected = 0, rssBeforeKb = 0, rssAfterKb = 0;
    double memoWrittenAfterMs = 0, wrkRps = 0;
    std::atomic<long> pipelinedOpened{0}, holdersOpened{0};

    std::thread controller([&] {
        auto memoLines = [&] { return onCore(&core, [&] { return static_cast<long>(core.ForTests().Memo().LineCount()); }); };
        auto runPhase = [&](const char* name, std::chrono::seconds length, const std::function<void()>& attack) {
            std::fprintf(stderr, "phase %s\n", name);
            const auto from = SteadyClock::now();
            std::atomic<bool> stop{false};
            ProbeResult probes;
            std::thread prober([&] { probes = probe(port, stop); });
            attack();
            while (SteadyClock::now() - from < length)
                std::this_thread::sleep_for(50ms);
            stop = true;
            prober.join();
            PhaseFigures result;
            result.name = name;
            result.probes = std::move(probes);
            std::vector<double> lengths;
            std::vector<SteadyClock::time_point> starts;
            {
                const std::lock_guard lock(cycles.mutex);
                for (const auto& [start, end] : cycles.cycles) {
                    if (start >= from) {
                        lengths.push_back(msBetween(start, end));
                        starts.push_back(start);
                    }
                }
            }
            result.cycles = static_cast<int>(lengths.size());
            result.cycleMedianMs = percentile(lengths, 0.5);
            result.cycleMaxMs = lengths.empty() ? -1 : *std::max_element(lengths.begin(), lengths.end());
            for (size_t i = 1; i < starts.size(); ++i)
                result.maxGapMs = std::max(result.maxGapMs, msBetween(starts[i - 1], starts[i]));
            figures.push_back(std::move(result));
        };

        // Connected and polling before anything is measured.
        for (;;) {
            {
                const std::lock_guard lock(cycles.mutex);
                if (cycles.cycles.size() >= 3)
                    break;
            }
            std::this_thread::sleep_for(100ms);
        }

        runPhase("idle", phase, [] {});

        rssBeforeKb = residentKb();
        memoLinesExpected = memoLines() + 20001; // each visitor's line and wrk's
        runPhase("memo", flood, [&] {
            std::vector<std::thread> visitors;
            for (int t = 0; t < 2; ++t) {
                visitors.emplace_back([t, port] {
                    for (int i = t; i < 20000; i += 2) {
                        const std::string source = "127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
                        (void)timedGet(source.c_str(), port);
                    }
                });
            }
            for (auto& visitor : visitors)
                visitor.join();
            std::fprintf(stderr, "  20,000 addresses visited\n");
            QProcess wrk;
            wrk.start("wrk", {"-t2", "-c50", "-d" + QString::number(flood.count()) + "s",
                              "http://127.0.0.1:" + QString::number(port) + "/"});
            wrk.waitForFinished(static_cast<int>(std::chrono::milliseconds(flood + 30s).count()));
            const auto rps = QRegularExpression(R"(Requests/sec:\s+([0-9.]+))").match(wrk.readAllStandardOutput());
            wrkRps = rps.hasMatch() ? rps.captured(1).toDouble() : 0;
            // Every address's line is in the memo once the core has caught up.
            const auto floodEnd = SteadyClock::now();
            while (memoLines() < memoLinesExpected && SteadyClock::now() - floodEnd < 10s)
                std::this_thread::sleep_for(5ms);
            memoWrittenAfterMs = msBetween(floodEnd, SteadyClock::now());
        });
        memoLinesAfter = memoLines();
        rssAfterKb = residentKb();

        std::string pipelined;
        for (int i = 0; i < 2000; ++i)
            pipelined += "GET / HTTP/1.1\r\nHost: flood\r\n\r\n";
        auto attackWith = [&](int count, const std::string& payload, std::atomic<long>& opened) {
            return [&, count] {
                std::atomic<bool> stop{false};
                std::thread attacker([&] { holdConnections(port, count, payload, stop, opened); });
                std::this_thread::sleep_for(phase);
                stop = true;
                attacker.join();
            };
        };
        runPhase("pipelined", phase, attackWith(50, pipelined, pipelinedOpened));
        runPhase("holders", phase, attackWith(200, std::string(), holdersOpened));
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    application.exec();
    controller.join();
    core.CloseSequence();

    for (const auto& f : figures) {
        std::printf("%-9s probe p50 %.2f ms p99 %.2f ms max %.2f ms (%zu answered, %d failed); cycles %d, median %.1f "
                    "ms, longest %.1f ms, longest gap between starts %.1f ms\n",
                    f.name, percentile(f.probes.ms, 0.5), percentile(f.probes.ms, 0.99),
                    f.probes.ms.empty() ? -1 : *std::max_element(f.probes.ms.begin(), f.probes.ms.end()),
                    f.probes.ms.size(), f.probes.failed, f.cycles, f.cycleMedianMs, f.cycleMaxMs, f.maxGapMs);
    }
    std::printf("memo: %ld lines of %ld expected after the flood (wrk %.0f requests/s), written %.0f ms after it; "
                "resident %.1f -> %.1f MB\n",
                memoLinesAfter, memoLinesExpected, wrkRps, memoWrittenAfterMs, static_cast<double>(rssBeforeKb) / 1024.0,
                static_cast<double>(rssAfterKb) / 1024.0);
    std::printf("connections the attackers opened: pipelined %ld, holders %ld\n", pipelinedOpened.load(),
                holdersOpened.load());
    double slowdown = 0, maxGap = 0;
    for (size_t i = 1; i < figures.size(); ++i) {
        slowdown = std::max(slowdown, figures[i].cycleMedianMs / figures[0].cycleMedianMs - 1);
        maxGap = std::max(maxGap, figures[i].maxGapMs);
    }
    std::printf("web_abuse probe_p99_ms %.1f/%.1f/%.1f/%.1f cycle_slowdown %.3f max_poll_gap_ms %.0f idle_gap_ms %.0f\n",
                percentile(figures[0].probes.ms, 0.99), percentile(figures[1].probes.ms, 0.99),
                percentile(figures[2].probes.ms, 0.99), percentile(figures[3].probes.ms, 0.99), slowdown, maxGap,
                figures[0].maxGapMs);
    return 0;
}
