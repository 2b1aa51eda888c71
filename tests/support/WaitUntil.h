#pragma once

// Waiting for something another thread (or the kernel) brings about, without an event loop.
// The limit only stops a test that would otherwise hang: it is generous, so that a slow or
// busy machine never fails a test that would pass on an idle one.
#include <chrono>
#include <functional>
#include <thread>

namespace quorvane::fakes {

inline constexpr std::chrono::seconds kPatience{60};

// Checks the condition every millisecond until it holds; false when the limit ran out first.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace quorvane::fakes
