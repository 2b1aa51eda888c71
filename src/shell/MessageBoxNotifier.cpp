#include "shell/MessageBoxNotifier.h"

#include <QMessageBox>
#include <QThread>

namespace quorvane {

namespace {

constexpr const char* kCaption = "Quorvane";

} // namespace

template <typename Function>
void MessageBoxNotifier::onGuiThread(Function&& function)
{
    if (QThread::currentThread() == thread())
        function();
    else
        QMetaObject::invokeMethod(this, std::forward<Function>(function), Qt::BlockingQueuedConnection);
}

void MessageBoxNotifier::showMessage(const std::string& text)
{
    onGuiThread([&] { QMessageBox::information(nullptr, kCaption, QString::fromStdString(text)); });
}

void MessageBoxNotifier::showWarning(const std::string& text)
{
    onGuiThread([&] { QMessageBox::warning(nullptr, kCaption, QString::fromStdString(text)); });
}

void MessageBoxNotifier::showCaptionedWarning(const std::string& caption, const std::string& text)
{
    onGuiThread([&] {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text));
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
    });
}

UserNotifier::Answer MessageBoxNotifier::askYesNo(const std::string& question)
{
    Answer answer = Answer::No;
    onGuiThread([&] {
        answer = QMessageBox::question(nullptr, kCaption, QString::fromStdString(question),
                                       QMessageBox::Yes | QMessageBox::No)
                         == QMessageBox::Yes
                     ? Answer::Yes
                     : Answer::No;
    });
    return answer;
}

} // namespace quorvane
