#pragma once

#include "core/UserNotifier.h"

#include <cstdio>
#include <mutex>

namespace quorvane {

// The person, for a program nobody sits in front of: every notice goes to standard error (the
// journal, under systemd) as one line, and the core's memo keeps it too. A question cannot be
// asked, so it gets the answer that loses nothing: No (the only question the core asks is
// whether to delete the event log).
// Thread safety: any thread (the core thread asks); lines are written whole.
class StandardErrorNotifier final : public UserNotifier {
public:
    explicit StandardErrorNotifier(std::FILE* stream = stderr) : m_stream(stream) {}

    void showMessage(const std::string& text) override;
    void showWarning(const std::string& text) override;
    void showCaptionedWarning(const std::string& caption, const std::string& text) override;
    Answer askYesNo(const std::string& question) override;

private:
    void writeLine(const std::string& line);

    std::FILE* m_stream;
    std::mutex m_mutex;
};

} // namespace quorvane
