// Fast paths for what devices draw, into RGB565, RGB565_SWAPPED and
// ARGB8888: fills, copies, blends of ARGB8888 and ARGB8565 sources, A8
// masks in a colour (text) and translucent solid fills, for sources stored
// in the destination's rotation (one pixel after the other). Each writes
// exactly the general path's bytes: the conversions of ds_color.h and the
// rounding of ds_blend.h, with every decision taken once per call and red
// and blue blended together in the two 16-bit lanes of one word.
#include "ds_draw_paths.h"
#include "ds_draw_thumb2.h"

#include <string.h>

// The word loads below read pixels in the host's byte order, which must be
// the surfaces' little-endian one.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the fast paths read little-endian words");

namespace ds {
namespace {

#ifdef DS_DRAW_FAST_PATH_SWITCH
bool gFastPaths = true;
#endif

// Loads and stores at any alignment; on the Cortex-M3 to M7 and on x86
// each is one instruction.
DS_ALWAYS_INLINE uint32_t load16(const uint8_t* pixel)
{
    uint16_t value;
    memcpy(&value, pixel, 2);
    return value;
}

DS_ALWAYS_INLINE uint32_t load32(const uint8_t* pixel)
{
    uint32_t value;
    memcpy(&value, pixel, 4);
    return value;
}

DS_ALWAYS_INLINE void store16(uint8_t* pixel, uint32_t value)
{
    const uint16_t narrow = uint16_t(value);
    memcpy(pixel, &narrow, 2);
}

DS_ALWAYS_INLINE void store32(uint8_t* pixel, uint32_t value)
{
    memcpy(pixel, &value, 4);
}

// `value`, which the compiler must keep in a register instead of folding it
// into the instructions that use it: an ARM instruction can then mask and
// shift in one (and with a register, shifted), where an immediate mask
// needs a shift of its own.
DS_ALWAYS_INLINE uint32_t inRegister(uint32_t value)
{
    __asm__("" : "+r"(value));
    return value;
}

// The masks and biases of the blend loops, each in a register.
struct Constants {
    uint32_t lanes;    // 0x00FF00FF: a byte in each 16-bit lane
    uint32_t lowThree; // 0x00070007: the bits a 5-bit lane widens with
    uint32_t laneHalf; // 0x00800080: the rounding bias of div255 in each lane
    uint32_t red;      // 0xF800: the red field of RGB565
    uint32_t green;    // 0x07E0: the green field of RGB565
};

DS_ALWAYS_INLINE Constants constants()
{
    return {
        inRegister(0x00FF00FF), inRegister(0x00070007), inRegister(0x00800080), inRegister(0xF800), inRegister(0x07E0)};
}

// Red in the low 16-bit lane, blue in the high one, of a colour word.
DS_ALWAYS_INLINE uint32_t redBlue(uint32_t argb, const Constants& k)
{
    return (argb >> 16 | argb << 16) & k.lanes;
}

// The same of an RGB565 value, each field widened by bit replication
// (widen5 in both lanes at once).
DS_ALWAYS_INLINE uint32_t redBlue565(uint32_t value, const Constants& k)
{
    const uint32_t fields = (value >> 11 | value << 16) & 0x001F001F;
    return fields << 3 | ((fields >> 2) & k.lowThree);
}

// widen6 of the green field of an RGB565 value: (65 g) >> 4.
DS_ALWAYS_INLINE uint32_t green565(uint32_t value)
{
    return ((value & 0x07E0) * 65) >> 9;
}

// Each lane plus its high byte: the second step of div255 in both lanes.
DS_ALWAYS_INLINE uint32_t addHighBytes(uint32_t lanes, const Constants& k)
{
#if defined(__ARM_FEATURE_SIMD32)
    uint32_t sum;
    __asm__("uxtab16 %0, %1, %1, ror #8" : "=r"(sum) : "r"(lanes));
    (void)k;
    return sum;
#else
    return lanes + ((lanes >> 8) & k.lanes);
#endif
}

// A colour ready to blend with alpha sa: red and blue lanes and green (in
// the low lane of its own word), each times sa plus the rounding bias of
// div255, and 255 - sa.
struct Weighted {
    uint32_t redBlue;
    uint32_t green;
    uint32_t inverse;
};

DS_ALWAYS_INLINE Weighted weigh(uint32_t redBlueLanes, uint32_t green, uint32_t sa, const Constants& k)
{
    return {redBlueLanes * sa + k.laneHalf, green * sa + k.laneHalf, 255 - sa};
}

// The colour over the RGB565 value `under`, as an RGB565 value:
// ds::overOpaque, then ds::rgb565Of. After addHighBytes each channel's
// result is the high byte of its lane.
DS_ALWAYS_INLINE uint32_t over565(const Weighted& colour, uint32_t under, const Constants& k)
{
    const uint32_t lanes = addHighBytes(colour.redBlue + redBlue565(under, k) * colour.inverse, k);
    const uint32_t green = addHighBytes(colour.green + green565(under) * colour.inverse, k);
    return (lanes & 0xF800) | lanes >> 27 | ((green >> 10) & 0x3F) << 5;
}

// The colour over the opaque ARGB8888 colour `under`: ds::overOpaque.
DS_ALWAYS_INLINE uint32_t overOpaque8888(const Weighted& colour, uint32_t under, const Constants& k)
{
    const uint32_t lanes = addHighBytes(colour.redBlue + redBlue(under, k) * colour.inverse, k);
    const uint32_t green = addHighBytes(colour.green + ((under >> 8) & 0xFF) * colour.inverse, k);
    return 0xFF000000u | ((lanes << 8) & 0xFF0000) | (green & 0xFF00) | lanes >> 24;
}

// The destinations, each as RGB565 values or colour words.
// storePair stores two RGB565 values, the first in the low half.
struct Rgb565Pixel {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t load(const uint8_t* pixel) { return load16(pixel); }
    DS_ALWAYS_INLINE static void store(uint8_t* pixel, uint32_t value) { store16(pixel, value); }
    DS_ALWAYS_INLINE static void storePair(uint8_t* pixel, uint32_t values) { store32(pixel, values); }
};

struct Rgb565SwappedPixel {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t load(const uint8_t* pixel) { return swapBytes16(load16(pixel)); }
    DS_ALWAYS_INLINE static void store(uint8_t* pixel, uint32_t value) { store16(pixel, swapBytes16(value)); }
    DS_ALWAYS_INLINE static void storePair(uint8_t* pixel, uint32_t values)
    {
        store32(pixel, (values & 0x00FF00FF) << 8 | (values >> 8 & 0x00FF00FF));
    }
};

struct Argb8888Pixel {
    static constexpr uint32_t kBytes = 4;
    DS_ALWAYS_INLINE static uint32_t load(const uint8_t* pixel) { return load32(pixel); }
    DS_ALWAYS_INLINE static void store(uint8_t* pixel, uint32_t value) { store32(pixel, value); }
};

// The sources, each read as an RGB565 value (exactly what the general path
// stores for it in RGB565) or as a colour word.
struct Argb8888Source {
    static constexpr uint32_t kBytes = 4;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel, const Constants& k)
    {
        return rgb565Of(load32(pixel), k.red, k.green);
    }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return load32(pixel); }
    DS_ALWAYS_INLINE static uint32_t alpha(const uint8_t* pixel) { return load32(pixel) >> 24; }
    DS_ALWAYS_INLINE static Weighted weighted(const uint8_t* pixel, uint32_t sa, const Constants& k)
    {
        const uint32_t argb = load32(pixel);
        return weigh(redBlue(argb, k), (argb >> 8) & 0xFF, sa, k);
    }
};

