#include "shell/MessageBoxNotifier.h"

#include "core/ThreadHandover.h"

#include <QThread>

#include <future>
#include <memory>

namespace quorvane {

namespace {

constexpr const char* kCaption = "Quorvane";

} // namespace

void MessageBoxNotifier::showNotice(QMessageBox::Icon icon, const QString& caption, const QString& text, bool onTop)
{
    const auto makeBox = [icon, caption, text, onTop] {
        auto* box = new QMessageBox(icon, caption, text, QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        if (onTop)
            box->setWindowFlag(Qt::WindowStaysOnTopHint);
        return box;
    };
    if (QThread::currentThread() == thread()) {
        QMessageBox* box = makeBox();
        box->setWindowModality(Qt::ApplicationModal);
        box->exec();
        return;
    }
    AnnounceHandover();
    QMetaObject::invokeMethod(this, [makeBox] { makeBox()->show(); }, Qt::QueuedConnection);
}

void MessageBoxNotifier::showMessage(const std::string& text)
{
    showNotice(QMessageBox::Information, kCaption, QString::fromStdString(text), false);
}

void MessageBoxNotifier::showWarning(const std::string& text)
{
    showNotice(QMessageBox::Warning, kCaption, QString::fromStdString(text), false);
}

void MessageBoxNotifier::showCaptionedWarning(const std::string& caption, const std::string& text)
{
    showNotice(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text), true);
}

UserNotifier::Answer MessageBoxNotifier::askOnGuiThread(const QString& question)
{
    if (m_closing)
        return Answer::No;
    QMessageBox box(QMessageBox::Question, kCaption, question, QMessageBox::Yes | QMessageBox::No);
    m_openQuestions.append(&box);
    const int button = box.exec();
    m_openQuestions.removeAll(&box);
    return button == QMessageBox::Yes && !m_closing ? Answer::Yes : Answer::No;
}

UserNotifier::Answer MessageBoxNotifier::askYesNo(const std::string& question)
{
    const QString text = QString::fromStdString(question);
    if (QThread::currentThread() == thread())
        return askOnGuiThread(text);
    if (m_closing)
        return Answer::No;
    // The answer comes back through a promise: a question the GUI thread drops unasked (the
    // program ending) reads as No instead of leaving the asking thread waiting.
    auto answer = std::make_shared<std::promise<Answer>>();
    std::future<Answer> answered = answer->get_future();
    AnnounceHandover();
    QMetaObject::invokeMethod(
        this, [this, text, answer] { answer->set_value(askOnGuiThread(text)); }, Qt::QueuedConnection);
    try {
        return answered.get();
    } catch (const std::future_error&) {
        return Answer::No;
    }
}

void MessageBoxNotifier::CancelQuestions()
{
    m_closing = true;
    for (const QPointer<QMessageBox>& box : m_openQuestions)
        if (box)
            box->done(QMessageBox::No);
}

} // namespace quorvane
