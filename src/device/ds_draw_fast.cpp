// Fast paths for what devices draw, into RGB565, RGB565_SWAPPED and
// ARGB8888: fills, copies, blends of ARGB8888 and ARGB8565 sources, A8
// masks in a colour (text) and translucent solid fills, for sources stored
// in the destination's rotation (one pixel after the other). Each writes
// exactly the general path's bytes: the conversions of ds_color.h and the
// rounding of ds_blend.h, with every decision taken once per call and red
// and blue blended together in the two 16-bit lanes of one word.
#include "ds_draw_paths.h"

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
    uint32_t lanes;     // 0x00FF00FF: a byte in each 16-bit lane
    uint32_t lowThree;  // 0x00070007: the bits a 5-bit lane widens with
    uint32_t green;     // 0x07E0: the green field of RGB565
    uint32_t laneHalf;  // 0x00800080: the rounding bias of div255 in each lane
    uint32_t half;      // 128: the same for one channel
};

DS_ALWAYS_INLINE Constants constants()
{
    return {inRegister(0x00FF00FF), inRegister(0x00070007), inRegister(0x07E0), inRegister(0x00800080),
        inRegister(128)};
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

// A colour ready to blend: red and blue lanes and green, each times the
// source alpha sa plus the rounding bias, and 255 - sa.
struct Weighted {
    uint32_t redBlue;
    uint32_t green;
    uint32_t inverse;
};

DS_ALWAYS_INLINE Weighted weigh(uint32_t redBlueLanes, uint32_t green, uint32_t sa, const Constants& k)
{
    return {redBlueLanes * sa + k.laneHalf, green * sa + k.half, 255 - sa};
}

// The colour over the RGB565 value `under`, as an RGB565 value:
// ds::overOpaque, then ds::rgb565Of.
DS_ALWAYS_INLINE uint32_t over565(const Weighted& colour, uint32_t under, const Constants& k)
{
    const uint32_t lanes = addHighBytes(colour.redBlue + redBlue565(under, k) * colour.inverse, k);
    uint32_t green = colour.green + green565(under) * colour.inverse;
    green += green >> 8;
    return (lanes & 0xF800) | lanes >> 27 | ((green >> 5) & k.green);
}

// The colour over the opaque ARGB8888 colour `under`: ds::overOpaque.
DS_ALWAYS_INLINE uint32_t overOpaque8888(const Weighted& colour, uint32_t under, const Constants& k)
{
    const uint32_t lanes = addHighBytes(colour.redBlue + redBlue(under, k) * colour.inverse, k);
    uint32_t green = colour.green + ((under >> 8) & 0xFF) * colour.inverse;
    green += green >> 8;
    return 0xFF000000u | ((lanes << 8) & 0xFF0000) | (green & 0xFF00) | lanes >> 24;
}

// The destinations, each as RGB565 values or colour words.
struct Rgb565Pixel {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t load(const uint8_t* pixel) { return load16(pixel); }
    DS_ALWAYS_INLINE static void store(uint8_t* pixel, uint32_t value) { store16(pixel, value); }
};

struct Rgb565SwappedPixel {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t load(const uint8_t* pixel) { return swapBytes16(load16(pixel)); }
    DS_ALWAYS_INLINE static void store(uint8_t* pixel, uint32_t value) { store16(pixel, swapBytes16(value)); }
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
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel) { return rgb565Of(load32(pixel)); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return load32(pixel); }
};

struct Rgb565Source {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel) { return load16(pixel); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return argbOfRgb565(load16(pixel)); }
};

struct Rgb565SwappedSource {
    static constexpr uint32_t kBytes = 2;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel) { return swapBytes16(load16(pixel)); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel) { return argbOfRgb565(value565(pixel)); }
};

struct Argb8565Source {
    static constexpr uint32_t kBytes = 3;
    DS_ALWAYS_INLINE static uint32_t value565(const uint8_t* pixel) { return load16(pixel); }
    DS_ALWAYS_INLINE static uint32_t argb(const uint8_t* pixel)
    {
        return (argbOfRgb565(load16(pixel)) & 0xFFFFFF) | uint32_t(pixel[2]) << 24;
    }
};

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

// Fills --------------------------------------------------------------------

// Two pixels per store, eight per turn, after a lone pixel that brings the
// row to a 4-byte boundary.
void fill16(const Job& job, const Area& area)
{
    const uint32_t pair = job.value | job.value << 16;
    eachRow(area, [pair](uint8_t* pixel, const uint8_t*, uint32_t count) {
        if ((reinterpret_cast<uintptr_t>(pixel) & 2) != 0) {
            store16(pixel, pair);
            pixel += 2;
            --count;
        }
        uint8_t* const end = pixel + size_t(count) * 2;
        for (; end - pixel >= 16; pixel += 16) {
            store32(pixel, pair);
            store32(pixel + 4, pair);
            store32(pixel + 8, pair);
            store32(pixel + 12, pair);
        }
        for (; end - pixel >= 4; pixel += 4)
            store32(pixel, pair);
        if (pixel != end)
            store16(pixel, pair);
    });
}