struct Rgb565Source {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel, const Constants&) { return load16(pixel); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return argbOfRgb565(load16(pixel)); }
};

struct Rgb565SwappedSource {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel, const Constants&)
    {
        return swapBytes16(load16(pixel));
    }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return argbOfRgb565(swapBytes16(load16(pixel))); }
};

struct Argb8565Source {
    static constexpr uint32_t kBytes = 3;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel, const Constants&) { return load16(pixel); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel)
    {
        return (argbOfRgb565(load16(pixel)) & 0xFFFFFF) | uint32_t(pixel[2]) << 24;
    }
    DS_ALWAYS_INLINE static uint32_t alpha(const uint8_t* pixel) { return pixel[2]; }
    // The lanes straight from the RGB565 word, widened as the destination's.
    DS_ALWAYS_INLINE static Weighted weighted(const uint8_t* pixel, uint32_t sa, const Constants& k)
    {
        const uint32_t value = load16(pixel);
        return weigh(redBlue565(value, k), green565(value), sa, k);
    }
};

// Blends and masks at full opacity take a loop of their own, without the
// multiplication by the opacity, unless the code is built for size: the loop
// for other opacities gives the same bytes at full opacity too.
#if defined(__OPTIMIZE_SIZE__)
constexpr bool kOneLoopPerOpacity = false;
#else
constexpr bool kOneLoopPerOpacity = true;
#endif

