#pragma once

#include <QTime>

#include <array>
#include <optional>
#include <string>

namespace quorvane {

struct TDati;

// The Timer set-up form as posted, read the way the page has always read it: the raw,
// still URL-encoded body searched as plain text.
struct TimerFormPost {
    bool Authorised = false;              // "T2=" followed by the password
    std::array<bool, 4> Enabled{};        // C1TA..C4TD "=ON", timers A..D
    // Per timer: nothing when neither field is in the body; otherwise both times, or no
    // value when either is not a valid hh.mm.ss.
    std::array<std::optional<std::optional<std::pair<QTime, QTime>>>, 4> Times;
};

[[nodiscard]] TimerFormPost ReadTimerForm(const std::string& body, const std::string& password);

// The command form: eight output switches, the password, the command words.
struct CommandFormPost {
    std::array<bool, 8> Requested{}; // "C1=ON" .. "C8=ON"
    bool Authorised = false;         // "T1=" followed by the password
    bool Log = false;                // "T1=log" (also "T1=logout")
    bool Data = false;               // "T1=data"
    bool Exe = false;                // "T1=exe"
};

[[nodiscard]] CommandFormPost ReadCommandForm(const std::string& body, const std::string& password);

// True when one of timers A..D is enabled and drives output n (0..7), in the order A..D.
[[nodiscard]] bool IsTimerBoundOutput(int output, const TDati& settings);

// Text made safe to stand inside HTML: "<", ">" and "&" escaped.
[[nodiscard]] std::string EscapeHtml(const std::string& text);

// "<p align="left"> " + text + " </p>"
[[nodiscard]] std::string MessageParagraph(const std::string& text);

} // namespace quorvane
