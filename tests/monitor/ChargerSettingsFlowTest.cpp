// The inverter's charger and battery settings through the whole core: read at connection,
// checked before anything is sent, confirmed by the person, sent in the cycle, acknowledged
// and read back.
#include "CoreRig.h"

#include <algorithm>

using namespace quorvane;

namespace {

class ChargerSettingsFlow : public testsupport::CoreRig {
protected:
    void SetUp() override
    {
        CoreRig::SetUp();
        connect();
        second(); // the first cycle read the rated information and the current steps
    }
    [[nodiscard]] bool sent(const std::string& command) const
    {
        const auto commands = model.ReceivedCommands();
        return std::ranges::find(commands, command) != commands.end();
    }
    [[nodiscard]] std::vector<std::string> settingLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& message : messages())
            if (message.starts_with("Inverter setting "))
                lines.push_back(message);
        return lines;
    }
};

} // namespace

TEST_F(ChargerSettingsFlow, TheSettingsInForceAndTheAllowedCurrentsAreRead)
{
    const CoreState state = core->State();
    ASSERT_TRUE(state.Rated);
    EXPECT_EQ(state.Rated->BatteryRatingV, 48.0);
    EXPECT_EQ(state.Rated->RechargeV, 46.0);
    EXPECT_EQ(state.Rated->MaxChargingA, 60);
    ASSERT_TRUE(state.ChargingSteps);
    EXPECT_FALSE(state.ChargingSteps->Charging.empty());
    // Asked once per connection, not with every rated-information reading.
    core->RequestStatus();
    second();
    const auto commands = model.ReceivedCommands();
    EXPECT_EQ(std::ranges::count(commands, "QMCHGCR"), 1);
    EXPECT_EQ(std::ranges::count(commands, "QPIRI"), 2);
}

TEST_F(ChargerSettingsFlow, AConfirmedChangeIsSentInTheCycleAndReadBack)
{
    core->ChangeChargerSetting(ChargerSetting::RechargeVoltage, 47.0, "the window");
    ASSERT_EQ(person.questions.size(), 1u);
    EXPECT_EQ(person.questions[0], "Change the inverter's Re-charge voltage from 46.0 V to 47.0 V?");
    EXPECT_FALSE(sent("PBCV47.0")) << "nothing goes out before the cycle";
    second();
    EXPECT_TRUE(sent("PBCV47.0"));
    EXPECT_EQ(settingLines(),
              std::vector<std::string>{"Inverter setting Re-charge voltage 46.0 V -> 47.0 V (asked from the window): done."});
    EXPECT_EQ(core->State().Rated->RechargeV, 47.0);
}

TEST_F(ChargerSettingsFlow, ValuesTheUnitWouldNotTakeAreRefusedBeforeAnythingIsSent)
{
    const struct {
        ChargerSetting setting;
        double value;
        const char* reasonPart;
    } cases[] = {
        {ChargerSetting::RechargeVoltage, 55.0, "44.0"},
        {ChargerSetting::FloatVoltage, 57.0, "bulk"},
        {ChargerSetting::MaxChargingCurrent, 65, "allows"},
        {ChargerSetting::RechargeVoltage, 46.25, "0.1"},
    };
    for (const auto& c : cases) {
        person.warnings.clear();
        core->ChangeChargerSetting(c.setting, c.value, "the window");
        ASSERT_EQ(person.warnings.size(), 1u) << c.value;
        EXPECT_NE(person.warnings[0].find(c.reasonPart), std::string::npos) << person.warnings[0];
    }
    EXPECT_TRUE(person.questions.empty());
    const size_t before = model.ReceivedCommands().size();
    second();
    const auto commands = model.ReceivedCommands();
    EXPECT_TRUE(std::none_of(commands.begin() + static_cast<std::ptrdiff_t>(before), commands.end(),
                             [](const std::string& c) { return c.starts_with("PBCV") || c.starts_with("PBFT") || c.find("CHGC") != std::string::npos; }));
}

TEST_F(ChargerSettingsFlow, ANoFromThePersonSendsNothing)
{
    person.nextAnswer = UserNotifier::Answer::No;
    core->ChangeChargerSetting(ChargerSetting::BatteryType, 0, "the window");
    second();
    EXPECT_FALSE(sent("PBT00"));
    EXPECT_TRUE(settingLines().empty());
}

TEST_F(ChargerSettingsFlow, EveryOutcomeIsAMemoLine)
{
    // Refused by the unit.
    model.SetRefused("PBT00", true);
    core->ChangeChargerSetting(ChargerSetting::BatteryType, 0, "the window");
    second();
    // Acknowledged, but not applied.
    model.SetIgnoreSettings(true);
    core->ChangeChargerSetting(ChargerSetting::CutOffVoltage, 43.0, "the window");
    second();
    EXPECT_EQ(settingLines(),
              (std::vector<std::string>{
                  "Inverter setting Battery type User -> AGM (asked from the window): refused by the inverter (NAK).",
                  "Inverter setting Cut-off voltage 42.0 V -> 43.0 V (asked from the window): acknowledged, but "
                  "the inverter reports 42.0 V."}));
}

TEST_F(ChargerSettingsFlow, TheMaximumChargingCurrentFallsBackToTheOtherCommandForm)
{
    model.SetRefused("MCHGC040", true); // firmware that knows only the per-machine form
    core->ChangeChargerSetting(ChargerSetting::MaxChargingCurrent, 40, "the window");
    second();
    EXPECT_TRUE(sent("MNCHGC0040"));
    EXPECT_EQ(core->State().Rated->MaxChargingA, 40);
}

TEST_F(ChargerSettingsFlow, NothingIsAskedWhileDisconnected)
{
    core->ToggleConnection();
    core->ChangeChargerSetting(ChargerSetting::RechargeVoltage, 47.0, "the window");
    EXPECT_TRUE(person.questions.empty());
    ASSERT_EQ(person.warnings.size(), 1u);
}
