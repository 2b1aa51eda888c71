#include "monitor/ComputedValues.h"

#include "inverter/MeasurementRecord.h"
#include "core/NumberText.h"

namespace quorvane {

void ComputedValues::Integrate(const MeasurementRecord& record, bool testMode)
{
    if (!record.ValuesValid)
        return;
    // The solar power is the PV charging current times the battery voltage: the power that
    // goes into the battery.
    const double current = TextToDouble(record.PvInputCurrent);
    const double batteryVoltage = TextToDouble(record.BatteryVoltage);
    const double apparentPower = TextToDouble(record.OutputApparentPower);
    const double activePower = TextToDouble(record.OutputActivePower);
    const double step = record.SecondsSincePrevPoll;

    const double solarIncrement = current * batteryVoltage * (step / 3600) * 0.001;
    Aux1 += solarIncrement;
    Aux2 = current * batteryVoltage;
    if (record.Flow.ModeText == "Line (bypass)" || testMode) {
        Aux3 += (step / 3600) * apparentPower * 0.001;
        const double lineIncrement = (step / 3600) * activePower * 0.001;
        Aux4 += lineIncrement;
        Aux6 += lineIncrement;
    }
    Aux5 += solarIncrement;
}

void ComputedValues::DailyReset()
{
    Aux1 = 0.0;
    Aux3 = 0.0;
    Aux4 = 0.0;
}

} // namespace quorvane
