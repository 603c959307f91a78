// The glyphs of one export as a value: every font code rendered once, from
// the character it shows and the first font that has it, with its kerning
// against the other codes and the main font's size metrics, ready to be
// written out (font_source_writer.h) or looked at.
#pragma once

#include "character_list.h"
#include "font_rasterizer.h"
#include "font_source_format.h"

#include <cstdint>
#include <vector>

// One rendered glyph that owns its pixels.
struct FontGlyph {
    uint32_t code = 0;           // its slot, 0 to 255
    uint32_t character = 0;      // the Unicode character rendered
    uint32_t font = 0;           // the font it came from: 0 the main font, 1 on the fallbacks
    bool inNoFont = false;       // no font has the character: the main font's missing-glyph stands for it
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

// A copy of `rendered` as the glyph of `code`, whose bitmap lives only
// until the next rendering.
FontGlyph keptGlyph(uint32_t code, const RenderedGlyph& rendered);

struct FontGlyphSet {
    SizeMetrics metrics;           // the main face's metrics at the export's size
    std::vector<FontGlyph> glyphs; // one per distinct font code, in list order
};

// One slot of an export: the code and the character it shows.
struct GlyphSlot {
    uint32_t code;      // 0 to 255; higher codes have no slot and are skipped
    uint32_t character; // Unicode character
};
using GlyphSlots = std::vector<GlyphSlot>;

// The fonts an export draws from: the main font first, then the fallbacks
// in the order they are tried. Each has a face open.
using FontSources = std::vector<FontRasterizer*>;

// Sets `height` on every face and renders each code of `slots` once, at its
// first place in the list, from the first font that has its character (the
// main font's missing-glyph when none has it). Fallback glyphs keep their
// own placement against the baseline, which all faces share. A glyph gets
// the kerning pairs of every listed code before it from the same font;
// there is no kerning across fonts. Throws FTException when a size cannot
// be set or a glyph cannot be rendered.
FontGlyphSet renderFontGlyphs(const FontSources& fonts, uint32_t height, const GlyphSlots& slots);

// The same with one font and code N showing U+N.
FontGlyphSet renderFontGlyphs(FontRasterizer& rasterizer, uint32_t height, const CharacterList& codes);