void fill32(const Job& job, const Area& area)
{
    const uint32_t value = job.value;
    eachRow(area, [value](uint8_t* pixel, const uint8_t*, uint32_t count) {
        uint8_t* const end = pixel + size_t(count) * 4;
        for (; end - pixel >= 16; pixel += 16) {
            store32(pixel, value);
            store32(pixel + 4, value);
            store32(pixel + 8, value);
            store32(pixel + 12, value);
        }
        for (; pixel != end; pixel += 4)
            store32(pixel, value);
    });
}

void fill8(const Job& job, const Area& area)
{
    const int value = int(job.value);
    eachRow(area, [value](uint8_t* pixel, const uint8_t*, uint32_t count) { memset(pixel, value, count); });
}

// Copies ------------------------------------------------------------------

// Into RGB565 or RGB565_SWAPPED: the source's RGB565 value of each pixel.
template <typename Source, typename Pixel>
void copyTo565(const Job&, const Area& area)
{
    eachRow(area, [](uint8_t* pixel, const uint8_t* source, uint32_t count) {
        const uint8_t* const end = source + size_t(count) * Source::kBytes;
        do {
            Pixel::store(pixel, Source::value565(source));
            pixel += 2;
            source += Source::kBytes;
        } while (source != end);
    });
}

template <typename Source>
void copyTo8888(const Job&, const Area& area)
{
    eachRow(area, [](uint8_t* pixel, const uint8_t* source, uint32_t count) {
        const uint8_t* const end = source + size_t(count) * Source::kBytes;
        do {
            store32(pixel, Source::argb(source));
            pixel += 4;
            source += Source::kBytes;
        } while (source != end);
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
            return Pixel::store(pixel, Source::value565(source));
        const uint32_t argb = Source::argb(source);
        Pixel::store(pixel, over565(weigh(redBlue(argb, k), (argb >> 8) & 0xFF, sa, k), Pixel::load(pixel), k));
    } else {
        const uint32_t argb = Source::argb(source);
        if (sa == 255)
            return store32(pixel, argb);
        const uint32_t under = load32(pixel);
        if (alphaOf(under) != 255)
            return store32(pixel, over(argb, under, sa));
        store32(pixel, overOpaque8888(weigh(redBlue(argb, k), (argb >> 8) & 0xFF, sa, k), under, k));
    }
}

// The alpha of a source pixel: its own, or times the opacity.
template <typename Source, bool kOpacity>
DS_ALWAYS_INLINE uint32_t sourceAlpha(const uint8_t* source, uint32_t opacity257)
{
    const uint32_t alpha = Source::kBytes == 4 ? load32(source) >> 24 : source[2];
    return kOpacity ? mulAlpha257(alpha, opacity257) : alpha;
}

template <typename Source, typename Pixel, bool kOpacity>
void blendRows(const Job& job, const Area& area)
{
    const Constants k = constants();
    const uint32_t opacity257 = job.alpha * 257;
    eachRow(area, [&k, opacity257](uint8_t* pixel, const uint8_t* source, uint32_t count) {
        const uint8_t* const end = source + size_t(count) * Source::kBytes;
        do {
            blendPixel<Source, Pixel>(pixel, source, sourceAlpha<Source, kOpacity>(source, opacity257), k);
            pixel += Pixel::kBytes;
            source += Source::kBytes;
        } while (source != end);
    });
}

template <typename Source, typename Pixel>
void blend(const Job& job, const Area& area)
{
    if (job.alpha == 255)
        blendRows<Source, Pixel, false>(job, area);
    else
        blendRows<Source, Pixel, true>(job, area);
}

// Masks and solid colours -------------------------------------------------

// The mask's colour, its channels ready for weigh().
struct MaskColour {
    uint32_t redBlue;    // red and blue lanes
    uint32_t green;      // green
    uint32_t stored;     // the colour as the destination stores it opaque
    uint32_t alpha257;   // the colour's alpha times the opacity, times 257
};

template <typename Pixel>
MaskColour maskColour(const Job& job, const Constants& k)
{
    const uint32_t opaque = job.color | 0xFF000000u;
    return {redBlue(job.color, k), (job.color >> 8) & 0xFF, Pixel::kBytes == 2 ? rgb565Of(opaque) : opaque,
        job.alpha * 257};
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

// Zero coverage is skipped; full coverage of an opaque colour stored.
template <typename Pixel, bool kScaled>
void maskRows(const Job& job, const Area& area)
{
    const Constants k = constants();
    const MaskColour colour = maskColour<Pixel>(job, k);
    eachRow(area, [&k, &colour](uint8_t* pixel, const uint8_t* coverage, uint32_t count) {
        const uint8_t* const end = coverage + count;
        do {
            const uint32_t m = *coverage++;
            if (m != 0) {
                if (kScaled)
                    overPixel<Pixel>(pixel, colour, mulAlpha257(m, colour.alpha257), k);
                else if (m == 255)
                    Pixel::store(pixel, colour.stored);
                else
                    overPixel<Pixel>(pixel, colour, m, k);
            }
            pixel += Pixel::kBytes;
        } while (coverage != end);
    });
}

template <typename Pixel>
void mask(const Job& job, const Area& area)
{
    if (job.alpha == 255)
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
    eachRow(area, [&k, &colour, sa](uint8_t* pixel, const uint8_t*, uint32_t count) {
        uint8_t* const end = pixel + size_t(count) * Pixel::kBytes;
        do {
            overPixel<Pixel>(pixel, colour, sa, k);
            pixel += Pixel::kBytes;
        } while (pixel != end);
    });
}

// The table ---------------------------------------------------------------

struct FastPathEntry {
    uint32_t key;  // keyOf(operation, source mode, destination mode)
    FastPath path; // does the whole area
};

constexpr uint32_t keyOf(Operation operation, uint32_t sourceMode, uint32_t destinationMode)
{
    return uint32_t(operation) << 16 | sourceMode << 8 | destinationMode;
}

// In ascending order of key, for the binary search of findFastPath.
constexpr FastPathEntry kFastPaths[] = {
    {keyOf(Operation::Fill, kNoSource, ARGB8888), fill32},
    {keyOf(Operation::Fill, kNoSource, RGB565), fill16},
    {keyOf(Operation::Fill, kNoSource, ARGB1555), fill16},
    {keyOf(Operation::Fill, kNoSource, ARGB4444), fill16},
    {keyOf(Operation::Fill, kNoSource, I8), fill8},
    {keyOf(Operation::Fill, kNoSource, AI88), fill16},
    {keyOf(Operation::Fill, kNoSource, A8), fill8},
    {keyOf(Operation::Fill, kNoSource, RGB565_SWAPPED), fill16},
    {keyOf(Operation::Copy, ARGB8888, RGB565), copyTo565<Argb8888Source, Rgb565Pixel>},
    {keyOf(Operation::Copy, ARGB8888, RGB565_SWAPPED), copyTo565<Argb8888Source, Rgb565SwappedPixel>},
    {keyOf(Operation::Copy, RGB565, ARGB8888), copyTo8888<Rgb565Source>},
    {keyOf(Operation::Copy, RGB565, RGB565_SWAPPED), copyTo565<Rgb565Source, Rgb565SwappedPixel>},
    {keyOf(Operation::Copy, RGB565_SWAPPED, ARGB8888), copyTo8888<Rgb565SwappedSource>},
    {keyOf(Operation::Copy, RGB565_SWAPPED, RGB565), copyTo565<Rgb565SwappedSource, Rgb565Pixel>},
    {keyOf(Operation::Copy, ARGB8565, ARGB8888), copyTo8888<Argb8565Source>},
    {keyOf(Operation::Copy, ARGB8565, RGB565), copyTo565<Argb8565Source, Rgb565Pixel>},
    {keyOf(Operation::Copy, ARGB8565, RGB565_SWAPPED), copyTo565<Argb8565Source, Rgb565SwappedPixel>},
    {keyOf(Operation::Blend, ARGB8888, ARGB8888), blend<Argb8888Source, Argb8888Pixel>},
    {keyOf(Operation::Blend, ARGB8888, RGB565), blend<Argb8888Source, Rgb565Pixel>},
    {keyOf(Operation::Blend, ARGB8888, RGB565_SWAPPED), blend<Argb8888Source, Rgb565SwappedPixel>},
    {keyOf(Operation::Blend, ARGB8565, ARGB8888), blend<Argb8565Source, Argb8888Pixel>},
    {keyOf(Operation::Blend, ARGB8565, RGB565), blend<Argb8565Source, Rgb565Pixel>},
    {keyOf(Operation::Blend, ARGB8565, RGB565_SWAPPED), blend<Argb8565Source, Rgb565SwappedPixel>},
    {keyOf(Operation::Mask, A8, ARGB8888), mask<Argb8888Pixel>},
    {keyOf(Operation::Mask, A8, RGB565), mask<Rgb565Pixel>},
    {keyOf(Operation::Mask, A8, RGB565_SWAPPED), mask<Rgb565SwappedPixel>},
    {keyOf(Operation::SolidOver, kNoSource, ARGB8888), solidOver<Argb8888Pixel>},
    {keyOf(Operation::SolidOver, kNoSource, RGB565), solidOver<Rgb565Pixel>},
    {keyOf(Operation::SolidOver, kNoSource, RGB565_SWAPPED), solidOver<Rgb565SwappedPixel>},
};
constexpr uint32_t kFastPathCount = sizeof kFastPaths / sizeof kFastPaths[0];

constexpr bool ascending()
{
    for (uint32_t i = 1; i < kFastPathCount; ++i)
        if (kFastPaths[i - 1].key >= kFastPaths[i].key)
            return false;
    return true;
}
static_assert(ascending(), "kFastPaths is searched by halves");

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
    const uint32_t key = keyOf(job.operation, job.sourceMode, job.destinationMode);
    uint32_t low = 0, high = kFastPathCount;
    while (low < high) {
        const uint32_t middle = (low + high) / 2;
        if (kFastPaths[middle].key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < kFastPathCount && kFastPaths[low].key == key ? kFastPaths[low].path : nullptr;
}

} // namespace ds
