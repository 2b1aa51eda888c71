#pragma once

namespace quorvane {

// What the inverter reports of itself, as values. Their texts for the window and the pages
// are made in one place only (FlowTexts.h); no logic compares those texts.

// The working mode of the mode query's letter; Test is the simulated inverter's.
enum class InverterMode { Unknown, PowerOn, StandBy, Line, Battery, Fault, PowerSaving, Test };

// The battery's charge state, from the device status bits and the discharge current.
enum class ChargeState { NotUsed, StandBy, Solar, Line, LineAndSolar, Discharging, Test };

// Where the load's power comes from. LineFallback is the line when no test told it.
enum class LoadSource { Unknown, Battery, BatteryAndSolar, Line, Solar, LineFallback, Test };

// The output source priority; its value is the code in the rated information ("0".."2").
enum class OutputPriority { UtilityFirst, SolarFirst, SBU };

} // namespace quorvane
