#pragma once

#include "inverter/Frame.h"
#include "inverter/InverterStates.h"
#include "inverter/PollCounters.h"
#include "inverter/RatedInfo.h"
#include "inverter/SecondPv.h"
#include "inverter/SettingCheck.h"
#include "inverter/WarningStatus.h"

#include <QDateTime>

#include <optional>
#include <string>

namespace quorvane {

// What the inverter is doing, as the queries last found it. A field is empty until a query
// first sets it: the window and the pages then show nothing there. The texts are FlowTexts.h's.
struct EnergyFlow {
    std::optional<InverterMode> Mode;
    std::optional<ChargeState> Charge;
    // The load's source as the latest mode query left it (the pages' line).
    std::optional<LoadSource> Source;
    // Set when the latest mode query decided the source, with the output priority in force
    // then: the pages show that priority beside the source until the next query.
    bool SourceDecided = false;
    std::optional<OutputPriority> PriorityWhenDecided;
    // The source the latest query that decided one found: the window shows it, and keeps
    // showing it while the queries fail.
    std::optional<LoadSource> DecidedSource;
    // The output source priority in force, as last set or read; empty while unknown.
    std::optional<OutputPriority> Priority;

    bool operator==(const EnergyFlow&) const = default;
};

// The one place where the inverter's readings live. Values are kept as the text received
// (after the reply rules), never as numbers; readers convert with TextToDouble.
//
// Thread ownership: the core thread only. The queries write it through the acquisition
// thread's hand-offs; displays and pages read it there.
struct MeasurementRecord {
    MeasurementRecord();

    ReplySlots MainValues;

    // The fifteen basic variables in list order, then the SCC battery voltage.
    std::string AcVoltage;
    std::string AcFrequency;
    std::string PvInputVoltage;
    std::string PvInputCurrent;
    std::string BatteryVoltage;
    std::string BatteryCapacity;
    std::string ChargingCurrent;
    std::string DischargeCurrent;
    std::string OutputFrequency;
    std::string OutputVoltage;
    std::string OutputApparentPower;
    std::string OutputActivePower;
    std::string LoadPercent;
    std::string HeatSinkTemperature;
    std::string BusVoltage;
    std::string SccBatteryVoltage;

    // Device status bits: the last three characters of the main-values status field (the
    // 17th), characters 88 to 90 of the usual 110-byte reply.
    int LineCharging = 0;
    int SolarCharging = 0;
    int ChargeOn = 0;

    EnergyFlow Flow;

    bool ValuesValid = false;
    bool ModeValid = false;
    bool LinePresent = true;
    bool LinePresentPrev = true;
    int LineTransition = 0;
    int LastAbsenceCount = 0;
    int SwitchEvent = 0; // 1 = line to battery, 2 = battery to line

    // Poll clock. The times carry their date so that the step between two readings is the
    // real elapsed time, also across midnight or a daylight-saving change.
    QDateTime PollTime;
    QDateTime PrevPollTime;
    double SecondsSincePrevPoll = 0.0;

    std::string LastReadingStamp;

    // Main-values readings accepted so far (test-mode ones included), and when the latest
    // came: the watchdog counts the inverter's answers by them, not by cycles run.
    int ValidReadings = 0;
    QDateTime LastValidReading;
    PollCounters Polls;
    // The serial number the inverter gave at the latest presence check, letters and digits
    // only; empty while none was told (a unit that refuses the query, the test mode).
    std::string SerialNumber;
    // The warnings and faults the inverter reports, once steadied over two readings; empty
    // when all is well or the unit does not report them.
    WarningStatus Warnings;
    // The second PV input of a dual-tracker unit: empty until the unit first answered its
    // query (a unit with one input never does). SecondPvValid: this cycle's reading was
    // accepted, so it counts into the solar energy.
    std::optional<SecondPvReading> SecondPv;
    bool SecondPvValid = false;
    // The charger and battery settings in force, from the latest rated information; empty
    // until it was first read. The charging currents the unit allows, once asked on this
    // connection (empty lists: the unit does not say).
    std::optional<RatedInfo> Rated;
    std::optional<CurrentSteps> ChargingSteps;

    // The sixteen display variables := the stripped reply slots they come from.
    void SetDisplayVariablesFromSlots();

    // LinePresentPrev := LinePresent; LinePresent := AcVoltage above 100 V.
    void TakeLinePresenceFromReading();

    // The step of the line-presence counter, run at the end of every main-values poll whose
    // request went out.
    void UpdateLineTransition(int absenceThreshold);

    // PrevPollTime := PollTime; PollTime := now; SecondsSincePrevPoll := seconds between, to the millisecond.
    void UpdatePollTiming(const QDateTime& now);

    // A main-values reading was accepted now: ValuesValid is set and the reading counted.
    void AcceptReading(const QDateTime& now);

    // -5 for measuring intervals of 1, 2 and 5 s (MeasTime index 0..2), -1 for longer ones.
    [[nodiscard]] static int AbsenceThreshold(int measTimeIndex);
};

} // namespace quorvane
