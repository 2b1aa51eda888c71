#include "app/MemoEcho.h"

#include "app/CoreApp.h"

#include <utility>

namespace quorvane {

MemoEcho::MemoEcho(const CoreApp& core, std::FILE* stream, QObject* parent) : QObject(parent), m_stream(stream)
{
    connect(&core, &CoreApp::memoReset, this, [this](const QStringList& lines) {
        if (!std::exchange(m_startWritten, true))
            write(lines);
    }, Qt::QueuedConnection);
    connect(&core, &CoreApp::memoLinesAppended, this, [this](qsizetype, const QStringList& lines) { write(lines); },
            Qt::QueuedConnection);
}

void MemoEcho::write(const QStringList& lines)
{
    for (const QString& line : lines)
        std::fprintf(m_stream, "%s\n", line.toUtf8().constData());
    std::fflush(m_stream);
}

} // namespace quorvane
