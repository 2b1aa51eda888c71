// "QMOD": the working mode, the battery charge state, the load's source and the switches
// between line and battery operation.
#include "inverter/MeasurementRecord.h"
#include "core/NumberText.h"
#include "inverter/Frame.h"
#include "inverter/InverterQueries.h"
#include "inverter/Wincom.h"

namespace quorvane {

namespace {

constexpr int kModeReplyLength = 5; // "(" + letter + CRC + CR: the read's time-outs

InverterMode modeOf(char letter)
{
    switch (letter) {
    case 'L': return InverterMode::Line;
    case 'B': return InverterMode::Battery;
    case 'P': return InverterMode::PowerOn;
    case 'S': return InverterMode::StandBy;
    case 'F': return InverterMode::Fault;
    case 'H': return InverterMode::PowerSaving;
    default: return InverterMode::Unknown;
    }
}

ChargeState chargeStateOf(int chargeOn, int solarCharging, int lineCharging)
{
    if (chargeOn == 0 && solarCharging == 0 && lineCharging == 0)
        return ChargeState::StandBy;
    if (chargeOn == 1 && solarCharging == 1 && lineCharging == 0)
        return ChargeState::Solar;
    if (chargeOn == 1 && solarCharging == 0 && lineCharging == 1)
        return ChargeState::Line;
    if (chargeOn == 1 && solarCharging == 1 && lineCharging == 1)
        return ChargeState::LineAndSolar;
    return ChargeState::NotUsed;
}

} // namespace

void InverterQueries::deriveChargeState()
{
    EnergyFlow& flow = m_record.Flow;
    flow.Charge = chargeStateOf(m_record.ChargeOn, m_record.SolarCharging, m_record.LineCharging);
    if ((flow.Charge == ChargeState::NotUsed || flow.Charge == ChargeState::StandBy)
        && TextToDouble(m_record.DischargeCurrent) > 0) {
        flow.Charge = ChargeState::Discharging;
        flow.Source = LoadSource::Battery;
    }
}

void InverterQueries::QueryMode()
{
    EnergyFlow& flow = m_record.Flow;
    m_prevMode = flow.Mode;
    if (m_link.Test) {
        flow.Mode = InverterMode::Test;
        flow.DecidedSource = LoadSource::Test;
        flow.Charge = ChargeState::Test;
        m_record.ModeValid = true;
        flow.Source = LoadSource::Test;
        flow.SourceDecided = true;
        flow.PriorityWhenDecided = flow.Priority;
        return;
    }
    m_record.ModeValid = false;
    flow.Mode = InverterMode::Unknown;
    flow.Source = LoadSource::Unknown;
    flow.SourceDecided = false;
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

    flow.Mode = modeOf(reply.frame->payload.front());
    if (m_prevMode == InverterMode::Line && flow.Mode == InverterMode::Battery)
        m_record.SwitchEvent = 1;
    else if (m_prevMode == InverterMode::Battery && flow.Mode == InverterMode::Line)
        m_record.SwitchEvent = 2;
    m_prevMode = flow.Mode;

    // Each test applies only while the source is still unknown.
    const double pvCurrent = TextToDouble(m_record.PvInputCurrent);
    if (flow.Source == LoadSource::Unknown && flow.Mode == InverterMode::Battery)
        flow.Source = pvCurrent > 0 ? LoadSource::BatteryAndSolar : LoadSource::Battery;
    if (flow.Source == LoadSource::Unknown && flow.Mode == InverterMode::Line)
        flow.Source = LoadSource::Line;
    if (flow.Source == LoadSource::Unknown && pvCurrent - TextToDouble(m_record.ChargingCurrent) > 0)
        flow.Source = LoadSource::Solar;
    if (flow.Source == LoadSource::Unknown)
        flow.Source = LoadSource::LineFallback;

    flow.DecidedSource = flow.Source;
    flow.SourceDecided = true;
    flow.PriorityWhenDecided = flow.Priority;
    m_record.ModeValid = true;
}

} // namespace quorvane
