// The logs read back as chart series.
#include "core/LocaleFormats.h"
#include "records/LogHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace quorvane;

namespace {

std::string golden(const std::string& name)
{
    std::ifstream in(std::string(QUORVANE_RECORDS_GOLDEN_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

HistorySeries series(std::vector<double> x, std::vector<double> y)
{
    return {std::move(x), std::move(y)};
}

} // namespace

TEST(LogHistory, ADayReadsEverySeriesAndSkipsWhatCannotBeRead)
{
    const LocaleFormats formats("C");
    const std::string basic = golden("BasicLog_three-rows.csv")
                              + "07:04:00,junk\r\n"                                     // too few fields
                              + "noon,0,50.0,103.8,14,57.50[57.45],100,12,0,49.9,230.0,161,119,3,69,460\r\n"
                              + "07:05:00,0,50.0,103.8,14,51.0[51.1],99,12,0,49.9,230.0,161,4"; // being written
    const DayHistory day = ReadDayHistory(basic, golden("ComputedLog_three-rows.csv"), formats, 2000);
    const std::vector<double> x = {7 * 3600 + 60, 7 * 3600 + 120, 7 * 3600 + 180};
    EXPECT_EQ(day.BatteryVoltageV, series(x, {57.5, 57.5, 57.5}));
    EXPECT_EQ(day.BatteryCapacityPercent, series(x, {100, 100, 100}));
    EXPECT_EQ(day.LoadW, series(x, {119, 119, 119}));
    EXPECT_EQ(day.LinePresent, series(x, {1, 1, 1}));
    EXPECT_EQ(day.SolarPowerW, series(x, {500, 500, 500}));

    const DayHistory empty = ReadDayHistory("", "", formats, 2000);
    EXPECT_TRUE(empty.LoadW.X.empty());
    EXPECT_TRUE(empty.SolarPowerW.X.empty());
}

TEST(LogHistory, AMonthHasOnePointADayTheLastRowOfADayWinning)
{
    const LocaleFormats formats("C");
    const std::string energy = "06/01/26,12.000,3.000,2.500,100.000,50.000\r\n"
                               "06/02/26,4.000,1.000,0.500,104.000,50.500\r\n"  // a run that closed
                               "06/02/26,9.000,2.000,1.500,109.000,51.500\r\n"  // the same day, later
                               "not a date,1,1,1,1,1\r\n";
    const MonthHistory month = ReadMonthHistory(energy, formats);
    EXPECT_EQ(month.SolarKWh, series({1, 2}, {12, 9}));
    EXPECT_EQ(month.LineKWh, series({1, 2}, {2.5, 1.5}));
}

TEST(LogHistory, ThinningKeepsPeaksAndDipsInOrder)
{
    HistorySeries day;
    for (int second = 0; second < 86400; ++second) {
        day.X.push_back(second);
        day.Y.push_back(500);
    }
    day.Y[43210] = 4800; // a kettle for one second
    day.Y[70000] = 0;    // the load gone for one second
    const HistorySeries thinned = Thinned(day, 2000);
    EXPECT_LE(thinned.X.size(), 2000u);
    EXPECT_GE(thinned.X.size(), 900u);
    EXPECT_TRUE(std::ranges::is_sorted(thinned.X));
    EXPECT_EQ(std::ranges::max(thinned.Y), 4800);
    EXPECT_EQ(std::ranges::min(thinned.Y), 0);
    EXPECT_EQ(thinned.X.front(), 0);

    const HistorySeries small = series({1, 2, 3}, {3, 1, 2});
    EXPECT_EQ(Thinned(small, 2000), small);
}
