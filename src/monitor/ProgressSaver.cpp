#include "monitor/ProgressSaver.h"

#include "core/Clock.h"
#include "core/EventMemo.h"
#include "records/LogBook.h"

namespace quorvane {

ProgressSaver::ProgressSaver(const Clock& clock, LogBook& logs, EventMemo& memo)
    : m_clock(clock), m_logs(logs), m_memo(memo)
{
}

void ProgressSaver::Save(const QDate& day)
{
    const QDateTime now = m_clock.now();
    m_lastSave = now;
    const auto failure = m_logs.SaveProgress(day, now.date());
    if (failure && !m_failing)
        m_memo.AddEventLine(*failure);
    m_failing = failure.has_value();
}

void ProgressSaver::SaveIfDue(const QDate& day)
{
    const QDateTime now = m_clock.now();
    // A clock set back counts as due too, so the saves never stop.
    if (!m_lastSave.isValid() || m_lastSave.msecsTo(now) >= kIntervalMs || m_lastSave > now)
        Save(day);
}

} // namespace quorvane
