#pragma once

#include <string>

namespace quorvane {

class UserNotifier;

// Whole-number entry fields: a key filter that lets only an integer's characters through,
// and a checked conversion that warns ("Pellmara") when the text is not acceptable.

// "0".."9", Backspace, Enter and "-" pass; every other key becomes the null character.
[[nodiscard]] char FilterIntegerKey(char key);

// The accepted integer, or `defaultValue` when the text is refused; an empty text or a lone
// "-" gives the minimum without a message. Messages go through `person` when it is given.
[[nodiscard]] int ValidatedIntegerEntry(const std::string& text, int defaultValue, int minimum, int maximum,
                                        UserNotifier* person);

} // namespace quorvane
