#pragma once

#include "core/UserNotifier.h"

namespace quorvane {

class EventMemo;

// The person as the core's routines meet them: a notice that only informs is written to the
// event memo as well as shown, so it is on record where nobody sees the screen; a question
// goes to the person unchanged.
// Thread ownership: the core thread, like the memo.
class MemoNotifier final : public UserNotifier {
public:
    MemoNotifier(UserNotifier& person, EventMemo& memo) : m_person(person), m_memo(memo) {}

    void showMessage(const std::string& text) override;
    void showWarning(const std::string& text) override;
    void showCaptionedWarning(const std::string& caption, const std::string& text) override;
    Answer askYesNo(const std::string& question) override { return m_person.askYesNo(question); }

private:
    UserNotifier& m_person;
    EventMemo& m_memo;
};

} // namespace quorvane
