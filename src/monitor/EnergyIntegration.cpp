#include "monitor/EnergyIntegration.h"

#include "inverter/MeasurementRecord.h"
#include "core/NumberText.h"

namespace quorvane {

void Integrate(ComputedValues& values, const MeasurementRecord& record, bool testMode)
{
    if (!record.ValuesValid)
        return;
    // The solar power is the PV charging current times the battery voltage: the power that
    // goes into the battery; a second PV input adds the charging power it reports.
    const double current = TextToDouble(record.PvInputCurrent);
    const double secondPvPower = record.SecondPvValid && record.SecondPv ? record.SecondPv->ChargingPowerW : 0.0;
    const double batteryVoltage = TextToDouble(record.BatteryVoltage);
    const double apparentPower = TextToDouble(record.OutputApparentPower);
    const double activePower = TextToDouble(record.OutputActivePower);
    const double step = record.SecondsSincePrevPoll;

    const double solarPower = current * batteryVoltage + secondPvPower;
    const double solarIncrement = solarPower * (step / 3600) * 0.001;
    values.Aux1 += solarIncrement;
    values.Aux2 = solarPower;
    if (record.Flow.Mode == InverterMode::Line || testMode) {
        values.Aux3 += (step / 3600) * apparentPower * 0.001;
        const double lineIncrement = (step / 3600) * activePower * 0.001;
        values.Aux4 += lineIncrement;
        values.Aux6 += lineIncrement;
    }
    values.Aux5 += solarIncrement;
}

} // namespace quorvane
