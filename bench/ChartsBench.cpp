// bench_charts: the charts window asks for a whole day of logs at one row a second (86,400
// basic and 86,400 computed rows) and shows it: the time from the click on "<" to the chart
// filled, read on a worker thread through the core's command face, thinned and put into the
// series; then the time to paint the chart once. The main window and the core run as in the
// program, offscreen, the core not connected.
//
//   bench_charts [RUNS]
//
// Last line: charts_open_ms N paint_ms P (medians of RUNS, default 7)
#include "BenchFigures.h"
#include "DayLogs.h"
#include "GatedPacer.h"
#include "WindowOverSimulator.h"
#include "core/ThreadHandover.h"
#include "shell/ChartsWindow.h"

#include <QApplication>
#include <QChartView>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

using namespace quorvane;
using SteadyClock = std::chrono::steady_clock;

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    MakeQtHandoversVisibleToRaceChecker();
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;

    fakes::WindowOverSimulator shell;
    const QDate today = QDate::currentDate();
    fakes::WriteMadeUpDay(shell.folder.path().toStdString(), today.addDays(-1));
    if (!shell.ShowAndStart()) {
        std::fprintf(stderr, "the core did not start\n");
        return 1;
    }
    auto* charts = shell.window->findChild<ChartsWindow*>("ChartsWindow");
    QDate shown;
    QObject::connect(charts, &ChartsWindow::dayShown, [&](QDate day) { shown = day; });
    charts->show();
    if (!fakes::PumpUntil([&] { return shown == today; }))
        return 1;
    auto* view = charts->findChild<QChartView*>("ChartsDayChart");

    std::vector<double> open;
    std::vector<double> paint;
    for (int run = 0; run < runs; ++run) {
        const auto start = SteadyClock::now();
        charts->findChild<QPushButton*>("ChartsPreviousDay")->click();
        if (!fakes::PumpUntil([&] { return shown == today.addDays(-1); }))
            return 1;
        const auto filled = SteadyClock::now();
        (void)view->grab();
        open.push_back(bench::msBetween(start, filled));
        paint.push_back(bench::msBetween(filled, SteadyClock::now()));
        std::printf("run %d: open %.1f ms, paint %.1f ms\n", run + 1, open.back(), paint.back());
        charts->findChild<QPushButton*>("ChartsNextDay")->click();
        if (!fakes::PumpUntil([&] { return shown == today; }))
            return 1;
    }
    std::printf("charts_open_ms %.1f paint_ms %.1f\n", bench::percentile(open, 0.5), bench::percentile(paint, 0.5));
    return 0;
}
