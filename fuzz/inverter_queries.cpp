// The queries' reading of replies: the mode ("QMOD"), the main values ("QPIGS"), the rated
// information ("QPIRI") and the presence check ("QID"), each through the real port code
// (TComm) on a line that answers with the input.
//
// The first input byte picks the query; the rest is what the line sends back, handed over
// byte by byte as a serial line would, until the read has a whole frame or its buffer is full.
//
// Invariants, with the frame the read ends at (the first valid one in what it read):
// - the mode is taken exactly from a one-letter frame that is no refusal, and reads as one of
//   the known modes or "Unknown";
// - the main values are taken exactly from a frame that is no refusal and whose payload
//   ParseMainValues accepts; then the first sixteen slots are its fields as sent; otherwise
//   the record keeps every slot;
// - the rated information is taken exactly from a frame with 17 fields or more that is no
//   refusal; the priority code is its 17th field without leading zeros, shown as one of
//   UTIL, SOLAR, SBU or "--"; otherwise the priority shown stays as it was;
// - an inverter is present exactly when a valid frame came, a refusal included.
#include "FuzzCheck.h"
#include "FuzzEnvironment.h"

#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "core/UserNotifier.h"
#include "inverter/FlowTexts.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/MainValuesReply.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "inverter/ReplyFrame.h"
#include "inverter/Wincom.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>

using namespace quorvane;

namespace {

// Answers every read with the next of the scripted bytes, one at a time, as a line would.
class ScriptedLine final : public SerialTransport {
public:
    explicit ScriptedLine(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    int write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        return static_cast<int>(bytes.size());
    }
    int read(std::span<std::uint8_t> buffer, const ReadLimits& limits) override
    {
        std::size_t count = 0;
        while (count < buffer.size() && m_next < m_bytes.size()) {
            buffer[count++] = m_bytes[m_next++];
            if (limits.complete && limits.complete(buffer.first(count)))
                break;
        }
        return static_cast<int>(count);
    }
    void purge() override {} // the reply comes after the request, never before the purge
    LineStatus takeLineStatus() override { return {}; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_next = 0;
};

class ScriptedOpener final : public SerialOpener {
public:
    explicit ScriptedOpener(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    OpenedPort open(const std::string&) override { return {std::make_unique<ScriptedLine>(m_bytes), {}}; }

private:
    std::span<const std::uint8_t> m_bytes;
};

class SilentPerson final : public UserNotifier {
public:
    void showMessage(const std::string&) override {}
    void showWarning(const std::string&) override {}
    void showCaptionedWarning(const std::string&, const std::string&) override {}
    Answer askYesNo(const std::string&) override { return Answer::No; }
};

// The frame the query's read ends at: the line hands bytes over until the first whole frame,
// at most the query's buffer.
std::optional<ReplyFrame> frameRead(std::span<const std::uint8_t> reply)
{
    return FindReplyFrame(reply.first(std::min<std::size_t>(reply.size(), InverterQueries::kReplyCapacity)));
}

std::string mapped(std::string_view field)
{
    std::string text;
    for (const char c : field)
        text += MapReplyChar(static_cast<std::uint8_t>(c));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    quorvane::fuzz::StartQtCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const LocaleFormats formats("C");
    if (size == 0)
        return 0;
    const std::uint8_t choice = data[0];
    const std::span<const std::uint8_t> reply(data + 1, size - 1);

    ScriptedOpener opener(reply);
    SilentPerson person;
    TComm comm(opener, person, PortMap({{1, "/scripted/line"}}));
    comm.Open("COM1");
    FUZZ_CHECK(comm.LastError() == 0);
    ManualClock clock(QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0)));
    EventMemo memo(clock, formats);
    MeasurementRecord record;
    LinkState link;
    link.LinkConnected = true;
    link.ShowAllErrors = true; // every rejection line goes into the memo too
    OutputRequests requests;
    InverterQueries queries(comm, record, memo, link, requests, clock, [](std::chrono::milliseconds) {}, 1);

    const auto frame = frameRead(reply);
    const bool answered = frame && !frame->Refused();
    static const std::string kBefore = "before";
    static constexpr OutputPriority kPriorityBefore = OutputPriority::SolarFirst;
    record.MainValues.fill(kBefore);
    record.Flow.Priority = kPriorityBefore;

    switch (choice % 4) {
    case 0: {
        queries.QueryMode();
        static const std::set<InverterMode> kModes = {InverterMode::Line,  InverterMode::Battery,     InverterMode::PowerOn,
                                                      InverterMode::StandBy, InverterMode::Fault,
                                                      InverterMode::PowerSaving, InverterMode::Unknown};
        FUZZ_CHECK(record.ModeValid == (answered && frame->payload.size() == 1));
        FUZZ_CHECK(record.Flow.Mode && kModes.contains(*record.Flow.Mode));
        break;
    }
    case 1: {
        const int readingsBefore = record.ValidReadings;
        queries.QueryMainValues();
        const auto values = answered ? ParseMainValues(frame->payload) : std::nullopt;
        FUZZ_CHECK(record.ValuesValid == values.has_value());
        FUZZ_CHECK(record.ValidReadings == readingsBefore + (values ? 1 : 0));
        for (std::size_t slot = 1; slot <= 16; ++slot)
            FUZZ_CHECK(record.MainValues[slot] == (values ? std::string(values->Fields[slot - 1]) : kBefore));
        if (!values)
            FUZZ_CHECK(std::all_of(record.MainValues.begin(), record.MainValues.end(),
                                   [](const std::string& slot) { return slot == kBefore; }));
        break;
    }
    case 2: {
        queries.QueryRatedInfo();
        const auto fields = answered ? SplitFields(frame->payload) : std::vector<std::string_view>();
        const bool taken = fields.size() >= 17;
        if (!taken) {
            FUZZ_CHECK(record.Flow.Priority == kPriorityBefore);
            break;
        }
        FUZZ_CHECK(queries.PriorityCode() == StripLeadingZeros(mapped(fields[16])));
        static const std::set<std::string> kPriorities = {"--", "UTIL", "SOLAR", "SBU"};
        FUZZ_CHECK(kPriorities.contains(OutputPriorityText(record.Flow.Priority)));
        break;
    }
    default:
        FUZZ_CHECK(queries.CheckInverter() == frame.has_value());
        break;
    }
    return 0;
}
