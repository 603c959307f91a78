#include "missing_data.h"
#include "preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using glyphsmith::CachedGlyph;
using glyphsmith::PenPosition;
using glyphsmith::PreviewImage;
using glyphsmith::PreviewLayout;

namespace {

std::vector<PenPosition> layCells(int width, int lineHeight, int count)
{
    PreviewLayout layout(width, lineHeight);
    std::vector<PenPosition> cells;
    for (int i = 0; i < count; ++i)
        cells.push_back(layout.nextCell());
    return cells;
}

struct LayoutCase {
    int width;
    int lineHeight;
    std::vector<std::pair<int, int>> cells; // expected (x, y) of the first cells
};

TEST(PreviewLayout, SquareCellsWrapWhenLessThanOneCellRemains)
{
    const std::vector<LayoutCase> cases = {
        {100, 30, {{0, 30}, {30, 30}, {60, 30}, {0, 60}, {30, 60}}},
        {90, 30, {{0, 30}, {30, 30}, {60, 30}, {0, 60}}}, // exact fit: three per row
        {89, 30, {{0, 30}, {30, 30}, {0, 60}, {30, 60}}},
        {20, 30, {{0, 60}, {0, 90}}}, // narrower than a cell: one cell per row
    };
    for (const LayoutCase& c : cases) {
        const std::vector<PenPosition> cells = layCells(c.width, c.lineHeight, int(c.cells.size()));
        for (size_t i = 0; i < cells.size(); ++i) {
            EXPECT_EQ(cells[i].x, c.cells[i].first) << "width " << c.width << " cell " << i;
            EXPECT_EQ(cells[i].y, c.cells[i].second) << "width " << c.width << " cell " << i;
        }
    }
}

TEST(PreviewLayout, RowsFarBelowTheCanvasAreHidden)
{
    const PreviewLayout layout(800, 42);
    EXPECT_FALSE(layout.belowCanvas(600, 600));
    EXPECT_FALSE(layout.belowCanvas(683, 600));
    EXPECT_TRUE(layout.belowCanvas(684, 600));
}

TEST(BlendPoint, CoverageDrawnAtAlpha80InInvertedGrey)
{
    EXPECT_EQ(glyphsmith::blendPoint(255, 255), 175);
    EXPECT_EQ(glyphsmith::blendPoint(255, 1), 255);
    EXPECT_EQ(glyphsmith::blendPoint(255, 128), 215);
    EXPECT_EQ(glyphsmith::blendPoint(0, 0), 80);
    EXPECT_EQ(glyphsmith::blendPoint(175, 255), 120); // a second full point over the first
}

CachedGlyph twoByTwo()
{
    CachedGlyph glyph;
    glyph.rows = 2;
    glyph.width = 2;
    glyph.xoff = 1;
    glyph.yoff = 2;
    glyph.pixels = {255, 0, 128, 255};
    return glyph;
}

TEST(PreviewImage, GlyphLandsAtPenPlusOffsetsAndClips)
{
    PreviewImage image(6, 5);
    image.drawGlyph(2, 3, twoByTwo()); // top-left pixel at (3, 1)
    EXPECT_EQ(image.at(3, 1), 175);
    EXPECT_EQ(image.at(4, 1), 255); // coverage 0 draws nothing
    EXPECT_EQ(image.at(3, 2), 215);
    EXPECT_EQ(image.at(4, 2), 175);
    EXPECT_EQ(image.at(2, 1), 255);

    PreviewImage corner(3, 3);
    corner.drawGlyph(-2, 1, twoByTwo()); // columns -1 and 0, rows -1 and 0
    EXPECT_EQ(corner.at(0, 0), 175);
    corner.drawGlyph(1, 4, twoByTwo()); // columns 2 and 3, rows 2 and 3
    EXPECT_EQ(corner.at(2, 2), 175);
    int inked = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            inked += corner.at(x, y) != 255;
    EXPECT_EQ(inked, 2); // one pixel of each glyph shows
}

TEST(PreviewImage, HugeOffsetsAndEmptySizesAreHarmless)
{
    CachedGlyph glyph = twoByTwo();
    glyph.xoff = 2147483647;
    glyph.yoff = -2147483647 - 1;
    PreviewImage image(4, 4);
    image.drawGlyph(2147483647, 2147483647, glyph);
    PreviewImage empty(-3, 10);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.height(), 0);
    empty.drawGlyph(0, 1, twoByTwo());
}

