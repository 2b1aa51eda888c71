#include "core/NumberText.h"

#include <charconv>

namespace quorvane {

std::optional<double> ParseNumber(std::string_view text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

double TextToDouble(std::string_view text)
{
    return ParseNumber(text).value_or(0.0);
}

std::string FormatFixed3(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (error != std::errc{})
        return "0.000";
    std::string text(buffer, end);
    return text == "-0.000" ? "0.000" : text;
}

int TextToInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return 0;
    return value;
}

} // namespace quorvane
