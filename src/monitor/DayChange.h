#pragma once

#include "core/CoreEventSink.h"

#include <QDateTime>

namespace quorvane {

class EventMemo;
class LocaleFormats;
class LogBook;
class MailOutbox;
struct ComputedValues;
struct DisplayTexts;
struct MeasurementRecord;
struct TDati;

// Closes the day that ended: its energy row, its logs (mailed when asked for), the totals,
// its event log; resets the daily energies, rolls the log names over and re-bases the
// reading clock. Each mail goes out after its file is written and before its name rolls.
// Thread ownership: the core thread, inside the supervisor tick.
class DayChange {
public:
    DayChange(const TDati& settings, LogBook& logs, ComputedValues& computed, const DisplayTexts& display,
              EventMemo& memo, MeasurementRecord& record, MailOutbox& mail, const LocaleFormats& formats);

    // `dayReference`: a moment of the day that ended; `now`: the tick's moment.
    void Run(const QDateTime& dayReference, const QDateTime& now);
    // Told of each day change once its files, mails and resets are done; null: nobody.
    void SetEventSink(CoreEventSink* sink) { m_eventSink = sink; }

private:
    const TDati& m_settings;
    LogBook& m_logs;
    ComputedValues& m_computed;
    const DisplayTexts& m_display;
    EventMemo& m_memo;
    MeasurementRecord& m_record;
    MailOutbox& m_mail;
    const LocaleFormats& m_formats;
    CoreEventSink* m_eventSink = nullptr;
};

} // namespace quorvane
