// How the pixels of a PNG file's scanlines become surface pixels: the one
// description shared by the in-place unfiltering of plain 8-bit images
// (png_unfilter.h) and the conversion of every other depth (png_pixels.h).
#pragma once

#include <cstdint>

// IHDR colour types.
enum PngColorType : uint8_t {
    kPngGrey = 0,
    kPngTruecolour = 2,
    kPngIndexed = 3,
    kPngGreyAlpha = 4,
    kPngTruecolourAlpha = 6,
};

struct PngPixelFormat {
    uint8_t colorType; // a PngColorType
    uint8_t bitDepth;  // IHDR bit depth, one the colour type allows
    bool keyed;        // grey or truecolour with a colour key: an alpha byte follows, 0 on the key
    uint16_t key[3];   // the key: grey, or R, G, B, at the file's bit depth
};

// Samples of one pixel in the scanlines: grey or index 1, grey and alpha 2,
// R, G, B 3, R, G, B, A 4.
constexpr uint32_t pngSamplesPerPixel(uint8_t colorType)
{
    switch (colorType) {
    case kPngGreyAlpha: return 2;
    case kPngTruecolour: return 3;
    case kPngTruecolourAlpha: return 4;
    default: return 1;
    }
}

// Bytes of one surface pixel made from this format: 1 for grey levels and
// palette indices, 2 for grey and alpha, 3 for B, G, R, 4 for B, G, R, A.
// A colour key adds the alpha byte.
constexpr uint32_t pngConvertedBytesPerPixel(const PngPixelFormat& format)
{
    const bool keyable = format.colorType == kPngGrey || format.colorType == kPngTruecolour;
    return pngSamplesPerPixel(format.colorType) + (keyable && format.keyed ? 1 : 0);
}
