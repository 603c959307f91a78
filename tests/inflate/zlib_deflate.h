// zlib as the independent reference encoder of the inflate tests, seeds and benchmark.
#pragma once

#include <cstdint>
#include <vector>

// Raw Deflate (no zlib wrapper) of `data`, as one call to deflate with the
// given level, strategy and window size. Throws std::runtime_error if zlib fails.
std::vector<uint8_t> deflateRaw(const std::vector<uint8_t>& data, int level, int strategy, int windowBits);
