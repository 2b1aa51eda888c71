#pragma once

// Figures the benchmarks share: durations in milliseconds and percentiles of them.
#include <algorithm>
#include <chrono>
#include <vector>

namespace quorvane::bench {

template <typename TimePoint>
double msBetween(TimePoint from, TimePoint to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The value below which the share `p` of `values` lies; -1 for none.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

} // namespace quorvane::bench
