#pragma once

#include "inverter/InverterStates.h"
#include "inverter/LinkState.h"
#include "inverter/OptionalQuery.h"
#include "inverter/ReplyFrame.h"
#include "inverter/SecondPv.h"
#include "inverter/WarningStatus.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace quorvane {

class Clock;
class EventMemo;
class TComm;
struct MainValuesReply;
struct MeasurementRecord;
struct OutputRequests;

// The exchanges with the inverter: main values ("QPIGS"), mode ("QMOD"), presence ("QID"),
// rated information ("QPIRI"), warning status ("QPIWS"), the second PV input ("QPIGS2") and
// the output source priority ("POP00".."POP02"). Each one
// writes its results into the measurement record and its event lines into the memo. Every
// reply is found by the one frame reader (ReplyFrame.h); a "(NAK" is a refusal, which fails
// the query as a reply that never came would (the presence check excepted: whoever refuses
// is there).
//
// Thread ownership: the core thread, which owns everything referenced here. The acquisition
// thread reaches the queries only through hand-offs.
class InverterQueries {
public:
    using Pause = std::function<void(std::chrono::milliseconds)>;

    // Every reply gets this much room: the longest replies seen from real units are about 120
    // bytes, and bytes left over from earlier traffic may come before them.
    static constexpr int kReplyCapacity = 200;
    // Between two attempts of a priority command, and before a test-mode attempt.
    static constexpr std::chrono::milliseconds kPriorityRetryPause{20};
    static constexpr int kPriorityRetries = 5;

    InverterQueries(TComm& comm, MeasurementRecord& record, EventMemo& memo, const LinkState& link,
                    OutputRequests& requests, const Clock& clock, Pause pause = {},
                    std::uint32_t testModeSeed = std::random_device{}());

    void QueryMainValues();
    void QueryMode();
    // True when an inverter answered the presence query on the open port.
    bool CheckInverter();
    void SetOutputPriority(OutputPriority priority);
    void QueryRatedInfo();
    // Queries not every unit knows; each asks nothing in test mode or without a link.
    // The warning and fault bits ("QPIWS").
    OptionalQueryResult<WarningStatus> QueryWarningStatus();
    // The second PV input ("QPIGS2").
    OptionalQueryResult<SecondPvReading> QuerySecondPv();
    // The charging currents the unit allows ("QMCHGCR", "QMUCHGCR").
    OptionalQueryResult<std::vector<int>> QueryCurrentSteps(std::string_view command);

    // How the unit answered a setting command.
    enum class CommandReply { Acknowledged, Refused, NoReply };
    // Sends one charger or battery setting command ("PBCV46.0") and reads its "(ACK"/"(NAK".
    CommandReply SendSettingCommand(const std::string& command);

    // Outcome of the latest priority command.
    [[nodiscard]] bool PopResult() const { return m_popResult; }
    // Field 17 of the latest accepted rated-information reply.
    [[nodiscard]] const std::string& PriorityCode() const { return m_priorityCode; }
    // The priority as the sentence in the "Basic Information from inverter" box.
    [[nodiscard]] const std::string& Label51() const { return m_label51; }

private:
    // What came back for one request.
    struct Reply {
        int count = 0;                   // the read's result: bytes, or a failure below 0
        std::optional<ReplyFrame> frame; // the first valid frame among them (views into m_reply)
        // A valid frame that is no refusal.
        [[nodiscard]] bool Answered() const { return frame && !frame->Refused(); }
    };

    // Reads the reply to `command`: one of about `expectedLength` bytes, or of any length
    // when none is given. A refusal is said in the memo when all errors are shown.
    Reply receiveReply(std::string_view command, std::optional<std::size_t> expectedLength);
    // Asks `command` and reads its reply with `decode` (payload -> optional value).
    template <typename Value, typename Decode>
    OptionalQueryResult<Value> askOptional(std::string_view command, Decode decode);
    void fillTestModeValues();
    void applyMainValuesReply(const MainValuesReply& values);
    void deriveChargeState();
    bool priorityAttempt(OutputPriority priority);
    void addErrorLine(const std::string& line);

    TComm& m_comm;
    MeasurementRecord& m_record;
    EventMemo& m_memo;
    const LinkState& m_link;
    OutputRequests& m_requests;
    const Clock& m_clock;
    Pause m_pause;
    std::mt19937 m_random;
    std::array<std::uint8_t, kReplyCapacity> m_reply{};

    bool m_popResult = false;
    std::string m_priorityCode;
    std::string m_label51 = ".............";
    std::optional<InverterMode> m_prevMode; // the mode before the latest query's
};

} // namespace quorvane
