#include "core/EventMemo.h"

#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "core/UserNotifier.h"

#include <QThread>

#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

QStringList toStringList(const std::vector<std::string>& lines, size_t first)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size() - first));
    for (size_t i = first; i < lines.size(); ++i)
        list.append(QString::fromStdString(lines[i]));
    return list;
}

} // namespace

EventMemo::EventMemo(const Clock& clock, const LocaleFormats& formats, QObject* parent)
    : QObject(parent), m_clock(clock), m_formats(formats)
{
}

std::string EventMemo::ComposeLine(std::string_view dateTimeText, std::string_view message)
{
    std::string line;
    line.reserve(dateTimeText.size() + message.size() + 4);
    line += '[';
    line += dateTimeText;
    line += "] ";
    line += message;
    line += ' ';
    return line;
}

std::string EventMemo::stampedLine(std::string_view message) const
{
    return ComposeLine(m_formats.dateTime(m_clock.now()), message);
}

void EventMemo::AddEventLine(std::string_view message)
{
    Q_ASSERT(QThread::currentThread() == thread());
    // Lines posted from other threads before this moment come first.
    drainPosted();
    append(stampedLine(message));
}

void EventMemo::PostEventLine(std::string_view message)
{
    bool firstInQueue = false;
    {
        // Stamping under the lock makes queue order the order of production.
        const std::lock_guard lock(m_postedMutex);
        firstInQueue = m_posted.empty();
        m_posted.push_back(stampedLine(message));
    }
    if (firstInQueue)
        QMetaObject::invokeMethod(this, &EventMemo::drainPosted, Qt::QueuedConnection);
}

void EventMemo::drainPosted()
{
    std::vector<std::string> posted;
    {
        const std::lock_guard lock(m_postedMutex);
        posted.swap(m_posted);
    }
    for (auto& line : posted)
        append(std::move(line));
}

void EventMemo::append(std::string line)
{
    m_lines.push_back(std::move(line));
    if (!m_publishScheduled) {
        m_publishScheduled = true;
        QMetaObject::invokeMethod(this, &EventMemo::publishPending, Qt::QueuedConnection);
    }
}

void EventMemo::publishPending()
{
    m_publishScheduled = false;
    if (m_firstUnpublished >= m_lines.size())
        return;
    const auto first = static_cast<qsizetype>(m_firstUnpublished);
    QStringList batch = toStringList(m_lines, m_firstUnpublished);
    m_firstUnpublished = m_lines.size();
    emit linesAppended(first, batch);
}

void EventMemo::Clear()
{
    Q_ASSERT(QThread::currentThread() == thread());
    drainPosted();
    m_lines.clear();
    m_firstUnpublished = 0;
    emit reset({});
}

void EventMemo::ClearAfterConfirmation(UserNotifier& person)
{
    if (person.askYesNo("Event log will be deleted. Are you sure?") != UserNotifier::Answer::No)
        Clear();
}

std::string EventMemo::Text() const
{
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

FileWriteError EventMemo::SaveToFile(const std::string& path) const
{
    return WriteFileAtomically(path, Text());
}

bool EventMemo::LoadFromFile(const std::string& path)
{
    Q_ASSERT(QThread::currentThread() == thread());
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    m_lines = std::move(lines);
    m_firstUnpublished = m_lines.size();
    emit reset(toStringList(m_lines, 0));
    // Lines posted while loading are kept after the loaded ones rather than lost.
    drainPosted();
    return true;
}

} // namespace quorvane
