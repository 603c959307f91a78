// Speed of undoing each PNG scanline filter on 3- and 4-byte pixels (RGB and
// RGBA rows turned into the surface's B, G, R order), and of the chunk
// CRC-32. Prints MB/s of surface bytes written (filters) or bytes read (CRC);
// it checks nothing.
#include "png_crc.h"
#include "png_unfilter.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kWidth = 2048;              // pixels per row of the filter image
constexpr uint32_t kHeight = 512;              // rows of the filter image
constexpr size_t kCrcBytes = 16 * 1024 * 1024; // bytes checksummed per CRC run
constexpr int kRuns = 7;                       // the best of these is reported
constexpr double kMegabyte = 1e6;

const char* const kFilterNames[] = {"none", "sub", "up", "average", "paeth"};
constexpr uint8_t kFilterCount = 5;

Bytes randomBytes(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

// Seconds of the fastest of kRuns calls of `work`.
template <class Work>
double bestSeconds(Work work)
{
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = seconds < best ? seconds : best;
    }
    return best;
}

void benchFilter(const PngPixelFormat& format, uint8_t filter)
{
    const uint32_t bytesPerPixel = pngSamplesPerPixel(format.colorType);
    const uint64_t rowBytes = uint64_t(kWidth) * bytesPerPixel;
    Bytes filtered = randomBytes(kHeight * (rowBytes + 1), filter * 10 + bytesPerPixel);
    for (uint32_t row = 0; row < kHeight; ++row)
        filtered[row * (rowBytes + 1)] = filter;
    Bytes pixels(kHeight * rowBytes);
    PngUnfilterJob job{};
    job.pixels = pixels.data();
    job.pitch = rowBytes;
    job.width = kWidth;
    job.height = kHeight;
    job.filtered = filtered.data();
    job.format = format;
    bool accepted = true;
    const double seconds = bestSeconds([&] { accepted = pngUnfilter(job) && accepted; });
    std::printf("filter %-8s bpp %u: %8.1f MB/s%s\n", kFilterNames[filter], bytesPerPixel,
        double(pixels.size()) / seconds / kMegabyte, accepted ? "" : " (refused)");
}

void benchCrc()
{
    const Bytes data = randomBytes(kCrcBytes, 99);
    uint32_t crc = 0;
    const double seconds = bestSeconds([&] { crc = crc32Update(data.data(), data.size(), crc); });
    std::printf("crc32              : %8.1f MB/s (crc %08x)\n", double(data.size()) / seconds / kMegabyte, crc);
}

} // namespace

int main()
{
    for (uint8_t colorType : {kPngTruecolour, kPngTruecolourAlpha})
        for (uint8_t filter = 0; filter < kFilterCount; ++filter)
            benchFilter(PngPixelFormat{colorType, 8, false, {}}, filter);
    benchCrc();
    return 0;
}