// Calls row(destination, source, width) for every row of the area.
template <typename Row>
DS_ALWAYS_INLINE void eachRow(const Area& area, Row row)
{
    uint8_t* destination = area.destination;
    const uint8_t* source = area.source;
    for (uint32_t y = area.height; y != 0; --y) {
        row(destination, source, area.width);
        destination += area.destinationPitch;
        source += area.sourcePitch;
    }
}

// Calls visit(destination, source) for each of the `count` pixels of a
// row, DestinationBytes and SourceBytes apart.
template <uint32_t DestinationBytes, uint32_t SourceBytes, typename Visit>
DS_ALWAYS_INLINE void eachPixel(uint8_t* destination, const uint8_t* source, uint32_t count, Visit visit)
{
    for (uint8_t* const end = destination + size_t(count) * DestinationBytes; destination != end;
         destination += DestinationBytes, source += SourceBytes)
        visit(destination, source);
}

// Fills --------------------------------------------------------------------

// Two pixels per store, sixteen per turn, after a lone pixel that brings
// the row to a 4-byte boundary.
void fill16(const Job& job, const Area& area)
{
    const uint32_t pair = job.value | job.value << 16;
    eachRow(area, [pair](uint8_t* pixel, const uint8_t*, uint32_t count) {
        if ((reinterpret_cast<uintptr_t>(pixel) & 2) != 0) {
            store16(pixel, pair);
            pixel += 2;
            --count;
        }
        for (uint32_t turns = count / 16; turns != 0; --turns, pixel += 32) {
            store32(pixel, pair);
            store32(pixel + 4, pair);
            store32(pixel + 8, pair);
            store32(pixel + 12, pair);
            store32(pixel + 16, pair);
            store32(pixel + 20, pair);
            store32(pixel + 24, pair);
            store32(pixel + 28, pair);
        }
        for (uint32_t pairs = count / 2 % 8; pairs != 0; --pairs, pixel += 4)
            store32(pixel, pair);
        if (count & 1)
            store16(pixel, pair);
    });
}

void fill32(const Job& job, const Area& area)
{
    const uint32_t value = job.value;
    eachRow(area, [value](uint8_t* pixel, const uint8_t*, uint32_t count) {
        for (uint32_t turns = count / 4; turns != 0; --turns, pixel += 16) {
            store32(pixel, value);
            store32(pixel + 4, value);
            store32(pixel + 8, value);
            store32(pixel + 12, value);
        }
        for (uint32_t rest = count % 4; rest != 0; --rest, pixel += 4)
            store32(pixel, value);
    });
}

void fill8(const Job& job, const Area& area)
{
    const int value = int(job.value);
    eachRow(area, [value](uint8_t* pixel, const uint8_t*, uint32_t count) { memset(pixel, value, count); });
}

// Copies ------------------------------------------------------------------

// Into RGB565 or RGB565_SWAPPED: the source's RGB565 value of each pixel,
// two pixels per store.
template <typename Source, typename Pixel>
void copyTo565(const Job&, const Area& area)
{
    const Constants k = constants();
    eachRow(area, [&k](uint8_t* pixel, const uint8_t* source, uint32_t count) {
        for (uint32_t pairs = count / 2; pairs != 0; --pairs) {
            Pixel::storePair(pixel, Source::value565(source, k) | Source::value565(source + Source::kBytes, k) << 16);
            pixel += 4;
            source += 2 * Source::kBytes;
        }
        if (count & 1)
            Pixel::store(pixel, Source::value565(source, k));
    });
}

template <typename Source>
void copyTo8888(const Job&, const Area& area)
{
    eachRow(area, [](uint8_t* destination, const uint8_t* source, uint32_t count) {
        eachPixel<4, Source::kBytes>(destination, source, count,
            [](uint8_t* pixel, const uint8_t* from) { store32(pixel, Source::argb(from)); });
    });
}

// Blends -----------------------------------------------------------------

