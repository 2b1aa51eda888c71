// Units that differ from the usual one, each on a real pseudo-terminal opened by the program's
// own opener through the settings' [Ports] section: the core connects through its connection
// path and shows the unit's values. The test's thread is the core thread and steps the
// acquisition cycle; the simulator's line thread answers at full speed.
#include "CoreRig.h"

#include "PtyInverter.h"
#include "inverter/DeviceOpener.h"

#include <algorithm>
#include <ostream>

using namespace quorvane;

namespace {

struct Unit {
    const char* name;
    int serialDigits = 14;
    int mainValuesLength = 110;
    bool lineFeedAfterCr = false;
    bool staleBytes = false;
    bool refusesSerialNumber = false;
};

void PrintTo(const Unit& unit, std::ostream* out)
{
    *out << unit.name;
}

class UnitOverPty : public testsupport::CoreRig, public ::testing::WithParamInterface<Unit> {
protected:
    std::string inverterDevice() const override { return pty.DevicePath(); }
    SerialOpener& portOpener() override { return files; }
    void SetUp() override
    {
        const Unit& unit = GetParam();
        model.SetSerialNumberLength(unit.serialDigits);
        ASSERT_TRUE(model.SetMainValuesLength(unit.mainValuesLength));
        model.SetLineFeedAfterCr(unit.lineFeedAfterCr);
        if (unit.staleBytes)
            model.SetStaleBytes(sim::InverterModel::kDefaultStaleBytes);
        model.SetRefused("QID", unit.refusesSerialNumber);
        model.SetMainField(5, "1234"); // "01234" where the power fields have five digits
        model.SetModeLetter('B');
        CoreRig::SetUp();
    }

    sim::PtyInverter pty{model};
    DeviceOpener files;
};

} // namespace

TEST_P(UnitOverPty, ConnectsAndShowsTheUnitsValues)
{
    core->ForTests().Connection().Connect1Click();
    ASSERT_TRUE(core->ForTests().Link().LinkConnected) << ::testing::PrintToString(messages());
    EXPECT_TRUE(memoHas("Connected to " + pty.DevicePath() + " port and Inverter."));

    cycle(); // main values, mode, and the rated information a connect asks for
    cycle(); // once more after whatever the first cycle's replies left on the line
    core->RefreshDisplay();
    const DisplayTexts& shown = core->ForTests().Display();
    const std::array<std::string, 15> expected = {
        "230.0", "50.0", "103.8", "14", "57.50[57.45]", "100", "12", "0", "49.9", "230.0", "1234", "119", "3", "69", "460",
    };
    EXPECT_EQ(shown.Basic, expected);
    EXPECT_EQ(shown.Panel22, "Battery");
    EXPECT_EQ(shown.Panel23, "Solar charge");
    EXPECT_EQ(shown.Panel24, "Source:Batt./Solar");
    EXPECT_EQ(shown.Panel4, "SBU");
    // Every main-values reply was taken, and every rated-information reply gave the priority.
    const auto commands = model.ReceivedCommands();
    EXPECT_EQ(commands.front(), "QID");
    EXPECT_EQ(core->ForTests().Record().ValidReadings, std::count(commands.begin(), commands.end(), "QPIGS"));
    EXPECT_GE(std::count(commands.begin(), commands.end(), "QPIRI"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnitOverPty,
    ::testing::Values(Unit{.name = "Usual"}, Unit{.name = "SerialOf13Digits", .serialDigits = 13},
                      Unit{.name = "SerialOf16Digits", .serialDigits = 16},
                      Unit{.name = "RefusesToTellItsSerial", .refusesSerialNumber = true},
                      Unit{.name = "LineFeedAfterCr", .lineFeedAfterCr = true},
                      Unit{.name = "StaleBytesBeforeReplies", .staleBytes = true},
                      Unit{.name = "MainValuesOf94Bytes", .mainValuesLength = 94},
                      Unit{.name = "MainValuesOf112Bytes", .mainValuesLength = 112},
                      Unit{.name = "MainValuesOf119Bytes", .mainValuesLength = 119},
                      Unit{.name = "MainValuesOf120Bytes", .mainValuesLength = 120},
                      Unit{.name = "MainValuesOf122Bytes", .mainValuesLength = 122},
                      Unit{.name = "AllAtOnce", .serialDigits = 13, .mainValuesLength = 122, .lineFeedAfterCr = true,
                           .staleBytes = true}),
    [](const auto& info) { return std::string(info.param.name); });
