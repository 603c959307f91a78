// The general drawing path: every pair of modes through 0xAARRGGBB words.
#include "ds_draw_paths.h"
#include "ds_surface.h"

#include <string.h>

namespace ds {
namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// The colour of palette entry `index` with alpha `alpha` (the entry's own
// alpha when `alpha` is above 255); opaque black past the palette.
uint32_t paletteColor(const PixelReader& reader, uint32_t index, uint32_t alpha)
{
    if (!reader.palette)
        return greyArgb(alpha > 255 ? 255 : alpha, index);
    if (index >= reader.paletteSize)
        return alpha > 255 ? kOpaqueBlack : makeArgb(alpha, 0, 0, 0);
    const uint8_t* entry = reader.palette + index * reader.entryBytes;
    if (alpha > 255)
        alpha = reader.entryBytes == 4 ? entry[3] : 255;
    return makeArgb(alpha, entry[2], entry[1], entry[0]);
}

// Reads `count` pixels from `pixel`, `step` bytes apart, as ARGB words.
void fetchSpan(const PixelReader& reader, const uint8_t* pixel, ptrdiff_t step, uint32_t count, uint32_t* argb)
{
    for (uint32_t i = 0; i < count; ++i)
        argb[i] = readArgb(reader, pixel + step * ptrdiff_t(i));
}

// Stores `count` ARGB words as contiguous pixels of `mode`.
void storeSpan(uint32_t mode, uint8_t* pixel, const uint32_t* argb, uint32_t count)
{
    const uint32_t bytes = dsBytesPerPixel(mode);
    for (uint32_t i = 0; i < count; ++i, pixel += bytes)
        storeValue(bytes, pixel, dsEncodeColor(mode, argb[i]));
}

// The stored pixel with its alpha replaced, for the modes with alpha.
void storeAlpha(uint32_t mode, uint8_t* pixel, uint32_t alpha)
{
    switch (mode) {
    case ARGB8888: pixel[3] = uint8_t(alpha); break;
    case ARGB1555: pixel[1] = uint8_t((pixel[1] & 0x7F) | (alpha >> 7) << 7); break;
    case ARGB4444: pixel[1] = uint8_t((pixel[1] & 0x0F) | (alpha >> 4) << 4); break;
    case AI88: pixel[1] = uint8_t(alpha); break;
    case A8: pixel[0] = uint8_t(alpha); break;
    default: break;
    }
}

// The source-over result of the colour `color` with alpha sa (1..255) over
// the destination colour, as stored in `mode`. An A8 destination keeps the
// larger alpha: coverage drawn over coverage is their union, so glyph images
// that touch do not darken where they meet.
uint32_t blendValue(uint32_t mode, uint32_t color, uint32_t sa, uint32_t destination)
{
    if (mode == A8) {
        const uint32_t da = alphaOf(destination);
        return sa > da ? sa : da;
    }
    return dsEncodeColor(mode, over(color, destination, sa));
}

// Blend and Mask over one span: `source` holds the source colours, the
// destination pixels are read and written in place.
void blendSpan(const Job& job, const uint32_t* source, uint8_t* pixel, uint32_t count)
{
    const uint32_t mode = job.destination.mode;
    const uint32_t bytes = job.destinationBytes;
    for (uint32_t i = 0; i < count; ++i, pixel += bytes) {
        const uint32_t sa = mulAlpha(alphaOf(source[i]), job.alpha);
        if (sa == 0)
            continue;
        const uint32_t color = job.operation == Operation::Mask ? job.color : source[i];
        storeValue(bytes, pixel, blendValue(mode, color, sa, readArgb(job.destination, pixel)));
    }
}

void copyValues(uint32_t bytes, uint8_t* destination, const uint8_t* source, ptrdiff_t step, uint32_t count)
{
    if (step == ptrdiff_t(bytes)) {
        memmove(destination, source, size_t(count) * bytes);
        return;
    }
    for (uint32_t i = 0; i < count; ++i)
        memcpy(destination + i * bytes, source + step * ptrdiff_t(i), bytes);
}

} // namespace

PixelReader pixelReaderOf(const DsSurface& surface)
{
    PixelReader reader{surface.colorMode(), nullptr, 0, surface.paletteHasAlpha() ? 4u : 3u};
    if ((reader.mode == I8 || reader.mode == AI88) && surface.palette() && surface.paletteSize() > 0) {
        reader.palette = surface.palette();
        reader.paletteSize = surface.paletteSize();
    }
    return reader;
}

uint32_t readArgb(const PixelReader& reader, const uint8_t* pixel)
{
    switch (reader.mode) {
    case I8: return paletteColor(reader, pixel[0], 256);
    case AI88: return paletteColor(reader, pixel[0], pixel[1]);
    default: return dsDecodeColor(reader.mode, loadValue(dsBytesPerPixel(reader.mode), pixel));
    }
}

uint32_t loadValue(uint32_t bytes, const uint8_t* pixel)
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i)
        value |= uint32_t(pixel[i]) << (8 * i);
    return value;
}

void storeValue(uint32_t bytes, uint8_t* pixel, uint32_t value)
{
    for (uint32_t i = 0; i < bytes; ++i)
        pixel[i] = uint8_t(value >> (8 * i));
}

void generalRun(const Job& job, const Run& run)
{
    if (job.operation == Operation::CopyValues) {
        copyValues(job.destinationBytes, run.destination, run.source, run.sourceStep, run.count);
        return;
    }
    uint32_t span[kSpanPixels];
    for (uint32_t done = 0; done < run.count; done += kSpanPixels) {
        const uint32_t count = run.count - done < kSpanPixels ? run.count - done : kSpanPixels;
        const uint8_t* source = run.source + run.sourceStep * ptrdiff_t(done);
        uint8_t* destination = run.destination + size_t(done) * job.destinationBytes;
        fetchSpan(job.source, source, run.sourceStep, count, span);
        if (job.operation == Operation::Copy) {
            storeSpan(job.destination.mode, destination, span, count);
        } else if (job.operation == Operation::ReplaceAlpha) {
            for (uint32_t i = 0; i < count; ++i)
                storeAlpha(job.destination.mode, destination + i * job.destinationBytes, alphaOf(span[i]));
        } else {
            blendSpan(job, span, destination, count);
        }
    }
}

void generalFill(uint32_t bytes, uint8_t* destination, uint32_t value, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i, destination += bytes)
        storeValue(bytes, destination, value);
}

} // namespace ds
