#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of the code under test. A broken one aborts, so libFuzzer keeps the input as a
// crash like any sanitizer finding; it holds in every build type (no NDEBUG).
#define FUZZ_CHECK(condition)                                                                                   \
    ((condition) ? void(0) : quorvane::fuzz::InvariantBroken(#condition, __FILE__, __LINE__))

namespace quorvane::fuzz {

[[noreturn]] inline void InvariantBroken(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

} // namespace quorvane::fuzz
