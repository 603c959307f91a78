#include "font_glyph_set.h"

#include "font_source_text.h"

#include <algorithm>

namespace {

// The codes that get a glyph: each code of 0 to 255 once, at its first
// place in the list. A second definition under the same names would not
// compile, and higher codes have no slot in the font's tables.
CharacterList fontCodes(const CharacterList& codes)
{
    PresenceTable seen{};
    CharacterList distinct;
    for (uint32_t code : codes) {
        if (code > kLargestFontCode || seen[code])
            continue;
        seen[code] = true;
        distinct.push_back(code);
    }
    return distinct;
}

// A kerning delta as its signed 8-bit field holds it: clamped, never wrapped.
int8_t kerningDelta(int32_t pixels)
{
    return int8_t(std::clamp<int32_t>(pixels, INT8_MIN, INT8_MAX));
}

// Kerning pairs of `code` against every font code that may precede it, the
// code itself included, in list order. Code 0 would end the 0-terminated
// table of preceding codes, so its pairs are left out.
KerningPairs kerningPairs(const FontRasterizer& rasterizer, const CharacterList& codes, uint32_t code)
{
    KerningPairs pairs;
    for (uint32_t prev : codes) {
        const int32_t delta = prev == 0 ? 0 : rasterizer.kerning(prev, code);
        if (delta != 0)
            pairs.push_back({uint8_t(prev), kerningDelta(delta)});
    }
    return pairs;
}

// A copy of `rendered`, whose bitmap lives only until the next rendering.
FontGlyph keptGlyph(uint32_t code, const RenderedGlyph& rendered)
{
    FontGlyph glyph;
    glyph.code = code;
    const GlyphBitmap& bitmap = rendered.bitmap;
    if (bitmap.buffer) {
        glyph.width = bitmap.width;
        glyph.rows = bitmap.rows;
        glyph.pixels.reserve(size_t(bitmap.rows) * bitmap.width);
        for (uint32_t row = 0; row < bitmap.rows; ++row) {
            const uint8_t* line = bitmap.buffer + size_t(row) * size_t(bitmap.pitch);
            glyph.pixels.insert(glyph.pixels.end(), line, line + bitmap.width);
        }
    }
    glyph.xoff = rendered.xoff;
    glyph.yoff = rendered.yoff;
    glyph.xadvance = rendered.xadvance;
    glyph.yadvance = rendered.yadvance;
    return glyph;
}

} // namespace

RenderedGlyph FontGlyph::view() const
{
    RenderedGlyph glyph;
    if (!pixels.empty()) {
        glyph.bitmap.rows = rows;
        glyph.bitmap.width = width;
        glyph.bitmap.pitch = int32_t(width);
        glyph.bitmap.buffer = pixels.data();
    }
    glyph.xoff = xoff;
    glyph.yoff = yoff;
    glyph.xadvance = xadvance;
    glyph.yadvance = yadvance;
    return glyph;
}

FontGlyphSet renderFontGlyphs(FontRasterizer& rasterizer, uint32_t height, const CharacterList& codes)
{
    rasterizer.setPixelSize(height);
    FontGlyphSet set;
    set.metrics = rasterizer.sizeMetrics();
    const CharacterList glyphCodes = fontCodes(codes);
    RenderedGlyph rendered;
    for (uint32_t code : glyphCodes) {
        rasterizer.renderGlyph(code, rendered);
        set.glyphs.push_back(keptGlyph(code, rendered));
        set.glyphs.back().kerning = kerningPairs(rasterizer, glyphCodes, code);
    }
    return set;
}
