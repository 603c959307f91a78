// Colour modes of the surface library and the conversions between 0xAARRGGBB
// words and the stored values of every sized mode. The drawing paths, the
// pixel reads, pixpack's conversions and assetpeek's pictures all convert
// through these functions, so a surface file and the device agree on every
// colour.
//
// Widening (a stored channel to 8 bits) repeats the channel's bits: 5 bits
// abcde become abcdeabc, 6 bits abcdef become abcdefab, 4 bits abcd become
// abcdabcd, so 0 stays 0 and the largest value becomes 255. Narrowing (8 bits
// to a stored channel) keeps the high bits (truncation); ARGB1555's one alpha
// bit is therefore set for alpha >= 128. These are the rules of the common
// display libraries (pixman among them).
//
// Grey modes (I8 and AI88 without a palette) read their byte as a grey level
// in all three colour channels. A colour is made grey by the integer BT.601
// weights (77 R + 150 G + 29 B) / 256, which give every grey colour its own
// level back.
#pragma once

#include <stdint.h>

// The conversions sit in every pixel loop: inlined even at -Os, where the
// compiler would otherwise call them.
#define DS_ALWAYS_INLINE __attribute__((always_inline)) inline

// Pixel formats. Multi-byte words are stored little-endian unless the name
// says otherwise.
enum DsColorMode : uint32_t {
    ARGB8888 = 0,        // bytes B, G, R, A
    RGB888 = 1,          // bytes B, G, R
    RGB565 = 2,          // R in bits 11-15, G in bits 5-10, B in bits 0-4
    ARGB1555 = 3,        // A in bit 15, R in bits 10-14, G in bits 5-9, B in bits 0-4
    ARGB4444 = 4,        // A in bits 12-15, R in bits 8-11, G in bits 4-7, B in bits 0-3
    I8 = 5,              // palette index; with a grey-ramp palette, the grey level
    AI88 = 7,            // byte 0 palette index or grey level, byte 1 alpha
    A8 = 9,              // alpha only
    RGB565_SWAPPED = 10, // the RGB565 word high byte first, as SPI panels take it
    ARGB8565 = 11,       // 3 bytes: the RGB565 word little-endian, then A
};

// Modes 0 to kDsColorModeCount - 1 may have a pixel size; 6 and 8 have none.
constexpr uint32_t kDsColorModeCount = 12;

// Bytes per pixel, indexed by colour mode; 0 for modes 6 and 8.
inline constexpr uint8_t kDsBytesPerPixel[kDsColorModeCount] = {4, 3, 2, 2, 2, 1, 0, 2, 0, 1, 2, 3};

// Bytes per pixel of a colour mode; 0 for the modes without a pixel size
// (6, 8 and everything from kDsColorModeCount up), which no surface
// operation accepts.
constexpr uint32_t dsBytesPerPixel(uint32_t colorMode)
{
    return colorMode < kDsColorModeCount ? kDsBytesPerPixel[colorMode] : 0;
}

// True for the sized modes that store an alpha channel.
constexpr bool dsHasAlpha(uint32_t colorMode)
{
    return colorMode == ARGB8888 || colorMode == ARGB1555 || colorMode == ARGB4444 || colorMode == AI88 ||
        colorMode == A8 || colorMode == ARGB8565;
}

