#include "font_glyph_set.h"

#include "font_source_text.h"

#include <algorithm>
#include <optional>

namespace {

// The slots that get a glyph: each code of 0 to 255 once, at its first
// place in the list. A second definition under the same names would not
// compile, and higher codes have no slot in the font's tables.
GlyphSlots fontSlots(const GlyphSlots& slots)
{
    PresenceTable seen{};
    GlyphSlots distinct;
    for (const GlyphSlot& slot : slots) {
        if (slot.code > kLargestFontCode || seen[slot.code])
            continue;
        seen[slot.code] = true;
        distinct.push_back(slot);
    }
    return distinct;
}

// A kerning delta as its signed 8-bit field holds it: clamped, never wrapped.
int8_t kerningDelta(int32_t pixels)
{
    return int8_t(std::clamp<int32_t>(pixels, INT8_MIN, INT8_MAX));
}

// Kerning pairs of `glyph` against every glyph from the same font that may
// precede it, itself included, in list order, looked up by their
// characters. Code 0 would end the 0-terminated table of preceding codes, so
// its pairs are left out.
KerningPairs kerningPairs(const FontSources& fonts, const std::vector<FontGlyph>& glyphs, const FontGlyph& glyph)
{
    KerningPairs pairs;
    for (const FontGlyph& prev : glyphs) {
        if (prev.code == 0 || prev.font != glyph.font)
            continue;
        if (const int32_t delta = fonts[glyph.font]->kerning(prev.character, glyph.character))
            pairs.push_back({uint8_t(prev.code), kerningDelta(delta)});
    }
    return pairs;
}

// The first of `fonts` that has `character`, or none.
std::optional<uint32_t> sourceFont(const FontSources& fonts, uint32_t character)
{
    for (size_t index = 0; index < fonts.size(); ++index)
        if (fonts[index]->hasCharacter(character))
            return uint32_t(index);
    return std::nullopt;
}

} // namespace

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

FontGlyphSet renderFontGlyphs(const FontSources& fonts, uint32_t height, const GlyphSlots& slots)
{
    for (FontRasterizer* font : fonts)
        font->setPixelSize(height);
    FontGlyphSet set;
    set.metrics = fonts.front()->sizeMetrics();
    RenderedGlyph rendered;
    for (const GlyphSlot& slot : fontSlots(slots)) {
        const std::optional<uint32_t> found = sourceFont(fonts, slot.character);
        const uint32_t font = found.value_or(0);
        fonts[font]->renderGlyph(slot.character, rendered);
        set.glyphs.push_back(keptGlyph(slot.code, rendered));
        set.glyphs.back().character = slot.character;
        set.glyphs.back().font = font;
        set.glyphs.back().inNoFont = !found;
    }
    for (FontGlyph& glyph : set.glyphs)
        glyph.kerning = kerningPairs(fonts, set.glyphs, glyph);
    return set;
}

FontGlyphSet renderFontGlyphs(FontRasterizer& rasterizer, uint32_t height, const CharacterList& codes)
{
    GlyphSlots slots;
    for (uint32_t code : codes)
        slots.push_back({code, code});
    return renderFontGlyphs(FontSources{&rasterizer}, height, slots);
}
