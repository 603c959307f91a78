// Fast paths for the pairs of modes that matter on a device: RGB565 fills,
// ARGB8888 to RGB565 copies and blends, each for sources stored in the
// destination's rotation (one pixel after the other). Each gives exactly the
// general path's bytes: the same conversions and the same blend arithmetic,
// with the mode decisions taken once per run instead of once per pixel.
#include "ds_draw_paths.h"

#include <string.h>

// The word loads below read pixels in the host's byte order, which must be
// the surfaces' little-endian one.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the fast paths read little-endian words");

namespace ds {
namespace {

bool gFastPaths = true;

// Unaligned little-endian loads and stores; on the Cortex-M4 and on x86 each
// is one instruction.
inline uint32_t load32(const uint8_t* pixel)
{
    uint32_t value;
    memcpy(&value, pixel, 4);
    return value;
}

inline uint32_t load16(const uint8_t* pixel)
{
    uint16_t value;
    memcpy(&value, pixel, 2);
    return value;
}

inline void store16(uint8_t* pixel, uint32_t value)
{
    const uint16_t narrow = uint16_t(value);
    memcpy(pixel, &narrow, 2);
}

inline void store32(uint8_t* pixel, uint32_t value)
{
    memcpy(pixel, &value, 4);
}

// ARGB8888 to RGB565 by truncation, the shifts of ds::rgb565Of on the word;
// always inlined, as -Os would otherwise call it once per pixel.
__attribute__((always_inline)) inline uint32_t narrowTo565(uint32_t argb)
{
    return (argb >> 8 & 0xF800) | (argb >> 5 & 0x07E0) | (argb >> 3 & 0x001F);
}

// The loop tests at its end (a run has at least one pixel): on the
// Cortex-M4 a pixel takes a load, five ALU operations, a store and the loop's
// compare and branch.
void copy8888To565(uint8_t* destination, const uint8_t* source, uint32_t count)
{
    const uint8_t* end = source + size_t(count) * 4;
    do {
        store16(destination, narrowTo565(load32(source)));
        source += 4;
        destination += 2;
    } while (source != end);
}

// Source-over of ARGB8888 pixels, their alpha times `opacity`, on RGB565.
void blend8888On565(uint8_t* destination, const uint8_t* source, uint32_t count, uint32_t opacity)
{
    const uint8_t* end = source + size_t(count) * 4;
    for (; source != end; source += 4, destination += 2) {
        const uint32_t argb = load32(source);
        const uint32_t sa = opacity == 255 ? alphaOf(argb) : mulAlpha(alphaOf(argb), opacity);
        if (sa == 0)
            continue;
        if (sa == 255) {
            store16(destination, narrowTo565(argb));
            continue;
        }
        const uint32_t under = argbOfRgb565(load16(destination));
        store16(destination, narrowTo565(overOpaque(argb, under, sa)));
    }
}

// A run whose source pixels follow each other.
bool contiguous(const Job& job, const Run& run)
{
    return run.sourceStep == ptrdiff_t(job.sourceBytes);
}

} // namespace

void setFastPaths(bool enabled)
{
    gFastPaths = enabled;
}

bool fastPathsEnabled()
{
    return gFastPaths;
}

bool fastRun(const Job& job, const Run& run)
{
    if (!gFastPaths || !contiguous(job, run) || job.source.mode != ARGB8888 || job.destination.mode != RGB565)
        return false;
    if (job.operation == Operation::Copy) {
        copy8888To565(run.destination, run.source, run.count);
        return true;
    }
    if (job.operation == Operation::Blend) {
        blend8888On565(run.destination, run.source, run.count, job.alpha);
        return true;
    }
    return false;
}

bool fastFill(uint32_t mode, uint8_t* destination, uint32_t value, uint32_t count)
{
    if (!gFastPaths || mode != RGB565)
        return false;
    // Whole words of two pixels, after a lone pixel that brings the row to a
    // 4-byte boundary.
    if ((reinterpret_cast<uintptr_t>(destination) & 2) != 0 && count > 0) {
        store16(destination, value);
        destination += 2;
        --count;
    }
    const uint32_t pair = value | value << 16;
    for (; count >= 2; count -= 2, destination += 4)
        store32(destination, pair);
    if (count)
        store16(destination, value);
    return true;
}

} // namespace ds
