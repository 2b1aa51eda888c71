#pragma once

#include <string>

namespace quorvane {

// Everything the core needs from a person. The desktop shell implements it with message
// boxes on the GUI thread; tests fake it. A notice that only informs returns at once, so no
// routine (and no thread) waits for a person who may never come; only a question waits for
// its answer, and an implementation answers No when the program is closing.
class UserNotifier {
public:
    enum class Answer { Yes, No };

    virtual ~UserNotifier() = default;
    // A plain modal message with an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // A warning box captioned "Quorvane".
    virtual void showWarning(const std::string& text) = 0;
    // A system-modal warning box with its own caption (the numeric entry's "Pellmara").
    virtual void showCaptionedWarning(const std::string& caption, const std::string& text) = 0;
    // A question box captioned "Quorvane" with the buttons Yes and No.
    virtual Answer askYesNo(const std::string& question) = 0;
};

} // namespace quorvane
