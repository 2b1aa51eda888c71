// The warning-status reply: which conditions a payload reports and how serious each is, the
// replies captured from real units, and the debounce that turns readings into events.
#include "CapturedReplies.h"
#include "inverter/ReplyFrame.h"
#include "inverter/WarningDebounce.h"
#include "inverter/WarningStatus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

constexpr auto W = WarningSeverity::Warning;
constexpr auto F = WarningSeverity::Fault;

// A payload of `length` characters with these bits set.
std::string payloadWith(const std::vector<int>& bits, size_t length = 36)
{
    std::string payload(length, '0');
    for (const int bit : bits)
        payload.at(static_cast<size_t>(bit)) = '1';
    return payload;
}

struct Expected {
    int bit;
    const char* id;
    WarningSeverity severity;
};

// "bit id severity" for each condition, for messages that show the whole difference.
std::vector<std::string> described(const WarningStatus& status)
{
    std::vector<std::string> lines;
    for (const WarningCondition& c : status.Conditions)
        lines.push_back(std::to_string(c.Bit) + ' ' + c.Id + ' ' + WarningSeverityText(c.Severity));
    return lines;
}

std::vector<std::string> described(const std::vector<Expected>& expected)
{
    std::vector<std::string> lines;
    for (const Expected& e : expected)
        lines.push_back(std::to_string(e.bit) + ' ' + e.id + ' ' + WarningSeverityText(e.severity));
    return lines;
}

} // namespace

TEST(WarningStatus, DecodesTheSetBitsWithTheirSeverity)
{
    const struct {
        const char* name;
        std::string payload;
        std::vector<Expected> conditions;
    } cases[] = {
        {"none, older 32-bit unit", payloadWith({}, 32), {}},
        {"none, 36-bit unit", payloadWith({}), {}},
        {"battery low", payloadWith({12}), {{12, "battery_low", W}}},
        {"a fault and a warning", payloadWith({2, 5}), {{2, "bus_over", F}, {5, "line_fail", W}}},
        {"over temperature, fan, battery high, overload alone are warnings", payloadWith({9, 10, 11, 16}),
         {{9, "over_temperature", W}, {10, "fan_locked", W}, {11, "battery_voltage_high", W}, {16, "overload", W}}},
        {"with the inverter fault bit they are faults", payloadWith({1, 9, 10, 11, 16}),
         {{1, "inverter_fault", F}, {9, "over_temperature", F}, {10, "fan_locked", F},
          {11, "battery_voltage_high", F}, {16, "overload", F}}},
        {"the inverter fault bit promotes only those four", payloadWith({1, 12, 17, 28}),
         {{1, "inverter_fault", F}, {12, "battery_low", W}, {17, "eeprom_fault", W}, {28, "mppt_overload_warning", W}}},
        {"the last bit of a 32-bit unit", payloadWith({31}, 32), {{31, "pv2_loss", W}}},
        {"reserved bits", payloadWith({0, 13, 15}), {{0, "bit_0", W}, {13, "bit_13", W}, {15, "bit_15", W}}},
        {"bits past the defined ones", payloadWith({32, 35}), {{32, "bit_32", W}, {35, "bit_35", W}}},
        {"a longer reply", payloadWith({24, 39}, 40), {{24, "battery_short", F}, {39, "bit_39", W}}},
        {"a single character", "1", {{0, "bit_0", W}}},
    };
    for (const auto& c : cases) {
        const auto status = DecodeWarningStatus(c.payload);
        ASSERT_TRUE(status) << c.name;
        EXPECT_EQ(described(*status), described(c.conditions)) << c.name;
    }
}

