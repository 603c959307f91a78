// Packs a rendered glyph set (packed_glyphs.h) into the tables of the packed
// format, one PackedFont per rotation.
#pragma once

#include "packed_font.h"
#include "packed_glyphs.h"

#include <cstdint>
#include <vector>

struct PackedFontOptions {
    uint32_t bpp = 8;                // 1, 2, 4 or 8
    bool compressed = false;         // coded images instead of plain levels
    std::vector<uint32_t> rotations; // ascending, from 0, 90, 180, 270
};

// A coverage value (0 to 255) as the nearest of the 2^bpp levels; the
// device draws level L back as L x 255 / (2^bpp - 1).
uint8_t coverageLevel(uint8_t coverage, uint32_t bpp);

// The fonts of `glyphs`, one per rotation of `options`, in that order. Each
// glyph's image is quantised to bpp bits and loses its uncovered border
// rows and columns (which draw nothing); kerning becomes classes: glyphs
// that kern alike as left glyphs share a left class, as right glyphs a
// right class. Throws std::runtime_error when the glyphs do not fit the
// format's 16-bit counts and fields.
std::vector<PackedFont> buildPackedFonts(const PackedGlyphSet& glyphs, const PackedFontOptions& options);
