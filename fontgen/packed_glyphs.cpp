#include "packed_glyphs.h"

#include <algorithm>

namespace {

CharacterList sortedDistinct(CharacterList characters)
{
    std::sort(characters.begin(), characters.end());
    characters.erase(std::unique(characters.begin(), characters.end()), characters.end());
    return characters;
}

// The first of `fonts` that has `character`, or fonts.size().
uint32_t sourceFont(const FontSources& fonts, uint32_t character)
{
    for (size_t index = 0; index < fonts.size(); ++index)
        if (fonts[index]->hasCharacter(character))
            return uint32_t(index);
    return uint32_t(fonts.size());
}

// Every non-zero pair between glyphs of one font, left-major.
std::vector<PackedKerningPair> kerningPairs(const FontSources& fonts, const std::vector<FontGlyph>& glyphs)
{
    std::vector<PackedKerningPair> pairs;
    for (uint32_t left = 0; left < glyphs.size(); ++left) {
        const FontRasterizer& font = *fonts[glyphs[left].font];
        if (!font.hasKerning())
            continue;
        for (uint32_t right = 0; right < glyphs.size(); ++right) {
            if (glyphs[right].font != glyphs[left].font)
                continue;
            if (const int32_t delta = font.kerning(glyphs[left].character, glyphs[right].character))
                pairs.push_back({left, right, delta});
        }
    }
    return pairs;
}

} // namespace

PackedGlyphSet renderPackedGlyphs(
    const FontSources& fonts, uint32_t height, const CharacterList& characters, GlyphRendering rendering)
{
    for (FontRasterizer* font : fonts)
        font->setPixelSize(height);
    PackedGlyphSet set;
    set.metrics = fonts.front()->sizeMetrics();
    RenderedGlyph rendered;
    for (uint32_t character : sortedDistinct(characters)) {
        const uint32_t font = sourceFont(fonts, character);
        if (font == fonts.size()) {
            set.missing.push_back(character);
            continue;
        }
        fonts[font]->renderGlyph(character, rendered, rendering);
        set.glyphs.push_back(keptGlyph(character, rendered));
        set.glyphs.back().character = character;
        set.glyphs.back().font = font;
    }
    set.pairs = kerningPairs(fonts, set.glyphs);
    return set;
}
