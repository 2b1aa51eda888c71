#include "core/MemoNotifier.h"

#include "core/EventMemo.h"

namespace quorvane {

void MemoNotifier::showMessage(const std::string& text)
{
    m_memo.AddEventLine(text);
    m_person.showMessage(text);
}

void MemoNotifier::showWarning(const std::string& text)
{
    m_memo.AddEventLine(text);
    m_person.showWarning(text);
}

void MemoNotifier::showCaptionedWarning(const std::string& caption, const std::string& text)
{
    m_memo.AddEventLine(text);
    m_person.showCaptionedWarning(caption, text);
}

} // namespace quorvane
