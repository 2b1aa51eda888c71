#include "core/NumberText.h"

#include <charconv>

namespace quorvane {

double TextToDouble(std::string_view text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return 0.0;
    return value;
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
