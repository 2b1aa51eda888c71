#pragma once

namespace quorvane {

class WebPages;
struct ComputedValues;
struct RestoredEnergies;
struct DisplayTexts;
struct MeasurementRecord;

// Copies the readings into the window's panel texts and from there into the main page:
// values as received, the battery voltage as "26.5[26.4]", computed values with three
// decimals, the energy-flow texts, and the reading stamp into the date line.
void RefreshDisplay(const MeasurementRecord& record, const ComputedValues& computed, DisplayTexts& display,
                    WebPages& pages);

// At start-up, before any reading: the energies read back from the files shown at once in
// their panels ([A] and [B], and today's solar and line energies); the others keep "---".
void ShowRestoredEnergies(const RestoredEnergies& restored, const ComputedValues& computed, DisplayTexts& display);

} // namespace quorvane
