#include "QueryFixture.h"

#include "inverter/FlowTexts.h"
#include "inverter/Frame.h"

using namespace quorvane;
using quorvane::sim::Fault;
using ModeQuery = quorvane::testsupport::QueryFixture;

namespace {

std::optional<OutputPriority> priorityNamed(std::string_view text)
{
    if (text == "UTIL")
        return OutputPriority::UtilityFirst;
    if (text == "SOLAR")
        return OutputPriority::SolarFirst;
    if (text == "SBU")
        return OutputPriority::SBU;
    return std::nullopt;
}

} // namespace

TEST_F(ModeQuery, ChargeStateAndLoadSource)
{
    const struct {
        const char* name;
        int chargeOn, solar, line;
        char letter;
        const char* pvCurrent;
        const char* chargingCurrent;
        const char* dischargeCurrent;
        const char* priority;
        const char* mode;
        const char* charge;
        const char* load;
    } cases[] = {
        {"solar charge on battery with PV", 1, 1, 0, 'B', "2.0", "0", "0", "SBU", "Battery", "Solar charge", "Source:Batt./Solar"},
        {"battery without PV", 1, 1, 0, 'B', "0", "0", "0", "SBU", "Battery", "Solar charge", "Source:Battery"},
        {"discharging, whatever the letter", 0, 0, 0, 'L', "0", "0", "5", "UTIL", "Line (bypass)", "Discharging", "Source:Battery"},
        {"discharge ignored while charging", 1, 0, 1, 'L', "0", "0", "5", "UTIL", "Line (bypass)", "Line charge", "Source:Line"},
        {"letter before currents", 1, 1, 1, 'L', "10", "4", "0", "SOLAR", "Line (bypass)", "Line-solar charge", "Source:Line"},
        {"solar beats charging", 0, 0, 0, 'P', "10", "4", "0", "SOLAR", "Power ON", "Stand-by", "Source:Solar"},
        {"nothing to tell", 0, 0, 0, 'P', "0", "0", "0", "--", "Power ON", "Stand-by", "Source:Line(2)"},
        {"odd bits", 0, 1, 0, 'S', "0", "1", "0", "--", "Stand By", "Not used", "Source:Line(2)"},
        {"odd bits discharging", 0, 1, 1, 'F', "0", "0", "3", "--", "Fault", "Discharging", "Source:Battery"},
        {"power saving", 1, 1, 0, 'H', "1", "0", "0", "--", "Power Saving", "Solar charge", "Source:Solar"},
        {"a letter no document lists", 1, 1, 0, 'X', "0", "0", "0", "--", "Unknown", "Solar charge", "Source:Line(2)"},
    };
    for (const auto& c : cases) {
        record.ChargeOn = c.chargeOn;
        record.SolarCharging = c.solar;
        record.LineCharging = c.line;
        record.PvInputCurrent = c.pvCurrent;
        record.ChargingCurrent = c.chargingCurrent;
        record.DischargeCurrent = c.dischargeCurrent;
        record.Flow.Priority = priorityNamed(c.priority);
        model.SetModeLetter(c.letter);
        queries.QueryMode();
        EXPECT_TRUE(record.ModeValid) << c.name;
        EXPECT_EQ(ModeText(record.Flow.Mode), c.mode) << c.name;
        EXPECT_EQ(ChargeStateText(record.Flow.Charge), c.charge) << c.name;
        EXPECT_EQ(LoadSourceText(record.Flow.DecidedSource), c.load) << c.name;
        EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), std::string(c.load) + " (" + c.priority + ")") << c.name;
    }
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(ModeQuery, SwitchesAreSeenOnlyBetweenTwoAcceptedReplies)
{
    const struct {
        const char* name;
        std::vector<char> letters; // '!' = a rejected reply
        int switchEvent;
    } cases[] = {
        {"line to battery", {'L', 'B'}, 1},
        {"battery to line", {'B', 'L'}, 2},
        {"a rejected reply in between", {'L', '!', 'B'}, 0},
        {"other changes", {'L', 'S', 'B'}, 0},
    };
    for (const auto& c : cases) {
        record.SwitchEvent = 0;
        record.Flow.Mode.reset();
        for (const char letter : c.letters) {
            if (letter == '!')
                model.InjectFault({.kind = Fault::WrongCrc});
            else
                model.SetModeLetter(letter);
            queries.QueryMode();
        }
        EXPECT_EQ(record.SwitchEvent, c.switchEvent) << c.name;
    }
}

