// The "--runs N" option that the benchmarks over files share.
#pragma once

#include <cstdlib>
#include <cstring>

constexpr int kDefaultRuns = 5; // best of this many runs is reported
constexpr int kMaxRuns = 1000;  // more would only make a run take forever

// Reads an optional "--runs N" at the start of the arguments into runs
// (kDefaultRuns without it). Returns the index of the first argument after
// it, or 0 when N is not from 1 to kMaxRuns.
inline int readRunsOption(int argc, char** argv, int& runs)
{
    runs = kDefaultRuns;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::atoi(argv[2]);
        first = 3;
    }
    return runs >= 1 && runs <= kMaxRuns ? first : 0;
}
