// Pixels of unfiltered PNG scanlines of any bit depth, reduced to the
// surface's 8-bit colour modes: 16-bit samples keep their high byte, 1-, 2-
// and 4-bit grey levels are scaled to 0-255 by repeating their bits, 1-, 2-
// and 4-bit palette indices become one byte each, and a colour key is
// compared with the samples at the file's own bit depth, before any of this.
#pragma once

#include <cstdint>

struct PngPixelFormat {
    uint8_t colorType; // IHDR colour type: 0, 2, 3, 4 or 6
    uint8_t bitDepth;  // IHDR bit depth, one the colour type allows
    bool keyed;        // grey or truecolour with a colour key: an alpha byte follows, 0 on the key
    uint16_t key[3];   // the key: grey, or R, G, B, at the file's bit depth
};

// Bytes of one surface pixel made from this format: 1 for grey levels and
// palette indices, 2 for grey and alpha, 3 for B, G, R, 4 for B, G, R, A.
uint32_t pngConvertedBytesPerPixel(const PngPixelFormat& format);

// Converts the first `count` pixels of the unfiltered scanline `scanline`
// into surface pixels written at out, out + step, out + 2 * step, ...:
// grey levels (I8 and A8), palette indices (I8), grey and alpha (AI88), or
// B, G, R (RGB888) and B, G, R, A (ARGB8888), each reordered from the file.
void pngConvertPixels(
    const PngPixelFormat& format, const uint8_t* scanline, uint32_t count, uint8_t* out, uint64_t step);
