#pragma once

// Logs as the program writes them in the "C" locale (times "07:01:00", dates "12/31/26"),
// made up for charts: a whole day at one row a second and a month of daily energy.
#include "records/LogTree.h"

#include <QDate>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace quorvane::fakes {

// What the made-up day holds, to find again in a chart.
struct MadeUpDay {
    static constexpr double kLoadW = 500.0;
    static constexpr double kLoadPeakW = 4800.0;  // one second at kLoadPeakSecond
    static constexpr int kLoadPeakSecond = 43210;
    static constexpr int kLoadGoneSecond = 70000; // 0 W for one second
    static constexpr double kSolarPeakW = 3000.0; // at noon, a sine from 06:00 to 18:00
    static constexpr double kBatteryPeakV = 59.9; // one second at 13:00:00, else 51 V to 55 V
    static constexpr int kLineGoneFrom = 10 * 3600; // the line is away for this hour
    static constexpr int kLineGoneTo = 11 * 3600;
};

inline void WriteLogFile(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// `day`'s basic and computed logs under `base`, a row every `step` seconds from `first`
// (at one a second: 86,400 rows each).
inline void WriteMadeUpDay(const std::string& base, const QDate& day, int step = 1, int first = 0)
{
    using D = MadeUpDay;
    std::string basic;
    std::string computed;
    char row[160];
    for (int s = first; s < 24 * 3600; s += step) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
        const double line = s >= D::kLineGoneFrom && s < D::kLineGoneTo ? 0.0 : 230.0;
        const double battery = s == 13 * 3600 ? D::kBatteryPeakV : 51.0 + 4.0 * s / 86400.0;
        const int capacity = 60 + s * 30 / 86400;
        const double load = s == D::kLoadPeakSecond ? D::kLoadPeakW : s == D::kLoadGoneSecond ? 0.0 : D::kLoadW;
        const double sun = s > 6 * 3600 && s < 18 * 3600
                               ? D::kSolarPeakW * std::sin(std::numbers::pi * (s - 6 * 3600) / (12 * 3600))
                               : 0.0;
        std::snprintf(row, sizeof row, "%s,%.1f,50.0,103.8,14,%.2f[%.2f],%d,12,0,49.9,230.0,161,%.0f,3,69,460\r\n",
                      time, line, battery, battery - 0.05, capacity, load);
        basic += row;
        std::snprintf(row, sizeof row, "%s,0.125,%.3f,0.000,0.000,1234.500,98.765\r\n", time, sun);
        computed += row;
    }
    WriteLogFile(LogTree::UsualDayLogPath(base, DayLog::Basic, day), basic);
    WriteLogFile(LogTree::UsualDayLogPath(base, DayLog::Computed, day), computed);
}

// The energy log of the month of `dayInMonth`: on day d, d kWh of solar and d / 10 kWh from
// the line, up to `lastDay`.
inline void WriteMadeUpMonth(const std::string& base, const QDate& dayInMonth, int lastDay)
{
    std::string text;
    char row[96];
    for (int d = 1; d <= lastDay; ++d) {
        std::snprintf(row, sizeof row, "%02d/%02d/%02d,%.3f,3.500,%.3f,1234.568,98.000\r\n", dayInMonth.month(), d,
                      dayInMonth.year() % 100, double(d), d / 10.0);
        text += row;
    }
    WriteLogFile(LogTree::UsualEnergyLogPath(base, dayInMonth), text);
}

} // namespace quorvane::fakes