TEST(WarningStatus, EachDefinedBitAloneHasItsSeverityAndItsOwnIdAndText)
{
    const std::set<int> faults = {1, 2, 3, 4, 7, 8, 18, 19, 20, 21, 22, 23, 24};
    std::set<std::string> ids, texts;
    for (int bit = 0; bit < 36; ++bit) {
        const auto status = DecodeWarningStatus(payloadWith({bit}));
        ASSERT_TRUE(status && status->Conditions.size() == 1) << bit;
        const WarningCondition& condition = status->Conditions.front();
        EXPECT_EQ(condition.Bit, bit);
        EXPECT_EQ(condition.Severity, faults.count(bit) != 0 ? F : W) << bit;
        EXPECT_TRUE(std::ranges::all_of(condition.Id, [](char c) { return std::islower(c) || std::isdigit(c) || c == '_'; }))
            << condition.Id;
        EXPECT_FALSE(condition.Text.empty()) << bit;
        ids.insert(condition.Id);
        texts.insert(condition.Text);
        EXPECT_EQ(status->Find(bit), &condition);
        EXPECT_EQ(status->Find(bit + 1), nullptr);
    }
    EXPECT_EQ(ids.size(), 36u);
    EXPECT_EQ(texts.size(), 36u);
}

TEST(WarningStatus, APayloadOfAnythingButZerosAndOnesIsRejected)
{
    for (const std::string& payload : std::vector<std::string>{"", "NAK", "0000 0000", "00000000000000000000000000000002",
                                      "0000000000000000000000000000000\r", std::string(35, '0') + '\0'})
        EXPECT_FALSE(DecodeWarningStatus(payload)) << '"' << payload << '"';
}

TEST(WarningStatus, MemoTextsSaySeverityChangeAndCondition)
{
    const auto lowBattery = DecodeWarningStatus(payloadWith({12}))->Conditions.front();
    const auto hot = DecodeWarningStatus(payloadWith({1, 9}))->Conditions.back();
    const auto reserved = DecodeWarningStatus(payloadWith({13}))->Conditions.front();
    EXPECT_EQ(WarningMemoText(lowBattery, WarningChange::On), "Warning on: Battery low");
    EXPECT_EQ(WarningMemoText(lowBattery, WarningChange::Off), "Warning off: Battery low");
    EXPECT_EQ(WarningMemoText(hot, WarningChange::On), "Fault on: Over temperature");
    EXPECT_EQ(WarningMemoText(hot, WarningChange::Off), "Fault off: Over temperature");
    EXPECT_EQ(WarningMemoText(reserved, WarningChange::On), "Warning on: bit 13");
}

TEST(WarningStatus, EveryCapturedReplyIsRead)
{
    using namespace quorvane::captures;
    const std::map<std::string, std::vector<Expected>> expectedByPayload = {
        {"00000100000000001000000000000000", {{5, "line_fail", W}, {16, "overload", W}}},
        {"00000100000000000000000000000000", {{5, "line_fail", W}}},
        {"100000000000000000000000000000000000", {{0, "bit_0", W}}},
        {"000000000000000000000000000000000000", {}},
    };
    int checked = 0;
    for (const Capture& capture : LoadCaptures()) {
        if (capture.command != "QPIWS")
            continue;
        const auto frame = FindReplyFrame(capture.reply);
        ASSERT_TRUE(frame) << "line " << capture.line;
        const std::string payload(frame->payload);
        const auto expected = expectedByPayload.find(payload);
        ASSERT_NE(expected, expectedByPayload.end()) << "line " << capture.line << ": no expectation for " << payload;
        const auto status = DecodeWarningStatus(payload);
        ASSERT_TRUE(status) << "line " << capture.line;
        EXPECT_EQ(described(*status), described(expected->second)) << "line " << capture.line;
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

namespace {

struct Step {
    std::vector<int> bits;               // set in this reading
    std::vector<std::string> events;     // the memo texts of what turned on, then of what turned off
    std::vector<std::string> activeIds;  // what counts as on afterwards
};

std::vector<std::string> eventsOf(const WarningChanges& changes)
{
    std::vector<std::string> events;
    for (const WarningCondition& c : changes.TurnedOn)
        events.push_back(WarningMemoText(c, WarningChange::On));
    for (const WarningCondition& c : changes.TurnedOff)
        events.push_back(WarningMemoText(c, WarningChange::Off));
    return events;
}

std::vector<std::string> idsOf(const WarningStatus& status)
{
    std::vector<std::string> ids;
    for (const WarningCondition& c : status.Conditions)
        ids.push_back(c.Id);
    return ids;
}

void run(WarningDebounce& debounce, const char* name, const std::vector<Step>& steps)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        const WarningChanges changes = debounce.Feed(*DecodeWarningStatus(payloadWith(steps[i].bits)));
        EXPECT_EQ(eventsOf(changes), steps[i].events) << name << ", reading " << i + 1;
        EXPECT_EQ(changes.Empty(), steps[i].events.empty()) << name << ", reading " << i + 1;
        EXPECT_EQ(idsOf(debounce.Active()), steps[i].activeIds) << name << ", reading " << i + 1;
    }
}

} // namespace

