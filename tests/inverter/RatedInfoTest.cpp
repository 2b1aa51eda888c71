// The rated information and the charging-current lists, as real units send them.
#include "CapturedReplies.h"

#include "inverter/RatedInfo.h"
#include "inverter/ReplyFrame.h"
#include "inverter/SettingCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace quorvane;
using namespace quorvane::captures;

namespace {

// A 48 V unit as most send it: 25 fields, re-discharge 54.0.
const std::string kTypical = "230.0 21.7 230.0 50.0 21.7 5000 4000 48.0 46.0 42.0 56.4 54.0 2 02 060 0 2 3 1 01 0 0 54.0 0 1";

RatedInfo typical()
{
    return RatedInfo{48.0, 46.0, 42.0, 56.4, 54.0, BatteryType::User, 2, 60,
                     OutputPriority::SBU, ChargerPriority::OnlySolar, 54.0};
}

// The payload with field `field` (1-based) replaced, or cut before it when `text` is null.
std::string withField(int field, const char* text)
{
    std::vector<std::string> fields;
    std::istringstream words(kTypical);
    for (std::string word; words >> word;)
        fields.push_back(word);
    if (text == nullptr)
        fields.resize(static_cast<size_t>(field - 1));
    else
        fields[static_cast<size_t>(field - 1)] = text;
    std::string payload;
    for (const auto& word : fields)
        payload += (payload.empty() ? "" : " ") + word;
    return payload;
}

RatedInfo changed(void (*change)(RatedInfo&))
{
    RatedInfo info = typical();
    change(info);
    return info;
}

// The payloads of the captured replies to `command`: through the frame reader where the CRC
// is known, as transcribed where it is not.
std::vector<std::pair<int, std::string>> capturedPayloads(const std::string& command)
{
    std::vector<std::pair<int, std::string>> payloads;
    for (const Capture& capture : LoadCaptures(WithoutCrcToo)) {
        if (capture.command != command)
            continue;
        if (!capture.crcKnown) {
            payloads.emplace_back(capture.line, PayloadOf(capture));
            continue;
        }
        const auto frame = FindReplyFrame(capture.reply);
        EXPECT_TRUE(frame) << "line " << capture.line;
        if (frame)
            payloads.emplace_back(capture.line, std::string(frame->payload));
    }
    return payloads;
}

} // namespace

