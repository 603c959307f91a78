// Pixels of unfiltered PNG scanlines of any bit depth, reduced to the
// surface's 8-bit colour modes: 16-bit samples keep their high byte, 1-, 2-
// and 4-bit grey levels are scaled to 0-255 by repeating their bits, 1-, 2-
// and 4-bit palette indices become one byte each, and a colour key is
// compared with the samples at the file's own bit depth, before any of this.
#pragma once

#include "png_pixel_format.h"

#include <cstdint>

// Converts the first `count` pixels of the unfiltered scanline `scanline`
// into surface pixels written at out, out + step, out + 2 * step, ...:
// grey levels (I8 and A8), palette indices (I8), grey and alpha (AI88), or
// B, G, R (RGB888) and B, G, R, A (ARGB8888), each reordered from the file.
void pngConvertPixels(
    const PngPixelFormat& format, const uint8_t* scanline, uint32_t count, uint8_t* out, uint64_t step);
