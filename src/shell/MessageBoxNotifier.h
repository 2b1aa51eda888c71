#pragma once

#include "core/UserNotifier.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include <atomic>

namespace quorvane {

// The core's questions and messages as message boxes. Lives on the GUI thread.
// A notice from another thread (the core thread) is shown without waiting: the core goes on
// polling, saving and answering while the box stays open, also where nobody can close it
// (the offscreen platform). A notice from the GUI thread itself is modal, as a dialog's check
// expects. A question waits for its answer, unless the program is closing: CancelQuestions
// answers every open question No, and every later one at once, so a close request always
// reaches the core.
class MessageBoxNotifier final : public QObject, public UserNotifier {
    Q_OBJECT
public:
    void showMessage(const std::string& text) override;
    void showWarning(const std::string& text) override;
    void showCaptionedWarning(const std::string& caption, const std::string& text) override;
    Answer askYesNo(const std::string& question) override;

    // GUI thread: the program is closing.
    void CancelQuestions();

private:
    void showNotice(QMessageBox::Icon icon, const QString& caption, const QString& text, bool onTop);
    Answer askOnGuiThread(const QString& question);

    std::atomic<bool> m_closing = false;
    QList<QPointer<QMessageBox>> m_openQuestions; // GUI thread only
};

} // namespace quorvane
