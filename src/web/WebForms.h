#pragma once

#include "face/WebRequests.h"

#include <QTime>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

struct TDati;

// A posted form body (application/x-www-form-urlencoded) read into its fields, names and
// values decoded ("+" is a blank, "%XX" a byte; a "%" not followed by two hex digits stays as
// it is). Fields are compared by their whole decoded name, never searched for in the raw body.
class FormFields {
public:
    explicit FormFields(std::string_view body);

    [[nodiscard]] size_t Count(std::string_view name) const;
    // The value of the first field of that name.
    [[nodiscard]] std::optional<std::string> First(std::string_view name) const;

private:
    std::vector<std::pair<std::string, std::string>> m_fields;
};

// "+" read as a blank, "%XX" as the byte XX.
[[nodiscard]] std::string DecodeFormText(std::string_view text);

// The Timer set-up form: posted by the Timer page, recognised by its field TAON.
[[nodiscard]] bool IsTimerForm(const FormFields& form);

[[nodiscard]] TimerFormPost ReadTimerForm(const FormFields& form);

// The command form: eight output switches and the field T1, which holds the password or one
// of the command words.
struct CommandFormPost {
    enum class Word { None, Log, Data, Exe };
    std::array<bool, 8> Requested{}; // C1 .. C8 = "ON"
    Word Command = Word::None;       // T1 is exactly "log", "data" or "exe"
};

[[nodiscard]] CommandFormPost ReadCommandForm(const FormFields& form);

// True when one of timers A..D is enabled and drives output n (0..7), in the order A..D.
[[nodiscard]] bool IsTimerBoundOutput(int output, const TDati& settings);

// Text made safe to stand inside HTML: "<", ">" and "&" escaped.
[[nodiscard]] std::string EscapeHtml(const std::string& text);

// "<p align="left"> " + text + " </p>"
[[nodiscard]] std::string MessageParagraph(const std::string& text);

} // namespace quorvane
