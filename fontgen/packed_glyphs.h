// The glyphs of a packed export: every listed Unicode character that one of
// the fonts has, rendered once from the first font that has it, and every
// kerning pair FreeType gives between them.
#pragma once

#include "character_list.h"
#include "font_glyph_set.h"
#include "font_rasterizer.h"

#include <cstdint>
#include <vector>

// A kerning pair between two glyphs of the set, by their positions.
struct PackedKerningPair {
    uint32_t left;  // the glyph that comes first in the text
    uint32_t right; // the glyph that follows it
    int32_t delta;  // pen movement in whole pixels, never 0
};

// The glyphs' codes are their characters; their kerning lists stay empty,
// the pairs being the set's.
struct PackedGlyphSet {
    SizeMetrics metrics;                  // the main face's metrics at the export's size
    std::vector<FontGlyph> glyphs;        // ascending characters, each once
    std::vector<PackedKerningPair> pairs; // left-major, then by right
    CharacterList missing;                // listed characters no font has: ascending, each once
};

// Sets `height` on every face and renders each character of `characters`
// (any order, duplicates allowed) from the first of `fonts` that has it;
// a character none has goes to `missing`. Pairs are looked up between
// every two glyphs of the same font (FreeType's kerning, whole pixels
// rounded down); there is none across fonts. Throws FTException when a
// size cannot be set or a glyph cannot be rendered.
PackedGlyphSet renderPackedGlyphs(
    const FontSources& fonts, uint32_t height, const CharacterList& characters, GlyphRendering rendering);
