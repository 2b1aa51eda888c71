#pragma once

#include "core/CoreEventSink.h"
#include "inverter/OptionalQuery.h"
#include "inverter/WarningDebounce.h"
#include "inverter/WarningStatus.h"

#include <QDateTime>

#include <chrono>

namespace quorvane {

class Clock;
class EventMemo;
class LocaleFormats;
class MailOutbox;
struct MeasurementRecord;
struct TDati;

// Watches the inverter's warning and fault bits: says when the next warning-status query is
// due, steadies the readings, and turns each condition that turns on or off into an event
// (a memo line, which the day's event log keeps, a mail when the settings ask for it, and an
// event for the front ends). The active conditions are kept in the measurement record.
//
// A unit that refuses the query does not report warnings at all: it is not asked again until
// the next connection, and the memo says so once.
//
// Thread ownership: the core thread.
class WarningWatch {
public:
    // The query is short, but the main values and the mode keep the line's pace: at most one
    // warning-status query in this time.
    static constexpr std::chrono::seconds kQueryInterval{5};

    WarningWatch(const TDati& settings, MeasurementRecord& record, EventMemo& memo, MailOutbox& mail,
                 const Clock& clock, const LocaleFormats& formats);

    // True when the query should be asked now.
    [[nodiscard]] bool Due() const;
    // Takes the outcome of a query asked now. True when the active conditions changed.
    bool Take(const OptionalQueryResult<WarningStatus>& result);
    // A connection was made: a unit that refused is asked again, and the next two readings
    // decide afresh. What was active stays so until those readings say otherwise, so a
    // condition that lasts through a reconnection makes no second event.
    void Reconnected();

    [[nodiscard]] bool Refused() const { return m_refusal.Refused(); }
    // Told of each condition that turns on or off; null: nobody.
    void SetEventSink(CoreEventSink* sink) { m_eventSink = sink; }

private:
    void report(const WarningCondition& condition, WarningChange change);

    const TDati& m_settings;
    MeasurementRecord& m_record;
    EventMemo& m_memo;
    MailOutbox& m_mail;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    WarningDebounce m_debounce;
    QDateTime m_lastQuery; // invalid until the first query
    RefusalMemory m_refusal;
    CoreEventSink* m_eventSink = nullptr;
};

} // namespace quorvane
