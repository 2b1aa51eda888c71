#pragma once

#include "core/AtomicFile.h"

#include <QObject>
#include <QStringList>

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
// Views follow the memo through two signals, emitted on the owner thread: `linesAppended`
// carries every line added since the last emission in one batch (at most one batch per turn
// of the event loop, however many lines came), `reset` carries the whole content after a
// clear or a load. A view therefore never has to redraw everything per line.
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

    // A page request from `address`, stamped `stamp`: the address's own line moves to the end
    // of the memo with its count raised by one ("...[CS]2[CE]"), or a first line is added.
    // Finding the address's line takes constant time, however long the memo is.
    void LogWebRequest(const std::string& address, const std::string& stamp);

    [[nodiscard]] const std::vector<std::string>& Lines() const { return m_lines; }
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
    void publishPending();
    void removeLine(size_t index);
    void indexWebLine(size_t index);
    void rebuildWebIndex();

    const Clock& m_clock;
    const LocaleFormats& m_formats;
    std::vector<std::string> m_lines;
    size_t m_firstUnpublished = 0;
    // Address -> index of its web request line. Few addresses, so shifting their indexes
    // after a removal is cheap.
    std::unordered_map<std::string, size_t> m_webLines;
    bool m_publishScheduled = false;

    std::mutex m_postedMutex;
    std::vector<std::string> m_posted; // guarded by m_postedMutex
};

} // namespace quorvane
