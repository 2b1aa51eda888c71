#pragma once

#include "core/UserNotifier.h"

#include <QObject>

namespace quorvane {

// The core's questions and messages as message boxes. Lives on the GUI thread; the core thread
// calls in and waits for the answer (the GUI thread never waits for the core, so the two
// cannot block each other).
class MessageBoxNotifier final : public QObject, public UserNotifier {
    Q_OBJECT
public:
    void showMessage(const std::string& text) override;
    void showWarning(const std::string& text) override;
    void showCaptionedWarning(const std::string& caption, const std::string& text) override;
    Answer askYesNo(const std::string& question) override;

private:
    template <typename Function>
    void onGuiThread(Function&& function);
};

} // namespace quorvane