TEST_F(ModeQuery, ARejectedReplyLeavesUnknownAndTheChargeState)
{
    record.ChargeOn = 1;
    record.LineCharging = 1;
    record.Flow.DecidedSource = LoadSource::Line;
    link.ShowAllErrors = true;
    const struct {
        sim::FaultSpec fault;
        const char* line;
    } cases[] = {
        {{.kind = Fault::NoAnswer}, "Error receiving status (0/5)"},
        {{.kind = Fault::Truncated}, "Error receiving status (2/5)"},
        {{.kind = Fault::WrongCrc}, "Error receiving status (5/5)"},
    };
    for (const auto& c : cases) {
        memo.Clear();
        model.InjectFault(c.fault);
        queries.QueryMode();
        EXPECT_FALSE(record.ModeValid) << c.line;
        EXPECT_EQ(ModeText(record.Flow.Mode), "Unknown") << c.line;
        EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Unknown") << c.line;
        EXPECT_EQ(ChargeStateText(record.Flow.Charge), "Line charge") << c.line;
        EXPECT_EQ(LoadSourceText(record.Flow.DecidedSource), "Source:Line") << c.line;
        EXPECT_EQ(messages(), std::vector<std::string>{c.line});
    }
}

TEST_F(ModeQuery, DisconnectedOnlyDerivesFromTheBits)
{
    link.LinkConnected = false;
    link.ShowAllErrors = true;
    record.DischargeCurrent = "3";
    queries.QueryMode();
    EXPECT_FALSE(record.ModeValid);
    EXPECT_EQ(ChargeStateText(record.Flow.Charge), "Discharging");
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Source:Battery");
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(ModeQuery, TestModeTexts)
{
    link.Test = true;
    record.Flow.Priority = OutputPriority::SolarFirst;
    queries.QueryMode();
    EXPECT_TRUE(record.ModeValid);
    EXPECT_EQ(ModeText(record.Flow.Mode), "Test Mode");
    EXPECT_EQ(ChargeStateText(record.Flow.Charge), "Test Battery");
    EXPECT_EQ(LoadSourceText(record.Flow.DecidedSource), "Test Load");
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Test Load (SOLAR)");
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
}

TEST_F(ModeQuery, TheModeIsReadWhateverTheUnitSendsAroundIt)
{
    // In virtual time at line pace, so a byte that comes 80 ms before the reply would end a
    // read that counted it as the reply's start.
    const struct {
        const char* name;
        bool lineFeed;
        Bytes stale;
    } cases[] = {
        {"a LF after the CR", true, {}},
        {"a LF before the reply", false, {0x0A}},
        {"an echo of the request before the reply", false, FrameCommand("QMOD")},
        {"the tail of an earlier reply before it", true, sim::InverterModel::kDefaultStaleBytes},
    };
    for (const auto& c : cases) {
        model.SetLineFeedAfterCr(c.lineFeed);
        model.SetStaleBytes(c.stale);
        for (const char letter : {'B', 'L'}) {
            model.SetModeLetter(letter);
            queries.QueryMode();
            EXPECT_TRUE(record.ModeValid) << c.name << ' ' << letter;
            EXPECT_EQ(ModeText(record.Flow.Mode), letter == 'B' ? "Battery" : "Line (bypass)") << c.name;
        }
    }
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(ModeQuery, AFrameThatIsNoModeReplyIsRejected)
{
    const ReplyCase cases[] = {
        {"a refusal", sim::InverterModel::FrameReply("NAK"),
         {"Inverter refused QMOD (NAK).", "Error receiving status (7/5)"}},
        {"two letters", sim::InverterModel::FrameReply("LB"), {"Error receiving status (6/5)"}},
        {"an empty payload", sim::InverterModel::FrameReply(""), {"Error receiving status (4/5)"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linesAfterReply("QMOD", c.reply, &InverterQueries::QueryMode), c.lines) << c.name;
        EXPECT_FALSE(record.ModeValid) << c.name;
        EXPECT_EQ(ModeText(record.Flow.Mode), "Unknown") << c.name;
    }
}

TEST_F(ModeQuery, ThePagesLoadLineShowsThePriorityInForceWhenItsQueryDecided)
{
    // Before any query the window and the pages show nothing but the unknown priority.
    EXPECT_EQ(ModeText(record.Flow.Mode), "");
    EXPECT_EQ(ChargeStateText(record.Flow.Charge), "");
    EXPECT_EQ(LoadSourceText(record.Flow.DecidedSource), "");
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "");

    record.Flow.Priority = OutputPriority::SBU;
    model.SetModeLetter('L');
    queries.QueryMode();
    queries.SetOutputPriority(OutputPriority::UtilityFirst);
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "UTIL");
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Source:Line (SBU)"); // until the next query
    queries.QueryMode();
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Source:Line (UTIL)");

    link.Test = true;
    queries.QueryMode();
    EXPECT_EQ(ModeText(record.Flow.Mode), "Test Mode");
    EXPECT_EQ(LoadSourceWithPriorityText(record.Flow), "Test Load (UTIL)");
}