TEST(WarningDebounce, AConditionCountsOnlyAfterTwoReadingsInARow)
{
    const std::string lowOn = "Warning on: Battery low", lowOff = "Warning off: Battery low";
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"set for one reading only", {{{12}, {}, {}}, {{}, {}, {}}, {{}, {}, {}}}},
        {"set on and off by turns", {{{12}, {}, {}}, {{}, {}, {}}, {{12}, {}, {}}, {{}, {}, {}}, {{12}, {}, {}}}},
        {"set for two readings fires once",
         {{{12}, {}, {}}, {{12}, {lowOn}, {"battery_low"}}, {{12}, {}, {"battery_low"}}, {{12}, {}, {"battery_low"}}}},
        {"clear once is not off",
         {{{12}, {}, {}}, {{12}, {lowOn}, {"battery_low"}}, {{}, {}, {"battery_low"}}, {{12}, {}, {"battery_low"}},
          {{}, {}, {"battery_low"}}, {{}, {lowOff}, {}}, {{}, {}, {}}}},
        {"two conditions overlapping",
         {{{5}, {}, {}},
          {{5, 12}, {"Warning on: Line fail"}, {"line_fail"}},
          {{12}, {lowOn}, {"line_fail", "battery_low"}},
          {{}, {"Warning off: Line fail"}, {"battery_low"}},
          {{}, {lowOff}, {}}}},
        {"a warning that becomes a fault is shown as one and goes off as one",
         {{{9}, {}, {}},
          {{9}, {"Warning on: Over temperature"}, {"over_temperature"}},
          {{1, 9}, {}, {"over_temperature"}},
          {{1, 9}, {"Fault on: Inverter fault"}, {"inverter_fault", "over_temperature"}},
          {{}, {}, {"inverter_fault", "over_temperature"}},
          {{}, {"Fault off: Inverter fault", "Fault off: Over temperature"}, {}}}},
    };
    for (const auto& c : cases) {
        WarningDebounce debounce;
        run(debounce, c.name, c.steps);
    }
}

TEST(WarningDebounce, AFaultTakesTheSeverityOfItsLatestReading)
{
    WarningDebounce debounce;
    run(debounce, "over temperature", {{{1, 9}, {}, {}}, {{1, 9}, {"Fault on: Inverter fault", "Fault on: Over temperature"}, {"inverter_fault", "over_temperature"}}});
    debounce.Feed(*DecodeWarningStatus(payloadWith({9})));
    debounce.Feed(*DecodeWarningStatus(payloadWith({9})));
    ASSERT_EQ(idsOf(debounce.Active()), std::vector<std::string>{"over_temperature"});
    EXPECT_EQ(debounce.Active().Conditions.front().Severity, W);
}

TEST(WarningDebounce, ResetForgetsReadingsAndConditionsWithoutEvents)
{
    const std::string lowOn = "Warning on: Battery low";
    WarningDebounce debounce;
    run(debounce, "before the reset", {{{12}, {}, {}}, {{12}, {lowOn}, {"battery_low"}}});
    debounce.Reset();
    EXPECT_TRUE(debounce.Active().Conditions.empty());
    // The reading before the reset does not count towards the two after it.
    run(debounce, "after the reset", {{{12}, {}, {}}, {{12}, {lowOn}, {"battery_low"}}});

    debounce.Feed(*DecodeWarningStatus(payloadWith({5})));
    debounce.Reset();
    run(debounce, "a streak cut by the reset", {{{5}, {}, {}}, {{}, {}, {}}});
}
