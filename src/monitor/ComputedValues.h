#pragma once

namespace quorvane {

struct MeasurementRecord;

// The six quantities derived from the readings. Their names are the settings keys of their
// labels and units.
//
// Thread ownership: the core thread, like the measurement record they are computed from.
struct ComputedValues {
    double Aux1 = 0.0; // solar energy of the day, kWh
    double Aux2 = 0.0; // solar power of the latest reading, W
    double Aux3 = 0.0; // line energy of the day, apparent, kVAh
    double Aux4 = 0.0; // line energy of the day, active, kWh
    double Aux5 = 0.0; // [A] total solar energy since the totals start date, kWh
    double Aux6 = 0.0; // [B] total line energy since the totals start date, kWh

    // Adds this reading's energy over SecondsSincePrevPoll; nothing unless ValuesValid.
    // Line energy counts only in line-bypass mode, or in test mode on the simulated values.
    void Integrate(const MeasurementRecord& record, bool testMode);

    // At the day change: the three daily quantities start again from zero.
    void DailyReset();
};

} // namespace quorvane
