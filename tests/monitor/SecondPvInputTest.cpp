// The second PV input through the whole core: read each cycle from units that have one, never
// again (until a reconnection) from units that refuse it, and counted into the solar power.
#include "CoreRig.h"

#include <algorithm>

using namespace quorvane;

namespace {

class SecondPvInput : public testsupport::CoreRig {
protected:
    // A reading each second and a log row each second.
    std::string settings() const override { return "MeasTime=0\r\nUpdateLog=0\r\n"; }
    void SetUp() override
    {
        CoreRig::SetUp();
        model.SetMainField(13, "0010"); // PV1: 10 A into the battery
        model.SetMainField(9, "50.00");  // at 50 V
    }
    [[nodiscard]] size_t asked(const std::string& command) const
    {
        const auto commands = model.ReceivedCommands();
        return static_cast<size_t>(std::ranges::count(commands, command));
    }
};

} // namespace

TEST_F(SecondPvInput, ADualTrackerUnitIsReadEachCycleAndItsPowerCounts)
{
    model.SetSecondPv("02.0 200.0 00400");
    connect();
    for (int second = 0; second < 3; ++second)
        this->second();
    EXPECT_EQ(asked("QPIGS2"), asked("QMOD"));
    const CoreState state = core->State();
    ASSERT_TRUE(state.SecondPv);
    EXPECT_EQ(*state.SecondPv, (SecondPvReading{2.0, 200.0, 400.0}));
    EXPECT_DOUBLE_EQ(state.SolarPowerW, 10.0 * 50.0 + 400.0);
}

TEST_F(SecondPvInput, AUnitWithOneInputIsAskedOncePerConnection)
{
    connect();
    for (int second = 0; second < 5; ++second)
        this->second();
    EXPECT_EQ(asked("QPIGS2"), 1u);
    EXPECT_FALSE(core->State().SecondPv);
    EXPECT_DOUBLE_EQ(core->State().SolarPowerW, 10.0 * 50.0);

    core->ToggleConnection();
    core->ToggleConnection();
    this->second();
    EXPECT_EQ(asked("QPIGS2"), 2u);
}

TEST_F(SecondPvInput, OnlyADualTrackerUnitsBasicLogHasItsColumns)
{
    const auto columnsOfLastRow = [this] {
        const std::string_view line = core->ForTests().Logs().BasicList().LastRowLine();
        return std::ranges::count(line, ',') + 1;
    };
    connect();
    for (int second = 0; second < 3; ++second)
        this->second();
    ASSERT_GT(core->ForTests().Logs().BasicList().RowCount(), 0u);
    EXPECT_EQ(columnsOfLastRow(), 16);

    model.SetSecondPv("02.0 200.0 00400");
    core->ToggleConnection(); // a unit is asked again on the next connection
    core->ToggleConnection();
    for (int second = 0; second < 3; ++second)
        this->second();
    EXPECT_EQ(columnsOfLastRow(), 19);
    EXPECT_TRUE(core->ForTests().Logs().BasicList().LastRowLine().ends_with(",200.0,2.0,400\r\n"));
    const std::vector<std::string>& names = core->ForTests().Logs().BasicList().ColumnNames();
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"PV2 Input Voltage", "PV2 Input Current", "PV2 Charging Power"}));
}

TEST_F(SecondPvInput, AReadingThatFailsAddsNoPower)
{
    model.SetSecondPv("02.0 200.0 00400");
    connect();
    this->second();
    model.SetRawReply("QPIGS2", sim::InverterModel::FrameReply("02.0 2x0.0 00400"));
    this->second();
    const CoreState state = core->State();
    ASSERT_TRUE(state.SecondPv); // the last good reading is still shown
    EXPECT_DOUBLE_EQ(state.SolarPowerW, 10.0 * 50.0);
}
