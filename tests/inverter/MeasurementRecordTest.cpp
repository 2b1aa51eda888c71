#include "inverter/MeasurementRecord.h"
#include "inverter/FlowTexts.h" // the texts a fresh record shows

#include <gtest/gtest.h>

#include <vector>

using namespace quorvane;

TEST(MeasurementRecord, StartsAsTheWindowCreatesIt)
{
    const MeasurementRecord record;
    for (int slot = 0; slot < kReplySlotCount; ++slot)
        EXPECT_EQ(record.MainValues[static_cast<size_t>(slot)], slot < 30 ? "00" : "") << slot;
    EXPECT_TRUE(record.LinePresent);
    EXPECT_TRUE(record.LinePresentPrev);
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--");
    EXPECT_EQ(record.AcVoltage, "");
}

TEST(MeasurementRecord, DisplayVariablesComeFromTheirFieldsWithoutLeadingZeros)
{
    MeasurementRecord record;
    const std::vector<std::string> fields = {
        "000.0", "00.0", "230.0", "49.9", "0161", "0119", "003", "460", "57.50", "012", "100",
        "0069", "0014", "103.8", "57.45", "00000", "00110110",
    };
    for (size_t i = 0; i < fields.size(); ++i)
        record.MainValues[i + 1] = fields[i];
    record.SetDisplayVariablesFromSlots();
    const struct {
        const std::string& variable;
        const char* text;
    } cases[] = {
        {record.AcVoltage, ".0"},          {record.AcFrequency, ".0"},         {record.PvInputVoltage, "103.8"},
        {record.PvInputCurrent, "14"},     {record.BatteryVoltage, "57.50"},   {record.BatteryCapacity, "100"},
        {record.ChargingCurrent, "12"},    {record.DischargeCurrent, "0"},     {record.OutputFrequency, "49.9"},
        {record.OutputVoltage, "230.0"},   {record.OutputApparentPower, "161"}, {record.OutputActivePower, "119"},
        {record.LoadPercent, "3"},         {record.HeatSinkTemperature, "69"}, {record.BusVoltage, "460"},
        {record.SccBatteryVoltage, "57.45"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.variable, c.text);
}

TEST(MeasurementRecord, LineIsPresentAboveOneHundredVolts)
{
    const struct {
        const char* acVoltage;
        bool present;
    } cases[] = {{"100.0", false}, {"100.1", true}, {".0", false}, {"230.0", true}, {"", false}, {"1.2.3", false}};
    for (const auto& c : cases) {
        MeasurementRecord record;
        record.AcVoltage = c.acVoltage;
        record.TakeLinePresenceFromReading();
        EXPECT_EQ(record.LinePresent, c.present) << c.acVoltage;
        EXPECT_TRUE(record.LinePresentPrev);
    }
}

TEST(MeasurementRecord, LineTransitionCounter)
{
    // Each case is a run of polls: the line seen (1) or not (0) at each valid poll, and the
    // counter after each.
    const struct {
        const char* name;
        int threshold;
        std::vector<int> lineSeen;
        std::vector<int> transitions;
        int lastAbsence;
    } cases[] = {
        {"first poll finds no line", -5, {0}, {-1}, 0},
        {"line stays", -5, {1, 1, 1}, {0, 0, 0}, 0},
        {"absence reaching the threshold counts up after the return", -1, {0, 0, 0, 1, 1, 1}, {-1, -2, -3, 1, 2, 3}, -3},
        {"short absence falls back to zero", -5, {0, 0, 1, 1, 1}, {-1, -2, 1, 0, 0}, 0},
        {"absence exactly at the threshold counts", -2, {0, 0, 1, 1}, {-1, -2, 1, 2}, -2},
        {"absence one short of the threshold does not", -3, {0, 0, 1, 1}, {-1, -2, 1, 0}, 0},
    };
    for (const auto& c : cases) {
        MeasurementRecord record;
        for (size_t poll = 0; poll < c.lineSeen.size(); ++poll) {
            record.AcVoltage = c.lineSeen[poll] ? "230.0" : "0";
            record.TakeLinePresenceFromReading();
            record.UpdateLineTransition(c.threshold);
            EXPECT_EQ(record.LineTransition, c.transitions[poll]) << c.name << ", poll " << poll + 1;
        }
        EXPECT_EQ(record.LastAbsenceCount, c.lastAbsence) << c.name;
    }
}

TEST(MeasurementRecord, ARejectedPollRepeatsTheStepOfTheLastValidOne)
{
    MeasurementRecord record;
    record.AcVoltage = "0";
    record.TakeLinePresenceFromReading();
    record.UpdateLineTransition(-1); // -1
    record.TakeLinePresenceFromReading();
    record.UpdateLineTransition(-1); // -2, both flags clear now
    record.UpdateLineTransition(-1); // a rejected poll: flags unchanged, one more down
    EXPECT_EQ(record.LineTransition, -3);
    EXPECT_EQ(record.LastAbsenceCount, -3);
}

TEST(MeasurementRecord, AbsenceThresholdFollowsTheMeasuringInterval)
{
    const int expected[] = {-5, -5, -5, -1, -1, -1, -1, -1};
    for (int index = 0; index < 8; ++index)
        EXPECT_EQ(MeasurementRecord::AbsenceThreshold(index), expected[index]) << index;
}

TEST(MeasurementRecord, PollTimingCountsTheElapsedTimeToTheMillisecond)
{
    const QDateTime base(QDate(2026, 3, 21), QTime(14, 5, 9));
    const struct {
        const char* name;
        QDateTime previous;
        QDateTime now;
        double seconds;
    } cases[] = {
        {"1.9 s gives 1.9 s", base, base.addMSecs(1900), 1.9},
        {"1.757 s gives 1.757 s", base, base.addMSecs(1757), 1.757},
        {"one hour", base, base.addSecs(3600), 3600.0},
        {"across midnight: the real 4 s, not almost a day",
         QDateTime(QDate(2026, 3, 21), QTime(23, 59, 58)), QDateTime(QDate(2026, 3, 22), QTime(0, 0, 2)), 4.0},
        {"a clock set back gives no step", base, base.addSecs(-30), 0.0},
        {"no reading before", QDateTime(), base, 0.0},
    };
    for (const auto& c : cases) {
        MeasurementRecord record;
        record.PollTime = c.previous;
        record.UpdatePollTiming(c.now);
        EXPECT_EQ(record.PrevPollTime, c.previous) << c.name;
        EXPECT_EQ(record.PollTime, c.now) << c.name;
        EXPECT_DOUBLE_EQ(record.SecondsSincePrevPoll, c.seconds) << c.name;
    }
}
