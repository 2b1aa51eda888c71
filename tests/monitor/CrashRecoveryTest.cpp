// The core killed with SIGKILL at random moments, again and again, on one folder: after each
// start the energies read back are never more than a minute's energy behind what the killed
// run had counted.
#include "ChildProcess.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sstream>
#include <thread>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

struct Counted {
    qint64 msecs = 0;
    double today = 0; // today's solar energy, kWh
    double total = 0; // total solar energy [A], kWh
};

Counted parse(const std::string& line)
{
    std::istringstream in(line);
    std::string head;
    Counted counted;
    in >> head >> counted.today >> counted.total;
    if (head != "restored")
        counted.msecs = std::stoll(head);
    return counted;
}

QString folderTemplate()
{
    const QFileInfo shm("/dev/shm");
    return shm.isDir() && shm.isWritable() ? "/dev/shm/quorvane-crash-XXXXXX" : QString();
}

} // namespace

TEST(CrashRecovery, AKilledRunLosesAtMostAMinuteOfEnergy)
{
    std::signal(SIGPIPE, SIG_IGN); // a write to a killed runner fails instead
    QTemporaryDir folder = folderTemplate().isEmpty() ? QTemporaryDir() : QTemporaryDir(folderTemplate());
    constexpr double kMinuteKwh = 100 * 57.50 / 1000.0 / 60.0; // the runner's 5.75 kW for a minute
    constexpr double kRounding = 0.001;                        // the files hold three decimals
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> stepsBeforeKill(1, 240);
    std::uniform_int_distribution<int> killDelayUs(0, 3000);

    qint64 start = QDateTime(QDate(2026, 6, 1), QTime(6, 0), Qt::UTC).toMSecsSinceEpoch();
    std::optional<Counted> lastSeen;
    for (int round = 0; round < 20; ++round) {
        fakes::ChildProcess runner(QUORVANE_CRASH_RUNNER, {folder.path().toStdString(), std::to_string(start)},
                                   fakes::ChildProcess::Input::Piped);
        const auto restoredLine = runner.ReadLine(60s);
        ASSERT_TRUE(restoredLine) << "round " << round << ": the runner did not start";
        const Counted restored = parse(*restoredLine);
        if (lastSeen) {
            EXPECT_GE(restored.total, lastSeen->total - kMinuteKwh - kRounding) << "round " << round;
            EXPECT_GE(restored.today, lastSeen->today - kMinuteKwh - kRounding) << "round " << round;
            EXPECT_LE(restored.total, lastSeen->total + kMinuteKwh + kRounding) << "round " << round;
        }

        const int steps = stepsBeforeKill(random);
        for (int step = 0; step < steps; ++step) {
            ASSERT_TRUE(runner.Write("step\n"));
            const auto line = runner.ReadLine(60s);
            ASSERT_TRUE(line) << "round " << round << " step " << step;
            lastSeen = parse(*line);
        }
        // One more step, and the kill lands somewhere in it: in the cycle, the tick or a save.
        runner.Write("step\n");
        std::this_thread::sleep_for(std::chrono::microseconds(killDelayUs(random)));
        runner.KillNow();
        start = lastSeen->msecs + 2000;
    }
    ASSERT_TRUE(lastSeen);
    EXPECT_GT(lastSeen->total, 20 * kMinuteKwh); // the rounds together ran well over 20 minutes
}
