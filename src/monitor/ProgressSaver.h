#pragma once

#include <QDateTime>

namespace quorvane {

class Clock;
class EventMemo;
class LogBook;

// Puts the day's energies, the totals and the event log on disk while the program runs, at
// every log sample and at least once a minute, so a crash or a power cut costs at most a
// minute of them. A failure is written to the memo once, not every minute, and never holds
// the core in a message box.
// Thread ownership: the core thread.
class ProgressSaver {
public:
    static constexpr qint64 kIntervalMs = 60'000;

    ProgressSaver(const Clock& clock, LogBook& logs, EventMemo& memo);

    // Saves now; `day` is the day the running logs belong to.
    void Save(const QDate& day);
    // Saves when a minute has passed since the last save (or none was made yet).
    void SaveIfDue(const QDate& day);

private:
    const Clock& m_clock;
    LogBook& m_logs;
    EventMemo& m_memo;
    QDateTime m_lastSave;
    bool m_failing = false;
};

} // namespace quorvane
