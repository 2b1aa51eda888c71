#include "QueryFixture.h"

#include "inverter/FlowTexts.h"
#include "inverter/Frame.h"

#include <optional>
#include <ostream>
#include <tuple>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::sim::Fault;
using quorvane::sim::FaultSpec;
using MainValuesQuery = quorvane::testsupport::QueryFixture;

namespace quorvane {

void PrintTo(const PollCounters& polls, std::ostream* out)
{
    *out << "requests " << polls.Requests << ", accepted " << polls.Accepted << ", send failed " << polls.SendFailed
         << ", no reply " << polls.NoReply << ", bad frame " << polls.BadFrame << ", refused " << polls.Refused
         << ", malformed " << polls.Malformed << ", reconnects " << polls.Reconnects;
}

} // namespace quorvane

namespace {

// ChargeOn, SolarCharging, LineCharging.
std::tuple<int, int, int> statusBits(const MeasurementRecord& record)
{
    return {record.ChargeOn, record.SolarCharging, record.LineCharging};
}

} // namespace

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
    EXPECT_EQ(record.MainValues[21], "010"); // the last field as sent, nothing of the CRC and CR
    EXPECT_EQ(record.ChargeOn, 1);
    EXPECT_EQ(record.SolarCharging, 0);
    EXPECT_EQ(record.LineCharging, 1);
    EXPECT_TRUE(record.LinePresent);
    EXPECT_EQ(record.SecondsSincePrevPoll, 10.0);
    EXPECT_EQ(record.PollTime, clock.now());
    EXPECT_TRUE(memo.Lines().empty());
    EXPECT_EQ(model.ReceivedCommands(), std::vector<std::string>{"QPIGS"});
    EXPECT_EQ(record.Polls, (PollCounters{.Requests = 1, .Accepted = 1}));
}

TEST_F(MainValuesQuery, RejectedRepliesKeepTheRecordAndReportOnlyWhenAsked)
{
    Bytes withoutCr = model.MainValuesReply();
    withoutCr.pop_back();
    Bytes crReplaced = model.MainValuesReply();
    crReplaced.back() = 'X';
    const Bytes usual = model.MainValuesReply();
    const std::string payload(usual.begin() + 1, usual.end() - 3);
    std::string nulInAField = payload;
    nulInAField[2] = '\0'; // "23\0.0": as the AC voltage, read as 0
    std::string letterInAField = payload;
    letterInAField[2] = 'A';
    const std::string sixteenFields = payload.substr(0, payload.find(" 00110110"));
    const size_t full = model.MainValuesReply().size();
    const struct {
        const char* name;
        std::optional<FaultSpec> fault;
        Bytes raw;
        size_t received;
        std::uint64_t PollCounters::*reason; // the rejection it counts as
        bool refused = false;
    } cases[] = {
        {"no answer", FaultSpec{.kind = Fault::NoAnswer}, {}, 0, &PollCounters::NoReply},
        {"wrong CRC", FaultSpec{.kind = Fault::WrongCrc}, {}, full, &PollCounters::BadFrame},
        {"truncated", FaultSpec{.kind = Fault::Truncated}, {}, full / 2, &PollCounters::BadFrame},
        {"line noise", FaultSpec{.kind = Fault::Garbage}, {}, full, &PollCounters::BadFrame},
        {"no final CR", std::nullopt, withoutCr, full - 1, &PollCounters::BadFrame},
        {"the CR replaced by another byte", std::nullopt, crReplaced, full, &PollCounters::BadFrame},
        // Frames whose CRC holds but which are no main-values reply.
        {"a refusal", std::nullopt, sim::InverterModel::FrameReply("NAK"), 7, &PollCounters::Refused, true},
        {"two fields", std::nullopt, sim::InverterModel::FrameReply("230.0 50.0"), 14, &PollCounters::Malformed},
        {"sixteen fields", std::nullopt, sim::InverterModel::FrameReply(sixteenFields), sixteenFields.size() + 4,
         &PollCounters::Malformed},
        // The frame reader takes printable payloads only.
        {"a NUL inside a field", std::nullopt, sim::InverterModel::FrameReply(nulInAField), full,
         &PollCounters::BadFrame},
        {"a letter where a number belongs", std::nullopt, sim::InverterModel::FrameReply(letterInAField), full,
         &PollCounters::Malformed},
    };
    for (const bool showAllErrors : {false, true}) {
        link.ShowAllErrors = showAllErrors;
        for (const auto& c : cases) {
            memo.Clear();
            record.AcVoltage = record.AcFrequency = record.MainValues[1] = record.MainValues[2] = "previous";
            record.ChargeOn = record.SolarCharging = 1;
            record.LineCharging = 0;
            record.LinePresent = record.LinePresentPrev = true;
            record.LineTransition = 0;
            const QDateTime pollTime = record.PollTime;
            const int readings = record.ValidReadings;
            PollCounters counted = record.Polls;
            ++counted.Requests;
            ++(counted.*c.reason);
            model.ClearRawReplies();
            if (!c.raw.empty())
                model.SetRawReply("QPIGS", c.raw);
            if (c.fault)
                model.InjectFault(*c.fault);
            comm.Purge();
            clock.advance(1s);
            queries.QueryMainValues();

            EXPECT_FALSE(record.ValuesValid) << c.name;
            EXPECT_EQ(record.ValidReadings, readings) << c.name;
            EXPECT_EQ(record.Polls, counted) << c.name;
            EXPECT_EQ(record.AcVoltage, "previous") << c.name;
            EXPECT_EQ(record.AcFrequency, "previous") << c.name;
            EXPECT_EQ(record.MainValues[1], "previous") << c.name;
            EXPECT_EQ(record.MainValues[2], "previous") << c.name;
            EXPECT_EQ(record.PollTime, pollTime) << c.name; // the reading time stays with the last reading
            EXPECT_EQ(statusBits(record), std::make_tuple(1, 1, 0)) << c.name;
            // No line fault out of a reply that was no reading.
            EXPECT_TRUE(record.LinePresent) << c.name;
            EXPECT_EQ(record.LineTransition, 0) << c.name;
            const std::string n = std::to_string(c.received);
            std::vector<std::string> expected;
            if (showAllErrors && c.refused)
                expected.push_back("Inverter refused QPIGS (NAK).");
            if (showAllErrors)
                expected.push_back("Error receiving main values (" + n + "/" + n + ")");
            EXPECT_EQ(messages(), expected) << c.name;
        }
    }
}

