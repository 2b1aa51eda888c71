// "QID" (is an inverter there?), "QPIRI" (rated information, for the output source priority
// in force) and "POP00".."POP02" (switch the output source priority).
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "core/EventMemo.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

#include <array>

namespace quorvane {

namespace {

constexpr int kPresenceReplyLength = 18;  // "(" + 14-digit serial number + CRC + CR
constexpr int kAcknowledgeLength = 7;     // "(ACK" + CRC + CR
constexpr size_t kPriorityField = 17;     // of the rated-information reply

struct PriorityTexts {
    const char* command;
    const char* shortText;
    const char* success;
    const char* failure;
    bool OutputRequests::*buttonEnabled;
};

PriorityTexts textsOf(OutputPriority priority)
{
    switch (priority) {
    case OutputPriority::UtilityFirst:
        return {"POP00", "UTIL", "Utility source priority successfully set.", "Utility source priority set failed.",
                &OutputRequests::Button7Enabled};
    case OutputPriority::SolarFirst:
        return {"POP01", "SOLAR", "Solar source priority successfully set.", "Solar source priority set failed.",
                &OutputRequests::Button6Enabled};
    case OutputPriority::SBU:
        break;
    }
    return {"POP02", "SBU", "SBU source priority successfully set.", "SBU source priority set failed.",
            &OutputRequests::Button5Enabled};
}

} // namespace

bool InverterQueries::CheckInverter()
{
    if (!m_link.LinkConnected)
        return false;
    m_comm.Purge();
    if (m_comm.Write(FrameCommand("QID")) < 0) {
        addErrorLine("Error send data check.");
        return false;
    }
    std::array<std::uint8_t, kPresenceReplyLength> reply{};
    const int r = m_comm.ReadBlock(reply);
    const bool answered = r >= 0 && ReplyCrcOk(std::span(reply.data(), static_cast<size_t>(r)), 15);
    m_memo.AddEventLine(answered ? "Inverter connected." : "Inverter Not connected.");
    return answered;
}

bool InverterQueries::priorityAttempt(OutputPriority priority)
{
    if (m_link.Test) {
        m_pause(kPriorityRetryPause);
        m_memo.AddEventLine("Command executed.");
        return true;
    }
    if (!m_link.LinkConnected)
        return false;
    m_comm.Purge();
    if (m_comm.Write(FrameCommand(textsOf(priority).command)) < 0) {
        addErrorLine("Error send data check.");
        return false;
    }
    std::array<std::uint8_t, kAcknowledgeLength> reply{};
    const int r = m_comm.ReadBlock(reply);
    const bool acknowledged = r >= 0 && ReplyCrcOk(std::span(reply.data(), static_cast<size_t>(r)), 4)
                              && reply[1] == 'A' && reply[2] == 'C' && reply[3] == 'K';
    m_memo.AddEventLine(acknowledged ? "Command executed." : "Command NOT executed.");
    return acknowledged;
}

void InverterQueries::SetOutputPriority(OutputPriority priority)
{
    const PriorityTexts texts = textsOf(priority);
    m_popResult = priorityAttempt(priority);
    if (m_link.Test)
        m_popResult = false; // so test mode shows a retry, as a real line often needs one
    for (int retry = 0; !m_popResult && retry < kPriorityRetries; ++retry) {
        m_pause(kPriorityRetryPause);
        m_popResult = priorityAttempt(priority);
    }
    if (m_popResult) {
        m_memo.AddEventLine(texts.success);
        m_label51 = std::string("Output source = ") + texts.shortText;
        m_record.Flow.OutputPriorityText = texts.shortText;
    } else {
        m_memo.AddEventLine(texts.failure);
        m_label51 = "Output source = unknown";
        m_record.Flow.OutputPriorityText = "--";
    }
    m_requests.*texts.buttonEnabled = true;
}

void InverterQueries::QueryRatedInfo()
{
    if (m_link.Test) {
        m_priorityCode = "1";
        return;
    }
    if (!m_link.LinkConnected)
        return;
    if (m_comm.Write(FrameCommand("QPIRI")) <= 0) {
        addErrorLine("Error in send command GenSTATUS.");
        return;
    }
    std::array<std::uint8_t, kReplyCapacity> reply{};
    const int n = m_comm.ReadUntilQuiet(reply);
    if (n < 3 || !ReplyCrcOk(std::span(reply.data(), static_cast<size_t>(n)), n - 3)) {
        addErrorLine("Error receiving general status (" + std::to_string(n) + "/" + std::to_string(n) + ")");
        return;
    }
    // The rated-information fields overwrite the main values' slots until the next reading.
    SplitReply(std::span(reply.data(), static_cast<size_t>(n)), m_record.MainValues);
    m_priorityCode = StripLeadingZeros(m_record.MainValues[kPriorityField]);
    m_record.Flow.OutputPriorityText = "--";
    static constexpr std::array<const char*, 3> kShortTexts = {"UTIL", "SOLAR", "SBU"};
    for (size_t code = 0; code < kShortTexts.size(); ++code) {
        if (m_priorityCode == std::to_string(code)) {
            m_label51 = std::string("Output source = ") + kShortTexts[code];
            m_record.Flow.OutputPriorityText = kShortTexts[code];
        }
    }
}

} // namespace quorvane
