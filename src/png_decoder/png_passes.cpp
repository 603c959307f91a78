#include "png_passes.h"

namespace {

// Adam7: where each pass starts within an 8 x 8 block and how far apart its
// pixels and scanlines are.
struct Adam7Step {
    uint32_t x0, y0, dx, dy;
};

constexpr Adam7Step kAdam7[kPngAdam7Passes] = {
    {0, 0, 8, 8},
    {4, 0, 8, 8},
    {0, 4, 4, 8},
    {2, 0, 4, 4},
    {0, 2, 2, 4},
    {1, 0, 2, 2},
    {0, 1, 1, 2},
};

// Positions start, start + step, ... below `size`.
uint32_t positionsBelow(uint32_t size, uint32_t start, uint32_t step)
{
    return size > start ? uint32_t((uint64_t(size) - start + step - 1) / step) : 0;
}

} // namespace

PngPasses pngPasses(uint32_t width, uint32_t height, bool interlaced)
{
    PngPasses passes{};
    if (!interlaced) {
        passes.pass[0] = PngPass{0, 0, 1, 1, width, height};
        passes.count = 1;
        return passes;
    }
    for (uint32_t i = 0; i < kPngAdam7Passes; ++i) {
        const Adam7Step& step = kAdam7[i];
        passes.pass[i] = PngPass{step.x0, step.y0, step.dx, step.dy, positionsBelow(width, step.x0, step.dx),
            positionsBelow(height, step.y0, step.dy)};
    }
    passes.count = kPngAdam7Passes;
    return passes;
}

uint64_t pngScanlineBytes(uint32_t width, uint32_t bitsPerPixel)
{
    return (uint64_t(width) * bitsPerPixel + 7) / 8;
}

uint64_t pngFilteredSize(const PngPasses& passes, uint32_t bitsPerPixel)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < passes.count; ++i) {
        const PngPass& pass = passes.pass[i];
        if (pass.width == 0)
            continue;
        uint64_t bytes = 0;
        if (__builtin_mul_overflow(uint64_t(pass.height), pngScanlineBytes(pass.width, bitsPerPixel) + 1, &bytes) ||
            __builtin_add_overflow(total, bytes, &total))
            return UINT64_MAX;
    }
    return total;
}

uint64_t pngWidestScanline(const PngPasses& passes, uint32_t bitsPerPixel)
{
    uint64_t widest = 0;
    for (uint32_t i = 0; i < passes.count; ++i)
        if (passes.pass[i].height != 0 && pngScanlineBytes(passes.pass[i].width, bitsPerPixel) > widest)
            widest = pngScanlineBytes(passes.pass[i].width, bitsPerPixel);
    return widest;
}

uint32_t pngFilterBytesPerPixel(uint32_t bitsPerPixel)
{
    return bitsPerPixel < 8 ? 1 : bitsPerPixel / 8;
}