TEST_F(MainValuesQuery, EveryShapeOfReplyAndHabitOfUnitIsRead)
{
    // In virtual time at line pace: a LF after the CR, or bytes before the reply, that come
    // 50 ms and more away from it.
    const struct {
        const char* name;
        int length;
        bool lineFeed;
        Bytes stale;
    } cases[] = {
        {"110 bytes", 110, false, {}},
        {"17 fields of older firmware", 94, false, {}},
        {"five-digit power fields", 112, false, {}},
        {"24 fields", 119, false, {}},
        {"24 fields, a longer last one", 120, false, {}},
        {"24 fields, five-digit power fields", 122, false, {}},
        {"a LF after the CR", 110, true, {}},
        {"the tail of an earlier reply first", 110, false, sim::InverterModel::kDefaultStaleBytes},
        {"a LF first", 122, true, {0x0A}},
        {"an echo of the request first", 110, false, FrameCommand("QPIGS")},
        {"an earlier partial frame first", 110, false, {'(', '2', '3', '0', '.', '0', ' '}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(model.SetMainValuesLength(c.length)) << c.name;
        model.SetLineFeedAfterCr(c.lineFeed);
        model.SetStaleBytes(c.stale);
        ASSERT_EQ(model.MainValuesReply().size(), static_cast<size_t>(c.length)) << c.name;
        record = MeasurementRecord();
        for (int poll = 0; poll < 2; ++poll) { // the second after whatever the first left behind
            queries.QueryMainValues();
            EXPECT_TRUE(record.ValuesValid) << c.name << ", poll " << poll;
        }
        EXPECT_EQ(record.AcVoltage, "230.0") << c.name;
        EXPECT_EQ(record.OutputApparentPower, "161") << c.name; // "0161" or "00161"
        EXPECT_EQ(record.OutputActivePower, "119") << c.name;
        EXPECT_EQ(record.DischargeCurrent, "0") << c.name;
        EXPECT_EQ(record.MainValues[17], "00110110") << c.name;
        EXPECT_EQ(statusBits(record), std::make_tuple(1, 1, 0)) << c.name;
    }
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(MainValuesQuery, TheStatusBitsAreTheStatusFieldsWhateverTheReplysLength)
{
    // Captured replies: the same status field in replies of 110, 112 and 122 bytes.
    const struct {
        const char* payload;
        size_t length;
        int chargeOn, solar, line;
        const char* chargeState;
    } cases[] = {
        {"238.3 50.0 230.2 50.0 0322 0205 005 422 53.20 000 050 0056 02.1 224.7 00.00 00000 00010110 00 00 00473 010",
         110, 1, 1, 0, "Solar charge"},
        {"243.0 49.8 230.1 50.0 00276 00147 002 375 53.20 000 050 0032 00.8 091.5 00.00 00000 00010110 00 00 00080 "
         "010 0 00 0000",
         122, 1, 1, 0, "Solar charge"},
        {"201.6 50.0 201.6 50.0 03749 03724 034 435 55.60 001 100 0046 00.0 000.0 00.00 00000 00010101 00 00 00000 110",
         112, 1, 0, 1, "Line charge"},
    };
    for (const auto& c : cases) {
        const Bytes reply = sim::InverterModel::FrameReply(c.payload);
        ASSERT_EQ(reply.size(), c.length);
        model.SetRawReply("QPIGS", reply);
        queries.QueryMainValues();
        ASSERT_TRUE(record.ValuesValid) << c.length;
        EXPECT_EQ(statusBits(record), std::make_tuple(c.chargeOn, c.solar, c.line))
            << c.length;
        queries.QueryMode();
        EXPECT_EQ(ChargeStateText(record.Flow.Charge), c.chargeState) << c.length;
    }
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
    EXPECT_EQ(record.Polls, (PollCounters{.SendFailed = 1}));
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
