#include "QueryFixture.h"

#include "inverter/FlowTexts.h"
#include "inverter/Frame.h"

#include <optional>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::sim::Fault;
using PriorityQueries = quorvane::testsupport::QueryFixture;

TEST_F(PriorityQueries, EachPrioritySucceedsAtTheFirstAttempt)
{
    const struct {
        OutputPriority priority;
        const char* command;
        int code;
        const char* shortText;
        const char* success;
        bool OutputRequests::*button;
        void (OutputRequests::*press)();
    } cases[] = {
        {OutputPriority::UtilityFirst, "POP00", 0, "UTIL", "Utility source priority successfully set.",
         &OutputRequests::Button7Enabled, &OutputRequests::Button7Click},
        {OutputPriority::SolarFirst, "POP01", 1, "SOLAR", "Solar source priority successfully set.",
         &OutputRequests::Button6Enabled, &OutputRequests::Button6Click},
        {OutputPriority::SBU, "POP02", 2, "SBU", "SBU source priority successfully set.",
         &OutputRequests::Button5Enabled, &OutputRequests::Button5Click},
    };
    for (const auto& c : cases) {
        memo.Clear();
        (requests.*c.press)();
        EXPECT_FALSE(requests.*c.button) << c.command;
        queries.SetOutputPriority(c.priority);
        EXPECT_TRUE(queries.PopResult()) << c.command;
        EXPECT_EQ(messages(), (std::vector<std::string>{"Command executed.", c.success}));
        EXPECT_EQ(queries.Label51(), std::string("Output source = ") + c.shortText);
        EXPECT_EQ(OutputPriorityText(record.Flow.Priority), c.shortText);
        EXPECT_TRUE(requests.*c.button) << c.command;
        EXPECT_EQ(model.OutputPriority(), c.code);
        EXPECT_EQ(model.ReceivedCommands().back(), c.command);
    }
    EXPECT_TRUE(pauses.empty());
}

TEST_F(PriorityQueries, AnInverterThatNeverAcknowledgesFailsAfterSixAttempts)
{
    const struct {
        const char* name;
        Bytes reply;
    } cases[] = {
        {"a valid frame other than ACK", sim::InverterModel::FrameReply("NAK")},
        {"ACK with a broken CRC", {0x28, 'A', 'C', 'K', 0x39, 0x21, 0x0D}},
    };
    for (const auto& c : cases) {
        memo.Clear();
        pauses.clear();
        model.SetRawReply("POP02", c.reply);
        requests.Button5Click();
        queries.SetOutputPriority(OutputPriority::SBU);
        EXPECT_FALSE(queries.PopResult()) << c.name;
        std::vector<std::string> expected(6, "Command NOT executed.");
        expected.push_back("SBU source priority set failed.");
        EXPECT_EQ(messages(), expected) << c.name;
        EXPECT_EQ(queries.Label51(), "Output source = unknown");
        EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--");
        EXPECT_TRUE(requests.Button5Enabled);
        EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>(5, 20ms)) << c.name;
    }
}

TEST_F(PriorityQueries, WithTheLinkDownSixSilentAttemptsThenTheFailureLine)
{
    link.LinkConnected = false;
    link.ShowAllErrors = true;
    requests.Button7Click();
    queries.SetOutputPriority(OutputPriority::UtilityFirst);
    EXPECT_EQ(messages(), std::vector<std::string>{"Utility source priority set failed."});
    EXPECT_EQ(pauses.size(), 5u);
    EXPECT_EQ(queries.Label51(), "Output source = unknown");
    EXPECT_TRUE(requests.Button7Enabled);
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
}

TEST_F(PriorityQueries, TestModeExecutesTwiceThenSucceeds)
{
    link.Test = true;
    queries.SetOutputPriority(OutputPriority::SolarFirst);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Command executed.", "Command executed.",
                                                    "Solar source priority successfully set."}));
    EXPECT_TRUE(queries.PopResult());
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "SOLAR");
    EXPECT_EQ(model.ReceivedByteCount(), 0u);
}

