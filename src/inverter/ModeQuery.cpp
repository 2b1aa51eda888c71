// "QMOD": the working mode, the battery charge state, the load's source and the switches
// between line and battery operation.
#include "inverter/MeasurementRecord.h"
#include "core/NumberText.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

namespace quorvane {

namespace {

constexpr const char* kLineMode = "Line (bypass)";
constexpr const char* kBatteryMode = "Battery";
constexpr const char* kUnknown = "Unknown";
constexpr int kModeReplyLength = 5; // "(" + letter + CRC + CR: the read's time-outs

const char* modeTextOf(char letter)
{
    switch (letter) {
    case 'L': return kLineMode;
    case 'B': return kBatteryMode;
    case 'P': return "Power ON";
    case 'S': return "Stand By";
    case 'F': return "Fault";
    case 'H': return "Power Saving";
    default: return kUnknown;
    }
}

const char* chargeStateOf(int chargeOn, int solarCharging, int lineCharging)
{
    if (chargeOn == 0 && solarCharging == 0 && lineCharging == 0)
        return "Stand-by";
    if (chargeOn == 1 && solarCharging == 1 && lineCharging == 0)
        return "Solar charge";
    if (chargeOn == 1 && solarCharging == 0 && lineCharging == 1)
        return "Line charge";
    if (chargeOn == 1 && solarCharging == 1 && lineCharging == 1)
        return "Line-solar charge";
    return "Not used";
}

} // namespace

void InverterQueries::deriveChargeState()
{
    EnergyFlow& flow = m_record.Flow;
    flow.ChargeStateText = chargeStateOf(m_record.ChargeOn, m_record.SolarCharging, m_record.LineCharging);
    if ((flow.ChargeStateText == "Not used" || flow.ChargeStateText == "Stand-by")
        && TextToDouble(m_record.DischargeCurrent) > 0) {
        flow.ChargeStateText = "Discharging";
        flow.LoadSourceText = "Source:Battery";
    }
}

void InverterQueries::QueryMode()
{
    EnergyFlow& flow = m_record.Flow;
    m_prevModeText = flow.ModeText;
    if (m_link.Test) {
        flow.ModeText = "Test Mode";
        flow.LoadSourcePlain = "Test Load";
        flow.ChargeStateText = "Test Battery";
        m_record.ModeValid = true;
        flow.LoadSourceText = "Test Load (" + flow.OutputPriorityText + ")";
        return;
    }
    m_record.ModeValid = false;
    flow.ModeText = kUnknown;
    flow.LoadSourceText = kUnknown;
    flow.ChargeStateText = "Not used";
    deriveChargeState();
    if (!m_link.LinkConnected)
        return;

    if (m_comm.Write(FrameCommand("QMOD")) < 0) {
        addErrorLine("Error send data energy flow.");
        return;
    }
    const Reply reply = receiveReply("QMOD", kModeReplyLength);
    if (!reply.Answered() || reply.frame->payload.size() != 1) {
        addErrorLine("Error receiving status (" + std::to_string(reply.count) + "/" + std::to_string(kModeReplyLength) + ")");
        return;
    }

    const char letter = reply.frame->payload.front();
    flow.ModeText = modeTextOf(letter);
    if (flow.ModeText != m_prevModeText) {
        if (m_prevModeText == kLineMode && flow.ModeText == kBatteryMode)
            m_record.SwitchEvent = 1;
        else if (m_prevModeText == kBatteryMode && flow.ModeText == kLineMode)
            m_record.SwitchEvent = 2;
    }
    m_prevModeText = flow.ModeText;

    // Each test applies only while the source is still unknown.
    const double pvCurrent = TextToDouble(m_record.PvInputCurrent);
    if (flow.LoadSourceText == kUnknown && letter == 'B')
        flow.LoadSourceText = pvCurrent > 0 ? "Source:Batt./Solar" : "Source:Battery";
    if (flow.LoadSourceText == kUnknown && letter == 'L')
        flow.LoadSourceText = "Source:Line";
    if (flow.LoadSourceText == kUnknown && pvCurrent - TextToDouble(m_record.ChargingCurrent) > 0)
        flow.LoadSourceText = "Source:Solar";
    if (flow.LoadSourceText == kUnknown)
        flow.LoadSourceText = "Source:Line(2)";

    flow.LoadSourcePlain = flow.LoadSourceText;
    flow.LoadSourceText = flow.LoadSourceText + " (" + flow.OutputPriorityText + ")";
    m_record.ModeValid = true;
}

} // namespace quorvane
