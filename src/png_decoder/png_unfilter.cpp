#include "png_unfilter.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The five filter types of PNG filter method 0.
enum FilterType : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };
constexpr uint32_t kFilterTypes = 5;

// Traits of the row loops, one set per 8-bit pixel format: file bytes per
// pixel, surface bytes per pixel, where each file byte goes in the surface
// pixel, and where the key's alpha goes (or -1).
struct Copy1 {
    static constexpr uint32_t kIn = 1, kOut = 1;
    static constexpr uint32_t kTarget[1] = {0};
    static constexpr int kAlpha = -1;
};
struct Copy2 {
    static constexpr uint32_t kIn = 2, kOut = 2;
    static constexpr uint32_t kTarget[2] = {0, 1};
    static constexpr int kAlpha = -1;
};
struct RgbToBgr {
    static constexpr uint32_t kIn = 3, kOut = 3;
    static constexpr uint32_t kTarget[3] = {2, 1, 0};
    static constexpr int kAlpha = -1;
};
struct RgbaToBgra {
    static constexpr uint32_t kIn = 4, kOut = 4;
    static constexpr uint32_t kTarget[4] = {2, 1, 0, 3};
    static constexpr int kAlpha = -1;
};
struct GreyKeyAlpha {
    static constexpr uint32_t kIn = 1, kOut = 2;
    static constexpr uint32_t kTarget[1] = {0};
    static constexpr int kAlpha = 1;
};
struct RgbKeyToBgra {
    static constexpr uint32_t kIn = 3, kOut = 4;
    static constexpr uint32_t kTarget[3] = {2, 1, 0};
    static constexpr int kAlpha = 3;
};

constexpr uint8_t kTransparent = 0;
constexpr uint8_t kOpaque = 255;

// Fills one row of surface pixels from one filtered scanline (without its
// type byte). `above` is the previous surface row; the first row's
// functions never read it.
using RowFunction = void (*)(
    uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t* key);

// The row functions of one layout: for the first row and for the others,
// indexed by filter type.
struct RowTable {
    RowFunction first[kFilterTypes]; // no row above: every neighbour above counts as 0
    RowFunction rest[kFilterTypes];  // a row above exists
};

// Predictors of the portable rows, each from the left, above and above-left
// bytes. Paeth chooses by selects rather than jumps, which random data would
// mispredict.
struct PredictNone {
    static unsigned predict(unsigned, unsigned, unsigned) { return 0; }
};
struct PredictSub {
    static unsigned predict(unsigned left, unsigned, unsigned) { return left; }
};
struct PredictUp {
    static unsigned predict(unsigned, unsigned above, unsigned) { return above; }
};
struct PredictAverage {
    static unsigned predict(unsigned left, unsigned above, unsigned) { return (left + above) >> 1; }
};
struct PredictPaeth {
    static unsigned predict(unsigned left, unsigned above, unsigned aboveLeft)
    {
        const int pa = std::abs(int(above) - int(aboveLeft));
        const int pb = std::abs(int(left) - int(aboveLeft));
        const int pc = std::abs(int(left) + int(above) - 2 * int(aboveLeft));
        const unsigned aboveOrAboveLeft = pb <= pc ? above : aboveLeft;
        const bool leftWins = (pa <= pb) & (pa <= pc);
        return leftWins ? left : aboveOrAboveLeft;
    }
};

// One pixel: reads all its file bytes before writing any surface byte, since
// the surface pixel may cover file bytes of the same pixel.
template <class Layout, class Predictor, bool HasAbove, bool HasLeft>
inline void unfilterPixel(uint8_t* out, const uint8_t* in, const uint8_t* above, const uint16_t* key)
{
    uint8_t value[Layout::kIn];
    std::memcpy(value, in, Layout::kIn);
    for (uint32_t c = 0; c < Layout::kIn; ++c) {
        const uint32_t at = Layout::kTarget[c];
        const unsigned left = HasLeft ? (out - Layout::kOut)[at] : 0;
        const unsigned up = HasAbove ? above[at] : 0;
        const unsigned upLeft = HasAbove && HasLeft ? (above - Layout::kOut)[at] : 0;
        value[c] = uint8_t(value[c] + Predictor::predict(left, up, upLeft));
    }
    for (uint32_t c = 0; c < Layout::kIn; ++c)
        out[Layout::kTarget[c]] = value[c];
    if constexpr (Layout::kAlpha >= 0) {
        bool keyed = true;
        for (uint32_t c = 0; c < Layout::kIn; ++c)
            keyed &= value[c] == key[c];
        out[Layout::kAlpha] = keyed ? kTransparent : kOpaque;
    }
}

