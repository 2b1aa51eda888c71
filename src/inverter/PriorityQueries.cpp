// "QID" (is an inverter there?), "QPIRI" (rated information, for the output source priority
// in force) and "POP00".."POP02" (switch the output source priority).
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "core/EventMemo.h"
#include "inverter/FlowTexts.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

#include <cctype>
#include <string>
#include <string_view>

namespace quorvane {

namespace {

// The lengths the reads' time-outs are reckoned from. Serial numbers differ in length (13,
// 14 and 16 digits are seen): the reply is a frame of any length within those time-outs.
constexpr int kPresenceReplyLength = 18;  // "(" + 14-digit serial number + CRC + CR
constexpr int kAcknowledgeLength = 7;     // "(ACK" + CRC + CR
constexpr size_t kPriorityField = 17;     // of the rated-information reply

struct PriorityTexts {
    const char* command;
    const char* success;
    const char* failure;
    bool OutputRequests::*buttonEnabled;
};

// The serial number in a presence reply, as far as it is letters and digits: it names the
// device to integrations (topics, identifiers), where other characters have meanings.
std::string SerialNumberOf(std::string_view payload)
{
    std::string serial;
    for (const char c : payload) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 || serial.size() == 32)
            break;
        serial += c;
    }
    return serial;
}

PriorityTexts textsOf(OutputPriority priority)
{
    switch (priority) {
    case OutputPriority::UtilityFirst:
        return {"POP00", "Utility source priority successfully set.", "Utility source priority set failed.",
                &OutputRequests::Button7Enabled};
    case OutputPriority::SolarFirst:
        return {"POP01", "Solar source priority successfully set.", "Solar source priority set failed.",
                &OutputRequests::Button6Enabled};
    case OutputPriority::SBU:
        break;
    }
    return {"POP02", "SBU source priority successfully set.", "SBU source priority set failed.",
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
    // Any valid frame is an inverter's answer, whatever the length of its serial number. A
    // refusal is one too: a unit that will not tell its serial number is still there and
    // answers the queries that matter, so it must not be reported absent.
    const Reply reply = receiveReply("QID", kPresenceReplyLength);
    const bool answered = reply.frame.has_value();
    if (reply.Answered())
        m_record.SerialNumber = SerialNumberOf(reply.frame->payload);
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
    const Reply reply = receiveReply(textsOf(priority).command, kAcknowledgeLength);
    const bool acknowledged = reply.Answered() && reply.frame->payload == "ACK";
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
        m_label51 = "Output source = " + OutputPriorityText(priority);
        m_record.Flow.Priority = priority;
    } else {
        m_memo.AddEventLine(texts.failure);
        m_label51 = "Output source = unknown";
        m_record.Flow.Priority.reset();
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
    // A reply without the priority's field is no rated information.
    const Reply reply = receiveReply("QPIRI", std::nullopt);
    const auto fields = reply.Answered() ? SplitFields(reply.frame->payload) : std::vector<std::string_view>();
    if (fields.size() < kPriorityField) {
        addErrorLine("Error receiving general status (" + std::to_string(reply.count) + "/" + std::to_string(reply.count) + ")");
        return;
    }
    // The rated-information fields overwrite the main values' slots until the next reading.
    FillReplySlots(fields, m_record.MainValues);
    if (auto rated = DecodeRatedInfo(reply.frame->payload))
        m_record.Rated = std::move(*rated);
    m_priorityCode = StripLeadingZeros(m_record.MainValues[kPriorityField]);
    m_record.Flow.Priority.reset();
    for (const OutputPriority priority : {OutputPriority::UtilityFirst, OutputPriority::SolarFirst, OutputPriority::SBU}) {
        if (m_priorityCode == std::to_string(static_cast<int>(priority))) {
            m_label51 = "Output source = " + OutputPriorityText(priority);
            m_record.Flow.Priority = priority;
        }
    }
}

} // namespace quorvane
