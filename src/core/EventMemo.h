#pragma once

#include "core/AtomicFile.h"
#include "core/SlotRanks.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvane {

class Clock;
class LocaleFormats;
class UserNotifier;

// The running journal every subsystem writes to: one line per event,
// "[" + short date + " " + long time + "] " + message + " ".
//
// Thread ownership: the lines belong to the thread the memo lives on (the core thread).
// AddEventLine, Clear, Load and the readers run there only. Other threads (the web server's)
// call PostEventLine: the line is stamped at that moment and appended on the owner thread in
// the order the lines were produced.
//
// Views follow the memo through three signals, emitted on the owner thread: `linesAppended`
// carries every line added since the last emission in one batch (at most one batch per turn
// of the event loop, however many lines came), `lineRemoved` names the row a web request line
// left when it moved to the end, and `reset` carries the whole content after a clear, a load,
// or when more lines moved in one turn than are worth sending one by one. A view therefore
// never has to redraw everything per line.
class EventMemo final : public QObject {
    Q_OBJECT
public:
    EventMemo(const Clock& clock, const LocaleFormats& formats, QObject* parent = nullptr);

    [[nodiscard]] static std::string ComposeLine(std::string_view dateTimeText, std::string_view message);

    void AddEventLine(std::string_view message);
    void PostEventLine(std::string_view message);
    void Clear();
    // "Clear>>": asks first; any answer but No empties the memo. The event log file is kept.
    void ClearAfterConfirmation(UserNotifier& person);

    // `count` page requests from `address`, the last stamped `stamp`: the address's own line
    // moves to the end of the memo with its count raised by `count` ("...[CS]2[CE]"), or a
    // first line is added. Constant time (amortised), however long the memo is: the line is
    // found through an index and its old place is left as a hole, compacted now and then.
    void LogWebRequest(const std::string& address, const std::string& stamp, std::int64_t count = 1);

    // The lines in order (a copy).
    [[nodiscard]] std::vector<std::string> Lines() const;
    [[nodiscard]] size_t LineCount() const { return m_slots.size() - m_retired; }
    // Sends the whole memo again (to a view that has just been attached).
    void Republish();
    // The lines each followed by CR LF: the content of an event log file.
    [[nodiscard]] std::string Text() const;
    [[nodiscard]] FileWriteError SaveToFile(const std::string& path) const;
    // Replaces the content with the lines of the file (CR LF or LF); false when it cannot be read.
    bool LoadFromFile(const std::string& path);

signals:
    void linesAppended(qsizetype firstIndex, const QStringList& lines);
    void lineRemoved(qsizetype index);
    void reset(const QStringList& lines);

private:
    [[nodiscard]] std::string stampedLine(std::string_view message) const;
    void append(std::string line);
    void drainPosted();
    void schedulePublish();
    void publishPending();
    void retireSlot(size_t slot);
    void compactIfWorthIt();
    void replaceLines(std::vector<std::string> lines);
    void indexWebLine(size_t slot);
    [[nodiscard]] QStringList liveLinesFrom(size_t slot) const;

    const Clock& m_clock;
    const LocaleFormats& m_formats;
    // The lines in order. A web request line that moves to the end leaves its slot empty and
    // marked retired, so nothing in the middle is ever erased.
    std::vector<std::string> m_slots;
    std::vector<bool> m_retiredSlot;
    size_t m_retired = 0;
    SlotRanks m_ranks; // the row a slot shows as in the views
    size_t m_firstUnpublished = 0; // a slot: the views have every live line before it
    std::unordered_map<std::string, size_t> m_webLines; // address -> slot of its web request line
    bool m_publishScheduled = false;
    int m_removalsSincePublish = 0;
    bool m_resetPending = false; // too many moves in one turn: the views get the whole content

    std::mutex m_postedMutex;
    std::vector<std::string> m_posted; // guarded by m_postedMutex
};

} // namespace quorvane
