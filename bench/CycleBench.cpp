// bench_cycle: one main-values query and one mode query per cycle, over a pseudo-terminal,
// against the simulator at the real pace of 2400 baud. Compares the median cycle with the
// floor of the wire: the bytes of both requests and replies on the line and the simulator's
// two answer delays. A reader that waited for 220 ms of silence after a reply instead of
// ending at its last byte would sit at the older floor, also printed. The processor time the
// poll spends per cycle shows what the reading costs; the whole process's (the simulator's
// line thread included) is printed beside it.
//
//   bench_cycle [CYCLES]
//
// Last line: cycle_ratio R median_ms M floor_ms F
#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "PtyInverter.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "core/Clock.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/Wincom.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;

namespace {

// User and system processor time so far, in milliseconds: of the whole process (RUSAGE_SELF)
// or of the calling thread alone (RUSAGE_THREAD: the poll, without the simulator's thread).
double processorMs(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    const auto ms = [](const timeval& time) { return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    sim::InverterModel model;
    sim::PtyInverter inverter(model);
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    TComm comm(opener, person);
    comm.Open(inverter.DevicePath());
    if (comm.LastError() != 0) {
        std::fprintf(stderr, "cannot open %s\n", inverter.DevicePath().c_str());
        return 1;
    }
    SystemClock clock;
    LocaleFormats formats;
    EventMemo memo(clock, formats);
    MeasurementRecord record;
    LinkState link;
    link.LinkConnected = true;
    link.ShowAllErrors = true;
    OutputRequests requests;
    InverterQueries queries(comm, record, memo, link, requests, clock);

    std::vector<double> cycleMs;
    const double processorBefore = processorMs(RUSAGE_SELF);
    const double pollProcessorBefore = processorMs(RUSAGE_THREAD);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const auto start = SteadyClock::now();
        comm.Purge();
        queries.QueryMainValues();
        comm.Purge();
        queries.QueryMode();
        cycleMs.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
        if (!record.ValuesValid || !record.ModeValid) {
            std::fprintf(stderr, "cycle %d failed\n", cycle);
            return 1;
        }
    }
    const double processorPerCycle = (processorMs(RUSAGE_SELF) - processorBefore) / cycles;
    const double pollProcessorPerCycle = (processorMs(RUSAGE_THREAD) - pollProcessorBefore) / cycles;
    std::sort(cycleMs.begin(), cycleMs.end());
    const double median = cycleMs[cycleMs.size() / 2];

    using std::chrono::duration;
    const double byteMs = duration<double, std::milli>(sim::InverterModel::kByteTime).count();
    const size_t bytesOnLine = FrameCommand("QPIGS").size() + model.MainValuesReply().size() + FrameCommand("QMOD").size()
                               + sim::InverterModel::FrameReply("L").size();
    const double wireMs = static_cast<double>(bytesOnLine) * byteMs;
    const double floorMs = wireMs + 2 * duration<double, std::milli>(sim::InverterModel::kDefaultAnswerDelay).count();
    const double quietFloorMs = floorMs + duration<double, std::milli>(TComm::kQuietGap).count();

    std::printf("cycles %d, fastest %.1f ms, median %.1f ms, slowest %.1f ms\n", cycles, cycleMs.front(), median,
                cycleMs.back());
    std::printf("processor time %.2f ms a cycle for the poll, %.2f ms with the simulator's thread\n",
                pollProcessorPerCycle, processorPerCycle);
    std::printf("floor with a quiet gap after the reply: %.1f ms (ratio %.3f)\n", quietFloorMs, median / quietFloorMs);
    std::printf("floor: %zu bytes at 2400 baud (%.1f ms) + 2 answer delays = %.1f ms\n", bytesOnLine, wireMs, floorMs);
    std::printf("cycle_ratio %.3f median_ms %.1f floor_ms %.1f\n", median / floorMs, median, floorMs);
    return 0;
}
