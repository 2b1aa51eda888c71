// bench_mqtt: how long an accepted main-values reading takes to reach an MQTT subscriber on the
// same machine, and what the MQTT threads spend per message.
//
// The core runs as the programs run it (CoreHost: the core thread, the MQTT publisher on its
// own thread, libmosquitto's network thread) against the simulator on a pty at full speed (no
// byte time, no answer delay), with a real mosquitto broker on a free port. The acquisition's
// pacer pauses PAUSE_MS between cycles instead of the measuring interval. The default, 100 ms,
// keeps two state messages further apart than TCP's delayed acknowledgement (40 ms), as the
// 1-second interval does; closer, each message can wait for the acknowledgement of the one
// before it (Nagle's algorithm on both connections), which the programs never see at their
// interval.
//
// Every reading is timed from the moment the simulator wrote the last byte of its main-values
// reply to the moment this program's subscriber got the first state message that carries it
// (valid_readings at least its number), both on the steady clock of this one process. A reading
// that the core folded into a later message is timed to that message; how many readings had a
// message of their own is printed. Between the two, the moment the core handed the state on
// (stateUpdated) is noted too, which splits the time into the core's part and the
// publisher-to-subscriber part.
//
// The processor time is that of the threads named "mqtt": the publisher's thread and the
// network thread it starts (which inherits its name), read from their own CPU clocks over the
// measured readings and divided by the state messages of that time. Their cost while the link
// is up and no reading comes is measured before the inverter is connected and printed beside it.
//
//   bench_mqtt [READINGS] [PAUSE_MS] [--publish-each-cycle]        (defaults 1000 and 100)
//
// --publish-each-cycle: the pacer also posts an empty command to the core at the end of each
// cycle, after which the core publishes its state at once; it shows what the path costs when
// the core hands every reading on as soon as its cycle ends.
//
// Last line: mqtt p50_ms A p99_ms B cpu_us_per_msg C
#include "BenchFigures.h"
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "PtyInverter.h"
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "face/StateJson.h"
#include "inverter/PosixSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;
using namespace std::chrono_literals;

namespace {

// Readings taken and published before the measured ones: the link, the files and the caches
// settle first.
constexpr int kWarmUpReadings = 10;

using bench::msBetween;
using bench::percentile;

// One moment that concerns the reading with this number (valid_readings).
struct Stamp {
    int Reading = 0;
    TimePoint At;
};

// Everything timed, from the threads that see it.
struct Timeline {
    std::mutex mutex;
    std::vector<TimePoint> mainReplyEnds; // the n-th main-values reply's last byte: reading n
    std::vector<TimePoint> cycleEnds;     // the acquisition thread at its pause
    std::vector<Stamp> coreHandedOn;      // stateUpdated, on the core thread
    CoreState lastHandedOn;
    std::vector<Stamp> arrived;           // state messages at the subscriber
    bool online = false;                  // "online" on the availability topic

    template <typename T> size_t count(const std::vector<T>& of)
    {
        const std::lock_guard lock(mutex);
        return of.size();
    }
};

// Ends each cycle with a short pause and, after `cycles` of them, holds the acquisition until
// it is told to stop, so that no reading comes after the measured ones.
class BenchPacer final : public CyclePacer {
public:
    BenchPacer(Timeline& timeline, int cycles, std::chrono::milliseconds pause, std::function<void()> cycleEnded)
        : m_timeline(timeline), m_cycles(cycles), m_pause(pause), m_cycleEnded(std::move(cycleEnded))
    {
    }
    void Wait(std::chrono::milliseconds) override
    {
        size_t done = 0;
        {
            const std::lock_guard lock(m_timeline.mutex);
            m_timeline.cycleEnds.push_back(SteadyClock::now());
            done = m_timeline.cycleEnds.size();
        }
        if (m_cycleEnded)
            m_cycleEnded();
        m_wait.Wait(done >= static_cast<size_t>(m_cycles) ? std::chrono::milliseconds(std::chrono::hours(1)) : m_pause);
    }
    void Interrupt() override { m_wait.Interrupt(); }

private:
    Timeline& m_timeline;
    const int m_cycles;
    const std::chrono::milliseconds m_pause;
    const std::function<void()> m_cycleEnded;
    RealTimePacer m_wait;
};

// Notes when each state message arrives at the subscriber and what reading it carries; runs
// on the subscriber's network thread.
fakes::MqttSubscriber::Observer timeArrivals(const std::string& topicPrefix, Timeline& timeline)
{
    return [topicPrefix, &timeline](const fakes::ReceivedMessage& message) {
        const TimePoint at = SteadyClock::now();
        const std::lock_guard lock(timeline.mutex);
        if (message.Topic == topicPrefix + "/state" && !message.Retained) {
            const QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(message.Payload)).object();
            timeline.arrived.push_back({state["valid_readings"].toInt(), at});
        } else if (message.Topic == topicPrefix + "/availability" && message.Payload == "online") {
            timeline.online = true;
        }
    };
}

