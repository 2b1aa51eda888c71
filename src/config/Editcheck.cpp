#include "config/Editcheck.h"

#include "core/UserNotifier.h"

#include <charconv>

namespace quorvane {

namespace {

constexpr const char* kCaption = "Pellmara";

} // namespace

char FilterIntegerKey(char key)
{
    const bool passes = (key >= '0' && key <= '9') || key == '\b' || key == '\r' || key == '-';
    return passes ? key : '\0';
}

int ValidatedIntegerEntry(const std::string& text, int defaultValue, int minimum, int maximum, UserNotifier* person)
{
    if (text.empty() || text == "-")
        return minimum;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        value = defaultValue;
        if (person != nullptr)
            person->showCaptionedWarning(kCaption, "Wrong integer");
    }
    // The range is checked also on the default a refused text fell back to.
    if (value < minimum) {
        value = defaultValue;
        if (person != nullptr)
            person->showCaptionedWarning(kCaption, "Value out of range; minimum value allowed = " + std::to_string(minimum) + ".");
    } else if (value > maximum) {
        value = defaultValue;
        if (person != nullptr)
            person->showCaptionedWarning(kCaption, "Value out of range; maximum value allowed= " + std::to_string(maximum) + ".");
    }
    return value;
}

} // namespace quorvane
