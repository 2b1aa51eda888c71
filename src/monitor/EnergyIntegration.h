#pragma once

#include "core/ComputedValues.h"

namespace quorvane {

struct MeasurementRecord;

// Adds this reading's energy over SecondsSincePrevPoll to the daily and total counters;
// nothing unless the reading is valid. Line energy counts only in line-bypass mode, or in
// test mode on the simulated values.
void Integrate(ComputedValues& values, const MeasurementRecord& record, bool testMode);

} // namespace quorvane
