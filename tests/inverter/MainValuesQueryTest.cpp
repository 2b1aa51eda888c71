#include "QueryFixture.h"

#include "inverter/Frame.h"

#include <optional>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::sim::Fault;
using quorvane::sim::FaultSpec;
using MainValuesQuery = quorvane::testsupport::QueryFixture;

TEST_F(MainValuesQuery, AnAcceptedReplyFillsTheRecord)
{
    model.SetStatusBits(true, false, true);
    record.PollTime = clock.now();
    clock.advance(10s);
    queries.QueryMainValues();

    EXPECT_TRUE(record.ValuesValid);
    EXPECT_EQ(record.MainValues[1], "230.0");
    EXPECT_EQ(record.AcVoltage, "230.0");
    EXPECT_EQ(record.OutputApparentPower, "161");  // "0161"
    EXPECT_EQ(record.PvInputCurrent, "14");        // "0014"
    EXPECT_EQ(record.DischargeCurrent, "0");       // "00000"
    EXPECT_EQ(record.SccBatteryVoltage, "57.45");
    EXPECT_EQ(record.ChargeOn, 1);
    EXPECT_EQ(record.SolarCharging, 0);
    EXPECT_EQ(record.LineCharging, 1);
    EXPECT_TRUE(record.LinePresent);
    EXPECT_EQ(record.SecondsSincePrevPoll, 10.0);
    EXPECT_EQ(record.PollTime, clock.now());
    EXPECT_TRUE(memo.Lines().empty());
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS"});
}

TEST_F(MainValuesQuery, RejectedRepliesKeepTheRecordAndReportOnlyWhenAsked)
{
    Bytes withoutCr = model.MainValuesReply();
    withoutCr.pop_back();
    const size_t full = model.MainValuesReply().size();
    const struct {
        const char* name;
        std::optional<FaultSpec> fault;
        Bytes raw;
        size_t received;
    } cases[] = {
        {"no answer", FaultSpec{.kind = Fault::NoAnswer}, {}, 0},
        {"wrong CRC", FaultSpec{.kind = Fault::WrongCrc}, {}, full},
        {"truncated", FaultSpec{.kind = Fault::Truncated}, {}, full / 2},
        {"line noise", FaultSpec{.kind = Fault::Garbage}, {}, full},
        {"extra bytes after the CR", FaultSpec{.kind = Fault::ExtraBytes, .extra = {0x0A}}, {}, full + 1},
        {"no final CR", std::nullopt, withoutCr, full - 1},
    };
    for (const bool showAllErrors : {false, true}) {
        link.ShowAllErrors = showAllErrors;
        for (const auto& c : cases) {
            memo.Clear();
            record.AcVoltage = "previous";
            record.MainValues[1] = "previous";
            model.ClearRawReplies();
            if (!c.raw.empty())
                model.SetRawReply("QPIGS", c.raw);
            if (c.fault)
                model.InjectFault(*c.fault);
            comm.Purge();
            queries.QueryMainValues();

            EXPECT_FALSE(record.ValuesValid) << c.name;
            EXPECT_EQ(record.AcVoltage, "previous") << c.name;
            EXPECT_EQ(record.MainValues[1], "previous") << c.name;
            const std::string n = std::to_string(c.received);
            const std::vector<std::string> expected =
                showAllErrors ? std::vector<std::string>{"Error receiving main values (" + n + "/" + n + ")"}
                              : std::vector<std::string>{};
            EXPECT_EQ(messages(), expected) << c.name;
        }
    }
}

TEST_F(MainValuesQuery, TheLastByteIsNotExamined)
{
    Bytes reply = model.MainValuesReply();
    reply.back() = 'X';
    model.SetRawReply("QPIGS", reply);
    queries.QueryMainValues();
    EXPECT_TRUE(record.ValuesValid);
    EXPECT_EQ(record.AcVoltage, "230.0");
}

TEST_F(MainValuesQuery, AShortAcceptedReplyLeavesTheStatusBits)
{
    record.ChargeOn = 1;
    record.SolarCharging = 1;
    model.SetRawReply("QPIGS", sim::InverterModel::FrameReply("050.0 50.0"));
    queries.QueryMainValues();
    EXPECT_TRUE(record.ValuesValid);
    EXPECT_EQ(record.AcVoltage, "50.0");
    EXPECT_FALSE(record.LinePresent);
    EXPECT_EQ(record.ChargeOn, 1);
    EXPECT_EQ(record.SolarCharging, 1);
    EXPECT_EQ(record.LineCharging, 0);
}

TEST_F(MainValuesQuery, LineAbsenceCountsAlsoOnRejectedPolls)
{
    model.SetLinePresent(false);
    queries.QueryMainValues();
    EXPECT_FALSE(record.LinePresent);
    EXPECT_EQ(record.LineTransition, -1);
    model.InjectFault({.kind = Fault::WrongCrc});
    queries.QueryMainValues(); // rejected: the step repeats with the flags as they are
    EXPECT_EQ(record.LineTransition, -1);
    queries.QueryMainValues();
    EXPECT_EQ(record.LineTransition, -2);
    EXPECT_EQ(record.LastAbsenceCount, -2);
}

TEST_F(MainValuesQuery, DisconnectedMeansNoTrafficNoMessageButTheLineStep)
{
    link.LinkConnected = false;
    link.ShowAllErrors = true;
    record.LinePresentPrev = false;
    record.LinePresent = false;
    queries.QueryMainValues();
    EXPECT_FALSE(record.ValuesValid);
    EXPECT_EQ(record.LineTransition, -1);
    EXPECT_TRUE(memo.Lines().empty());
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
}

TEST_F(MainValuesQuery, ARequestThatCannotGoOutSkipsTheLineStep)
{
    link.ShowAllErrors = true;
    record.LinePresentPrev = false;
    record.LinePresent = false;
    model.Unplug();
    queries.QueryMainValues();
    EXPECT_EQ(messages(), std::vector<std::string>{"Error in send command."});
    EXPECT_EQ(record.LineTransition, 0);
    EXPECT_FALSE(record.ValuesValid);
}

TEST_F(MainValuesQuery, TestModeMakesUpValuesWithoutTouchingThePort)
{
    link.Test = true;
    record.ChargeOn = 1;
    const struct {
        const std::string& variable;
        int low, high;
    } ranges[] = {
        {record.AcVoltage, 200, 239},          {record.AcFrequency, 40, 54},        {record.OutputVoltage, 200, 239},
        {record.OutputFrequency, 40, 54},      {record.OutputApparentPower, 0, 3999}, {record.OutputActivePower, 0, 3999},
        {record.LoadPercent, 0, 99},           {record.BusVoltage, 380, 409},       {record.BatteryVoltage, 44, 54},
        {record.ChargingCurrent, 0, 19},       {record.BatteryCapacity, 0, 99},     {record.HeatSinkTemperature, 30, 59},
        {record.PvInputCurrent, 0, 39},        {record.PvInputVoltage, 40, 74},     {record.SccBatteryVoltage, 44, 54},
        {record.DischargeCurrent, 0, 99},
    };
    for (int poll = 0; poll < 50; ++poll) {
        queries.QueryMainValues();
        ASSERT_TRUE(record.ValuesValid);
        ASSERT_TRUE(record.LinePresent);
        for (const auto& range : ranges) {
            const int value = std::stoi(range.variable);
            ASSERT_GE(value, range.low);
            ASSERT_LE(value, range.high);
        }
    }
    EXPECT_EQ(record.ChargeOn, 1);
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
    EXPECT_TRUE(memo.Lines().empty());
}
