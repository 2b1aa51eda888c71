#pragma once

#include <string_view>

namespace quorvane {

// A file of the dashboard, built into the program so the executable serves it without files
// beside it: the page and its script (ours) and Chart.js (from Debian's libjs-chart.js).
struct DashboardFile {
    std::string_view Path; // as requested: "/dashboard", "/dashboard/dashboard.js", "/dashboard/chart.js"
    std::string_view ContentType;
    std::string_view Content;
};

// The file served at `path`; nullptr for any other path.
[[nodiscard]] const DashboardFile* FindDashboardFile(std::string_view path);

} // namespace quorvane
