#include "png_unfilter.h"

#include <cstdlib>

namespace {

// The five filter types of PNG filter method 0.
enum FilterType : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Per layout: file bytes per pixel, surface bytes per pixel, where each file
// byte goes in the surface pixel, and where the key's alpha goes (or -1).
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

inline uint8_t paeth(unsigned left, unsigned above, unsigned aboveLeft)
{
    const int pa = std::abs(int(above) - int(aboveLeft));
    const int pb = std::abs(int(left) - int(aboveLeft));
    const int pc = std::abs(int(left) + int(above) - 2 * int(aboveLeft));
    if (pa <= pb && pa <= pc)
        return uint8_t(left);
    return uint8_t(pb <= pc ? above : aboveLeft);
}

template <uint8_t Filter>
inline uint8_t reconstruct(uint8_t filtered, unsigned left, unsigned above, unsigned aboveLeft)
{
    switch (Filter) {
    case kSub:
        return uint8_t(filtered + left);
    case kUp:
        return uint8_t(filtered + above);
    case kAverage:
        return uint8_t(filtered + ((left + above) >> 1));
    case kPaeth:
        return uint8_t(filtered + paeth(left, above, aboveLeft));
    default:
        return filtered;
    }
}

// One pixel: reads all its file bytes before writing any surface byte, since
// the surface pixel may cover file bytes of the same pixel.
template <class Layout, uint8_t Filter, bool HasAbove, bool HasLeft>
inline void unfilterPixel(uint8_t* out, const uint8_t* in, const uint8_t* above, const uint16_t* key)
{
    uint8_t value[Layout::kIn];
    for (uint32_t c = 0; c < Layout::kIn; ++c)
        value[c] = in[c];
    for (uint32_t c = 0; c < Layout::kIn; ++c) {
        const uint32_t at = Layout::kTarget[c];
        const unsigned left = HasLeft ? (out - Layout::kOut)[at] : 0;
        const unsigned up = HasAbove ? above[at] : 0;
        const unsigned upLeft = HasAbove && HasLeft ? (above - Layout::kOut)[at] : 0;
        value[c] = reconstruct<Filter>(value[c], left, up, upLeft);
    }
    for (uint32_t c = 0; c < Layout::kIn; ++c)
        out[Layout::kTarget[c]] = value[c];
    if constexpr (Layout::kAlpha >= 0) {
        bool keyed = true;
        for (uint32_t c = 0; c < Layout::kIn; ++c)
            keyed = keyed && value[c] == key[c];
        out[Layout::kAlpha] = keyed ? kTransparent : kOpaque;
    }
}

template <class Layout, uint8_t Filter, bool HasAbove>
void unfilterRow(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t* key)
{
    unfilterPixel<Layout, Filter, HasAbove, false>(out, in, above, key);
    for (uint32_t x = 1; x < width; ++x) {
        out += Layout::kOut;
        in += Layout::kIn;
        if (HasAbove)
            above += Layout::kOut;
        unfilterPixel<Layout, Filter, HasAbove, true>(out, in, above, key);
    }
}

template <class Layout, uint8_t Filter>
void unfilterRowAt(uint8_t* out, const uint8_t* in, const uint8_t* above, uint32_t width, const uint16_t* key)
{
    if (above)
        unfilterRow<Layout, Filter, true>(out, in, above, width, key);
    else
        unfilterRow<Layout, Filter, false>(out, in, above, width, key);
}

template <class Layout>
bool unfilterImage(const PngUnfilterJob& job)
{
    const uint8_t* in = job.filtered;
    const uint64_t rowBytes = uint64_t(job.width) * Layout::kIn;
    for (uint32_t row = 0; row < job.height; ++row) {
        uint8_t* out = job.pixels + row * job.pitch;
        const uint8_t* above = row > 0 ? out - job.pitch : nullptr;
        const uint8_t filter = *in++;
        switch (filter) {
        case kNone:
            unfilterRowAt<Layout, kNone>(out, in, above, job.width, job.key);
            break;
        case kSub:
            unfilterRowAt<Layout, kSub>(out, in, above, job.width, job.key);
            break;
        case kUp:
            unfilterRowAt<Layout, kUp>(out, in, above, job.width, job.key);
            break;
        case kAverage:
            unfilterRowAt<Layout, kAverage>(out, in, above, job.width, job.key);
            break;
        case kPaeth:
            unfilterRowAt<Layout, kPaeth>(out, in, above, job.width, job.key);
            break;
        default:
            return false;
        }
        in += rowBytes;
    }
    return true;
}

} // namespace

uint32_t pngFileBytesPerPixel(PngPixelLayout layout)
{
    switch (layout) {
    case PngPixelLayout::Copy1:
    case PngPixelLayout::GreyKeyAlpha:
        return 1;
    case PngPixelLayout::Copy2:
        return 2;
    case PngPixelLayout::RgbToBgr:
    case PngPixelLayout::RgbKeyToBgra:
        return 3;
    case PngPixelLayout::RgbaToBgra:
        return 4;
    }
    return 0;
}

uint32_t pngSurfaceBytesPerPixel(PngPixelLayout layout)
{
    switch (layout) {
    case PngPixelLayout::Copy1:
        return 1;
    case PngPixelLayout::Copy2:
    case PngPixelLayout::GreyKeyAlpha:
        return 2;
    case PngPixelLayout::RgbToBgr:
        return 3;
    case PngPixelLayout::RgbaToBgra:
    case PngPixelLayout::RgbKeyToBgra:
        return 4;
    }
    return 0;
}

bool pngUnfilter(const PngUnfilterJob& job)
{
    switch (job.layout) {
    case PngPixelLayout::Copy1:
        return unfilterImage<Copy1>(job);
    case PngPixelLayout::Copy2:
        return unfilterImage<Copy2>(job);
    case PngPixelLayout::RgbToBgr:
        return unfilterImage<RgbToBgr>(job);
    case PngPixelLayout::RgbaToBgra:
        return unfilterImage<RgbaToBgra>(job);
    case PngPixelLayout::GreyKeyAlpha:
        return unfilterImage<GreyKeyAlpha>(job);
    case PngPixelLayout::RgbKeyToBgra:
        return unfilterImage<RgbKeyToBgra>(job);
    }
    return false;
}
