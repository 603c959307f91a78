// The glyphs of one export as a value: every font code rendered once, with
// its kerning against the other codes and the font's size metrics, ready to
// be written out (font_source_writer.h) or looked at.
#pragma once

#include "character_list.h"
#include "font_rasterizer.h"
#include "font_source_format.h"

#include <cstdint>
#include <vector>

// One rendered glyph that owns its pixels.
struct FontGlyph {
    uint32_t code = 0;           // its slot, 0 to 255
    uint32_t width = 0;          // width in pixels
    uint32_t rows = 0;           // height in pixels
    int32_t xoff = 0;            // pen position to the bitmap's left column
    int32_t yoff = 0;            // baseline up to the bitmap's top row (positive upwards)
    int32_t xadvance = 0;        // horizontal advance in whole pixels
    int32_t yadvance = 0;        // vertical advance in whole pixels
    std::vector<uint8_t> pixels; // rows x width coverage values, top row first; empty without ink
    KerningPairs kerning;        // pairs against the preceding codes, in list order

    // The glyph as the text functions take it; valid while this glyph lives
    // unchanged.
    RenderedGlyph view() const;
};

struct FontGlyphSet {
    SizeMetrics metrics;           // the face's metrics at the export's size
    std::vector<FontGlyph> glyphs; // one per distinct font code, in list order
};

// Sets `height` on the rasterizer's face and renders each code of 0 to 255
// in `codes` once, at its first place in the list (higher codes have no slot
// and are skipped), with the kerning pairs of every listed code before it.
// Throws FTException when the size cannot be set or a glyph cannot be
// rendered.
FontGlyphSet renderFontGlyphs(FontRasterizer& rasterizer, uint32_t height, const CharacterList& codes);