TEST_F(PriorityQueries, RatedInformationGivesThePriorityInForce)
{
    const struct {
        const char* field17;
        const char* code;
        const char* label;
        const char* shortText;
    } cases[] = {
        {"2", "2", "Output source = SBU", "SBU"},
        {"00", "0", "Output source = UTIL", "UTIL"},
        {"1", "1", "Output source = SOLAR", "SOLAR"},
        {"7", "7", "Output source = SOLAR", "--"}, // an unknown code keeps the label
    };
    for (const auto& c : cases) {
        model.SetRatedField(17, c.field17);
        comm.Purge();
        queries.QueryRatedInfo();
        EXPECT_EQ(queries.PriorityCode(), c.code);
        EXPECT_EQ(queries.Label51(), c.label) << c.field17;
        EXPECT_EQ(OutputPriorityText(record.Flow.Priority), c.shortText) << c.field17;
    }
    // The rated fields now stand in the main values' slots.
    EXPECT_EQ(record.MainValues[6], "5000");
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(PriorityQueries, RejectedRatedInformationChangesNothing)
{
    link.ShowAllErrors = true;
    record.MainValues[1] = "previous";
    model.InjectFault({.kind = Fault::NoAnswer});
    queries.QueryRatedInfo();
    EXPECT_EQ(messages(), std::vector<std::string>{"Error receiving general status (0/0)"});
    EXPECT_EQ(record.MainValues[1], "previous");
    EXPECT_EQ(queries.Label51(), ".............");
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--");
}

TEST_F(PriorityQueries, TestModeStatusChangesNeitherLabelNorText)
{
    link.Test = true;
    queries.QueryRatedInfo();
    EXPECT_EQ(queries.PriorityCode(), "1");
    EXPECT_EQ(queries.Label51(), ".............");
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--");
}

TEST_F(PriorityQueries, PresenceCheck)
{
    EXPECT_TRUE(queries.CheckInverter());
    model.InjectFault({.kind = Fault::NoAnswer});
    EXPECT_FALSE(queries.CheckInverter());
    model.InjectFault({.kind = Fault::WrongCrc});
    EXPECT_FALSE(queries.CheckInverter());
    link.LinkConnected = false;
    EXPECT_FALSE(queries.CheckInverter());
    EXPECT_EQ(messages(), (std::vector<std::string>{"Inverter connected.", "Inverter Not connected.",
                                                    "Inverter Not connected."}));
    EXPECT_EQ(model.ReceivedCommands(), (std::vector<std::string>{"QID", "QID", "QID"}));
}

TEST_F(PriorityQueries, EveryUnitThatAnswersThePresenceCheckIsThere)
{
    link.ShowAllErrors = true;
    const struct {
        const char* name;
        int serialDigits;
        bool lineFeed;
        Bytes stale;
        bool refused;
        std::optional<sim::FaultSpec> fault;
        std::vector<std::string> lines;
    } cases[] = {
        {"14 digits", 14, false, {}, false, std::nullopt, {"Inverter connected."}},
        {"13 digits", 13, false, {}, false, std::nullopt, {"Inverter connected."}},
        {"16 digits", 16, false, {}, false, std::nullopt, {"Inverter connected."}},
        {"13 digits and a LF after the CR", 13, true, {}, false, std::nullopt, {"Inverter connected."}},
        {"a LF before the reply", 14, false, {0x0A}, false, std::nullopt, {"Inverter connected."}},
        {"an echo of the request before it", 16, false, FrameCommand("QID"), false, std::nullopt, {"Inverter connected."}},
        // Whoever refuses to tell its serial number is there all the same.
        {"a refusal", 14, false, {}, true, std::nullopt, {"Inverter refused QID (NAK).", "Inverter connected."}},
        {"no answer", 13, false, {0x0A}, false, sim::FaultSpec{.kind = Fault::NoAnswer}, {"Inverter Not connected."}},
        {"a damaged reply", 13, false, {}, false, sim::FaultSpec{.kind = Fault::WrongCrc}, {"Inverter Not connected."}},
        {"half a reply", 16, false, {}, false, sim::FaultSpec{.kind = Fault::Truncated}, {"Inverter Not connected."}},
    };
    for (const auto& c : cases) {
        memo.Clear();
        model.SetSerialNumberLength(c.serialDigits);
        model.SetLineFeedAfterCr(c.lineFeed);
        model.SetStaleBytes(c.stale);
        model.SetRefused("QID", c.refused);
        if (c.fault)
            model.InjectFault(*c.fault);
        EXPECT_EQ(queries.CheckInverter(), c.lines.back() == "Inverter connected.") << c.name;
        EXPECT_EQ(messages(), c.lines) << c.name;
        // The serial number is kept as told; nothing is made up for a unit that did not tell it.
        const bool told = !c.refused && !c.fault;
        EXPECT_EQ(record.SerialNumber, told ? model.SerialNumber() : std::string()) << c.name;
        record.SerialNumber.clear();
    }
}

TEST_F(PriorityQueries, ARefusedPriorityCommandIsNamedWhenAllErrorsAreShown)
{
    link.ShowAllErrors = true;
    model.SetRefused("POP01", true);
    requests.Button6Click();
    queries.SetOutputPriority(OutputPriority::SolarFirst);
    EXPECT_FALSE(queries.PopResult());
    std::vector<std::string> expected;
    for (int attempt = 0; attempt < 6; ++attempt) {
        expected.push_back("Inverter refused POP01 (NAK).");
        expected.push_back("Command NOT executed.");
    }
    expected.push_back("Solar source priority set failed.");
    EXPECT_EQ(messages(), expected);
    EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--");
}

TEST_F(PriorityQueries, ThePriorityCommandIsAcknowledgedWhateverTheUnitSendsAroundIt)
{
    model.SetLineFeedAfterCr(true);
    model.SetStaleBytes({0x0A});
    queries.SetOutputPriority(OutputPriority::UtilityFirst);
    EXPECT_TRUE(queries.PopResult());
    EXPECT_EQ(messages(), (std::vector<std::string>{"Command executed.", "Utility source priority successfully set."}));
}

TEST_F(PriorityQueries, RatedInformationIsReadWhateverTheUnitSendsAroundIt)
{
    model.SetLineFeedAfterCr(true);
    model.SetStaleBytes(sim::InverterModel::kDefaultStaleBytes);
    model.SetOutputPriority(1);
    queries.QueryRatedInfo();
    EXPECT_EQ(queries.Label51(), "Output source = SOLAR");
    EXPECT_EQ(record.MainValues[25], "1"); // the last field as sent, nothing of the CRC and CR
    EXPECT_TRUE(memo.Lines().empty());
}

TEST_F(PriorityQueries, RatedInformationWithoutThePrioritysFieldIsRejected)
{
    const ReplyCase cases[] = {
        {"a refusal", sim::InverterModel::FrameReply("NAK"),
         {"Inverter refused QPIRI (NAK).", "Error receiving general status (7/7)"}},
        {"sixteen fields", sim::InverterModel::FrameReply("230.0 21.7 230.0 50.0 21.7 5000 4000 48.0 46.0 42.0 56.4 54.0 2 02 060 0"),
         {"Error receiving general status (76/76)"}},
    };
    for (const auto& c : cases) {
        record.MainValues[1] = "previous";
        EXPECT_EQ(linesAfterReply("QPIRI", c.reply, &InverterQueries::QueryRatedInfo), c.lines) << c.name;
        EXPECT_EQ(record.MainValues[1], "previous") << c.name;
        EXPECT_EQ(queries.Label51(), ".............") << c.name;
        EXPECT_EQ(OutputPriorityText(record.Flow.Priority), "--") << c.name;
    }
}
