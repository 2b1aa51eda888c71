#include "core/EventMemo.h"

#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "core/UserNotifier.h"

#include <QThread>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>

namespace quorvane {

namespace {

// Views get single removals for a few moved lines per turn; beyond that one reset is cheaper.
constexpr int kRemovalsSentOneByOne = 16;
// Holes are compacted once they outnumber the lines (and are not just a handful).
constexpr size_t kHolesWorthCompacting = 1024;

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
std::int64_t countOf(const std::string& line)
{
    const auto start = line.find(kCountStart);
    const auto end = start == std::string::npos ? std::string::npos : line.find(kCountEnd, start);
    if (end == std::string::npos)
        return 0;
    std::int64_t count = 0;
    const char* first = line.data() + start + kCountStart.size();
    const auto [last, error] = std::from_chars(first, line.data() + end, count);
    return error == std::errc{} && last == line.data() + end ? count : 0;
}

std::string webRequestText(const std::string& stamp, const std::string& address, std::int64_t count)
{
    return stamp + std::string(kAddressStart) + address + std::string(kAddressEnd) + " requested webpage "
           + std::string(kCountStart) + std::to_string(count) + std::string(kCountEnd);
}

} // namespace

void EventMemo::LogWebRequest(const std::string& address, const std::string& stamp, std::int64_t count)
{
    Q_ASSERT(QThread::currentThread() == thread());
    drainPosted();
    const auto found = m_webLines.find(address);
    if (found == m_webLines.end()) {
        if (count == 1)
            AddEventLine(webRequestText(stamp, address, 1));
        else
            append(webRequestText(stamp, address, count)); // as if the first line had already moved
        return;
    }
    const size_t slot = found->second;
    const std::int64_t previous = countOf(m_slots[slot]);
    m_webLines.erase(found);
    retireSlot(slot);
    // Later requests: the bare text, with no time prefix and no trailing blank.
    append(webRequestText(stamp, address, previous + count));
    compactIfWorthIt();
}

void EventMemo::retireSlot(size_t slot)
{
    if (slot < m_firstUnpublished && !m_resetPending) {
        if (m_removalsSincePublish < kRemovalsSentOneByOne) {
            ++m_removalsSincePublish;
            emit lineRemoved(static_cast<qsizetype>(m_ranks.LiveBefore(slot)));
        } else {
            m_resetPending = true;
            schedulePublish();
        }
    }
    m_ranks.Retire(slot);
    m_retiredSlot[slot] = true;
    std::string().swap(m_slots[slot]);
    ++m_retired;
}

void EventMemo::compactIfWorthIt()
{
    if (m_retired < kHolesWorthCompacting || m_retired < LineCount())
        return;
    // Row numbers do not change, so the views are not told.
    const size_t published = m_ranks.LiveBefore(m_firstUnpublished);
    std::vector<std::string> lines;
    lines.reserve(LineCount());
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
        if (!m_retiredSlot[slot])
            lines.push_back(std::move(m_slots[slot]));
    replaceLines(std::move(lines));
    m_firstUnpublished = published;
}

void EventMemo::replaceLines(std::vector<std::string> lines)
{
    m_slots = std::move(lines);
    m_retiredSlot.assign(m_slots.size(), false);
    m_retired = 0;
    m_ranks.Reset(m_slots.size());
    m_webLines.clear();
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
        indexWebLine(slot);
}

void EventMemo::indexWebLine(size_t slot)
{
    if (const auto address = addressOf(m_slots[slot]); address)
        m_webLines.emplace(*address, slot); // the first line of an address is the one that counts
}

void EventMemo::append(std::string line)
{
    m_slots.push_back(std::move(line));
    m_retiredSlot.push_back(false);
    m_ranks.PushLive();
    indexWebLine(m_slots.size() - 1);
    schedulePublish();
}

void EventMemo::schedulePublish()
{
    if (!m_publishScheduled) {
        m_publishScheduled = true;
        QMetaObject::invokeMethod(this, &EventMemo::publishPending, Qt::QueuedConnection);
    }
}

QStringList EventMemo::liveLinesFrom(size_t first) const
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(m_slots.size() - std::min(first, m_slots.size())));
    for (size_t slot = first; slot < m_slots.size(); ++slot)
        if (!m_retiredSlot[slot])
            list.append(QString::fromStdString(m_slots[slot]));
    return list;
}

void EventMemo::publishPending()
{
    m_publishScheduled = false;
    m_removalsSincePublish = 0;
    if (m_resetPending) {
        m_resetPending = false;
        m_firstUnpublished = m_slots.size();
        emit reset(liveLinesFrom(0));
        return;
    }
    if (m_firstUnpublished >= m_slots.size())
        return;
    const auto first = static_cast<qsizetype>(m_ranks.LiveBefore(m_firstUnpublished));
    QStringList batch = liveLinesFrom(m_firstUnpublished);
    m_firstUnpublished = m_slots.size();
    if (!batch.isEmpty())
        emit linesAppended(first, batch);
}

void EventMemo::Clear()
{
    Q_ASSERT(QThread::currentThread() == thread());
    drainPosted();
    replaceLines({});
    m_firstUnpublished = 0;
    m_resetPending = false;
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
    m_firstUnpublished = m_slots.size();
    m_resetPending = false;
    emit reset(liveLinesFrom(0));
}

std::vector<std::string> EventMemo::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(LineCount());
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
        if (!m_retiredSlot[slot])
            lines.push_back(m_slots[slot]);
    return lines;
}

std::string EventMemo::Text() const
{
    std::string text;
    for (size_t slot = 0; slot < m_slots.size(); ++slot) {
        if (m_retiredSlot[slot])
            continue;
        text += m_slots[slot];
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
    replaceLines(std::move(lines));
    m_firstUnpublished = m_slots.size();
    m_resetPending = false;
    emit reset(liveLinesFrom(0));
    // Lines posted while loading are kept after the loaded ones rather than lost.
    drainPosted();
    return true;
}

} // namespace quorvane
