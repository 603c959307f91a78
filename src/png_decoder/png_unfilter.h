// Undoing PNG scanline filters: in place, from the filtered data at the tail
// of a surface's pixel buffer into the surface's rows at its start, or one
// scanline at a time at any pixel size.
#pragma once

#include "png_pixel_format.h"

#include <cstdint>

struct PngUnfilterJob {
    uint8_t* pixels;         // surface row 0; row r starts at pixels + r * pitch
    uint64_t pitch;          // bytes from one surface row to the next
    uint32_t width;          // pixels per row
    uint32_t height;         // rows
    const uint8_t* filtered; // height filtered scanlines (type byte, then the row), inside the same buffer
    PngPixelFormat format;   // the file's pixels, of 8-bit samples, and the surface pixels they become
};

// The two implementations of the row loops. Both give the same bytes; the
// vector one uses SSE2 where the compiler targets it and is the default.
// Without SSE2 a request for the vector path runs the portable one.
enum class PngUnfilterPath {
    Portable, // plain C++, one loop per filter type and pixel layout
    Vector,   // SSE2 rows for Up and None, and for Sub, Average and Paeth on 3- and 4-byte pixels
};

// Reconstructs every row, writing surface bytes only after reading every file
// byte of the same row up to them, so the filtered data may share the buffer
// as long as no surface pixel ends past the first file byte not yet read (the
// decoder checks this before it calls). Returns false at a filter type above
// 4; the rows are then partly written.
bool pngUnfilter(const PngUnfilterJob& job);

// pngUnfilter on the given path.
bool pngUnfilterOnPath(const PngUnfilterJob& job, PngUnfilterPath path);

// Undoes the filter of one scanline of `bytes` bytes in place. `bpp` is the
// distance between corresponding bytes of neighbouring pixels (1 to 8, see
// pngFilterBytesPerPixel); `prior` is the unfiltered scanline before it in
// its pass, or null for the first scanline of a pass, whose neighbours above
// count as 0. Returns false for a filter type above 4, leaving the scanline
// unchanged.
bool pngUnfilterScanline(uint8_t* scanline, const uint8_t* prior, uint64_t bytes, uint32_t bpp, uint8_t filter);
