#include "web/WebForms.h"

#include "config/Settings.h"

#include <cctype>

namespace quorvane {

namespace {

constexpr std::array<const char*, 4> kEnableBoxes = {"C1TA", "C2TB", "C3TC", "C4TD"};
constexpr std::array<const char*, 4> kOnFields = {"TAON", "TBON", "TCON", "TDON"};
constexpr std::array<const char*, 4> kOffFields = {"TAOFF", "TBOFF", "TCOFF", "TDOFF"};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// hh.mm.ss with dots; trailing blanks allowed; one-digit hours accepted ("9.30.00").
std::optional<QTime> readTime(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    std::string value = *text;
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    int parts[3] = {-1, -1, -1};
    size_t part = 0, digits = 0;
    for (const char c : value) {
        if (c == '.') {
            if (digits == 0 || ++part > 2)
                return std::nullopt;
            digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c)) && digits < 2) {
            parts[part] = (parts[part] < 0 ? 0 : parts[part] * 10) + (c - '0');
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || digits != 2)
        return std::nullopt;
    const QTime time(parts[0], parts[1], parts[2]);
    return time.isValid() ? std::optional(time) : std::nullopt;
}

} // namespace

std::string DecodeFormText(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += c;
        }
    }
    return decoded;
}

FormFields::FormFields(std::string_view body)
{
    while (!body.empty()) {
        const size_t end = body.find('&');
        const std::string_view field = body.substr(0, end);
        if (!field.empty()) {
            const size_t equals = field.find('=');
            m_fields.emplace_back(DecodeFormText(field.substr(0, equals)),
                                  equals == std::string_view::npos ? std::string() : DecodeFormText(field.substr(equals + 1)));
        }
        if (end == std::string_view::npos)
            break;
        body.remove_prefix(end + 1);
    }
}

size_t FormFields::Count(std::string_view name) const
{
    size_t count = 0;
    for (const auto& field : m_fields)
        count += field.first == name ? 1 : 0;
    return count;
}

std::optional<std::string> FormFields::First(std::string_view name) const
{
    for (const auto& field : m_fields)
        if (field.first == name)
            return field.second;
    return std::nullopt;
}

bool IsTimerForm(const FormFields& form)
{
    return form.Count("TAON") > 0;
}

TimerFormPost ReadTimerForm(const FormFields& form)
{
    TimerFormPost post;
    for (size_t timer = 0; timer < 4; ++timer) {
        post.Enabled[timer] = form.First(kEnableBoxes[timer]) == "ON";
        const auto onText = form.First(kOnFields[timer]);
        const auto offText = form.First(kOffFields[timer]);
        if (!onText && !offText)
            continue;
        const auto on = readTime(onText);
        const auto off = readTime(offText);
        post.Times[timer] = (on && off) ? std::optional(std::pair(*on, *off)) : std::nullopt;
    }
    return post;
}

CommandFormPost ReadCommandForm(const FormFields& form)
{
    CommandFormPost post;
    for (size_t output = 0; output < post.Requested.size(); ++output)
        post.Requested[output] = form.First("C" + std::to_string(output + 1)) == "ON";
    if (form.Count("T1") == 1) {
        const std::string word = *form.First("T1");
        if (word == "log")
            post.Command = CommandFormPost::Word::Log;
        else if (word == "data")
            post.Command = CommandFormPost::Word::Data;
        else if (word == "exe")
            post.Command = CommandFormPost::Word::Exe;
    }
    return post;
}

bool IsTimerBoundOutput(int output, const TDati& settings)
{
    for (size_t timer = 0; timer < 4; ++timer) {
        if (settings.TimerEnabled[timer] && settings.TimerInput[timer] == output)
            return true;
    }
    return false;
}

std::string EscapeHtml(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '&': escaped += "&amp;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string MessageParagraph(const std::string& text)
{
    return "<p align=\"left\"> " + text + " </p>";
}

} // namespace quorvane
