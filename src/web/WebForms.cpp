#include "web/WebForms.h"

#include "config/Settings.h"

#include <cctype>

namespace quorvane {

namespace {

constexpr std::array<const char*, 4> kEnableBoxes = {"C1TA=ON", "C2TB=ON", "C3TC=ON", "C4TD=ON"};
constexpr std::array<const char*, 4> kOnFields = {"TAON", "TBON", "TCON", "TDON"};
constexpr std::array<const char*, 4> kOffFields = {"TAOFF", "TBOFF", "TCOFF", "TDOFF"};
constexpr size_t kTimeFieldLength = 8;

bool contains(const std::string& body, const std::string& text)
{
    return body.find(text) != std::string::npos;
}

// The 8 characters after the field's name and its "=", with a final "&" read as a blank.
std::optional<std::string> fieldText(const std::string& body, const char* name)
{
    const auto at = body.find(name);
    if (at == std::string::npos)
        return std::nullopt;
    const size_t start = at + std::char_traits<char>::length(name) + 1; // past the "="
    std::string text = start <= body.size() ? body.substr(start, kTimeFieldLength) : std::string();
    if (!text.empty() && text.back() == '&')
        text.back() = ' ';
    return text;
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

TimerFormPost ReadTimerForm(const std::string& body, const std::string& password)
{
    TimerFormPost post;
    post.Authorised = contains(body, "T2=" + password);
    if (!post.Authorised)
        return post;
    for (size_t timer = 0; timer < 4; ++timer) {
        post.Enabled[timer] = contains(body, kEnableBoxes[timer]);
        const auto onText = fieldText(body, kOnFields[timer]);
        const auto offText = fieldText(body, kOffFields[timer]);
        if (!onText && !offText)
            continue;
        const auto on = readTime(onText);
        const auto off = readTime(offText);
        post.Times[timer] = (on && off) ? std::optional(std::pair(*on, *off)) : std::nullopt;
    }
    return post;
}

CommandFormPost ReadCommandForm(const std::string& body, const std::string& password)
{
    CommandFormPost post;
    for (size_t output = 0; output < post.Requested.size(); ++output)
        post.Requested[output] = contains(body, "C" + std::to_string(output + 1) + "=ON");
    post.Authorised = contains(body, "T1=" + password);
    post.Log = contains(body, "T1=log");
    post.Data = contains(body, "T1=data");
    post.Exe = contains(body, "T1=exe");
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
