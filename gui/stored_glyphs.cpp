#include "stored_glyphs.h"

#include "font_source_text.h"

#include <algorithm>

namespace glyphsmith {

int storedZoom(int viewHeight, int64_t lineHeight)
{
    const int64_t zoom = lineHeight > 0 ? viewHeight / (2 * lineHeight) : kLargestStoredZoom;
    return int(std::clamp<int64_t>(zoom, 1, kLargestStoredZoom));
}

namespace {

// Draws one glyph's stored pixels with its top-left stored pixel at
// (left, top), in stored pixels of `zoom` window pixels a side.
void drawStoredGlyph(const FontGlyph& glyph, int64_t left, int64_t top, int zoom, PreviewImage& image)
{
    for (uint32_t row = 0; row < glyph.rows; ++row)
        for (uint32_t column = 0; column < glyph.width; ++column) {
            const uint8_t value = glyph.pixels[size_t(row) * glyph.width + column];
            image.fillSquare((left + column) * zoom, (top + row) * zoom, zoom, uint8_t(kWhite - value));
        }
}

} // namespace

void composeStoredGlyphs(const FontGlyphSet& glyphs, PreviewImage& image)
{
    const StoredFontMetrics metrics = storedFontMetrics(glyphs.metrics);
    const int zoom = storedZoom(image.height(), metrics.height);
    const int64_t viewWidth = image.width() / zoom;
    const int64_t viewHeight = image.height() / zoom;
    const int64_t lineStep = std::max<int64_t>(metrics.height, 1) + kStoredGap;
    int64_t pen = kStoredGap;
    int64_t lineTop = kStoredGap;
    for (const FontGlyph& glyph : glyphs.glyphs) {
        const int64_t cell = std::max<int64_t>(glyph.width, glyph.xadvance);
        if (pen > kStoredGap && pen + cell > viewWidth) {
            pen = kStoredGap;
            lineTop += lineStep;
        }
        if (lineTop >= viewHeight)
            return;
        if (!glyph.pixels.empty())
            drawStoredGlyph(glyph, pen, lineTop + metrics.ascender - glyph.yoff, zoom, image);
        pen += cell + kStoredGap;
    }
}

} // namespace glyphsmith
