#pragma once

#include <QDate>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class LocaleFormats;

// One line of a chart: X as seconds since midnight (a day) or the day of the month (a month).
struct HistorySeries {
    std::vector<double> X;
    std::vector<double> Y;

    bool operator==(const HistorySeries&) const = default;
};

// The line (the AC input) counts as present above this voltage.
inline constexpr double kLinePresentVolts = 100.0;

// A day as its basic and computed logs hold it, for charts.
struct DayHistory {
    HistorySeries SolarPowerW;            // computed log: solar power into the battery
    HistorySeries LoadW;                  // basic log: output active power
    HistorySeries BatteryVoltageV;        // basic log
    HistorySeries BatteryCapacityPercent; // basic log
    HistorySeries LinePresent;            // basic log: 1 while the AC input is above kLinePresentVolts, else 0
};

// A month as its energy log holds it: one point per day.
struct MonthHistory {
    HistorySeries SolarKWh;
    HistorySeries LineKWh;
};

// A series of many points thinned to at most about `maxPoints`: the points are cut into
// buckets in X order and each bucket keeps its lowest and highest point (in their order), so
// peaks and dips - a load switched on for a minute, the line gone for a while - stay in the
// chart. A series that fits is returned as it is.
[[nodiscard]] HistorySeries Thinned(const HistorySeries& series, std::size_t maxPoints);

// Reads the texts of a day's basic and computed logs (either may be empty) and thins each
// series to `maxPoints`. Rows whose time or values cannot be read are skipped, and so is a
// last line without its line end (a row being written at that moment).
// Pure: any thread.
[[nodiscard]] DayHistory ReadDayHistory(std::string_view basicLog, std::string_view computedLog,
                                        const LocaleFormats& formats, std::size_t maxPoints);
// Reads the text of a month's energy log: the day's solar and line (active) energy.
[[nodiscard]] MonthHistory ReadMonthHistory(std::string_view energyLog, const LocaleFormats& formats);

// The same from the files where the logs under `logBase` (the folder holding "Log") keep `day`,
// or the month of `dayInMonth`; each file is read once, a missing one reads as empty.
// Any thread; blocks on the files, so never the core's or the window's.
[[nodiscard]] DayHistory ReadDayHistoryFiles(const std::string& logBase, const QDate& day,
                                             const LocaleFormats& formats, std::size_t maxPoints);
[[nodiscard]] MonthHistory ReadMonthHistoryFile(const std::string& logBase, const QDate& dayInMonth,
                                                const LocaleFormats& formats);

} // namespace quorvane
