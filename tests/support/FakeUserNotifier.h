#pragma once

#include "core/UserNotifier.h"

#include <string>
#include <vector>

namespace quorvane::fakes {

// Records what the core would have shown a person and answers questions from a script.
class FakeUserNotifier final : public UserNotifier {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showWarning(const std::string& text) override { warnings.push_back(text); }
    void showCaptionedWarning(const std::string& caption, const std::string& text) override
    {
        captionedWarnings.push_back(caption + ": " + text);
    }
    Answer askYesNo(const std::string& question) override
    {
        questions.push_back(question);
        return nextAnswer;
    }

    std::vector<std::string> messages;
    std::vector<std::string> warnings;
    std::vector<std::string> captionedWarnings;
    std::vector<std::string> questions;
    Answer nextAnswer = Answer::Yes;
};

} // namespace quorvane::fakes
