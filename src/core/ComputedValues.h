#pragma once

namespace quorvane {

// The six quantities derived from the readings, shared by the monitor (which integrates
// them), the records (which log, save and restore them) and the displays. Their names are
// the settings keys of their labels and units.
// Thread ownership: the core thread.
struct ComputedValues {
    double Aux1 = 0.0; // solar energy of the day, kWh
    double Aux2 = 0.0; // solar power of the latest reading, W
    double Aux3 = 0.0; // line energy of the day, apparent, kVAh
    double Aux4 = 0.0; // line energy of the day, active, kWh
    double Aux5 = 0.0; // [A] total solar energy since the totals start date, kWh
    double Aux6 = 0.0; // [B] total line energy since the totals start date, kWh

    // At the day change: the three daily quantities start again from zero.
    void DailyReset()
    {
        Aux1 = 0.0;
        Aux3 = 0.0;
        Aux4 = 0.0;
    }
};

} // namespace quorvane