template <class Layout, class Predictor, bool HasAbove>
void portableRow(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t* key)
{
    unfilterPixel<Layout, Predictor, HasAbove, false>(out, in, above, key);
    for (uint32_t x = 1; x < width; ++x) {
        out += Layout::kOut;
        in += Layout::kIn;
        if (HasAbove)
            above += Layout::kOut;
        unfilterPixel<Layout, Predictor, HasAbove, true>(out, in, above, key);
    }
}

// In the first row Up adds nothing and Paeth always predicts the left byte,
// so they run as None and Sub.
template <class Layout>
constexpr RowTable portableTable()
{
    return RowTable{
        {portableRow<Layout, PredictNone, false>, portableRow<Layout, PredictSub, false>,
            portableRow<Layout, PredictNone, false>, portableRow<Layout, PredictAverage, false>,
            portableRow<Layout, PredictSub, false>},
        {portableRow<Layout, PredictNone, true>, portableRow<Layout, PredictSub, true>,
            portableRow<Layout, PredictUp, true>, portableRow<Layout, PredictAverage, true>,
            portableRow<Layout, PredictPaeth, true>},
    };
}

template <class Layout>
bool unfilterImage(const PngUnfilterJob& job, const RowTable& table)
{
    const uint8_t* in = job.filtered;
    const uint64_t rowBytes = uint64_t(job.width) * Layout::kIn;
    uint8_t* out = job.pixels;
    for (uint32_t row = 0; row < job.height; ++row, out += job.pitch) {
        const uint8_t filter = *in++;
        if (filter >= kFilterTypes)
            return false;
        if (row == 0)
            table.first[filter](out, in, nullptr, job.width, job.format.key);
        else
            table.rest[filter](out, in, out - job.pitch, job.width, job.format.key);
        in += rowBytes;
    }
    return true;
}

} // namespace

#if defined(__SSE2__)
namespace {

constexpr uint32_t kVectorBytes = 16;   // bytes in one SSE2 register
constexpr uint32_t kRgbBlockBytes = 48; // three registers hold 16 whole 3-byte pixels

// Where each byte of a 48-byte block of 3-byte pixels comes from when R and B
// change places: from two bytes further on (B), from the same place (G), or
// from two bytes back (R). One set of masks per register of the block.
struct RgbSwapMasks {
    alignas(16) uint8_t fromRight[3][kVectorBytes]; // surface B: file byte + 2
    alignas(16) uint8_t keep[3][kVectorBytes];      // surface G: file byte + 0
    alignas(16) uint8_t fromLeft[3][kVectorBytes];  // surface R: file byte - 2
};

constexpr RgbSwapMasks makeRgbSwapMasks()
{
    RgbSwapMasks masks{};
    for (uint32_t part = 0; part < 3; ++part) {
        for (uint32_t byte = 0; byte < kVectorBytes; ++byte) {
            const uint32_t channel = (part * kVectorBytes + byte) % 3;
            masks.fromRight[part][byte] = channel == 0 ? 0xFF : 0;
            masks.keep[part][byte] = channel == 1 ? 0xFF : 0;
            masks.fromLeft[part][byte] = channel == 2 ? 0xFF : 0;
        }
    }
    return masks;
}

constexpr RgbSwapMasks kRgbSwapMasks = makeRgbSwapMasks();

inline __m128i loadVector(const uint8_t* bytes)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

inline __m128i loadMask(const uint8_t* mask)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

inline void storeVector(uint8_t* bytes, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), value);
}

// Exchanges bytes 0 and 2 of every 32-bit lane: R, G, B, A -> B, G, R, A.
inline __m128i swapRedBlue4(__m128i pixels)
{
    const __m128i greenAlpha = _mm_and_si128(pixels, _mm_set1_epi32(int(0xFF00FF00u)));
    const __m128i red = _mm_and_si128(_mm_slli_epi32(pixels, 16), _mm_set1_epi32(0x00FF0000));
    const __m128i blue = _mm_and_si128(_mm_srli_epi32(pixels, 16), _mm_set1_epi32(0x000000FF));
    return _mm_or_si128(greenAlpha, _mm_or_si128(red, blue));
}

