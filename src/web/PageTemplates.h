#pragma once

#include <array>
#include <string_view>

namespace quorvane {

// The program's version, from the project's version in the top CMakeLists.txt.
inline constexpr const char* kVersionText = QUORVANE_VERSION_TEXT;

// Template lines; the footer lines (main page 227, Timer page 99) are empty here and written
// when the pages are built.
extern const std::array<std::string_view, 106> kTimerPageTemplate;
extern const std::array<std::string_view, 237> kMainPageTemplate;

} // namespace quorvane
