#include "daemon/StandardErrorNotifier.h"

#include <algorithm>

namespace quorvane {

void StandardErrorNotifier::showMessage(const std::string& text)
{
    writeLine("Notice: " + text);
}

void StandardErrorNotifier::showWarning(const std::string& text)
{
    writeLine("Warning: " + text);
}

void StandardErrorNotifier::showCaptionedWarning(const std::string& caption, const std::string& text)
{
    writeLine("Warning (" + caption + "): " + text);
}

UserNotifier::Answer StandardErrorNotifier::askYesNo(const std::string& question)
{
    writeLine("Question answered No (nobody to ask): " + question);
    return Answer::No;
}

void StandardErrorNotifier::writeLine(const std::string& text)
{
    std::string line = text; // one line, whatever the text holds, so the journal keeps it as one
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    const std::lock_guard lock(m_mutex);
    std::fprintf(m_stream, "%s\n", line.c_str());
    std::fflush(m_stream);
}

} // namespace quorvane
