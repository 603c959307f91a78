#include "temporary_name.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr size_t kLongestFileName = 255;   // NAME_MAX of Linux file systems
constexpr size_t kTemporaryNameExtra = 16; // '.', ".tmp" and eight hex digits, with room to spare

uint32_t temporarySuffix()
{
    static uint32_t counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t mixed = (uint64_t(::getpid()) << 32) ^ uint64_t(now.tv_nsec) ^ (uint64_t(++counter) << 20);
    mixed *= 0x9E3779B97F4A7C15ull;
    return uint32_t(mixed >> 32);
}

} // namespace

std::string temporaryName(const std::string& finalName)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".tmp%08X", unsigned(temporarySuffix()));
    const size_t kept = std::min(finalName.size(), kLongestFileName - kTemporaryNameExtra);
    return "." + finalName.substr(0, kept) + suffix;
}
