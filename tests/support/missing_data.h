// Skipping a test whose data or program is not installed. In CI, where the
// set-up scripts install everything, the same absence is a failure: a test
// that quietly skips there proves nothing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool runningInCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Ends the test: skipped with `reason`, or failed in CI.
#define SKIP_FOR_MISSING(reason)                                                                                       \
    do {                                                                                                               \
        if (runningInCi())                                                                                             \
            GTEST_FAIL() << "missing in CI: " << reason;                                                               \
        else                                                                                                           \
            GTEST_SKIP() << reason;                                                                                    \
    } while (false)
