#include "inverter/MeasurementRecord.h"
#include "monitor/EnergyIntegration.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

MeasurementRecord reading(const char* pvCurrent, const char* batteryVoltage, const char* apparent, const char* active,
                          InverterMode mode, double step)
{
    MeasurementRecord record;
    record.ValuesValid = true;
    record.PvInputCurrent = pvCurrent;
    record.BatteryVoltage = batteryVoltage;
    record.OutputApparentPower = apparent;
    record.OutputActivePower = active;
    record.Flow.Mode = mode;
    record.SecondsSincePrevPoll = step;
    return record;
}

} // namespace

TEST(ComputedValues, IntegratesSolarAlwaysAndLineOnlyInBypassOrTestMode)
{
    const struct {
        const char* name;
        MeasurementRecord record;
        bool testMode;
        double aux1, aux2, aux3, aux4;
    } cases[] = {
        {"10 A at 50 V for an hour", reading("10", "50", "0", "0", InverterMode::Battery, 3600), false, 0.5, 500, 0, 0},
        {"battery mode ignores the load", reading("0", "50", "2000", "1500", InverterMode::Battery, 3600), false, 0, 0, 0, 0},
        {"line bypass counts the load", reading("0", "50", "2000", "1500", InverterMode::Line, 3600), false, 0, 0, 2.0, 1.5},
        {"test mode counts the load", reading("2", "50", "360", "180", InverterMode::Test, 10), true, 2 * 50 * 10 / 3600.0 * 0.001, 100,
         0.001, 0.0005},
        {"a second PV input adds its charging power", [] {
             MeasurementRecord r = reading("10", "50", "0", "0", InverterMode::Battery, 3600);
             r.SecondPv = SecondPvReading{2.0, 200.0, 400.0};
             r.SecondPvValid = true;
             return r;
         }(), false, 0.9, 900, 0, 0},
        {"but not a reading of it from an earlier cycle", [] {
             MeasurementRecord r = reading("10", "50", "0", "0", InverterMode::Battery, 3600);
             r.SecondPv = SecondPvReading{2.0, 200.0, 400.0};
             return r;
         }(), false, 0.5, 500, 0, 0},
        {"an invalid reading changes nothing", [] {
             MeasurementRecord r = reading("10", "50", "2000", "1500", InverterMode::Line, 3600);
             r.ValuesValid = false;
             return r;
         }(), false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        ComputedValues values;
        Integrate(values, c.record, c.testMode);
        EXPECT_DOUBLE_EQ(values.Aux1, c.aux1) << c.name;
        EXPECT_DOUBLE_EQ(values.Aux2, c.aux2) << c.name;
        EXPECT_DOUBLE_EQ(values.Aux3, c.aux3) << c.name;
        EXPECT_DOUBLE_EQ(values.Aux4, c.aux4) << c.name;
        EXPECT_DOUBLE_EQ(values.Aux5, c.aux1) << c.name; // the total follows the day's solar
        EXPECT_DOUBLE_EQ(values.Aux6, c.aux4) << c.name; // and the day's active line energy
    }
}

TEST(ComputedValues, TheStepIsTheTimeSinceTheLastValidReading)
{
    const QDateTime start(QDate(2026, 6, 1), QTime(23, 59, 40));
    MeasurementRecord record = reading("10", "50", "1000", "1000", InverterMode::Line, 0);
    record.PollTime = start; // the connection is made
    ComputedValues values;

    const struct {
        const char* name;
        qint64 afterStartMs;
        bool valid;
        double step;
    } polls[] = {
        {"first reading 10 s after connecting", 10'000, true, 10},
        {"1.9 s later counts 1.9 s", 11'900, true, 1.9},
        {"a failed cycle", 13'000, false, 1.9},
        {"the next valid reading spans the gap, across midnight", 25'900, true, 14},
    };
    double expectedSolar = 0;
    for (const auto& poll : polls) {
        record.ValuesValid = poll.valid;
        if (poll.valid)
            record.UpdatePollTiming(start.addMSecs(poll.afterStartMs));
        Integrate(values, record, false);
        EXPECT_DOUBLE_EQ(record.SecondsSincePrevPoll, poll.step) << poll.name;
        if (poll.valid)
            expectedSolar += 500 * poll.step / 3600 * 0.001;
        EXPECT_DOUBLE_EQ(values.Aux1, expectedSolar) << poll.name;
    }
}

TEST(ComputedValues, DailyResetKeepsPowerAndTotals)
{
    ComputedValues values{1, 2, 3, 4, 5, 6};
    values.DailyReset();
    EXPECT_EQ(values.Aux1, 0);
    EXPECT_EQ(values.Aux2, 2);
    EXPECT_EQ(values.Aux3, 0);
    EXPECT_EQ(values.Aux4, 0);
    EXPECT_EQ(values.Aux5, 5);
    EXPECT_EQ(values.Aux6, 6);
}
