// A whole day in a zone with daylight saving, on the day clocks go forward and on the day they
// go back: the daily timers fire once each, the day changes once, and the day's energy counts
// the hours the day really had.
#include "CoreRig.h"
#include "ScopedTimeZone.h"

#include "core/LocaleFormats.h"

#include <algorithm>
#include <fstream>

using namespace quorvane;

namespace {

struct ZoneDay {
    const char* name;
    QDate day;
    int hours; // the length of that day in this zone
};

// In Europe/Rome clocks go from 02:00 to 03:00 on 28 March 2027 and from 03:00 back to 02:00
// on 31 October 2027; every switch time below lies in the skipped or the repeated hour.
const ZoneDay kZoneDays[] = {
    {"SpringForward", QDate(2027, 3, 28), 23},
    {"FallBack", QDate(2027, 10, 31), 25},
};

class DaylightSaving : public testsupport::CoreRig, public ::testing::WithParamInterface<ZoneDay> {
protected:
    std::string settings() const override
    {
        return "MeasTime=0\r\nUpdateLog=0\r\n[Timer]\r\n"
               "A=1\r\nTime A ON=02:15:00\r\nTime A OFF=02:50:00\r\n"
               "B=1\r\nTime B ON=02:30:00\r\nTime B OFF=02:45:00\r\n";
    }
    QDateTime start() const override { return QDateTime(GetParam().day, QTime(0, 0, 0)); }

    [[nodiscard]] long countOf(const std::string& message) const
    {
        const auto all = messages();
        return std::count(all.begin(), all.end(), message);
    }

    testsupport::ScopedTimeZone zone{"Europe/Rome"};
};

} // namespace

TEST_P(DaylightSaving, TimersFireOnceTheDayChangesOnceEnergyCountsTheRealHours)
{
    const ZoneDay& zoneDay = GetParam();
    ASSERT_EQ(clock.now().time(), QTime(0, 0, 0));
    connect();
    core->ForTests().Tick().TimerTimer();
    // One poll a second; the memo is looked at before the day change empties it.
    const QDateTime lastSecond(zoneDay.day, QTime(23, 59, 59));
    while (clock.now() < lastSecond)
        second();
    EXPECT_EQ(countOf(" Timer ON "), 1);
    EXPECT_EQ(countOf(" Timer OFF "), 1);
    EXPECT_EQ(countOf(" Timer SOL/SBU ON ( set SOL )"), 1);
    EXPECT_EQ(countOf(" Timer SOL/SBU OFF ( set SBU )"), 1);

    const std::string energyLogPath = core->ForTests().Logs().Tree().EnergyLogPath(); // the month of that day
    while (clock.now().date() == zoneDay.day)
        second();
    // One day change, one energy row for the day (the next day's current row may follow in
    // the same month): 14 A into a 57.50 V battery for every hour of the day.
    std::ifstream energyLog(energyLogPath);
    std::vector<std::string> rows;
    const std::string date = LocaleFormats("C").shortDate(zoneDay.day) + ",";
    for (std::string row; std::getline(energyLog, row);)
        if (row.starts_with(date))
            rows.push_back(row);
    ASSERT_EQ(rows.size(), 1u);
    const double expectedKwh = 14 * 57.50 * zoneDay.hours / 1000.0;
    const std::string solarField = rows[0].substr(rows[0].find(',') + 1);
    EXPECT_NEAR(std::stod(solarField), expectedKwh, expectedKwh * 0.001) << rows[0];
}

INSTANTIATE_TEST_SUITE_P(EuropeRome, DaylightSaving, ::testing::ValuesIn(kZoneDays),
                         [](const auto& info) { return std::string(info.param.name); });
