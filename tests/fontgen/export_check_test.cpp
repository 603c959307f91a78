// Compiled into the tables that glyphsmith_cli exported from DejaVuSans at
// build time, and compares every table with FreeType's own rendering.
#include "dejavu_16.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr unsigned kHeight = 16;

// The list given to the exporter in CMakeLists.txt, without its duplicate.
std::vector<unsigned> exportedCodes()
{
    std::vector<unsigned> codes;
    for (unsigned code = 32; code <= 126; ++code)
        codes.push_back(code);
    for (unsigned code : {160u, 169u, 196u, 233u, 255u})
        codes.push_back(code);
    return codes;
}

const ds_bitmap_font_t* const kFonts[] = {
    &font_dejavu_16_0, &font_dejavu_16_90, &font_dejavu_16_180, &font_dejavu_16_270};

class ExportedFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Face(library, CORVANE_TEST_FONT, 0, &face), 0);
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, kHeight), 0);
    }
    void TearDown() override
    {
        if (face)
            FT_Done_Face(face);
        FT_Done_FreeType(library);
    }

    FT_GlyphSlot rendered(unsigned code)
    {
        EXPECT_EQ(FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_DEFAULT), 0);
        EXPECT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
        EXPECT_EQ(face->glyph->bitmap.pixel_mode, FT_PIXEL_MODE_GRAY);
        return face->glyph;
    }

    // Kerning in whole pixels between full codes, clamped to the signed
    // 8-bit field; 0 for a preceding code 0, which cannot be listed.
    int kerning(unsigned left, unsigned right)
    {
        FT_Vector vector{0, 0};
        FT_Get_Kerning(
            face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right), FT_KERNING_DEFAULT, &vector);
        return left == 0 ? 0 : std::clamp(int(vector.x >> 6), -128, 127);
    }

    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

TEST_F(ExportedFontTest, MetricsAreTheFaceSizeMetrics)
{
    for (const ds_bitmap_font_t* font : kFonts) {
        EXPECT_EQ(font->height, face->size->metrics.height / 64);
        EXPECT_EQ(font->ascender, face->size->metrics.ascender / 64);
        EXPECT_EQ(font->descender, face->size->metrics.descender / 64);
        EXPECT_LT(font->descender, 0);
    }
}

TEST_F(ExportedFontTest, EveryListedCodeHasItsRecordAndNoOtherDoes)
{
    std::vector<bool> listed(256, false);
    for (unsigned code : exportedCodes())
        listed[code] = true;
    for (unsigned code = 0; code < 256; ++code)
        for (const ds_bitmap_font_t* font : kFonts)
            EXPECT_EQ(font->chars[code] != nullptr, bool(listed[code])) << code;
}

TEST_F(ExportedFontTest, RecordsMatchFreeTypeInAllFourRotations)
{
    for (unsigned code : exportedCodes()) {
        const FT_GlyphSlot slot = rendered(code);
        const FT_Bitmap& bitmap = slot->bitmap;
        const auto pixel = [&](unsigned r, unsigned c) { return bitmap.buffer[r * bitmap.pitch + c]; };
        const unsigned rows = bitmap.rows, width = bitmap.width;
        for (const ds_bitmap_font_t* font : kFonts) {
            const ds_bitmap_font_char_t* glyph = font->chars[code];
            ASSERT_NE(glyph, nullptr);
            EXPECT_EQ(glyph->w, width) << code;
            EXPECT_EQ(glyph->h, rows) << code;
            EXPECT_EQ(glyph->xoff, slot->bitmap_left) << code;
            EXPECT_EQ(glyph->yoff, slot->bitmap_top) << code;
            EXPECT_EQ(glyph->xadvance, slot->advance.x >> 6) << code;
            EXPECT_EQ(glyph->pixels == nullptr, rows == 0 || width == 0) << code;
        }
        if (rows == 0 || width == 0)
            continue;
        const uint8_t* turned[4] = {kFonts[0]->chars[code]->pixels, kFonts[1]->chars[code]->pixels,
            kFonts[2]->chars[code]->pixels, kFonts[3]->chars[code]->pixels};
        unsigned mismatches = 0;
        for (unsigned r = 0; r < rows; ++r) {
            for (unsigned c = 0; c < width; ++c) {
                mismatches += turned[0][r * width + c] != pixel(r, c);
                mismatches += turned[1][(width - 1 - c) * rows + r] != pixel(r, c);
                mismatches += turned[2][(rows - 1 - r) * width + (width - 1 - c)] != pixel(r, c);
                mismatches += turned[3][c * rows + (rows - 1 - r)] != pixel(r, c);
            }
        }
        EXPECT_EQ(mismatches, 0u) << code;
    }
}

TEST_F(ExportedFontTest, KerningTablesHoldEveryPairFreeTypeKerns)
{
    const std::vector<unsigned> codes = exportedCodes();
    for (unsigned code : codes) {
        std::vector<std::pair<unsigned, int>> expected;
        for (unsigned prev : codes)
            if (const int delta = kerning(prev, code))
                expected.emplace_back(prev, delta);
        for (const ds_bitmap_font_t* font : kFonts) {
            const ds_bitmap_font_char_t* glyph = font->chars[code];
            std::vector<std::pair<unsigned, int>> actual;
            for (size_t i = 0; glyph->kerning_table_prev && glyph->kerning_table_prev[i]; ++i)
                actual.emplace_back(uint8_t(glyph->kerning_table_prev[i]), glyph->kerning_table_delta[i]);
            EXPECT_EQ(actual, expected) << code;
            EXPECT_EQ(glyph->kerning_table_prev == nullptr, expected.empty()) << code;
        }
    }
    unsigned highPairs = 0;
    for (unsigned code : codes) {
        const ds_bitmap_font_char_t* glyph = font_dejavu_16_0.chars[code];
        for (size_t i = 0; glyph->kerning_table_prev && glyph->kerning_table_prev[i]; ++i)
            highPairs += uint8_t(glyph->kerning_table_prev[i]) > 127;
    }
    EXPECT_GT(highPairs, 0u) << "the export should hold preceding codes above 127";
    const int av = kerning('A', 'V');
    EXPECT_LT(av, 0);
    const ds_bitmap_font_char_t* v = font_dejavu_16_0.chars[unsigned('V')];
    ASSERT_NE(v->kerning_table_prev, nullptr);
    size_t at = 0;
    while (v->kerning_table_prev[at] && v->kerning_table_prev[at] != 'A')
        ++at;
    ASSERT_EQ(v->kerning_table_prev[at], 'A');
    EXPECT_EQ(v->kerning_table_delta[at], av);
}

} // namespace