TEST(RatedInfo, FieldsOneToTwelveDecideTheRestMayBeUnknown)
{
    const struct {
        const char* name;
        std::string payload;
        std::optional<RatedInfo> expected;
    } cases[] = {
        {"typical", kTypical, typical()},
        {"old firmware: no re-discharge", withField(23, nullptr), changed([](RatedInfo& i) { i.RedischargeV.reset(); })},
        {"only the twelve fields", withField(13, nullptr), RatedInfo{48.0, 46.0, 42.0, 56.4, 54.0, {}, {}, {}, {}, {}, {}}},
        {"eleven fields", withField(12, nullptr), std::nullopt},
        {"'-' for a voltage", withField(10, "-"), std::nullopt},
        {"a letter in the battery rating", withField(8, "4B.0"), std::nullopt},
        {"'-' for the utility current", withField(14, "-"), changed([](RatedInfo& i) { i.MaxUtilityChargingA.reset(); })},
        {"a current with decimals", withField(15, "60.5"), changed([](RatedInfo& i) { i.MaxChargingA.reset(); })},
        {"'-' for the battery type", withField(13, "-"), changed([](RatedInfo& i) { i.Battery.reset(); })},
        {"a unit's own battery type", withField(13, "09"), changed([](RatedInfo& i) { i.Battery = BatteryType{9}; })},
        {"an output priority no unit has", withField(17, "3"), changed([](RatedInfo& i) { i.OutputSource.reset(); })},
        {"a charger priority no unit has", withField(18, "4"), changed([](RatedInfo& i) { i.ChargerSource.reset(); })},
        {"re-discharge when full", withField(23, "00.0"), changed([](RatedInfo& i) { i.RedischargeV = 0.0; })},
        {"'-' for the re-discharge", withField(23, "-"), changed([](RatedInfo& i) { i.RedischargeV.reset(); })},
        {"a refusal", "NAK", std::nullopt},
        {"nothing", "", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeRatedInfo(c.payload), c.expected) << c.name;
}

TEST(RatedInfo, CapturedRepliesReadAsTheirUnitsAreSet)
{
    const struct {
        const char* payload; // as captured
        RatedInfo expected;
    } cases[] = {
        {"230.0 13.0 230.0 50.0 13.0 3000 2400 24.0 23.0 21.0 28.2 27.0 0 30 50 0 2 1 - 01 1 0 26.0 0 0",
         {24.0, 23.0, 21.0, 28.2, 27.0, BatteryType::Agm, 30, 50, OutputPriority::SBU, ChargerPriority::SolarFirst, 26.0}},
        {"230.0 23.9 230.0 50.0 23.9 5500 5500 48.0 49.0 48.0 57.9 57.9 2 02 060 1 2 3 1 01 0 0 00.0 0 1",
         {48.0, 49.0, 48.0, 57.9, 57.9, BatteryType::User, 2, 60, OutputPriority::SBU, ChargerPriority::OnlySolar, 0.0}},
        {"230.0 21.7 230.0 50.0 21.7 5000 5000 48.0 47.0 46.5 57.6 57.6 9 30 080 0 1 2 1 01 0 0 52.0 0 1",
         {48.0, 47.0, 46.5, 57.6, 57.6, BatteryType{9}, 30, 80, OutputPriority::SolarFirst, ChargerPriority::SolarAndUtility, 52.0}},
        {"230.0 10.0 230.0 50.0 10.0 2300 2300 12.0 12.8 11.0 14.2 13.6 2 20 100 0 2 2 1 01 0 0 13.3 0 1",
         {12.0, 12.8, 11.0, 14.2, 13.6, BatteryType::User, 20, 100, OutputPriority::SBU, ChargerPriority::SolarAndUtility, 13.3}},
        {"230.0 18.2 230.0 50.0 18.2 4200 4200 24.0 23.5 23.1 29.0 27.7 3 002 080 1 1 2 1 01 0 0 27.0 0 1 23.5 12 22.0",
         {24.0, 23.5, 23.1, 29.0, 27.7, BatteryType{3}, 2, 80, OutputPriority::SolarFirst, ChargerPriority::SolarAndUtility, 27.0}},
    };
    const auto captured = capturedPayloads("QPIRI");
    for (const auto& c : cases) {
        const bool found = std::any_of(captured.begin(), captured.end(), [&](const auto& p) { return p.second == c.payload; });
        EXPECT_TRUE(found) << "not among the captures: " << c.payload;
        EXPECT_EQ(DecodeRatedInfo(c.payload), c.expected) << c.payload;
    }
}

TEST(RatedInfo, EveryCapturedReplyIsReadAndItsVoltagesLieInTheRangesAllowed)
{
    const auto captured = capturedPayloads("QPIRI");
    for (const auto& [line, payload] : captured) {
        const auto info = DecodeRatedInfo(payload);
        ASSERT_TRUE(info) << "line " << line;
        EXPECT_TRUE(info->BatteryRatingV == 12.0 || info->BatteryRatingV == 24.0 || info->BatteryRatingV == 48.0)
            << "line " << line;
        EXPECT_TRUE(info->MaxChargingA && info->MaxUtilityChargingA && info->Battery) << "line " << line;
        EXPECT_LE(info->FloatV, info->BulkV) << "line " << line;
        const std::pair<ChargerSetting, std::optional<double>> voltages[] = {
            {ChargerSetting::RechargeVoltage, info->RechargeV}, {ChargerSetting::CutOffVoltage, info->CutOffV},
            {ChargerSetting::BulkVoltage, info->BulkV},         {ChargerSetting::FloatVoltage, info->FloatV},
            {ChargerSetting::RedischargeVoltage, info->RedischargeV},
        };
        // The settings real units are in are settings this program lets a person choose.
        for (const auto& [setting, volts] : voltages) {
            const auto range = AllowedVoltages(setting, info->BatteryRatingV);
            ASSERT_TRUE(range && volts) << "line " << line;
            if (*volts != 0.0 || setting != ChargerSetting::RedischargeVoltage) {
                EXPECT_GE(*volts, range->LowV) << "line " << line << ", " << SettingName(setting);
                EXPECT_LE(*volts, range->HighV) << "line " << line << ", " << SettingName(setting);
            }
        }
    }
    EXPECT_GE(captured.size(), 25u);
}

TEST(CurrentSteps, WholeNumbersOrNothing)
{
    const struct {
        const char* payload;
        std::optional<std::vector<int>> expected;
    } cases[] = {
        {"010 020 030", std::vector<int>{10, 20, 30}},
        {"002 010 ", std::vector<int>{2, 10}},
        {"5", std::vector<int>{5}},
        {"010 02.5", std::nullopt},
        {"010 -", std::nullopt},
        {"010  020", std::nullopt}, // an empty field between two blanks
        {"NAK", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCurrentSteps(c.payload), c.expected) << c.payload;
}

TEST(CurrentSteps, CapturedListsAreRead)
{
    std::vector<int> tens;
    for (int step = 10; step <= 120; step += 10)
        tens.push_back(step);
    std::vector<int> utility = tens;
    utility.insert(utility.begin(), 2);
    const struct {
        const char* command;
        std::vector<int> expected;
    } cases[] = {{"QMCHGCR", tens}, {"QMUCHGCR", utility}};
    for (const auto& c : cases) {
        const auto captured = capturedPayloads(c.command);
        ASSERT_FALSE(captured.empty()) << c.command;
        for (const auto& [line, payload] : captured)
            EXPECT_EQ(DecodeCurrentSteps(payload), c.expected) << "line " << line;
    }
}
