// The general drawing path: every pair of modes through spans of
// 0xAARRGGBB words. The fetcher, the combine step and the storer are chosen
// once per operation; within a span nothing is decided per pixel by mode.
#include "ds_draw_paths.h"

#include <string.h>

namespace ds {
namespace {

// Reads `count` pixels from `pixel`, `step` bytes apart, as colours.
using FetchSpan = void (*)(
    const uint8_t* pixel, ptrdiff_t step, uint32_t count, const Palette& palette, uint32_t* argb);
// Stores `count` colours as contiguous pixels.
using StoreSpan = void (*)(uint8_t* pixel, const uint32_t* argb, uint32_t count);
// Sets the alpha of `count` contiguous pixels to the alphas of `argb`,
// keeping every other stored bit.
using SetAlphaSpan = void (*)(uint8_t* pixel, const uint32_t* argb, uint32_t count);
// Bit i set: pixel i of a span is written.
using Written = uint64_t;
// Combines a span of source colours with the destination's in place.
using CombineSpan = Written (*)(const Job& job, const uint32_t* source, uint32_t* destination, uint32_t count);

template <uint32_t Mode>
void fetchSpan(const uint8_t* pixel, ptrdiff_t step, uint32_t count, const Palette& palette, uint32_t* argb)
{
    for (uint32_t i = 0; i < count; ++i, pixel += step)
        argb[i] = readPixel<Mode>(pixel, palette);
}

template <uint32_t Mode>
void storeSpan(uint8_t* pixel, const uint32_t* argb, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i, pixel += dsBytesPerPixel(Mode))
        storeStored<Mode>(pixel, dsEncodeColor(Mode, argb[i]));
}

// The alpha is the last byte of the pixel, but for ARGB1555 and ARGB4444,
// where it is the high bits of the 16-bit word.
template <uint32_t Mode>
void setAlphaSpan(uint8_t* pixel, const uint32_t* argb, uint32_t count)
{
    constexpr uint32_t bytes = dsBytesPerPixel(Mode);
    for (uint32_t i = 0; i < count; ++i, pixel += bytes) {
        const uint32_t alpha = alphaOf(argb[i]);
        if constexpr (Mode == ARGB1555)
            pixel[1] = uint8_t((pixel[1] & 0x7F) | (alpha >> 7) << 7);
        else if constexpr (Mode == ARGB4444)
            pixel[1] = uint8_t((pixel[1] & 0x0F) | (alpha >> 4) << 4);
        else
            pixel[bytes - 1] = uint8_t(alpha);
    }
}

// Indexed by colour mode; null for the modes without a pixel size.
constexpr FetchSpan kFetchers[kDsColorModeCount] = {fetchSpan<ARGB8888>, fetchSpan<RGB888>, fetchSpan<RGB565>,
    fetchSpan<ARGB1555>, fetchSpan<ARGB4444>, fetchSpan<I8>, nullptr, fetchSpan<AI88>, nullptr, fetchSpan<A8>,
    fetchSpan<RGB565_SWAPPED>, fetchSpan<ARGB8565>};
// I8 is never a converted destination: its values are indices, not colours.
constexpr StoreSpan kStorers[kDsColorModeCount] = {storeSpan<ARGB8888>, storeSpan<RGB888>, storeSpan<RGB565>,
    storeSpan<ARGB1555>, storeSpan<ARGB4444>, nullptr, nullptr, storeSpan<AI88>, nullptr, storeSpan<A8>,
    storeSpan<RGB565_SWAPPED>, storeSpan<ARGB8565>};
// Only the modes with alpha.
constexpr SetAlphaSpan kAlphaSetters[kDsColorModeCount] = {setAlphaSpan<ARGB8888>, nullptr, nullptr,
    setAlphaSpan<ARGB1555>, setAlphaSpan<ARGB4444>, nullptr, nullptr, setAlphaSpan<AI88>, nullptr, setAlphaSpan<A8>,
    nullptr, setAlphaSpan<ARGB8565>};

// Source-over of each source pixel: Blend draws its colour with its alpha
// times the opacity, Mask (and SolidOver, whose source is full coverage)
// draws job.color with the source's alpha times job.alpha. Coverage: the
// destination is A8 and keeps the union of the alphas.
template <bool kMask, bool kCoverage>
Written overSpan(const Job& job, const uint32_t* source, uint32_t* destination, uint32_t count)
{
    Written written = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t sa = mulAlpha(alphaOf(source[i]), job.alpha);
        if (sa == 0)
            continue;
        written |= Written(1) << i;
        if constexpr (kCoverage)
            destination[i] = coverageUnion(sa, alphaOf(destination[i])) << 24;
        else
            destination[i] = over(kMask ? job.color : source[i], destination[i], sa);
    }
    return written;
}

CombineSpan combineFor(const Job& job)
{
    const bool coverage = job.destinationMode == A8;
    if (job.operation == Operation::Blend)
        return coverage ? overSpan<false, true> : overSpan<false, false>;
    return coverage ? overSpan<true, true> : overSpan<true, false>;
}

// Stores the written pixels of a span, each run of them at once.
void storeWritten(
    StoreSpan store, uint8_t* pixel, uint32_t bytes, const uint32_t* argb, uint32_t count, Written written)
{
    for (uint32_t i = 0; i < count;) {
        if ((written >> i & 1) == 0) {
            ++i;
            continue;
        }
        uint32_t end = i + 1;
        while (end < count && (written >> end & 1) != 0)
            ++end;
        store(pixel + i * bytes, argb + i, end - i);
        i = end;
    }
}