// One 48-byte block of R, G, B file pixels as B, G, R, in three registers.
inline void swapRedBlue3(const uint8_t* in, __m128i out[3])
{
    const __m128i part[3] = {loadVector(in), loadVector(in + kVectorBytes), loadVector(in + 2 * kVectorBytes)};
    const __m128i right[3] = {
        _mm_or_si128(_mm_srli_si128(part[0], 2), _mm_slli_si128(part[1], 14)),
        _mm_or_si128(_mm_srli_si128(part[1], 2), _mm_slli_si128(part[2], 14)),
        _mm_srli_si128(part[2], 2),
    };
    const __m128i left[3] = {
        _mm_slli_si128(part[0], 2),
        _mm_or_si128(_mm_slli_si128(part[1], 2), _mm_srli_si128(part[0], 14)),
        _mm_or_si128(_mm_slli_si128(part[2], 2), _mm_srli_si128(part[1], 14)),
    };
    for (uint32_t i = 0; i < 3; ++i) {
        const __m128i kept = _mm_and_si128(part[i], loadMask(kRgbSwapMasks.keep[i]));
        const __m128i moved = _mm_or_si128(_mm_and_si128(right[i], loadMask(kRgbSwapMasks.fromRight[i])),
            _mm_and_si128(left[i], loadMask(kRgbSwapMasks.fromLeft[i])));
        out[i] = _mm_or_si128(kept, moved);
    }
}

// None (AddAbove false) or Up over whole blocks of the row, every block read
// in full before any of it is written. Returns the pixels done; the caller
// finishes the rest of the row.
template <class Layout, bool AddAbove>
uint32_t blockPixels(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width)
{
    constexpr bool kRgb = Layout::kIn == 3;
    constexpr uint64_t kBlock = kRgb ? kRgbBlockBytes : kVectorBytes;
    constexpr uint32_t kParts = uint32_t(kBlock / kVectorBytes);
    const uint64_t rowBytes = uint64_t(width) * Layout::kIn;
    uint64_t done = 0;
    for (; done + kBlock <= rowBytes; done += kBlock) {
        __m128i value[kParts];
        if constexpr (kRgb)
            swapRedBlue3(in + done, value);
        else if constexpr (Layout::kIn == 4)
            value[0] = swapRedBlue4(loadVector(in + done));
        else
            value[0] = loadVector(in + done);
        for (uint32_t i = 0; i < kParts; ++i) {
            if constexpr (AddAbove)
                value[i] = _mm_add_epi8(value[i], loadVector(above + done + i * kVectorBytes));
            storeVector(out + done + i * kVectorBytes, value[i]);
        }
    }
    return uint32_t(done / Layout::kIn);
}

template <class Layout, bool AddAbove>
void blockRow(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t* key)
{
    using Predictor = std::conditional_t<AddAbove, PredictUp, PredictNone>;
    const uint32_t done = blockPixels<Layout, AddAbove>(out, in, above, width);
    if (done == width)
        return;
    const size_t outDone = size_t(done) * Layout::kOut;
    portableRow<Layout, Predictor, AddAbove>(
        out + outDone, in + size_t(done) * Layout::kIn, AddAbove ? above + outDone : nullptr, width - done, key);
}

// Predictors of the vector pixel rows on the low four bytes of a register.
struct VectorSub {
    static __m128i predict(__m128i left, __m128i, __m128i) { return left; }
};

// The floor of the mean: SSE2's average rounds up, so the odd sums lose one.
struct VectorAverage {
    static __m128i predict(__m128i left, __m128i above, __m128i)
    {
        const __m128i roundedUp = _mm_avg_epu8(left, above);
        const __m128i odd = _mm_and_si128(_mm_xor_si128(left, above), _mm_set1_epi8(1));
        return _mm_sub_epi8(roundedUp, odd);
    }
};