// One source pixel over one destination pixel, of alpha sa (0 to 255).
// Transparent pixels are skipped, opaque ones copied; an ARGB8888
// destination that is not opaque takes the whole formula of ds::over.
template <typename Source, typename Pixel>
DS_ALWAYS_INLINE void blendPixel(uint8_t* pixel, const uint8_t* source, uint32_t sa, const Constants& k)
{
    if (sa == 0)
        return;
    if constexpr (Pixel::kBytes == 2) {
        if (sa == 255)
            return Pixel::store(pixel, Source::value565(source, k));
        Pixel::store(pixel, over565(Source::weighted(source, sa, k), Pixel::load(pixel), k));
    } else {
        const uint32_t argb = Source::argb(source);
        if (sa == 255)
            return store32(pixel, argb);
        const uint32_t under = load32(pixel);
        if (alphaOf(under) != 255)
            return store32(pixel, over(argb, under, sa));
        store32(pixel, overOpaque8888(Source::weighted(source, sa, k), under, k));
    }
}

// The alpha of a source pixel: its own, or times the opacity.
template <typename Source, bool kOpacity>
DS_ALWAYS_INLINE uint32_t sourceAlpha(const uint8_t* source, uint32_t opacity257)
{
    return kOpacity ? mulAlpha257(Source::alpha(source), opacity257) : Source::alpha(source);
}

template <typename Source, typename Pixel, bool kOpacity>
void blendRows(const Job& job, const Area& area)
{
    const Constants k = constants();
    const uint32_t opacity257 = job.alpha * 257;
    eachRow(area, [&k, opacity257](uint8_t* destination, const uint8_t* source, uint32_t count) {
        eachPixel<Pixel::kBytes, Source::kBytes>(
            destination, source, count, [&k, opacity257](uint8_t* pixel, const uint8_t* from) {
                blendPixel<Source, Pixel>(pixel, from, sourceAlpha<Source, kOpacity>(from, opacity257), k);
            });
    });
}

#if DS_DRAW_THUMB2
// The Thumb-2 loops' view of an area.
Thumb2Rows thumb2Rows(const Area& area, uint32_t redBlue, uint32_t green, uint32_t parameter)
{
    return {area.destination, area.source, area.width, area.height, area.destinationPitch, area.sourcePitch, redBlue,
        green, parameter};
}
#endif

// The Thumb-2 loop of ARGB8888 over RGB565 or RGB565_SWAPPED, where there
// is one.
template <typename Source, typename Pixel>
DS_ALWAYS_INLINE bool blendByThumb2(const Job& job, const Area& area)
{
#if DS_DRAW_THUMB2
    if constexpr (__is_same(Source, Argb8888Source) && Pixel::kBytes == 2) {
        constexpr bool swapped = __is_same(Pixel, Rgb565SwappedPixel);
        Thumb2Rows rows = thumb2Rows(area, 0, 0, job.alpha * 257);
        if (job.alpha == 255)
            (swapped ? thumb2BlendRgb565Swapped : thumb2BlendRgb565)(&rows);
        else
            (swapped ? thumb2BlendRgb565SwappedOpacity : thumb2BlendRgb565Opacity)(&rows);
        return true;
    }
#endif
    (void)job;
    (void)area;
    return false;
}

template <typename Source, typename Pixel>
void blend(const Job& job, const Area& area)
{
    if (blendByThumb2<Source, Pixel>(job, area))
        return;
    if (kOneLoopPerOpacity && job.alpha == 255)
        blendRows<Source, Pixel, false>(job, area);
    else
        blendRows<Source, Pixel, true>(job, area);
}

// Masks and solid colours -------------------------------------------------

// The mask's colour, its channels ready for weigh().
struct MaskColour {
    uint32_t redBlue;  // red and blue lanes
    uint32_t green;    // green
    uint32_t stored;   // the colour as the destination stores it opaque
    uint32_t alpha257; // the colour's alpha times the opacity, times 257
};

template <typename Pixel>
MaskColour maskColour(const Job& job, const Constants& k)
{
    const uint32_t opaque = job.color | 0xFF000000u;
    return {redBlue(job.color, k), (job.color >> 8) & 0xFF,
        Pixel::kBytes == 2 ? rgb565Of(opaque, k.red, k.green) : opaque, job.alpha * 257};
}