// The processor time of each thread of this process named `name`, by thread id, in
// microseconds, from the thread's own CPU clock.
std::map<pid_t, double> threadProcessorUs(const std::string& name)
{
    std::map<pid_t, double> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string threadName;
        std::getline(comm, threadName);
        if (threadName != name)
            continue;
        const auto tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        // The kernel's per-thread scheduler clock, as pthread_getcpuclockid makes it.
        const auto clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6U);
        timespec used{};
        if (::clock_gettime(clock, &used) == 0)
            found[tid] = static_cast<double>(used.tv_sec) * 1e6 + static_cast<double>(used.tv_nsec) / 1e3;
    }
    return found;
}

// What each thread used between two readings of threadProcessorUs; a thread started between
// them counts from zero.
std::map<pid_t, double> usedBetween(const std::map<pid_t, double>& before, const std::map<pid_t, double>& after)
{
    std::map<pid_t, double> used;
    for (const auto& [tid, us] : after) {
        const auto earlier = before.find(tid);
        used[tid] = us - (earlier != before.end() ? earlier->second : 0.0);
    }
    return used;
}

double total(const std::map<pid_t, double>& used)
{
    double sum = 0;
    for (const auto& [tid, us] : used)
        sum += us;
    return sum;
}

double processUs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& time) { return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_usec); };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

// The first moment at or after which a stamp carries reading `reading` or a later one.
std::optional<TimePoint> firstCarrying(const std::vector<Stamp>& stamps, int reading)
{
    std::optional<TimePoint> first;
    for (const Stamp& stamp : stamps)
        if (stamp.Reading >= reading && (!first || stamp.At < *first))
            first = stamp.At;
    return first;
}

