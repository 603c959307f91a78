// The view of the glyphs as stored: the zoom chosen for the font's line
// height, and every stored value drawn as a square of its grey where the
// layout puts the glyph, wrapping to the next line when a glyph does not fit.
#include "stored_glyphs.h"

#include <gtest/gtest.h>

namespace {

using glyphsmith::composeStoredGlyphs;
using glyphsmith::PreviewImage;
using glyphsmith::storedZoom;

TEST(StoredGlyphs, ZoomFillsTwoLinesWithinItsLimits)
{
    const struct {
        int viewHeight;
        int64_t lineHeight;
        int zoom;
    } cases[] = {{200, 19, 5}, {200, 5, 8}, {200, 100, 1}, {200, 300, 1}, {200, 0, 8}, {200, -4, 8}, {40, 10, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(storedZoom(c.viewHeight, c.lineHeight), c.zoom) << c.viewHeight << " " << c.lineHeight;
}

FontGlyph glyph(uint32_t width, uint32_t rows, int32_t yoff, int32_t xadvance, std::vector<uint8_t> pixels)
{
    FontGlyph made;
    made.width = width;
    made.rows = rows;
    made.yoff = yoff;
    made.xadvance = xadvance;
    made.pixels = std::move(pixels);
    return made;
}

TEST(StoredGlyphs, EachStoredValueIsASquareOfItsGrey)
{
    FontGlyphSet glyphs;
    glyphs.metrics.height = 5 * 64 + 63; // 26.6 fixed point: the stored font drops the fraction
    glyphs.metrics.ascender = 4 * 64 + 10;
    glyphs.glyphs.push_back(glyph(2, 2, 3, 3, {0, 255, 128, 64}));               // at pen 1
    glyphs.glyphs.push_back(glyph(0, 0, 0, 2, {}));                              // no ink: pen 5 to 8
    glyphs.glyphs.push_back(glyph(13, 1, 1, 13, std::vector<uint8_t>(13, 200))); // 8 + 13 > 20: next line
    PreviewImage image(40, 20);                                                  // zoom 2: 20 x 10 stored pixels
    composeStoredGlyphs(glyphs, image);
    const struct {
        int x;
        int y;
        uint8_t grey;
    } pixels[] = {
        {2, 4, 255}, {3, 5, 255}, // stored (1, 2): value 0
        {4, 4, 0}, {5, 5, 0},     // stored (2, 2): value 255
        {2, 6, 127}, {3, 7, 127}, // stored (1, 3): value 128
        {4, 6, 191}, {5, 7, 191}, // stored (2, 3): value 64
        {6, 4, 255}, {1, 4, 255}, // beside the glyph
        {2, 20 - 1, 255},         // the second line's glyph lies below the view: left out
    };
    for (const auto& p : pixels)
        EXPECT_EQ(image.at(p.x, p.y), p.grey) << p.x << ", " << p.y;
    // A taller view shows the wrapped glyph at the second line: top 1 + 6,
    // baseline 4 below it, yoff 1: stored row 10, from stored column 1.
    PreviewImage tall(40, 48); // zoom 4: 10 x 12 stored pixels
    glyphs.glyphs.resize(1);
    glyphs.glyphs.push_back(glyph(3, 1, 1, 3, {200, 200, 200}));
    glyphs.glyphs.push_back(glyph(3, 1, 1, 3, {100, 100, 100}));
    composeStoredGlyphs(glyphs, tall);
    EXPECT_EQ(tall.at(4 * 5, 4 * 4), 55);   // second glyph: pen 1 + 3 + 1, row 1 + 4 - 1
    EXPECT_EQ(tall.at(4 * 1, 4 * 10), 155); // third glyph wrapped: stored (1, 10)
}

} // namespace