// Copy, Blend, Mask and SolidOver: fetch, combine, store, a span at a time.
// `source` and `destination` hold spanPixels colours each; a filter needs
// spans as long as the rows.
void spanRows(const Job& job, const Area& area, uint32_t* source, uint32_t* destination, uint32_t spanPixels,
    const RowFilter* filter)
{
    const bool solid = job.operation == Operation::SolidOver;
    const FetchSpan fetchSource = solid ? nullptr : kFetchers[job.sourceMode];
    const FetchSpan fetchDestination = kFetchers[job.destinationMode];
    const StoreSpan store = kStorers[job.destinationMode];
    const CombineSpan combine = job.operation == Operation::Copy ? nullptr : combineFor(job);
    const uint32_t bytes = dsBytesPerPixel(job.destinationMode);
    if (solid)
        for (uint32_t i = 0; i < spanPixels; ++i)
            source[i] = 0xFF000000u; // full coverage
    uint8_t* rowDestination = area.destination;
    const uint8_t* rowSource = area.source;
    for (uint32_t row = 0; row < area.height; ++row) {
        for (uint32_t done = 0; done < area.width; done += spanPixels) {
            const uint32_t count = area.width - done < spanPixels ? area.width - done : spanPixels;
            uint8_t* pixel = rowDestination + size_t(done) * bytes;
            if (fetchSource)
                fetchSource(
                    rowSource + area.sourceStep * ptrdiff_t(done), area.sourceStep, count, job.sourcePalette, source);
            if (!combine) {
                if (filter)
                    filter->apply(filter->context, source, count);
                store(pixel, source, count);
                continue;
            }
            fetchDestination(pixel, ptrdiff_t(bytes), count, job.destinationPalette, destination);
            storeWritten(store, pixel, bytes, destination, count, combine(job, source, destination, count));
        }
        rowDestination += area.destinationPitch;
        rowSource += area.sourcePitch;
    }
}

template <uint32_t Bytes>
void fillRow(uint8_t* pixel, uint32_t value, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i, pixel += Bytes)
        for (uint32_t b = 0; b < Bytes; ++b)
            pixel[b] = uint8_t(value >> (8 * b));
}

void fillRows(const Job& job, const Area& area)
{
    using FillRow = void (*)(uint8_t * pixel, uint32_t value, uint32_t count);
    constexpr FillRow kFillRows[] = {fillRow<1>, fillRow<2>, fillRow<3>, fillRow<4>};
    const FillRow fill = kFillRows[dsBytesPerPixel(job.destinationMode) - 1];
    uint8_t* row = area.destination;
    for (uint32_t y = 0; y < area.height; ++y, row += area.destinationPitch)
        fill(row, job.value, area.width);
}

// Stored values, source to destination, row by row: one copy a row where
// the source pixels follow each other.
void copyValueRows(const Job& job, const Area& area)
{
    const uint32_t bytes = dsBytesPerPixel(job.destinationMode);
    uint8_t* row = area.destination;
    const uint8_t* from = area.source;
    for (uint32_t y = 0; y < area.height; ++y, row += area.destinationPitch, from += area.sourcePitch) {
        if (area.sourceStep == ptrdiff_t(bytes)) {
            memmove(row, from, size_t(area.width) * bytes);
            continue;
        }
        const uint8_t* pixel = from;
        for (uint32_t x = 0; x < area.width; ++x, pixel += area.sourceStep)
            for (uint32_t b = 0; b < bytes; ++b)
                row[x * bytes + b] = pixel[b];
    }
}

void replaceAlphaRows(const Job& job, const Area& area)
{
    const FetchSpan fetch = kFetchers[job.sourceMode];
    const SetAlphaSpan setAlpha = kAlphaSetters[job.destinationMode];
    const uint32_t bytes = dsBytesPerPixel(job.destinationMode);
    uint32_t alphas[kSpanPixels];
    uint8_t* row = area.destination;
    const uint8_t* from = area.source;
    for (uint32_t y = 0; y < area.height; ++y, row += area.destinationPitch, from += area.sourcePitch)
        for (uint32_t done = 0; done < area.width; done += kSpanPixels) {
            const uint32_t count = area.width - done < kSpanPixels ? area.width - done : kSpanPixels;
            fetch(from + area.sourceStep * ptrdiff_t(done), area.sourceStep, count, job.sourcePalette, alphas);
            setAlpha(row + size_t(done) * bytes, alphas, count);
        }
}

} // namespace

uint32_t readPixel(uint32_t mode, const uint8_t* pixel, const Palette& palette)
{
    uint32_t argb = 0;
    kFetchers[mode](pixel, 0, 1, palette, &argb);
    return argb;
}

void storeValue(uint32_t bytes, uint8_t* pixel, uint32_t value)
{
    for (uint32_t i = 0; i < bytes; ++i)
        pixel[i] = uint8_t(value >> (8 * i));
}

void drawGeneral(const Job& job, const Area& area)
{
    switch (job.operation) {
    case Operation::Fill: fillRows(job, area); return;
    case Operation::CopyValues: copyValueRows(job, area); return;
    case Operation::ReplaceAlpha: replaceAlphaRows(job, area); return;
    default: break;
    }
    uint32_t source[kSpanPixels];
    uint32_t destination[kSpanPixels];
    spanRows(job, area, source, destination, kSpanPixels, nullptr);
}

void convertArea(const Job& job, const Area& area, uint32_t* row, const RowFilter* filter)
{
    spanRows(job, area, row, nullptr, area.width, filter);
}

void drawArea(const Job& job, const Area& area)
{
    const FastPath fast = findFastPath(job, area);
    if (fast)
        fast(job, area);
    else
        drawGeneral(job, area);
}

} // namespace ds
