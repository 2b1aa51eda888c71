// The second PV input through the whole core: read each cycle from units that have one, never
// again (until a reconnection) from units that refuse it, and counted into the solar power.
#include "CoreRig.h"

#include <algorithm>

using namespace quorvane;

namespace {

class SecondPvInput : public testsupport::CoreRig {
protected:
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
