#include "coverage_bitmap.h"
#include "font_glyph_set.h"
#include "font_rasterizer.h"
#include "missing_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <vector>

namespace {

constexpr uint32_t kMissingCode = 0x10FFFD; // a private-use code DejaVuSans does not map

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FTException& error) {
        return error.what();
    }
    return "";
}

class FontRasterizerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fontPath = testFontPath();
        if (fontPath.empty())
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
        rasterizer.loadFont(fontPath);
        rasterizer.setPixelSize(16);
    }

    std::string fontPath;
    FontRasterizer rasterizer;
};

TEST_F(FontRasterizerTest, SpaceHasNoPixelsButAnAdvance)
{
    RenderedGlyph glyph;
    rasterizer.renderGlyph(' ', glyph);
    EXPECT_EQ(glyph.bitmap.rows, 0u);
    EXPECT_EQ(glyph.bitmap.width, 0u);
    EXPECT_EQ(glyph.bitmap.buffer, nullptr);
    EXPECT_GT(glyph.xadvance, 0);
}

TEST_F(FontRasterizerTest, UnmappedCodeRendersTheMissingGlyph)
{
    RenderedGlyph missing;
    rasterizer.renderGlyph(kMissingCode, missing);
    ASSERT_NE(missing.bitmap.buffer, nullptr);
    const std::vector<uint8_t> first(
        missing.bitmap.buffer, missing.bitmap.buffer + missing.bitmap.rows * missing.bitmap.pitch);
    RenderedGlyph again;
    rasterizer.renderGlyph(kMissingCode + 1, again);
    ASSERT_EQ(again.bitmap.rows, missing.bitmap.rows);
    EXPECT_EQ(std::vector<uint8_t>(again.bitmap.buffer, again.bitmap.buffer + first.size()), first);
}

