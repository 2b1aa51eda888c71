#include "records/LogHistory.h"

#include "core/FileText.h"
#include "core/LocaleFormats.h"
#include "core/NumberText.h"
#include "records/LogList.h"
#include "records/LogTree.h"

#include <algorithm>

namespace quorvane {

namespace {

// Columns of the basic log: the time, then the display variables in display order.
constexpr std::size_t kBasicAcVoltage = 1;
constexpr std::size_t kBasicBatteryVoltage = 5; // "57.50[57.45]": the battery's, then the charger's
constexpr std::size_t kBasicBatteryCapacity = 6;
constexpr std::size_t kBasicActivePower = 12;
constexpr int kBasicColumns = 16;
// Columns of the computed log: the time, then Aux1..Aux6.
constexpr std::size_t kComputedSolarPower = 2;
constexpr int kComputedColumns = 7;
// Columns of the energy log: the date, solar energy, line apparent energy, line energy, ...
constexpr std::size_t kEnergySolar = 1;
constexpr std::size_t kEnergyLine = 3;
constexpr int kEnergyColumns = 6;

// Calls `row` with the fields of every whole line.
template <typename Row>
void forEachLine(std::string_view text, int columns, Row&& row)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos)
            return; // being written now
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto fields = LogList::SplitFields(line, columns);
        if (fields.size() == static_cast<std::size_t>(columns))
            row(fields);
    }
}

std::optional<double> secondsOfDay(std::string_view text, const LocaleFormats& formats)
{
    const auto time = formats.parseLongTime(text);
    if (!time)
        return std::nullopt;
    return time->msecsSinceStartOfDay() / 1000.0;
}

void add(HistorySeries& series, double x, std::optional<double> y)
{
    if (!y)
        return;
    series.X.push_back(x);
    series.Y.push_back(*y);
}

} // namespace

HistorySeries Thinned(const HistorySeries& series, std::size_t maxPoints)
{
    const std::size_t count = series.X.size();
    if (count <= maxPoints || maxPoints < 2)
        return series;
    const std::size_t buckets = maxPoints / 2;
    HistorySeries thinned;
    thinned.X.reserve(buckets * 2);
    thinned.Y.reserve(buckets * 2);
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        const std::size_t begin = bucket * count / buckets;
        const std::size_t end = (bucket + 1) * count / buckets;
        const auto [low, high] = std::minmax_element(series.Y.begin() + static_cast<std::ptrdiff_t>(begin),
                                                     series.Y.begin() + static_cast<std::ptrdiff_t>(end));
        auto first = static_cast<std::size_t>(low - series.Y.begin());
        auto second = static_cast<std::size_t>(high - series.Y.begin());
        if (first > second)
            std::swap(first, second);
        add(thinned, series.X[first], series.Y[first]);
        if (second != first)
            add(thinned, series.X[second], series.Y[second]);
    }
    return thinned;
}

DayHistory ReadDayHistory(std::string_view basicLog, std::string_view computedLog, const LocaleFormats& formats,
                          std::size_t maxPoints)
{
    DayHistory day;
    forEachLine(basicLog, kBasicColumns, [&](const std::vector<std::string_view>& fields) {
        const auto x = secondsOfDay(fields[0], formats);
        if (!x)
            return;
        const std::string_view battery = fields[kBasicBatteryVoltage];
        add(day.BatteryVoltageV, *x, ParseNumber(battery.substr(0, battery.find('['))));
        add(day.BatteryCapacityPercent, *x, ParseNumber(fields[kBasicBatteryCapacity]));
        add(day.LoadW, *x, ParseNumber(fields[kBasicActivePower]));
        if (const auto line = ParseNumber(fields[kBasicAcVoltage]))
            add(day.LinePresent, *x, *line > kLinePresentVolts ? 1.0 : 0.0);
    });
    forEachLine(computedLog, kComputedColumns, [&](const std::vector<std::string_view>& fields) {
        if (const auto x = secondsOfDay(fields[0], formats))
            add(day.SolarPowerW, *x, ParseNumber(fields[kComputedSolarPower]));
    });
    for (HistorySeries* series :
         {&day.SolarPowerW, &day.LoadW, &day.BatteryVoltageV, &day.BatteryCapacityPercent, &day.LinePresent})
        *series = Thinned(*series, maxPoints);
    return day;
}

MonthHistory ReadMonthHistory(std::string_view energyLog, const LocaleFormats& formats)
{
    MonthHistory month;
    forEachLine(energyLog, kEnergyColumns, [&](const std::vector<std::string_view>& fields) {
        const auto date = formats.parseShortDate(fields[0]);
        if (!date)
            return;
        // The open row of today is replaced by its final one: the later row of a day wins.
        const double x = date->day();
        for (auto [series, column] : {std::pair{&month.SolarKWh, kEnergySolar}, std::pair{&month.LineKWh, kEnergyLine}}) {
            const auto value = ParseNumber(fields[column]);
            if (!value)
                continue;
            if (!series->X.empty() && series->X.back() == x)
                series->Y.back() = *value;
            else
                add(*series, x, value);
        }
    });
    return month;
}

DayHistory ReadDayHistoryFiles(const std::string& logBase, const QDate& day, const LocaleFormats& formats,
                               std::size_t maxPoints)
{
    const std::string basic = ReadFileText(LogTree::UsualDayLogPath(logBase, DayLog::Basic, day)).value_or("");
    const std::string computed = ReadFileText(LogTree::UsualDayLogPath(logBase, DayLog::Computed, day)).value_or("");
    return ReadDayHistory(basic, computed, formats, maxPoints);
}

MonthHistory ReadMonthHistoryFile(const std::string& logBase, const QDate& dayInMonth, const LocaleFormats& formats)
{
    return ReadMonthHistory(ReadFileText(LogTree::UsualEnergyLogPath(logBase, dayInMonth)).value_or(""), formats);
}

} // namespace quorvane
