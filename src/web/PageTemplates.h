#pragma once

#include <array>
#include <string_view>

namespace quorvane {

inline constexpr const char* kVersionText = "1.2.0.0";

// Template lines; the footer lines (main page 227, Timer page 99) are empty here and written
// when the pages are built.
extern const std::array<std::string_view, 106> kTimerPageTemplate;
extern const std::array<std::string_view, 237> kMainPageTemplate;

} // namespace quorvane