// The colour over one pixel with alpha sa (1 to 255).
template <typename Pixel>
DS_ALWAYS_INLINE void overPixel(uint8_t* pixel, const MaskColour& colour, uint32_t sa, const Constants& k)
{
    const Weighted weighted = weigh(colour.redBlue, colour.green, sa, k);
    if constexpr (Pixel::kBytes == 2) {
        Pixel::store(pixel, over565(weighted, Pixel::load(pixel), k));
    } else {
        const uint32_t under = load32(pixel);
        store32(pixel, alphaOf(under) == 255 ? overOpaque8888(weighted, under, k) : over(colour.stored, under, sa));
    }
}

// Zero coverage is skipped (also where coverage times a translucent colour
// rounds to nothing, as the general path skips it); full coverage of an
// opaque colour stored. kScaled: the colour is translucent, each coverage
// is multiplied by its alpha.
template <typename Pixel, bool kScaled>
void maskRows(const Job& job, const Area& area)
{
    const Constants k = constants();
    const MaskColour colour = maskColour<Pixel>(job, k);
    eachRow(area, [&k, &colour](uint8_t* destination, const uint8_t* source, uint32_t count) {
        eachPixel<Pixel::kBytes, 1>(destination, source, count, [&k, &colour](uint8_t* pixel, const uint8_t* from) {
            const uint32_t m = *from;
            if (m == 0)
                return;
            const uint32_t sa = kScaled ? mulAlpha257(m, colour.alpha257) : m;
            if (sa == 255)
                Pixel::store(pixel, colour.stored);
            else if (sa != 0)
                overPixel<Pixel>(pixel, colour, sa, k);
        });
    });
}

template <typename Pixel>
void mask(const Job& job, const Area& area)
{
#if DS_DRAW_THUMB2
    if (Pixel::kBytes == 2 && job.alpha == 255) {
        const Constants k = constants();
        const MaskColour colour = maskColour<Pixel>(job, k);
        const uint32_t stored = __is_same(Pixel, Rgb565SwappedPixel) ? swapBytes16(colour.stored) : colour.stored;
        Thumb2Rows rows = thumb2Rows(area, colour.redBlue, colour.green, stored);
        (__is_same(Pixel, Rgb565SwappedPixel) ? thumb2MaskRgb565Swapped : thumb2MaskRgb565)(&rows);
        return;
    }
#endif
    if (kOneLoopPerOpacity && job.alpha == 255)
        maskRows<Pixel, false>(job, area);
    else
        maskRows<Pixel, true>(job, area);
}

// job.alpha is 1 to 254: an opaque colour is a fill.
template <typename Pixel>
void solidOver(const Job& job, const Area& area)
{
    const Constants k = constants();
    const MaskColour colour = maskColour<Pixel>(job, k);
    const uint32_t sa = job.alpha;
    eachRow(area, [&k, &colour, sa](uint8_t* destination, const uint8_t*, uint32_t count) {
        eachPixel<Pixel::kBytes, 0>(destination, nullptr, count,
            [&k, &colour, sa](uint8_t* pixel, const uint8_t*) { overPixel<Pixel>(pixel, colour, sa, k); });
    });
}

// The table ---------------------------------------------------------------

struct FastPathEntry {
    Operation operation;
    uint8_t destinationMode;
    uint8_t sourceMode; // kNoSource for fills
    FastPath path;      // does the whole area
};

