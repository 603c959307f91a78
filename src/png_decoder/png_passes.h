// Scanline geometry of PNG image data: the seven Adam7 passes of an
// interlaced image (or the single pass of a plain one), the bytes of their
// scanlines and the size of the whole filtered image data.
#pragma once

#include <cstdint>

constexpr uint32_t kPngAdam7Passes = 7;

// One pass: the image pixels (x0 + i * dx, y0 + j * dy), stored in the file
// as a sub-image of width x height pixels with scanlines of its own.
struct PngPass {
    uint32_t x0;     // image column of the pass's first pixel
    uint32_t y0;     // image row of its first scanline
    uint32_t dx;     // image columns from one of its pixels to the next
    uint32_t dy;     // image rows from one of its scanlines to the next
    uint32_t width;  // pixels per scanline; 0 when the image is too narrow for the pass
    uint32_t height; // scanlines; 0 when the image is too short for the pass
};

struct PngPasses {
    PngPass pass[kPngAdam7Passes]; // in file order
    uint32_t count;                // 1 for a plain image, 7 for an interlaced one
};

// The passes of a width x height image (both at least 1). A pass may be
// empty (width or height 0): it then has no scanlines in the file at all,
// not even filter-type bytes.
PngPasses pngPasses(uint32_t width, uint32_t height, bool interlaced);

// Bytes of a scanline of `width` pixels of `bitsPerPixel` bits, without its
// filter-type byte: pixels narrower than a byte share bytes, and the last
// byte is padded.
uint64_t pngScanlineBytes(uint32_t width, uint32_t bitsPerPixel);

// Filter-type bytes and scanlines of every pass together: the number of
// bytes the image data inflate to; UINT64_MAX when that does not fit in 64
// bits.
uint64_t pngFilteredSize(const PngPasses& passes, uint32_t bitsPerPixel);

// The longest scanline of any pass, without its filter-type byte.
uint64_t pngWidestScanline(const PngPasses& passes, uint32_t bitsPerPixel);

// The distance in bytes between corresponding bytes of neighbouring pixels,
// which the scanline filters use: whole pixels, or 1 for pixels narrower
// than a byte.
uint32_t pngFilterBytesPerPixel(uint32_t bitsPerPixel);