TEST(PreviewImage, OverlappingPointsBlendAgain)
{
    PreviewImage image(4, 4);
    image.drawGlyph(0, 2, twoByTwo());
    image.drawGlyph(0, 2, twoByTwo());
    EXPECT_EQ(image.at(1, 0), 120);
    std::vector<uint8_t> rgb(4 * 4 * 3);
    image.copyRgb(rgb.data());
    EXPECT_EQ(rgb[3], 120);
    EXPECT_EQ(rgb[4], 120);
    EXPECT_EQ(rgb[5], 120);
    EXPECT_EQ(rgb[0], 255);
}

std::string dejaVuSans()
{
    std::string path;
    if (std::FILE* pipe = popen("fc-match -f '%{file}' DejaVuSans 2>/dev/null", "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            path += buffer;
        pclose(pipe);
    }
    return path;
}

class ComposePreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = dejaVuSans();
        std::FILE* probe = font.empty() ? nullptr : std::fopen(font.c_str(), "rb");
        if (probe == nullptr)
            SKIP_FOR_MISSING("DejaVuSans not found (fonts-dejavu-core)");
        std::fclose(probe);
    }
    std::string font;
    FontRasterizer rasterizer;
    glyphsmith::GlyphCache cache;
};

// Every point of `image` that differs from white, as (x, y) pairs.
std::vector<std::pair<int, int>> inkedPoints(const PreviewImage& image)
{
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.at(x, y) != 255)
                points.emplace_back(x, y);
    return points;
}

TEST_F(ComposePreview, WithoutFontStaysWhite)
{
    PreviewImage image(100, 100);
    composePreview(rasterizer, cache, {65, 66}, image);
    EXPECT_TRUE(inkedPoints(image).empty());
}

TEST_F(ComposePreview, GlyphsSitInTheirCellsAsFreeTypeRendersThem)
{
    rasterizer.loadFont(font);
    PreviewImage image(800, 600);
    composePreview(rasterizer, cache, {32, 65, 66}, image);

    // Expected from the rasteriser directly: code 65 in the second cell,
    // 66 in the third, the baseline one line height from the top.
    rasterizer.setPixelSize(36);
    const int line = rasterizer.lineHeight();
    ASSERT_GT(line, 36);
    std::vector<std::pair<int, int>> expected;
    for (int cell = 1; cell <= 2; ++cell) {
        RenderedGlyph glyph;
        rasterizer.renderGlyph(64 + cell, glyph);
        for (uint32_t r = 0; r < glyph.bitmap.rows; ++r)
            for (uint32_t c = 0; c < glyph.bitmap.width; ++c)
                if (glyph.bitmap.buffer[r * glyph.bitmap.pitch + c] > 1)
                    expected.emplace_back(cell * line + glyph.xoff + int(c), line - glyph.yoff + int(r));
    }
    std::sort(expected.begin(), expected.end(),
        [](auto a, auto b) { return std::make_pair(a.second, a.first) < std::make_pair(b.second, b.first); });
    EXPECT_EQ(inkedPoints(image), expected);
}

TEST_F(ComposePreview, CacheSurvivesAnExportSizeAndIsReusedForRepaint)
{
    rasterizer.loadFont(font);
    PreviewImage first(800, 600);
    composePreview(rasterizer, cache, {65, 66, 65}, first);
    EXPECT_EQ(cache.size(), 2u);
    rasterizer.setPixelSize(16); // as an export leaves it
    PreviewImage second(800, 600);
    composePreview(rasterizer, cache, {65, 66, 65}, second);
    EXPECT_EQ(inkedPoints(first), inkedPoints(second));
}

TEST_F(ComposePreview, LongListsStopBelowTheCanvas)
{
    rasterizer.loadFont(font);
    PreviewImage image(800, 600);
    composePreview(rasterizer, cache, CharacterList(100000, 65), image);
    EXPECT_EQ(cache.size(), 1u);
    CharacterList many;
    for (uint32_t code = 0; code < 100000; ++code)
        many.push_back(code);
    cache.clear();
    composePreview(rasterizer, cache, many, image);
    EXPECT_LT(cache.size(), 400u); // only the cells that can show were rendered
}

} // namespace
