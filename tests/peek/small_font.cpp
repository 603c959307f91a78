#include "small_font.h"

#include "font_source_text.h"

namespace {

constexpr int64_t kUnit = 64; // one pixel in 26.6 fixed point

struct SmallGlyph {
    uint32_t code;
    uint32_t width;
    uint32_t rows;
    int32_t xoff;
    int32_t yoff;
    int32_t xadvance;
};

constexpr SmallGlyph kSmallGlyphs[] = {
    {'A', 3, 4, 0, 9, 4}, {'V', 3, 3, -1, 7, 3}, {'g', 2, 4, 0, -1, 3}, {200, 2, 5, 0, 11, 3}, {' ', 0, 0, 0, 0, 2},
};

} // namespace

std::vector<uint8_t> smallFontPixels(uint32_t code)
{
    for (const SmallGlyph& glyph : kSmallGlyphs) {
        if (glyph.code != code)
            continue;
        std::vector<uint8_t> pixels(glyph.width * glyph.rows);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint8_t((code * 37 + i * 101) | 1);
        return pixels;
    }
    return {};
}

std::string smallFontSource(bool castPrev)
{
    std::string text;
    appendIncludeLine(text, "tiny_16.h");
    PresenceTable present{};
    for (const SmallGlyph& small : kSmallGlyphs) {
        const std::vector<uint8_t> pixels = smallFontPixels(small.code);
        RenderedGlyph glyph;
        glyph.bitmap = {small.rows, small.width, int32_t(small.width), pixels.empty() ? nullptr : pixels.data()};
        glyph.xoff = small.xoff;
        glyph.yoff = small.yoff;
        glyph.xadvance = small.xadvance;
        const KerningPairs pairs = small.code == 'A' ? KerningPairs{{'V', -1}, {'A', -3}, {200, -2}} : KerningPairs{};
        appendGlyph(text, small.code, glyph, pairs);
        present[small.code] = true;
    }
    appendFontRecords(text, "tiny_16", {12 * kUnit, 9 * kUnit, -3 * kUnit}, present);
    const std::string plain = "{86, 65, 200, 0};";
    if (castPrev)
        text.replace(text.find(plain), plain.size(), "{86, 65, (char)200, 0};");
    return text;
}