// Grouped by operation, then by destination mode, for the index below.
constexpr FastPathEntry kFastPaths[] = {
    {Operation::Fill, ARGB8888, kNoSource, fill32},
    {Operation::Fill, RGB565, kNoSource, fill16},
    {Operation::Fill, ARGB1555, kNoSource, fill16},
    {Operation::Fill, ARGB4444, kNoSource, fill16},
    {Operation::Fill, I8, kNoSource, fill8},
    {Operation::Fill, AI88, kNoSource, fill16},
    {Operation::Fill, A8, kNoSource, fill8},
    {Operation::Fill, RGB565_SWAPPED, kNoSource, fill16},
    {Operation::Copy, ARGB8888, RGB565, copyTo8888<Rgb565Source>},
    {Operation::Copy, ARGB8888, RGB565_SWAPPED, copyTo8888<Rgb565SwappedSource>},
    {Operation::Copy, ARGB8888, ARGB8565, copyTo8888<Argb8565Source>},
    {Operation::Copy, RGB565, ARGB8888, copyTo565<Argb8888Source, Rgb565Pixel>},
    {Operation::Copy, RGB565, RGB565_SWAPPED, copyTo565<Rgb565SwappedSource, Rgb565Pixel>},
    {Operation::Copy, RGB565, ARGB8565, copyTo565<Argb8565Source, Rgb565Pixel>},
    {Operation::Copy, RGB565_SWAPPED, ARGB8888, copyTo565<Argb8888Source, Rgb565SwappedPixel>},
    {Operation::Copy, RGB565_SWAPPED, RGB565, copyTo565<Rgb565Source, Rgb565SwappedPixel>},
    {Operation::Copy, RGB565_SWAPPED, ARGB8565, copyTo565<Argb8565Source, Rgb565SwappedPixel>},
    {Operation::Blend, ARGB8888, ARGB8888, blend<Argb8888Source, Argb8888Pixel>},
    {Operation::Blend, ARGB8888, ARGB8565, blend<Argb8565Source, Argb8888Pixel>},
    {Operation::Blend, RGB565, ARGB8888, blend<Argb8888Source, Rgb565Pixel>},
    {Operation::Blend, RGB565, ARGB8565, blend<Argb8565Source, Rgb565Pixel>},
    {Operation::Blend, RGB565_SWAPPED, ARGB8888, blend<Argb8888Source, Rgb565SwappedPixel>},
    {Operation::Blend, RGB565_SWAPPED, ARGB8565, blend<Argb8565Source, Rgb565SwappedPixel>},
    {Operation::Mask, ARGB8888, A8, mask<Argb8888Pixel>},
    {Operation::Mask, RGB565, A8, mask<Rgb565Pixel>},
    {Operation::Mask, RGB565_SWAPPED, A8, mask<Rgb565SwappedPixel>},
    {Operation::SolidOver, ARGB8888, kNoSource, solidOver<Argb8888Pixel>},
    {Operation::SolidOver, RGB565, kNoSource, solidOver<Rgb565Pixel>},
    {Operation::SolidOver, RGB565_SWAPPED, kNoSource, solidOver<Rgb565SwappedPixel>},
};
constexpr uint32_t kFastPathCount = sizeof kFastPaths / sizeof kFastPaths[0];
constexpr uint32_t kOperationCount = uint32_t(Operation::ReplaceAlpha) + 1;

// The entries of (operation, destination mode) are first[group] to
// first[group + 1] - 1, group = operation x kDsColorModeCount + mode.
constexpr uint32_t groupOf(Operation operation, uint32_t destinationMode)
{
    return uint32_t(operation) * kDsColorModeCount + destinationMode;
}

struct FastPathIndex {
    uint8_t first[kOperationCount * kDsColorModeCount + 1];
};

constexpr FastPathIndex indexFastPaths()
{
    FastPathIndex index{};
    uint32_t entry = 0;
    for (uint32_t group = 0; group <= kOperationCount * kDsColorModeCount; ++group) {
        index.first[group] = uint8_t(entry);
        while (
            entry < kFastPathCount && groupOf(kFastPaths[entry].operation, kFastPaths[entry].destinationMode) == group)
            ++entry;
    }
    return index;
}
constexpr FastPathIndex kFastPathIndex = indexFastPaths();
static_assert(kFastPathIndex.first[kOperationCount * kDsColorModeCount] == kFastPathCount,
    "kFastPaths is grouped by operation and destination mode, in that order");

} // namespace

#ifdef DS_DRAW_FAST_PATH_SWITCH
void setFastPaths(bool enabled)
{
    gFastPaths = enabled;
}
#endif

FastPath findFastPath(const Job& job, const Area& area)
{
#ifdef DS_DRAW_FAST_PATH_SWITCH
    if (!gFastPaths)
        return nullptr;
#endif
    // Every fast path reads its source pixels one after the other.
    if (area.source && area.sourceStep != ptrdiff_t(dsBytesPerPixel(job.sourceMode)))
        return nullptr;
    const uint32_t group = groupOf(job.operation, job.destinationMode);
    for (uint32_t i = kFastPathIndex.first[group]; i < kFastPathIndex.first[group + 1]; ++i)
        if (kFastPaths[i].sourceMode == job.sourceMode)
            return kFastPaths[i].path;
    return nullptr;
}

} // namespace ds
