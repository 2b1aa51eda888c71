#pragma once

#include "web/HttpServer.h"

#include <string>

namespace quorvane {

class LocaleFormats;

// "/api/v1/history": a day's or a month's logs as chart series in JSON, for the dashboard and
// scripts.
//   ?day=YYYY-MM-DD  {"day": "2026-06-01", "series": {"solar_power_w": [[seconds, value], ...],
//                     "load_w", "battery_voltage_v", "battery_capacity_percent", "line_present"}}
//                    x: seconds since midnight; at most about kMaxPoints points a series
//   ?month=YYYY-MM   {"month": "2026-06", "series": {"solar_energy_kwh": [[day, value], ...],
//                     "line_energy_kwh"}}
// A day or month without logs has empty series; a query that names neither is answered 400.
// Reads the files itself: any thread, never the core's.
class HistoryApi {
public:
    static constexpr const char* kPath = "/api/v1/history";
    static constexpr std::size_t kMaxPoints = 2000;

    // `logBase`: the folder that holds "Log", as the logs are written.
    HistoryApi(std::string logBase, const LocaleFormats& formats);

    [[nodiscard]] HttpReply Answer(const std::string& query) const;

private:
    std::string m_logBase;
    const LocaleFormats* m_formats;
};

} // namespace quorvane
