#pragma once

#include "core/CoreEventSink.h"

#include <string>

namespace quorvane {

class EventMemo;
class MailOutbox;
class WebPages;
struct MeasurementRecord;
struct TDati;

// Turns what the queries recorded into events, once per supervisor tick: a switch between
// line and battery, a line fault, the line's return. Each goes to the memo, by mail when the
// settings ask for it, and (line events) into the main page's energy-flow heading.
// Thread ownership: the core thread.
class EnergyFlowEvents {
public:
    EnergyFlowEvents(MeasurementRecord& record, const TDati& settings, EventMemo& memo, MailOutbox& mail,
                     WebPages& pages);

    // `now` is the tick's date and time as the locale writes it.
    void ReportEnergyFlowEvents(const std::string& now);

    [[nodiscard]] bool LineFaultActive() const { return m_lineFaultActive; }
    // Told of each event as it is reported; null: nobody.
    void SetEventSink(CoreEventSink* sink) { m_eventSink = sink; }

private:
    MeasurementRecord& m_record;
    const TDati& m_settings;
    EventMemo& m_memo;
    MailOutbox& m_mail;
    WebPages& m_pages;
    bool m_lineFaultActive = false;
    CoreEventSink* m_eventSink = nullptr;
};

} // namespace quorvane
