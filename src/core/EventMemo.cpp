#include "core/EventMemo.h"

#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "core/UserNotifier.h"

#include <QThread>

#include <charconv>
#include <fstream>
#include <optional>
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

namespace {

constexpr std::string_view kAddressStart = "[ipstart]";
constexpr std::string_view kAddressEnd = "[ipend]";
constexpr std::string_view kCountStart = "[CS]";
constexpr std::string_view kCountEnd = "[CE]";

// The client address a web request line names, if it is one.
std::optional<std::string> addressOf(const std::string& line)
{
    const auto start = line.find(kAddressStart);
    const auto end = line.find(kAddressEnd);
    if (start == std::string::npos || end == std::string::npos || start > end)
        return std::nullopt;
    const auto first = start + kAddressStart.size();
    return line.substr(first, end - first);
}

// The request count of a web request line; a count that does not read as a number (an
// edited event log file) counts as 0, so the next request shows 1.
int countOf(const std::string& line)
{
    const auto start = line.find(kCountStart);
    const auto end = start == std::string::npos ? std::string::npos : line.find(kCountEnd, start);
    if (end == std::string::npos)
        return 0;
    int count = 0;
    const char* first = line.data() + start + kCountStart.size();
    const auto [last, error] = std::from_chars(first, line.data() + end, count);
    return error == std::errc{} && last == line.data() + end ? count : 0;
}

std::string webRequestText(const std::string& stamp, const std::string& address, int count)
{
    return stamp + std::string(kAddressStart) + address + std::string(kAddressEnd) + " requested webpage "
           + std::string(kCountStart) + std::to_string(count) + std::string(kCountEnd);
}

} // namespace

void EventMemo::LogWebRequest(const std::string& address, const std::string& stamp)
{
    Q_ASSERT(QThread::currentThread() == thread());
    drainPosted();
    const auto found = m_webLines.find(address);
    if (found == m_webLines.end()) {
        AddEventLine(webRequestText(stamp, address, 1));
        return;
    }
    const int count = countOf(m_lines[found->second]);
    removeLine(found->second);
    // Later requests: the bare text, with no time prefix and no trailing blank.
    append(webRequestText(stamp, address, count + 1));
}

void EventMemo::removeLine(size_t index)
{
    if (const auto address = addressOf(m_lines[index]); address) {
        const auto entry = m_webLines.find(*address);
        if (entry != m_webLines.end() && entry->second == index)
            m_webLines.erase(entry);
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(index));
    for (auto& [address, lineIndex] : m_webLines)
        if (lineIndex > index)
            --lineIndex;
    if (index < m_firstUnpublished) {
        --m_firstUnpublished;
        emit lineRemoved(static_cast<qsizetype>(index));
    }
}

void EventMemo::indexWebLine(size_t index)
{
    if (const auto address = addressOf(m_lines[index]); address)
        m_webLines.emplace(*address, index); // the first line of an address is the one that counts
}

void EventMemo::rebuildWebIndex()
{
    m_webLines.clear();
    for (size_t index = 0; index < m_lines.size(); ++index)
        indexWebLine(index);
}

void EventMemo::append(std::string line)
{
    m_lines.push_back(std::move(line));
    indexWebLine(m_lines.size() - 1);
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
    m_webLines.clear();
    m_firstUnpublished = 0;
    emit reset({});
}

void EventMemo::ClearAfterConfirmation(UserNotifier& person)
{
    if (person.askYesNo("Event log will be deleted. Are you sure?") != UserNotifier::Answer::No)
        Clear();
}

void EventMemo::Republish()
{
    drainPosted();
    m_firstUnpublished = m_lines.size();
    emit reset(toStringList(m_lines, 0));
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
    rebuildWebIndex();
    m_firstUnpublished = m_lines.size();
    emit reset(toStringList(m_lines, 0));
    // Lines posted while loading are kept after the loaded ones rather than lost.
    drainPosted();
    return true;
}

} // namespace quorvane
