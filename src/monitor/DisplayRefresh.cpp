#include "monitor/DisplayRefresh.h"

#include "core/ComputedValues.h"
#include "core/DisplayTexts.h"
#include "core/NumberText.h"
#include "inverter/FlowTexts.h"
#include "inverter/MeasurementRecord.h"
#include "records/LogBook.h"
#include "web/WebPages.h"

namespace quorvane {

void RefreshDisplay(const MeasurementRecord& record, const ComputedValues& computed, DisplayTexts& display,
                    WebPages& pages)
{
    display.Basic = {record.AcVoltage,
                     record.AcFrequency,
                     record.PvInputVoltage,
                     record.PvInputCurrent,
                     record.BatteryVoltage + "[" + record.SccBatteryVoltage + "]",
                     record.BatteryCapacity,
                     record.ChargingCurrent,
                     record.DischargeCurrent,
                     record.OutputFrequency,
                     record.OutputVoltage,
                     record.OutputApparentPower,
                     record.OutputActivePower,
                     record.LoadPercent,
                     record.HeatSinkTemperature,
                     record.BusVoltage};
    display.Computed = {FormatFixed3(computed.Aux1), FormatFixed3(computed.Aux2), FormatFixed3(computed.Aux3),
                        FormatFixed3(computed.Aux4), FormatFixed3(computed.Aux5), FormatFixed3(computed.Aux6)};
    display.Panel22 = ModeText(record.Flow.Mode);
    display.Panel23 = ChargeStateText(record.Flow.Charge);
    display.Panel24 = LoadSourceText(record.Flow.DecidedSource);
    display.Panel4 = OutputPriorityText(record.Flow.Priority);
    display.SecondPv.clear();
    if (record.SecondPv)
        display.SecondPv = {FormatFixed(record.SecondPv->VoltageV, 1), FormatFixed(record.SecondPv->CurrentA, 1),
                            FormatFixed(record.SecondPv->ChargingPowerW, 0)};
    pages.UpdatePageValues(display, record.Flow, record.LastReadingStamp);
}

void ShowRestoredEnergies(const RestoredEnergies& restored, const ComputedValues& computed, DisplayTexts& display)
{
    if (restored.Totals) {
        display.Computed[4] = FormatFixed3(computed.Aux5); // Panel20
        display.Computed[5] = FormatFixed3(computed.Aux6); // Panel21
    }
    if (restored.Today) {
        display.Computed[0] = FormatFixed3(computed.Aux1); // Panel16
        display.Computed[2] = FormatFixed3(computed.Aux3); // Panel18
        display.Computed[3] = FormatFixed3(computed.Aux4); // Panel19
    }
}

} // namespace quorvane
