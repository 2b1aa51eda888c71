// bench_cycle: one main-values query and one mode query per cycle, over a pseudo-terminal,
// against the simulator at the real pace of 2400 baud. Compares the median cycle with the
// floor the protocol allows: the bytes of both requests and replies on the line, the
// simulator's answer delays, and the 220 ms of silence that ends a main-values reply.
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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;

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
    std::sort(cycleMs.begin(), cycleMs.end());
    const double median = cycleMs[cycleMs.size() / 2];

    using std::chrono::duration;
    const double byteMs = duration<double, std::milli>(sim::InverterModel::kByteTime).count();
    const size_t bytesOnLine = FrameCommand("QPIGS").size() + model.MainValuesReply().size() + FrameCommand("QMOD").size()
                               + sim::InverterModel::FrameReply("L").size();
    const double floorMs = static_cast<double>(bytesOnLine) * byteMs
                           + 2 * duration<double, std::milli>(sim::InverterModel::kDefaultAnswerDelay).count()
                           + duration<double, std::milli>(TComm::kQuietGap).count();

    std::printf("cycles %d, fastest %.1f ms, median %.1f ms, slowest %.1f ms\n", cycles, cycleMs.front(), median,
                cycleMs.back());
    std::printf("floor: %zu bytes at 2400 baud (%.1f ms) + 2 answer delays + quiet gap = %.1f ms\n", bytesOnLine,
                static_cast<double>(bytesOnLine) * byteMs, floorMs);
    std::printf("cycle_ratio %.3f median_ms %.1f floor_ms %.1f\n", median / floorMs, median, floorMs);
    return 0;
}
