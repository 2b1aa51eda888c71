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

std::string FormatFixed(double value, int decimals)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text = error == std::errc{} ? std::string(buffer, end) : FormatFixed(0.0, decimals);
    // No "-0.000": a value that rounds to zero is zero.
    if (text.starts_with('-') && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string FormatFixed3(double value)
{
    return FormatFixed(value, 3);
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