namespace ds {

DS_ALWAYS_INLINE constexpr uint32_t alphaOf(uint32_t argb)
{
    return argb >> 24;
}
DS_ALWAYS_INLINE constexpr uint32_t redOf(uint32_t argb)
{
    return argb >> 16 & 0xFF;
}
DS_ALWAYS_INLINE constexpr uint32_t greenOf(uint32_t argb)
{
    return argb >> 8 & 0xFF;
}
DS_ALWAYS_INLINE constexpr uint32_t blueOf(uint32_t argb)
{
    return argb & 0xFF;
}

DS_ALWAYS_INLINE constexpr uint32_t makeArgb(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue)
{
    return alpha << 24 | red << 16 | green << 8 | blue;
}

DS_ALWAYS_INLINE constexpr uint32_t widen1(uint32_t value)
{
    return value ? 0xFF : 0;
}
DS_ALWAYS_INLINE constexpr uint32_t widen4(uint32_t value)
{
    return value << 4 | value;
}
DS_ALWAYS_INLINE constexpr uint32_t widen5(uint32_t value)
{
    return value << 3 | value >> 2;
}
DS_ALWAYS_INLINE constexpr uint32_t widen6(uint32_t value)
{
    return value << 2 | value >> 4;
}

DS_ALWAYS_INLINE constexpr uint32_t greyOf(uint32_t argb)
{
    return (77 * redOf(argb) + 150 * greenOf(argb) + 29 * blueOf(argb)) >> 8;
}

DS_ALWAYS_INLINE constexpr uint32_t greyArgb(uint32_t alpha, uint32_t grey)
{
    return makeArgb(alpha, grey, grey, grey);
}

// The two bytes of a 16-bit value exchanged: RGB565 <-> RGB565_SWAPPED.
DS_ALWAYS_INLINE constexpr uint32_t swapBytes16(uint32_t value)
{
    return (value & 0xFF) << 8 | (value >> 8 & 0xFF);
}

// The high 5, 6 and 5 bits of red, green and blue, each masked in place.
// A pixel loop may pass the two masks from registers, where an ARM
// processor shifts and masks in one instruction.
DS_ALWAYS_INLINE constexpr uint32_t rgb565Of(uint32_t argb, uint32_t redMask = 0xF800, uint32_t greenMask = 0x07E0)
{
    return (argb >> 8 & redMask) | (argb >> 5 & greenMask) | (argb >> 3 & 0x001F);
}

DS_ALWAYS_INLINE constexpr uint32_t argb1555Of(uint32_t argb)
{
    return (alphaOf(argb) >> 7) << 15 | (redOf(argb) >> 3) << 10 | (greenOf(argb) >> 3) << 5 | blueOf(argb) >> 3;
}

DS_ALWAYS_INLINE constexpr uint32_t argb4444Of(uint32_t argb)
{
    return (alphaOf(argb) >> 4) << 12 | (redOf(argb) >> 4) << 8 | (greenOf(argb) >> 4) << 4 | blueOf(argb) >> 4;
}

// An opaque colour from an RGB565 word.
DS_ALWAYS_INLINE constexpr uint32_t argbOfRgb565(uint32_t value)
{
    return makeArgb(0xFF, widen5(value >> 11 & 0x1F), widen6(value >> 5 & 0x3F), widen5(value & 0x1F));
}

DS_ALWAYS_INLINE constexpr uint32_t argbOfArgb1555(uint32_t value)
{
    return makeArgb(
        widen1(value >> 15 & 1), widen5(value >> 10 & 0x1F), widen5(value >> 5 & 0x1F), widen5(value & 0x1F));
}

DS_ALWAYS_INLINE constexpr uint32_t argbOfArgb4444(uint32_t value)
{
    return makeArgb(widen4(value >> 12 & 0xF), widen4(value >> 8 & 0xF), widen4(value >> 4 & 0xF), widen4(value & 0xF));
}

} // namespace ds

// The stored value of the colour `argb` in a sized colour mode, its bytes in
// the surface's order from the low byte up (ARGB8888: the word itself; RGB888:
// B | G << 8 | R << 16; ARGB8565: the RGB565 word | A << 16). I8 stores the
// grey level as its index, AI88 the grey level and the alpha, A8 the alpha.
// 0 for a mode without a pixel size.
constexpr uint32_t dsEncodeColor(uint32_t colorMode, uint32_t argb)
{
    switch (colorMode) {
    case ARGB8888: return argb;
    case RGB888: return argb & 0xFFFFFF;
    case RGB565: return ds::rgb565Of(argb);
    case ARGB1555: return ds::argb1555Of(argb);
    case ARGB4444: return ds::argb4444Of(argb);
    case I8: return ds::greyOf(argb);
    case AI88: return ds::alphaOf(argb) << 8 | ds::greyOf(argb);
    case A8: return ds::alphaOf(argb);
    case RGB565_SWAPPED: return ds::swapBytes16(ds::rgb565Of(argb));
    case ARGB8565: return ds::alphaOf(argb) << 16 | ds::rgb565Of(argb);
    default: return 0;
    }
}

// The colour of the stored value `value` of a sized colour mode, as
// dsEncodeColor lays it out: modes without alpha are opaque, I8 and AI88 read
// their byte as a grey level, A8 is black with its alpha. 0 for a mode
// without a pixel size.
constexpr uint32_t dsDecodeColor(uint32_t colorMode, uint32_t value)
{
    switch (colorMode) {
    case ARGB8888: return value;
    case RGB888: return 0xFF000000u | (value & 0xFFFFFF);
    case RGB565: return ds::argbOfRgb565(value);
    case ARGB1555: return ds::argbOfArgb1555(value);
    case ARGB4444: return ds::argbOfArgb4444(value);
    case I8: return ds::greyArgb(0xFF, value & 0xFF);
    case AI88: return ds::greyArgb(value >> 8 & 0xFF, value & 0xFF);
    case A8: return ds::makeArgb(value & 0xFF, 0, 0, 0);
    case RGB565_SWAPPED: return ds::argbOfRgb565(ds::swapBytes16(value));
    case ARGB8565: return (ds::argbOfRgb565(value) & 0xFFFFFF) | (value >> 16 & 0xFF) << 24;
    default: return 0;
    }
}