inline __m128i absolute16(__m128i value)
{
    return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

inline __m128i select(__m128i mask, __m128i whenSet, __m128i whenClear)
{
    return _mm_or_si128(_mm_and_si128(mask, whenSet), _mm_andnot_si128(mask, whenClear));
}

// The 3 or 4 bytes of a pixel as a little-endian word (the fourth byte 0 for
// 3-byte pixels), assembled from whole loads: copying 3 bytes through memory
// would stall on store forwarding at every pixel.
template <uint32_t Bytes>
inline uint32_t loadPixelWord(const uint8_t* bytes)
{
    if constexpr (Bytes == 4) {
        uint32_t word;
        std::memcpy(&word, bytes, 4);
        return word;
    } else {
        uint16_t low;
        std::memcpy(&low, bytes, 2);
        return low | uint32_t(bytes[2]) << 16;
    }
}

template <uint32_t Bytes>
inline void storePixelWord(uint8_t* bytes, uint32_t word)
{
    if constexpr (Bytes == 4) {
        std::memcpy(bytes, &word, 4);
    } else {
        const uint16_t low = uint16_t(word);
        std::memcpy(bytes, &low, 2);
        bytes[2] = uint8_t(word >> 16);
    }
}

// A file pixel into the low bytes of a register, R and B exchanged.
template <uint32_t Bytes>
inline __m128i loadFilePixel(const uint8_t* in)
{
    const uint32_t pixel = loadPixelWord<Bytes>(in);
    return _mm_cvtsi32_si128(int((pixel & 0xFF00FF00u) | (pixel & 0xFFu) << 16 | (pixel >> 16 & 0xFFu)));
}

template <uint32_t Bytes>
inline __m128i loadSurfacePixel(const uint8_t* bytes)
{
    return _mm_cvtsi32_si128(int(loadPixelWord<Bytes>(bytes)));
}

template <uint32_t Bytes>
inline void storeSurfacePixel(uint8_t* bytes, __m128i value)
{
    storePixelWord<Bytes>(bytes, uint32_t(_mm_cvtsi128_si32(value)));
}

// Sub, Average or Paeth on the truecolour layouts, one whole pixel at a time,
// the left and above-left pixels kept in registers. Outside the image they
// are 0, which the starting values give.
template <class Layout, class Predictor, bool HasAbove>
void pixelRow(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t*)
{
    static_assert(Layout::kIn == Layout::kOut && Layout::kTarget[0] == 2, "loadFilePixel exchanges R and B");
    constexpr uint32_t kBytes = Layout::kIn;
    __m128i left = _mm_setzero_si128();
    __m128i aboveLeft = _mm_setzero_si128();
    for (uint32_t x = 0; x < width; ++x, in += kBytes, out += kBytes) {
        __m128i up = _mm_setzero_si128();
        if constexpr (HasAbove) {
            up = loadSurfacePixel<kBytes>(above);
            above += kBytes;
        }
        left = _mm_add_epi8(loadFilePixel<kBytes>(in), Predictor::predict(left, up, aboveLeft));
        storeSurfacePixel<kBytes>(out, left);
        aboveLeft = up;
    }
}

// Paeth on the truecolour layouts, one pixel at a time in 16-bit lanes, where
// the distances cannot overflow. The left and above-left pixels stay widened
// from one pixel to the next, so that only the store needs them as bytes.
template <class Layout>
void paethRow(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t*)
{
    static_assert(Layout::kIn == Layout::kOut && Layout::kTarget[0] == 2, "loadFilePixel exchanges R and B");
    constexpr uint32_t kBytes = Layout::kIn;
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    __m128i a = zero; // left
    __m128i c = zero; // above-left
    for (uint32_t x = 0; x < width; ++x, in += kBytes, out += kBytes, above += kBytes) {
        const __m128i b = _mm_unpacklo_epi8(loadSurfacePixel<kBytes>(above), zero);
        const __m128i filtered = _mm_unpacklo_epi8(loadFilePixel<kBytes>(in), zero);
        const __m128i leftDistance = _mm_sub_epi16(b, c);  // p - left
        const __m128i aboveDistance = _mm_sub_epi16(a, c); // p - above
        const __m128i pa = absolute16(leftDistance);
        const __m128i pb = absolute16(aboveDistance);
        const __m128i pc = absolute16(_mm_add_epi16(leftDistance, aboveDistance));
        const __m128i notLeft = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        const __m128i aboveOrAboveLeft = select(_mm_cmpgt_epi16(pb, pc), c, b);
        a = _mm_and_si128(_mm_add_epi16(filtered, select(notLeft, aboveOrAboveLeft, a)), lowBytes);
        storeSurfacePixel<kBytes>(out, _mm_packus_epi16(a, a));
        c = b;
    }
}

// The row functions of the vector path: block rows for None and Up wherever a
// file pixel is a surface pixel, pixel rows for the other filters of the
// truecolour layouts, and the portable rows for everything else.
template <class Layout>
constexpr RowTable vectorTable()
{
    RowTable table = portableTable<Layout>();
    if constexpr (Layout::kIn == Layout::kOut) {
        table.first[kNone] = table.first[kUp] = table.rest[kNone] = blockRow<Layout, false>;
        table.rest[kUp] = blockRow<Layout, true>;
    }
    if constexpr (Layout::kIn == Layout::kOut && Layout::kIn >= 3) {
        table.first[kSub] = table.first[kPaeth] = table.rest[kSub] = pixelRow<Layout, VectorSub, false>;
        table.first[kAverage] = pixelRow<Layout, VectorAverage, false>;
        table.rest[kAverage] = pixelRow<Layout, VectorAverage, true>;
        table.rest[kPaeth] = paethRow<Layout>;
    }
    return table;
}

} // namespace
#else
namespace {

template <class Layout>
constexpr RowTable vectorTable()
{
    return portableTable<Layout>();
}

} // namespace
#endif

