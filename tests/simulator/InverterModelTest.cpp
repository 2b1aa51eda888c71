#include "FakeUserNotifier.h"
#include "InverterModel.h"
#include "inverter/ChargerSettings.h"
#include "inverter/Frame.h"
#include "inverter/MainValuesReply.h"
#include "inverter/ReplyFrame.h"
#include "inverter/PosixSerialPort.h"
#include "inverter/RatedInfo.h"
#include "inverter/WarningStatus.h"
#include "inverter/Wincom.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::sim;

namespace {

Bytes payloadOf(const ReplySchedule& reply)
{
    Bytes bytes;
    for (const TimedByte& byte : reply)
        bytes.push_back(byte.value);
    return bytes;
}

Bytes answer(InverterModel& model, std::string_view command)
{
    return payloadOf(model.Answer(FrameCommand(command)));
}

} // namespace

TEST(InverterModel, AnswersEachCommandWithAFramedReply)
{
    InverterModel model;
    model.SetModeLetter('B');
    model.SetOutputPriority(1);
    const struct {
        const char* command;
        Bytes reply;
    } cases[] = {
        {"QMOD", {0x28, 'B', 0xE7, 0xC9, 0x0D}},
        {"QID", InverterModel::FrameReply("92932004102453")},
        {"POP02", {0x28, 'A', 'C', 'K', 0x39, 0x20, 0x0D}},
        {"QPIRI", InverterModel::FrameReply("230.0 21.7 230.0 50.0 21.7 5000 4000 48.0 46.0 42.0 56.4 54.0 2 02 060 0 2 3 1 01 0 0 54.0 0 1")},
        {"QXYZ", InverterModel::FrameReply("NAK")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer(model, c.command), c.reply) << c.command;
    EXPECT_EQ(model.OutputPriority(), 2);
    EXPECT_EQ(model.ReceivedCommands(), (std::vector<std::string>{"QMOD", "QID", "POP02", "QPIRI", "QXYZ"}));
}

TEST(InverterModel, MainValuesAreShapedLikeARealReply)
{
    InverterModel model;
    model.SetStatusBits(true, false, true);
    model.SetLinePresent(false);
    const Bytes reply = answer(model, "QPIGS");
    ASSERT_EQ(reply.size(), 110u); // "(" + 106 payload bytes + CRC + CR
    EXPECT_TRUE(ReplyCrcOk(reply, static_cast<int>(reply.size()) - 3));
    EXPECT_EQ(std::string(reply.begin() + 1, reply.begin() + 11), "000.0 00.0");
    // Device status bits at reply characters 88 (charging on), 89 (solar), 90 (line).
    EXPECT_EQ(reply[88], '1');
    EXPECT_EQ(reply[89], '0');
    EXPECT_EQ(reply[90], '1');
}

TEST(InverterModel, ARequestWithABadCrcIsRefused)
{
    InverterModel model;
    Bytes request = FrameCommand("QPIGS");
    request[5] ^= 0x01;
    EXPECT_EQ(payloadOf(model.Answer(request)), InverterModel::FrameReply("NAK"));
}

TEST(InverterModel, PacesRepliesAtTwentyFourHundredBaud)
{
    InverterModel model;
    const ReplySchedule paced = model.Answer(FrameCommand("QMOD"));
    ASSERT_EQ(paced.size(), 5u);
    // The 7-byte request's own line time, the answer delay, then the first byte's time.
    EXPECT_EQ(paced.front().at, InverterModel::kDefaultAnswerDelay + 8 * InverterModel::kByteTime);
    EXPECT_EQ(paced.back().at - paced.front().at, 4 * InverterModel::kByteTime);

    model.SetFullSpeed(true);
    model.SetAnswerDelay(std::chrono::milliseconds(0));
    for (const TimedByte& byte : model.Answer(FrameCommand("QMOD")))
        EXPECT_EQ(byte.at.count(), 0);
}

TEST(InverterModel, FaultsApplyToAsManyRepliesAsAsked)
{
    InverterModel model;
    model.InjectFault({.kind = Fault::NoAnswer, .times = 2});
    EXPECT_TRUE(answer(model, "QMOD").empty());
    EXPECT_TRUE(answer(model, "QMOD").empty());
    EXPECT_EQ(answer(model, "QMOD").size(), 5u);

    model.InjectFault({.kind = Fault::WrongCrc, .times = -1});
    for (int i = 0; i < 3; ++i) {
        const Bytes reply = answer(model, "QMOD");
        EXPECT_FALSE(ReplyCrcOk(reply, 2));
    }
    model.ClearFaults();
    EXPECT_TRUE(ReplyCrcOk(answer(model, "QMOD"), 2));
}

TEST(InverterModel, TakesOnTheHabitsOfRealUnits)
{
    InverterModel model;
    for (const int length : InverterModel::kMainValuesLengths) {
        ASSERT_TRUE(model.SetMainValuesLength(length));
        const Bytes reply = answer(model, "QPIGS");
        EXPECT_EQ(reply.size(), static_cast<size_t>(length));
        const auto frame = FindReplyFrame(reply);
        ASSERT_TRUE(frame) << length;
        const auto values = ParseMainValues(frame->payload);
        ASSERT_TRUE(values) << length;
        EXPECT_EQ(values->Fields.size(), length == 94 ? 17u : length < 119 ? 21u : 24u);
        EXPECT_EQ(values->Fields[4], length == 112 || length == 122 ? "00161" : "0161");
    }
    EXPECT_FALSE(model.SetMainValuesLength(111));
    EXPECT_EQ(answer(model, "QPIGS").size(), 122u);

    for (const int digits : {13, 14, 16}) {
        model.SetSerialNumberLength(digits);
        const Bytes reply = answer(model, "QID");
        EXPECT_EQ(reply.size(), static_cast<size_t>(digits) + 4);
        EXPECT_TRUE(FindReplyFrame(reply)) << digits;
    }

    model.SetRefused("QMOD", true);
    EXPECT_EQ(answer(model, "QMOD"), InverterModel::FrameReply("NAK"));
    EXPECT_EQ(answer(model, "QID").size(), 20u);
    model.ClearRefusals();
    EXPECT_EQ(answer(model, "QMOD").size(), 5u);

    model.SetLineFeedAfterCr(true);
    model.SetStaleBytes(InverterModel::kDefaultStaleBytes);
    const ReplySchedule paced = model.Answer(FrameCommand("QMOD"));
    Bytes expected = InverterModel::kDefaultStaleBytes;
    const Bytes mode = InverterModel::FrameReply("L");
    expected.insert(expected.end(), mode.begin(), mode.end());
    expected.push_back(0x0A);
    EXPECT_EQ(payloadOf(paced), expected);
    // The stale bytes are on the line while the request comes in; the reply waits for the
    // answer delay after the request's seven bytes.
    EXPECT_EQ(paced.front().at, InverterModel::kByteTime);
    const TimedByte& replyStart = paced[InverterModel::kDefaultStaleBytes.size()];
    EXPECT_EQ(replyStart.at, InverterModel::kDefaultAnswerDelay + 8 * InverterModel::kByteTime);
}

TEST(InverterModel, AnswersTheWarningStatusWithItsBitsUnlessRefused)
{
    InverterModel model;
    EXPECT_EQ(answer(model, "QPIWS"), InverterModel::FrameReply(std::string(36, '0')));

    // An older unit's 32 bits: the inverter fault with an overload.
    const std::string bits = "01000000000000001000000000000000";
    model.SetWarningBits(bits);
    EXPECT_EQ(model.WarningBits(), bits);
    const Bytes reply = answer(model, "QPIWS");
    const auto frame = FindReplyFrame(reply);
    ASSERT_TRUE(frame);
    const auto status = DecodeWarningStatus(frame->payload);
    ASSERT_TRUE(status);
    ASSERT_EQ(status->Conditions.size(), 2u);
    EXPECT_EQ(status->Conditions[0].Id, "inverter_fault");
    EXPECT_EQ(status->Conditions[1].Id, "overload");
    EXPECT_EQ(status->Conditions[1].Severity, WarningSeverity::Fault);

    model.SetRefused("QPIWS", true);
    EXPECT_EQ(answer(model, "QPIWS"), InverterModel::FrameReply("NAK"));
    model.SetRefused("QPIWS", false);
    EXPECT_EQ(answer(model, "QPIWS"), reply);
}

namespace {

std::string payloadText(const Bytes& reply)
{
    const auto frame = FindReplyFrame(reply);
    return frame ? std::string(frame->payload) : "(no frame)";
}

} // namespace

TEST(InverterModel, TakesTheSettingsAUnitAllowsAndShowsThemInTheRatedInformation)
{
    // A 48 V unit: re-charge 46.0, cut-off 42.0, bulk 56.4, float 54.0, re-discharge 54.0.
    InverterModel model;
    const struct {
        const char* command;
        const char* reply;
        RatedField field;
        const char* fieldText; // afterwards
    } steps[] = {
        {"PCP01", "ACK", RatedField::ChargerPriority, "1"},
        {"PCP04", "NAK", RatedField::ChargerPriority, "1"},
        {"MCHGC030", "ACK", RatedField::MaxCharging, "030"},
        {"MNCHGC0040", "ACK", RatedField::MaxCharging, "040"},
        {"MCHGC035", "NAK", RatedField::MaxCharging, "040"},   // no step of the unit's
        {"MNCHGC1050", "NAK", RatedField::MaxCharging, "040"}, // another machine
        {"MUCHGC002", "ACK", RatedField::MaxUtilityCharging, "002"},
        {"MUCHGC005", "NAK", RatedField::MaxUtilityCharging, "002"},
        {"PBCV48.0", "ACK", RatedField::Recharge, "48.0"},
        {"PBCV51.5", "NAK", RatedField::Recharge, "48.0"},
        {"PBCV46.05", "NAK", RatedField::Recharge, "48.0"},
        {"PBDV00.0", "ACK", RatedField::Redischarge, "00.0"},
        {"PBDV48.0", "NAK", RatedField::Redischarge, "00.0"}, // not above the re-charge
        {"PBDV56.0", "ACK", RatedField::Redischarge, "56.0"},
        {"PSDV48.0", "NAK", RatedField::CutOff, "42.0"},      // not below the re-charge
        {"PSDV44.5", "ACK", RatedField::CutOff, "44.5"},
        {"PCVV57.6", "ACK", RatedField::Bulk, "57.6"},
        {"PBFT57.7", "NAK", RatedField::Float, "54.0"},       // above the bulk
        {"PBFT55.0", "ACK", RatedField::Float, "55.0"},
        {"PBT00", "ACK", RatedField::BatteryType, "0"},
        {"PBT03", "NAK", RatedField::BatteryType, "0"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(payloadText(answer(model, step.command)), step.reply) << step.command;
        EXPECT_EQ(model.RatedFieldText(static_cast<int>(step.field)), step.fieldText) << step.command;
    }
    // What a reader of the rated information gets back.
    const auto rated = DecodeRatedInfo(payloadText(answer(model, "QPIRI")));
    ASSERT_TRUE(rated);
    const RatedInfo expected{48.0, 48.0, 44.5, 57.6, 55.0, BatteryType::Agm, 2, 40,
                             OutputPriority::SBU, ChargerPriority::SolarFirst, 56.0};
    EXPECT_EQ(*rated, expected);
}

TEST(InverterModel, ListsItsChargingCurrentsAndHoldsToThemListedOrNot)
{
    InverterModel model;
    EXPECT_EQ(payloadText(answer(model, "QMCHGCR")), "010 020 030 040 050 060 070 080 090 100 110 120");
    EXPECT_EQ(payloadText(answer(model, "QMUCHGCR")), "002 010 020 030 040 050 060 070 080 090 100 110 120");

    model.SetChargingSteps({10, 25});
    model.SetRefused("QMCHGCR", true);
    const struct {
        const char* command;
        const char* reply;
    } steps[] = {
        {"QMCHGCR", "NAK"}, // refused, yet the unit keeps to its steps
        {"MCHGC025", "ACK"},
        {"MCHGC030", "NAK"},
        {"QMUCHGCR", "002 010 020 030 040 050 060 070 080 090 100 110 120"},
    };
    for (const auto& step : steps)
        EXPECT_EQ(payloadText(answer(model, step.command)), step.reply) << step.command;

    model.SetUtilityChargingSteps({});
    EXPECT_EQ(payloadText(answer(model, "QMUCHGCR")), "NAK");
    EXPECT_EQ(payloadText(answer(model, "MUCHGC002")), "NAK");
}

TEST(InverterModel, AUnitThatIgnoresSettingsStillSaysAck)
{
    InverterModel model;
    model.SetIgnoreSettings(true);
    const Bytes before = answer(model, "QPIRI");
    EXPECT_EQ(payloadText(answer(model, "PBCV48.0")), "ACK");
    EXPECT_EQ(payloadText(answer(model, "PBT00")), "ACK");
    EXPECT_EQ(payloadText(answer(model, "PBCV60.0")), "NAK");
    EXPECT_EQ(answer(model, "QPIRI"), before);
    model.SetIgnoreSettings(false);
    EXPECT_EQ(payloadText(answer(model, "PBCV48.0")), "ACK");
    EXPECT_EQ(model.RatedFieldText(static_cast<int>(RatedField::Recharge)), "48.0");
}

TEST(InverterModel, ABatteryOfAnotherVoltageScalesTheVoltageSettings)
{
    const auto voltageFields = [](const InverterModel& model) {
        std::string fields;
        for (const int field : {8, 9, 10, 11, 12, 23})
            fields += (fields.empty() ? "" : " ") + model.RatedFieldText(field);
        return fields;
    };
    const struct {
        int volts;
        const char* fields; // 8 to 12, and 23
        const char* allowed;
        const char* refused;
    } cases[] = {
        {24, "24.0 23.0 21.0 28.2 27.0 27.0", "PBCV25.5", "PBCV46.0"},
        {12, "12.0 11.5 10.5 14.1 13.5 13.5", "PCVV14.6", "PCVV28.2"},
        {48, "48.0 46.0 42.0 56.4 54.0 54.0", "PBDV58.0", "PBDV14.0"},
    };
    for (const auto& c : cases) {
        InverterModel model;
        ASSERT_TRUE(model.SetBatteryVoltage(c.volts));
        EXPECT_EQ(voltageFields(model), c.fields) << c.volts;
        EXPECT_EQ(payloadText(answer(model, c.allowed)), "ACK") << c.allowed;
        EXPECT_EQ(payloadText(answer(model, c.refused)), "NAK") << c.refused;
    }
    // From one battery to another, and back.
    InverterModel model;
    for (const int volts : {12, 24, 48})
        ASSERT_TRUE(model.SetBatteryVoltage(volts));
    EXPECT_EQ(voltageFields(model), cases[2].fields);
    EXPECT_FALSE(model.SetBatteryVoltage(36));
    EXPECT_EQ(model.RatedFieldText(8), "48.0");
}

namespace {

// The simulator tool started by hand: its device, its answers to commands, its end.
class SimulatorTool {
public:
    // Starts the tool and reads the device from its banner; empty when it never said one.
    std::string Start(const QStringList& options)
    {
        m_process.start(QUORVANE_SIMULATOR_PATH, options);
        if (!m_process.waitForStarted(kPatienceMs) || !m_process.waitForReadyRead(kPatienceMs))
            return {};
        const QString banner = QString::fromUtf8(m_process.readLine()).trimmed();
        const QString prefix = "Inverter simulator on ";
        return banner.startsWith(prefix) ? banner.mid(prefix.size()).section(' ', 0, 0).toStdString() : std::string();
    }
    std::string Command(const char* line)
    {
        m_process.write(line);
        m_process.write("\n");
        return m_process.waitForReadyRead(kPatienceMs) ? m_process.readLine().trimmed().toStdString() : "(nothing)";
    }
    // "quit": true when the tool ended with 0.
    bool Quit()
    {
        m_process.write("quit\n");
        return m_process.waitForFinished(kPatienceMs) && m_process.exitCode() == 0;
    }

private:
    static constexpr int kPatienceMs = 10000;
    QProcess m_process;
};

} // namespace

TEST(InverterSimulatorTool, TakesTheHabitsOfRealUnitsAsCommands)
{
    SimulatorTool tool;
    const std::string device = tool.Start({"--full-speed", "--serial-digits", "13", "--qpigs-length", "122"});
    ASSERT_FALSE(device.empty());
    const struct {
        const char* line;
        const char* answer;
    } commands[] = {
        {"lf on", "ok"},
        {"stale 0a 51 49", "ok"},
        {"stale 0a ZZ", "error: stale [HEX ...]|off"},
        {"nak QMOD", "ok"},
        {"qpigs-length 111", "error: qpigs-length 94|110|112|119|120|122"},
        {"serial-digits 0", "error: serial-digits N (1 to 64)"},
        {"battery-voltage 24", "ok"},
        {"battery-voltage 36", "error: battery-voltage 12|24|48"},
        {"ignore-settings on", "ok"},
        {"ignore-settings yes", "error: ignore-settings on|off"},
    };
    for (const auto& c : commands)
        EXPECT_EQ(tool.Command(c.line), c.answer) << c.line;

    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open(device);
    ASSERT_EQ(comm.LastError(), 0u);
    std::uint8_t buffer[200];
    const struct {
        const char* command;
        std::string payload;
    } exchanges[] = {
        {"QID", "9293200410245"},
        {"QMOD", "NAK"},
    };
    for (const auto& e : exchanges) {
        comm.Purge();
        ASSERT_GT(comm.Write(FrameCommand(e.command)), 0);
        const int n = comm.ReadReply(buffer, 18);
        const auto frame = FindReplyFrame(std::span(buffer, static_cast<size_t>(std::max(n, 0))));
        ASSERT_TRUE(frame) << e.command;
        EXPECT_EQ(frame->payload, e.payload);
        EXPECT_EQ(frame->start, 3u) << e.command; // after the stale bytes
    }
    comm.Purge();
    ASSERT_GT(comm.Write(FrameCommand("QPIGS")), 0);
    const int n = comm.ReadReplyUntilQuiet(buffer);
    const auto frame = FindReplyFrame(std::span(buffer, static_cast<size_t>(std::max(n, 0))));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->payload.size(), 122u - 4);
    EXPECT_TRUE(tool.Quit());
}

TEST(InverterSimulatorTool, StartedByHandItAnswersTComm)
{
    SimulatorTool tool;
    const std::string device = tool.Start({"--full-speed"});
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(tool.Command("mode B"), "ok");

    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open(device);
    ASSERT_EQ(comm.LastError(), 0u);
    ASSERT_EQ(comm.Write(FrameCommand("QPIGS")), 8);
    std::uint8_t buffer[200];
    const int n = comm.ReadUntilQuiet(buffer);
    ASSERT_GE(n, 3);
    EXPECT_TRUE(ReplyCrcOk(std::span(buffer, static_cast<size_t>(n)), n - 3));
    comm.Purge();
    ASSERT_EQ(comm.Write(FrameCommand("QMOD")), 7);
    EXPECT_EQ(comm.ReadBlock(std::span(buffer, 5)), 5);
    EXPECT_EQ(buffer[1], 'B');
    EXPECT_TRUE(tool.Quit());
}

TEST(InverterSimulatorTool, SetsTheWarningBitsAndRefusesTheQueryWhenTold)
{
    SimulatorTool tool;
    const std::string lowBattery = "00000000000010000000000000000000";
    const std::string device = tool.Start({"--full-speed", "--warnings", QString::fromStdString(lowBattery)});
    ASSERT_FALSE(device.empty());

    PosixSerialOpener opener;
    fakes::FakeUserNotifier notifier;
    TComm comm{opener, notifier};
    comm.Open(device);
    ASSERT_EQ(comm.LastError(), 0u);
    // The payload of the reply to the warning-status query; "(none)" when no frame came.
    const auto askWarnings = [&comm]() -> std::string {
        std::uint8_t buffer[64];
        comm.Purge();
        if (comm.Write(FrameCommand("QPIWS")) <= 0)
            return "(not sent)";
        const int n = comm.ReadReplyUntilQuiet(buffer);
        const auto frame = FindReplyFrame(std::span(buffer, static_cast<size_t>(std::max(n, 0))));
        return frame ? std::string(frame->payload) : "(none)";
    };
    EXPECT_EQ(askWarnings(), lowBattery);

    const std::string lineFail = "000001000000000000000000000000000001";
    const struct {
        const char* line;
        const char* answer;
        std::string payload; // the warning-status reply's payload afterwards
    } steps[] = {
        {"warnings 0000x", "error: warnings BITS|clear (BITS: 0 and 1 only)", lowBattery},
        {"warnings", "error: warnings BITS|clear (BITS: 0 and 1 only)", lowBattery},
        {"warnings clear", "ok", std::string(32, '0')}, // as many bits as the unit had
        {"warnings 000001000000000000000000000000000001", "ok", lineFail},
        {"nak QPIWS", "ok", "NAK"},
        {"nak off", "ok", lineFail},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(tool.Command(step.line), step.answer) << step.line;
        EXPECT_EQ(askWarnings(), step.payload) << step.line;
    }
    EXPECT_TRUE(tool.Quit());
}
