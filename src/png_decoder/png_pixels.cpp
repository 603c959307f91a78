#include "png_pixels.h"

#include "png_bytes.h"

namespace {

constexpr uint8_t kTransparent = 0;
constexpr uint8_t kOpaque = 255;

// Sample `index` of a scanline (samples counted across channels) at the
// file's depth: 16-bit samples are big-endian, and narrower ones fill their
// bytes from the most significant bit down.
template <uint32_t Depth>
inline uint32_t sampleAt(const uint8_t* scanline, uint64_t index)
{
    if constexpr (Depth == 16) {
        return pngLoadBig16(scanline + 2 * index);
    } else if constexpr (Depth == 8) {
        return scanline[index];
    } else {
        const uint64_t bit = index * Depth;
        return (scanline[bit / 8] >> (8 - Depth - bit % 8)) & ((1u << Depth) - 1);
    }
}

// A grey level, colour or alpha sample as 8 bits: the high byte of 16, the
// bits of a narrower grey level repeated (x 255, x 85, x 17).
template <uint32_t Depth>
inline uint8_t toEightBits(uint32_t sample)
{
    if constexpr (Depth == 16)
        return uint8_t(sample >> 8);
    else
        return uint8_t(sample * (255 / ((1u << Depth) - 1)));
}

template <uint32_t Depth>
void convertGrey(const PngPixelFormat& format, const uint8_t* in, uint32_t count, uint8_t* out, uint64_t step)
{
    for (uint32_t x = 0; x < count; ++x, out += step) {
        const uint32_t grey = sampleAt<Depth>(in, x);
        out[0] = toEightBits<Depth>(grey);
        if (format.keyed)
            out[1] = grey == format.key[0] ? kTransparent : kOpaque;
    }
}

template <uint32_t Depth>
void convertIndexed(const uint8_t* in, uint32_t count, uint8_t* out, uint64_t step)
{
    for (uint32_t x = 0; x < count; ++x, out += step)
        out[0] = uint8_t(sampleAt<Depth>(in, x));
}

template <uint32_t Depth>
void convertGreyAlpha(const uint8_t* in, uint32_t count, uint8_t* out, uint64_t step)
{
    for (uint32_t x = 0; x < count; ++x, out += step) {
        out[0] = toEightBits<Depth>(sampleAt<Depth>(in, 2 * uint64_t(x)));
        out[1] = toEightBits<Depth>(sampleAt<Depth>(in, 2 * uint64_t(x) + 1));
    }
}

template <uint32_t Depth, bool HasAlpha>
void convertTruecolour(const PngPixelFormat& format, const uint8_t* in, uint32_t count, uint8_t* out, uint64_t step)
{
    constexpr uint32_t kChannels = HasAlpha ? 4 : 3;
    for (uint32_t x = 0; x < count; ++x, out += step) {
        const uint64_t first = uint64_t(x) * kChannels;
        const uint32_t red = sampleAt<Depth>(in, first), green = sampleAt<Depth>(in, first + 1),
                       blue = sampleAt<Depth>(in, first + 2);
        out[0] = toEightBits<Depth>(blue);
        out[1] = toEightBits<Depth>(green);
        out[2] = toEightBits<Depth>(red);
        if constexpr (HasAlpha) {
            out[3] = toEightBits<Depth>(sampleAt<Depth>(in, first + 3));
        } else if (format.keyed) {
            const bool onKey = red == format.key[0] && green == format.key[1] && blue == format.key[2];
            out[3] = onKey ? kTransparent : kOpaque;
        }
    }
}

// Runs the converter of the format's colour type at its bit depth.
template <uint32_t Depth>
void convertAtDepth(const PngPixelFormat& format, const uint8_t* in, uint32_t count, uint8_t* out, uint64_t step)
{
    switch (format.colorType) {
    case kPngGrey: convertGrey<Depth>(format, in, count, out, step); return;
    case kPngIndexed: convertIndexed<Depth>(in, count, out, step); return;
    case kPngGreyAlpha: convertGreyAlpha<Depth>(in, count, out, step); return;
    case kPngTruecolour: convertTruecolour<Depth, false>(format, in, count, out, step); return;
    default: convertTruecolour<Depth, true>(format, in, count, out, step); return;
    }
}

} // namespace

void pngConvertPixels(
    const PngPixelFormat& format, const uint8_t* scanline, uint32_t count, uint8_t* out, uint64_t step)
{
    switch (format.bitDepth) {
    case 1: convertAtDepth<1>(format, scanline, count, out, step); return;
    case 2: convertAtDepth<2>(format, scanline, count, out, step); return;
    case 4: convertAtDepth<4>(format, scanline, count, out, step); return;
    case 8: convertAtDepth<8>(format, scanline, count, out, step); return;
    default: convertAtDepth<16>(format, scanline, count, out, step); return;
    }
}
