// The whole core stepped one simulated second for each line read from standard input, so a
// test can kill it with SIGKILL at any moment and start it again on the same folder:
//   quorvane-crash-runner FOLDER START_MSECS_SINCE_EPOCH
// It prints "restored <today's solar kWh> <total solar kWh>" once the core has started (what
// the files gave back), then after every step "<msecs since epoch> <today's> <total>".
#include "GatedPacer.h"
#include "FakeUserNotifier.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "acquisition/DataRead.h"
#include "app/CoreApp.h"
#include "app/CoreParts.h"
#include "core/ManualClock.h"
#include "core/ThreadHandover.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

using namespace quorvane;

namespace {

void print(const char* head, const ComputedValues& computed)
{
    std::printf("%s %.6f %.6f\n", head, computed.Aux1, computed.Aux5);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER START_MSECS_SINCE_EPOCH\n", argv[0]);
        return 2;
    }
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    quorvane::MakeQtHandoversVisibleToRaceChecker();
    QCoreApplication application(argc, argv);
    const std::string folder = argv[1];
    const std::string settingsPath = QDir(QString::fromStdString(folder)).filePath("quorvane.INI").toStdString();
    // Samples once an hour: what a crash keeps comes from the saves made once a minute.
    std::ofstream(settingsPath, std::ios::binary)
        << "[Http]\r\nPort=0\r\n[Ports]\r\nCOM1=/sim/inverter\r\n[Main]\r\nAutoSearch=0\r\nCOM PORT index=1\r\n"
        << "MeasTime=0\r\nUpdateLog=7\r\n";

    sim::InverterModel model;
    model.SetMainField(13, "0100"); // 100 A into a 57.50 V battery: 5.75 kW
    model.SetFullSpeed(true);
    model.SetAnswerDelay(std::chrono::milliseconds(0));
    sim::InProcessOpener opener;
    opener.Attach("/sim/inverter", model);
    ManualClock clock(QDateTime::fromMSecsSinceEpoch(std::stoll(argv[2])));
    fakes::FakeUserNotifier person;

    CoreApp::Options options;
    options.SettingsPath = settingsPath;
    options.LogBase = folder;
    options.LocaleName = std::string("C"); // assigning the literal trips a false -Wrestrict in GCC 12 at -O2
    options.Timers = CoreTimer::Drive::Manual;
    options.MakePacer = [] { return std::make_unique<fakes::GatedPacer>(); };
    CoreApp core(options, clock, opener, person);
    print("restored", core.ForTests().Computed());

    core.ForTests().Connection().Connect1Click();
    for (std::string line; std::getline(std::cin, line);) {
        clock.advance(std::chrono::seconds(1));
        RunAcquisitionCycle(core.ForTests().Steps(), core.ForTests().Requests(), [](const std::function<void()>& step) { step(); });
        core.ForTests().Tick().TimerTimer();
        core.ForTests().Timer1().Fire();
        print(std::to_string(clock.now().toMSecsSinceEpoch()).c_str(), core.ForTests().Computed());
    }
    core.CloseSequence();
    return 0;
}
