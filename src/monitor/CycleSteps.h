#pragma once

#include "acquisition/AcquisitionSteps.h"
#include "inverter/OptionalQuery.h"

#include <functional>
#include <string>

namespace quorvane {

class Clock;
class LocaleFormats;
class TComm;
class WarningWatch;
class ChargerSettingService;
struct ComputedValues;
struct LinkState;
struct MeasurementRecord;
struct OutputRequests;

// The acquisition steps as the core performs them: the port purges, the queries, the energy
// integration and the reading stamp.
// Thread ownership: the core thread (the acquisition thread only hands the steps over).
class CycleSteps final : public AcquisitionSteps {
public:
    CycleSteps(TComm& comm, InverterQueries& queries, ComputedValues& computed, MeasurementRecord& record,
               OutputRequests& requests, const LinkState& link, const Clock& clock, const LocaleFormats& formats);

    void PurgeAndQueryMainValues() override;
    void PurgeAndQueryMode() override;
    void PurgeAndQuerySecondPv() override;
    void ComputeValues() override;
    void StampReading() override;
    void QueryWarnings() override;
    void ServePriority(OutputPriority priority) override;
    void PurgeAndQueryRatedInfo() override;
    void LinkOpened() override;
    void ServeChargerSetting() override;

    // The web refresh note that ends every reading stamp, for example " (Refresh = 2 sec.)".
    std::string RefreshNote;
    // Runs at the end of every reading's stamp step, so that what the reading brought is
    // published at once rather than at the next publishing tick.
    std::function<void()> ReadingDone;
    // Who keeps the warning status; null: it is not asked.
    void SetWarningWatch(WarningWatch* watch) { m_warnings = watch; }
    // Who serves the charger settings; null: none are asked or sent.
    void SetChargerSettings(ChargerSettingService* service) { m_chargerSettings = service; }

private:
    TComm& m_comm;
    InverterQueries& m_queries;
    ComputedValues& m_computed;
    MeasurementRecord& m_record;
    OutputRequests& m_requests;
    const LinkState& m_link;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    WarningWatch* m_warnings = nullptr;
    ChargerSettingService* m_chargerSettings = nullptr;
    RefusalMemory m_secondPvRefusal;
};

} // namespace quorvane