// The processor time `work` takes on this thread, in microseconds a run, over `runs` runs.
double processorUsPerRun(int runs, const std::function<void()>& work)
{
    const auto now = [] {
        timespec used{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
        return static_cast<double>(used.tv_sec) * 1e6 + static_cast<double>(used.tv_nsec) / 1e3;
    };
    const double before = now();
    for (int i = 0; i < runs; ++i)
        work();
    return (now() - before) / runs;
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one + " " + five;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit, const char* what)
{
    if (fakes::WaitUntil(condition, limit))
        return true;
    std::fprintf(stderr, "gave up waiting for %s\n", what);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    int readings = 1000;
    int pauseMs = 100;
    bool publishEachCycle = false;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--publish-each-cycle") == 0)
            publishEachCycle = true;
        else
            numbers.push_back(std::atoi(argv[i]));
    }
    if (!numbers.empty())
        readings = std::max(1, numbers[0]);
    if (numbers.size() > 1)
        pauseMs = std::max(0, numbers[1]);

    const std::string loadBefore = loadAverage();
    Timeline timeline;
    sim::InverterModel model;
    model.SetFullSpeed(true);
    model.SetAnswerDelay(0ms);
    const Bytes mainValuesReply = model.MainValuesReply();
    sim::PtyInverter inverter(model, [&](const Bytes& reply, TimePoint lastByteAt) {
        if (reply != mainValuesReply)
            return;
        const std::lock_guard lock(timeline.mutex);
        timeline.mainReplyEnds.push_back(lastByteAt);
    });
    fakes::MosquittoBroker broker;
    const std::string deviceId = model.SerialNumber();
    const std::string topicPrefix = "quorvane/" + deviceId;
    fakes::MqttSubscriber subscriber(broker.Port(), topicPrefix + "/#", {}, timeArrivals(topicPrefix, timeline));

    QTemporaryDir folder;
    const std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    std::ofstream(settingsPath) << "[Main]\nAutoSearch=0\nMeasTime=0\nAutoConnect=0\n[Http]\nPort=0\n[Ports]\nCOM1="
                                << inverter.DevicePath() << "\n[Mqtt]\nEnabled=1\nHost=localhost\nPort=" << broker.Port()
                                << "\nDeviceId=" << deviceId << "\n";
    SystemClock clock;
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    const int cycles = kWarmUpReadings + readings;
    CoreHost* hostForPacer = nullptr; // set before the first cycle can end
    CoreApp::Options options;
    options.SettingsPath = settingsPath;
    options.LogBase = folder.path().toStdString();
    options.MailRoutes = {{"127.0.0.1", 9}, 25};
    options.MakePacer = [&] {
        std::function<void()> cycleEnded;
        if (publishEachCycle)
            cycleEnded = [&hostForPacer] { hostForPacer->Post([](CoreApp&) {}); };
        return std::make_unique<BenchPacer>(timeline, cycles, std::chrono::milliseconds(pauseMs), cycleEnded);
    };
    CoreHost host(options, clock, opener, person);
    hostForPacer = &host;
    QObject::connect(&host, &CoreHost::ready, &application, [&](CoreApp* core) {
        QObject::connect(
            core, &CoreApp::stateUpdated, core,
            [&timeline](const CoreState& state) {
                const TimePoint at = SteadyClock::now();
                const std::lock_guard lock(timeline.mutex);
                timeline.coreHandedOn.push_back({state.ValidReadings, at});
                timeline.lastHandedOn = state;
            },
            Qt::DirectConnection);
        host.Begin();
    });

    bool completed = false;
    double idleSeconds = 0, windowMs = 0, processWindowUs = 0;
    std::map<pid_t, double> mqttUsed, mqttIdle;
    size_t windowMessages = 0;
    std::thread controller([&] {
        completed = [&] {
            if (!waitFor([&] { const std::lock_guard lock(timeline.mutex); return timeline.online; }, 60s,
                         "the publisher's link to the broker"))
                return false;
            // The publisher's threads with the link up and nothing to publish.
            const auto idleFrom = SteadyClock::now();
            const auto idleBefore = threadProcessorUs("mqtt");
            std::this_thread::sleep_for(2s);
            mqttIdle = usedBetween(idleBefore, threadProcessorUs("mqtt"));
            idleSeconds = msBetween(idleFrom, SteadyClock::now()) / 1e3;

            host.ToggleConnection();
            if (!waitFor([&] { return timeline.count(timeline.cycleEnds) >= kWarmUpReadings; }, 60s, "the first readings"))
                return false;
            const auto windowFrom = SteadyClock::now();
            const auto mqttBefore = threadProcessorUs("mqtt");
            const double processBefore = processUs();
            const size_t messagesBefore = timeline.count(timeline.arrived);
            const auto limit = std::chrono::milliseconds(60000 + static_cast<long>(readings) * (pauseMs + 100));
            if (!waitFor([&] { return timeline.count(timeline.cycleEnds) >= static_cast<size_t>(cycles); }, limit,
                         "the readings"))
                return false;
            // The last reading's message, however late; then the window closes.
            if (!waitFor(
                    [&] {
                        const std::lock_guard lock(timeline.mutex);
                        return !timeline.arrived.empty() && timeline.arrived.back().Reading >= cycles;
                    },
                    60s, "the last reading's message"))
                return false;
            mqttUsed = usedBetween(mqttBefore, threadProcessorUs("mqtt"));
            processWindowUs = processUs() - processBefore;
            windowMs = msBetween(windowFrom, SteadyClock::now());
            windowMessages = timeline.count(timeline.arrived) - messagesBefore;
            return true;
        }();
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    host.Start();
    application.exec();
    controller.join();
    if (!completed)
        return 1;

    const std::lock_guard lock(timeline.mutex);
    if (timeline.mainReplyEnds.size() < static_cast<size_t>(cycles)) {
        std::fprintf(stderr, "only %zu main-values replies for %d cycles\n", timeline.mainReplyEnds.size(), cycles);
        return 1;
    }
    for (const Stamp& message : timeline.arrived) {
        if (static_cast<size_t>(message.Reading) > timeline.mainReplyEnds.size()) {
            std::fprintf(stderr, "a message carries reading %d, but only %zu replies were sent\n", message.Reading,
                         timeline.mainReplyEnds.size());
            return 1;
        }
    }

    // Each measured reading: reply -> core hands the state on -> subscriber.
    std::vector<double> latencyMs, coreMs, onwardMs;
    int ownMessages = 0, missing = 0;
    for (int reading = kWarmUpReadings + 1; reading <= cycles; ++reading) {
        const TimePoint replyEnd = timeline.mainReplyEnds[static_cast<size_t>(reading - 1)];
        const auto handedOn = firstCarrying(timeline.coreHandedOn, reading);
        const auto arrived = firstCarrying(timeline.arrived, reading);
        if (!handedOn || !arrived) {
            ++missing;
            continue;
        }
        latencyMs.push_back(msBetween(replyEnd, *arrived));
        coreMs.push_back(msBetween(replyEnd, *handedOn));
        onwardMs.push_back(msBetween(*handedOn, *arrived));
        ownMessages += std::any_of(timeline.arrived.begin(), timeline.arrived.end(),
                                   [reading](const Stamp& message) { return message.Reading == reading; });
    }
    if (missing > 0)
        std::fprintf(stderr, "%d readings reached no subscriber\n", missing);
    std::vector<double> cycleGapMs;
    for (size_t i = kWarmUpReadings + 1; i < timeline.cycleEnds.size(); ++i)
        cycleGapMs.push_back(msBetween(timeline.cycleEnds[i - 1], timeline.cycleEnds[i]));

    // Two parts of the publisher thread's work, alone: the state's JSON, and its time in it.
    const CoreState& state = timeline.lastHandedOn;
    const double jsonUs = processorUsPerRun(2000, [&] { (void)StateJson(state); });
    const double timeUs = processorUsPerRun(2000, [&] { (void)IsoTimeWithOffset(state.LastValidReading); });

    const double mqttUs = total(mqttUsed);
    const double usPerMessage = windowMessages > 0 ? mqttUs / static_cast<double>(windowMessages) : -1;
    std::printf("readings %d (after %d to warm up), pause %d ms%s; a cycle every %.1f ms (median)\n", readings,
                kWarmUpReadings, pauseMs, publishEachCycle ? ", the core told to publish at each cycle's end" : "",
                percentile(cycleGapMs, 0.5));
    std::printf("state messages %zu in %.1f s; %d of %d readings had a message of their own (a reading without "
                "one is timed to the first later message)\n",
                windowMessages, windowMs / 1e3, ownMessages, readings - missing);
    std::printf("reply -> subscriber: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(latencyMs, 0.5),
                percentile(latencyMs, 0.99), latencyMs.empty() ? -1 : *std::max_element(latencyMs.begin(), latencyMs.end()));
    std::printf("  reply -> core hands the state on: p50 %.2f ms, p99 %.2f ms\n", percentile(coreMs, 0.5),
                percentile(coreMs, 0.99));
    std::printf("  core hands the state on -> subscriber: p50 %.3f ms, p99 %.3f ms\n", percentile(onwardMs, 0.5),
                percentile(onwardMs, 0.99));
    std::printf("processor time of the mqtt threads: %.0f us in the window (", mqttUs);
    for (auto it = mqttUsed.begin(); it != mqttUsed.end(); ++it)
        std::printf("%sthread %d: %.0f us", it == mqttUsed.begin() ? "" : ", ", static_cast<int>(it->first), it->second);
    std::printf("), %.1f us a message\n", usPerMessage);
    std::printf("  idle with the link up, before the readings: %.1f us a second (", total(mqttIdle) / idleSeconds);
    for (auto it = mqttIdle.begin(); it != mqttIdle.end(); ++it)
        std::printf("%sthread %d: %.1f", it == mqttIdle.begin() ? "" : ", ", static_cast<int>(it->first),
                    it->second / idleSeconds);
    std::printf(")\n");
    std::printf("the state's JSON (%zu bytes) alone: %.1f us, of which its reading time: %.1f us\n",
                StateJson(state).size(), jsonUs, timeUs);
    std::printf("processor time of the whole process (simulator, acquisition and core included): %.1f us a message\n",
                windowMessages > 0 ? processWindowUs / static_cast<double>(windowMessages) : -1);
    std::printf("load average (1 and 5 min) before %s, after %s\n", loadBefore.c_str(), loadAverage().c_str());
    std::printf("mqtt p50_ms %.2f p99_ms %.2f cpu_us_per_msg %.1f\n", percentile(latencyMs, 0.5),
                percentile(latencyMs, 0.99), usPerMessage);
    return 0;
}
