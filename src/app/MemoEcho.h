#pragma once

#include <QObject>
#include <QStringList>

#include <cstdio>

namespace quorvane {

class CoreApp;

// Follows the event memo on a stream, one line per event line, so that a terminal or the
// journal keeps them. The lines from before (today's log, the start's notices) are written
// once, when the memo is first published whole; then each new line as it comes.
// Thread ownership: the thread that made it (the main thread); the memo lives on the core
// thread and reaches it by the core's queued signals. Make it before the core begins, so no
// line passes before it listens.
class MemoEcho final : public QObject {
    Q_OBJECT
public:
    MemoEcho(const CoreApp& core, std::FILE* stream, QObject* parent = nullptr);

private:
    void write(const QStringList& lines);

    std::FILE* m_stream;
    bool m_startWritten = false;
};

} // namespace quorvane