// Kerning looks glyphs up by their full codes, above 127 and 255 included.
TEST_F(FontRasterizerTest, KerningLooksUpFullCodes)
{
    rasterizer.setPixelSize(48);
    const struct {
        uint32_t left, right;
        int32_t pixels; // FreeType's kerning of DejaVuSans at 48 pixels
    } pairs[] = {
        {'A', 'V', -3}, {'T', 0xE9, -8}, {'Y', 0xE9, -6}, {0xC0, 'T', -4}, {'V', 0xE0, -4},
        {0x141, 'V', 0}, // not 'A', although 0x141 ends in 0x41
        {0x1C1, 'V', 0}, // nor 0xC1
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(rasterizer.kerning(pair.left, pair.right), pair.pixels) << pair.left << " " << pair.right;
}

TEST_F(FontRasterizerTest, FailedLoadKeepsTheOpenFace)
{
    EXPECT_EQ(messageOf([&] { rasterizer.loadFont("/nonexistent/font.ttf"); }), "cannot load font file");
    EXPECT_TRUE(rasterizer.hasFont());
    EXPECT_GT(rasterizer.lineHeight(), 16);
    RenderedGlyph glyph;
    rasterizer.renderGlyph('A', glyph);
    EXPECT_NE(glyph.bitmap.buffer, nullptr);
}

// What the desktop program's Load Font may be given besides a font file: a
// FIFO no one writes to, a folder, a device. Each is refused at once; a load
// that waits is released by opening the FIFO for writing, and fails the test.
TEST_F(FontRasterizerTest, FilesThatAreNoFontFilesAreRefusedWithoutWaiting)
{
    TemporaryDirectory folder;
    const std::string fifo = folder.file("font.ttf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {fifo, folder.path(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        std::future<std::string> loading =
            std::async(std::launch::async, [&] { return messageOf([&] { rasterizer.loadFont(path); }); });
        if (loading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << "loadFont waited for a writer";
            close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(loading.get(), "cannot load font file");
        EXPECT_TRUE(rasterizer.hasFont());
    }
}

TEST_F(FontRasterizerTest, SizeMetricsFollowThePixelSize)
{
    const SizeMetrics small = rasterizer.sizeMetrics();
    rasterizer.setPixelSize(32);
    const SizeMetrics large = rasterizer.sizeMetrics();
    EXPECT_GT(large.height, small.height);
    EXPECT_GT(small.ascender, 0);
    EXPECT_LT(small.descender, 0);
    EXPECT_EQ(rasterizer.lineHeight(), int32_t(large.height >> 6));
}

TEST(FontRasterizerWithoutFace, ReportsNothingAndRefusesWork)
{
    FontRasterizer rasterizer;
    EXPECT_FALSE(rasterizer.hasFont());
    EXPECT_EQ(rasterizer.lineHeight(), 0);
    EXPECT_EQ(rasterizer.sizeMetrics().height, 0);
    EXPECT_EQ(rasterizer.kerning('A', 'V'), 0);
    EXPECT_EQ(messageOf([&] { rasterizer.setPixelSize(16); }), "cannot set char size");
    RenderedGlyph glyph;
    EXPECT_EQ(messageOf([&] { rasterizer.renderGlyph('A', glyph); }), "cannot load glyph");
    EXPECT_EQ(messageOf([&] { renderFontGlyphs(rasterizer, 16, {65}); }), "cannot set char size");
}

FT_Bitmap makeBitmap(unsigned char mode, unsigned rows, unsigned width, int pitch, std::vector<uint8_t>& bytes)
{
    FT_Bitmap bitmap{};
    bitmap.pixel_mode = mode;
    bitmap.rows = rows;
    bitmap.width = width;
    bitmap.pitch = pitch;
    bitmap.num_grays = mode == FT_PIXEL_MODE_GRAY ? 256 : 0;
    bitmap.buffer = bytes.data();
    return bitmap;
}

struct CoverageCase {
    const char* name;
    unsigned char mode;
    unsigned rows, width;
    int pitch;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> coverage; // expected, top row first, no padding
};

TEST(CoverageBitmap, ConvertsEveryPixelModeToEightBits)
{
    std::vector<CoverageCase> cases = {
        {"mono", FT_PIXEL_MODE_MONO, 2, 10, 2, {0xA0, 0x40, 0x01, 0x80},
            {255, 0, 255, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 255, 255, 0}},
        {"gray2", FT_PIXEL_MODE_GRAY2, 1, 5, 2, {0x1B, 0xC0}, {0, 85, 170, 255, 255}},
        {"gray4", FT_PIXEL_MODE_GRAY4, 1, 3, 2, {0x0F, 0x80}, {0, 255, 136}},
        {"bottom-up gray", FT_PIXEL_MODE_GRAY, 2, 2, -3, {1, 2, 0, 3, 4, 0}, {3, 4, 1, 2}},
        {"bottom-up mono", FT_PIXEL_MODE_MONO, 2, 1, -1, {0x00, 0x80}, {255, 0}},
    };
    for (CoverageCase& test : cases) {
        const FT_Bitmap source = makeBitmap(test.mode, test.rows, test.width, test.pitch, test.bytes);
        std::vector<uint8_t> storage;
        const GlyphBitmap view = coverageBitmap(source, storage);
        ASSERT_EQ(view.rows, test.rows) << test.name;
        ASSERT_EQ(view.width, test.width) << test.name;
        std::vector<uint8_t> pixels;
        for (uint32_t r = 0; r < view.rows; ++r)
            for (uint32_t c = 0; c < view.width; ++c)
                pixels.push_back(view.buffer[r * view.pitch + c]);
        EXPECT_EQ(pixels, test.coverage) << test.name;
    }
}

TEST(CoverageBitmap, ViewsPlainGrayInPlaceAndRefusesBadBitmaps)
{
    std::vector<uint8_t> bytes = {9, 8, 7, 0, 6, 5, 4, 0};
    std::vector<uint8_t> storage;
    const GlyphBitmap view = coverageBitmap(makeBitmap(FT_PIXEL_MODE_GRAY, 2, 3, 4, bytes), storage);
    EXPECT_EQ(view.buffer, bytes.data());
    EXPECT_EQ(view.pitch, 4);

    const GlyphBitmap empty = coverageBitmap(makeBitmap(FT_PIXEL_MODE_GRAY, 0, 3, 4, bytes), storage);
    EXPECT_EQ(empty.buffer, nullptr);
    EXPECT_EQ(empty.width, 0u);

    const FT_Bitmap refused[] = {
        makeBitmap(FT_PIXEL_MODE_BGRA, 1, 1, 4, bytes),
        makeBitmap(FT_PIXEL_MODE_LCD, 1, 1, 3, bytes),
        makeBitmap(FT_PIXEL_MODE_MONO, 1, 9, 1, bytes),
        makeBitmap(FT_PIXEL_MODE_GRAY, 2, 3, -2, bytes),
    };
    for (const FT_Bitmap& source : refused)
        EXPECT_EQ(messageOf([&] { coverageBitmap(source, storage); }), "cannot render glyph");
}

} // namespace
