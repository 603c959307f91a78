// Surfaces in another colour mode: the upright decoded image converted pixel
// by pixel with the rules of ds_color.h, plain or with error diffusion, and
// the palette file of an I8 surface.
#pragma once

#include "ds_surface.h"

#include <stdint.h>

// True for the modes --dither takes: those whose channels have fewer than
// 8 bits (RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED, ARGB8565).
bool dsCanDither(uint32_t colorMode);

// A new upright surface of `colorMode` (any sized mode but I8) holding the
// colours of the upright surface `source` as dsEncodeColor stores them: the
// drawing library's general path, with the dithering as a step per row.
// With `dither` (for a mode dsCanDither takes) the colour channels get
// Floyd-Steinberg error diffusion: the error of each pixel, measured against
// the colour the stored value shows (dsDecodeColor), goes 7/16 to the next
// pixel of its row and 3/16, 5/16, 1/16 to the three below it; the rows run
// alternately left to right and right to left (serpentine), which keeps the
// error from piling up along one edge. Alpha is not dithered, so that edges
// of sprites stay clean. Integer arithmetic only: the same input gives the
// same bytes on every machine. Null when the memory cannot be had, when a
// surface is rotated or when the mode cannot be made.
DsSurface* dsConvertSurface(const DsSurface& source, uint32_t colorMode, bool dither);

// True when a pixel of `surface` reads (through its palette, if it has one)
// with an alpha below 255: the image has transparency that a mode without
// alpha would drop. False for an invalid surface.
bool dsHasTranslucentPixel(const DsSurface& surface);

// The palette file of an I8 surface: a little-endian 32-bit entry count
// (1 to DsSurface::kMaxPaletteSize), then 4 bytes per entry, B, G, R, A (A
// 255 for a palette without alpha): the entries as DsSurface::usePalette
// takes them with alpha.
constexpr uint64_t kDsPaletteFileHeaderBytes = 4;
constexpr uint64_t kDsPaletteFileEntryBytes = 4;

// Size of the palette file of `surface`, 0 when it has no palette.
uint64_t dsPaletteFileSize(const DsSurface& surface);
// Writes that file into `destination` (dsPaletteFileSize bytes).
void dsWritePaletteFile(const DsSurface& surface, uint8_t* destination);

// A palette file read in place.
struct DsPaletteFile {
    const uint8_t* entries; // `count` entries of B, G, R, A
    uint16_t count;         // 1 to DsSurface::kMaxPaletteSize
};

// Reads the palette file of `size` bytes at `data`, leaving its entries
// there. False for a count out of range or a size that is not exactly the
// count's.
bool dsReadPaletteFile(const uint8_t* data, uint64_t size, DsPaletteFile& palette);