namespace {

template <class Layout>
bool unfilterOnPath(const PngUnfilterJob& job, PngUnfilterPath path)
{
    static constexpr RowTable kPortable = portableTable<Layout>();
    static constexpr RowTable kVector = vectorTable<Layout>();
    return unfilterImage<Layout>(job, path == PngUnfilterPath::Vector ? kVector : kPortable);
}

// Calls `visit` with the traits of the row loops for an 8-bit `format`: the
// one place that maps pixel formats to their traits.
template <class Visit>
auto withLayoutTraits(const PngPixelFormat& format, Visit visit)
{
    switch (format.colorType) {
    case kPngGrey: return format.keyed ? visit(GreyKeyAlpha{}) : visit(Copy1{});
    case kPngGreyAlpha: return visit(Copy2{});
    case kPngTruecolour: return format.keyed ? visit(RgbKeyToBgra{}) : visit(RgbToBgr{});
    case kPngTruecolourAlpha: return visit(RgbaToBgra{});
    default: return visit(Copy1{});
    }
}

} // namespace

bool pngUnfilterOnPath(const PngUnfilterJob& job, PngUnfilterPath path)
{
    return withLayoutTraits(job.format, [&](auto traits) { return unfilterOnPath<decltype(traits)>(job, path); });
}

bool pngUnfilter(const PngUnfilterJob& job)
{
    return pngUnfilterOnPath(job, PngUnfilterPath::Vector);
}

namespace {

// One scanline at the file's pixel size: the first `bpp` bytes have no left
// neighbour, the rest take theirs from the bytes already unfiltered.
template <class Predictor, bool HasPrior>
void unfilterScanlineBytes(uint8_t* scanline, const uint8_t* prior, uint64_t bytes, uint64_t bpp)
{
    const uint64_t lead = bytes < bpp ? bytes : bpp;
    for (uint64_t i = 0; i < lead; ++i)
        scanline[i] = uint8_t(scanline[i] + Predictor::predict(0, HasPrior ? prior[i] : 0, 0));
    for (uint64_t i = lead; i < bytes; ++i) {
        const unsigned above = HasPrior ? prior[i] : 0;
        const unsigned aboveLeft = HasPrior ? prior[i - bpp] : 0;
        scanline[i] = uint8_t(scanline[i] + Predictor::predict(scanline[i - bpp], above, aboveLeft));
    }
}

using ScanlineFunction = void (*)(uint8_t* scanline, const uint8_t* prior, uint64_t bytes, uint64_t bpp);

// Indexed by filter type; None has nothing to undo. Without a scanline
// above, Up changes nothing either and Paeth always predicts the left byte.
constexpr ScanlineFunction kFirstScanline[kFilterTypes] = {
    nullptr,
    unfilterScanlineBytes<PredictSub, false>,
    nullptr,
    unfilterScanlineBytes<PredictAverage, false>,
    unfilterScanlineBytes<PredictSub, false>,
};
constexpr ScanlineFunction kLaterScanline[kFilterTypes] = {
    nullptr,
    unfilterScanlineBytes<PredictSub, true>,
    unfilterScanlineBytes<PredictUp, true>,
    unfilterScanlineBytes<PredictAverage, true>,
    unfilterScanlineBytes<PredictPaeth, true>,
};

} // namespace

bool pngUnfilterScanline(uint8_t* scanline, const uint8_t* prior, uint64_t bytes, uint32_t bpp, uint8_t filter)
{
    if (filter >= kFilterTypes)
        return false;
    const ScanlineFunction undo = (prior ? kLaterScanline : kFirstScanline)[filter];
    if (undo)
        undo(scanline, prior, bytes, bpp);
    return true;
}
