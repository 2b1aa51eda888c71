#pragma once

// Puts the process in another time zone for one test and back in UTC (the tests' zone)
// afterwards. Local times computed by Qt follow at once.
#include <cstdlib>
#include <ctime>

namespace quorvane::testsupport {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
};

} // namespace quorvane::testsupport
