#include "font_source_text.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int64_t kUnit = 64; // one pixel in 26.6 fixed point

std::string recordText(const std::string& rotation, const std::string& kerning, const std::string& pixels)
{
    return "static const ds_bitmap_font_char_t char_46_" + rotation +
        " = \n{\n.w = 2,\n.h = 2,\n.xoff = 1,\n"
        ".yoff = 2,\n.xadvance = 4,\n" +
        kerning + ".pixels = " + pixels + "\n};\n\n\n";
}

std::string fontRecordText(const std::string& rotation)
{
    std::string text = "\n\nconst ds_bitmap_font_t font_tiny_16_" + rotation +
        " = {\n.height = 19,\n.ascender = 15,\n.descender = -4,\n.chars = {\n";
    for (int code = 0; code < 256; ++code)
        text += code == 46 ? "&char_46_" + rotation + ",\n" : "nullptr,\n";
    return text + "}\n};\n";
}

// A made-up glyph of 2 x 2 pixels, small enough to write its text out whole.
struct TinyGlyph {
    const uint8_t pixels[4] = {0x40, 0xFF, 0x80, 0xC0};
    RenderedGlyph glyph;
    TinyGlyph()
    {
        glyph.bitmap = {2, 2, 2, pixels};
        glyph.xoff = 1;
        glyph.yoff = 2;
        glyph.xadvance = 4;
    }
};

std::string tinySource(const SizeMetrics& metrics)
{
    TinyGlyph tiny;
    PresenceTable present{};
    present[46] = true;
    std::string text;
    appendIncludeLine(text, "tiny_16.h");
    appendGlyph(text, 46, tiny.glyph, {});
    appendFontRecords(text, "tiny_16", metrics, present);
    return text;
}

TEST(FontSourceText, TinyFontWithOneGlyphByteForByte)
{
    std::string expected = "#include <tiny_16.h>\n\n";
    expected += "static const uint8_t char_46_pixels_0[] = {\n0x40, 0xFF, \n0x80, 0xC0, \n};\n\n";
    expected += "static const uint8_t char_46_pixels_90[] = {\n0xFF, 0xC0, \n0x40, 0x80, \n};\n\n";
    expected += "static const uint8_t char_46_pixels_180[] = {\n0xC0, 0x80, \n0xFF, 0x40, \n};\n\n";
    expected += "static const uint8_t char_46_pixels_270[] = {\n0x80, 0x40, \n0xC0, 0xFF, \n};\n\n";
    const std::string noKerning = ".kerning_table_prev = nullptr,\n.kerning_table_delta = nullptr,\n";
    for (const char* rotation : {"0", "90", "180", "270"})
        expected += recordText(rotation, noKerning, std::string("char_46_pixels_") + rotation);
    for (const char* rotation : {"0", "90", "180", "270"})
        expected += fontRecordText(rotation);

    const std::string text = tinySource({19 * kUnit, 15 * kUnit, -4 * kUnit});
    EXPECT_EQ(text, expected);

    const std::vector<std::string> lines = linesOf(text);
    ASSERT_EQ(lines.size(), 339u + 3 * 265u);
    EXPECT_EQ(lines[127], "&char_46_0,");
    EXPECT_EQ(lines[76], "const ds_bitmap_font_t font_tiny_16_0 = {");
    EXPECT_EQ(lines[338], "};");
}

TEST(FontSourceText, TruncatesMetricsTowardZero)
{
    const std::string text = tinySource({19 * kUnit + 63, 15 * kUnit + 32, -4 * kUnit - 32});
    EXPECT_NE(text.find(".height = 19,\n.ascender = 15,\n.descender = -4,\n"), std::string::npos);
}

TEST(FontSourceText, WritesTheHeader)
{
    EXPECT_EQ(headerText("tiny_16"),
        "#ifndef _FONT_TINY_16_H\n#define _FONT_TINY_16_H\n\n#include <ds_font.h>\n\n"
        "extern const ds_bitmap_font_t font_tiny_16_0;\n"
        "extern const ds_bitmap_font_t font_tiny_16_90;\n"
        "extern const ds_bitmap_font_t font_tiny_16_180;\n"
        "extern const ds_bitmap_font_t font_tiny_16_270;\n\n#endif\n");
}

TEST(FontSourceText, SanitizesNames)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a.b", "a_b"},
        {"a b", "a_b"},
        {"my-font 16", "my_font_16"},
        {"Ab_9z", "Ab_9z"},
        {"caf\xC3\xA9", "caf__"},
        {"", ""},
    };
    for (const auto& [given, expected] : cases) {
        std::string name = given;
        sanitizeFontName(name);
        EXPECT_EQ(name, expected);
    }
}

struct RotationCase {
    uint32_t rotation;
    const char* lines;
};

TEST(FontSourceText, TurnsPixelsForEachRotation)
{
    // 3 pixels wide, 2 rows, rows padded to 4 bytes; the padding is never written.
    const uint8_t pixels[8] = {0x0A, 0x0B, 0x0C, 0xEE, 0x0D, 0x0E, 0x0F, 0xEE};
    RenderedGlyph glyph;
    glyph.bitmap = {2, 3, 4, pixels};
    std::string text;
    appendGlyph(text, 7, glyph, {});
    const RotationCase cases[] = {
        {0, "0x0A, 0x0B, 0x0C, \n0x0D, 0x0E, 0x0F, \n"},
        {90, "0x0C, 0x0F, \n0x0B, 0x0E, \n0x0A, 0x0D, \n"},
        {180, "0x0F, 0x0E, 0x0D, \n0x0C, 0x0B, 0x0A, \n"},
        {270, "0x0D, 0x0A, \n0x0E, 0x0B, \n0x0F, 0x0C, \n"},
    };
    for (const RotationCase& test : cases) {
        const std::string array =
            "static const uint8_t char_7_pixels_" + std::to_string(test.rotation) + "[] = {\n" + test.lines + "};\n\n";
        EXPECT_NE(text.find(array), std::string::npos) << test.rotation;
    }
    EXPECT_EQ(text.find("0xEE"), std::string::npos);
}

TEST(FontSourceText, OneColumnGlyphTurnsIntoOneLine)
{
    const uint8_t pixels[3] = {1, 2, 3};
    RenderedGlyph glyph;
    glyph.bitmap = {3, 1, 1, pixels};
    std::string text;
    appendGlyph(text, 108, glyph, {});
    EXPECT_NE(text.find("char_108_pixels_0[] = {\n0x01, \n0x02, \n0x03, \n};"), std::string::npos);
    EXPECT_NE(text.find("char_108_pixels_90[] = {\n0x01, 0x02, 0x03, \n};"), std::string::npos);
    EXPECT_NE(text.find("char_108_pixels_180[] = {\n0x03, \n0x02, \n0x01, \n};"), std::string::npos);
    EXPECT_NE(text.find("char_108_pixels_270[] = {\n0x03, 0x02, 0x01, \n};"), std::string::npos);
}

TEST(FontSourceText, KernedGlyphWithoutPixels)
{
    RenderedGlyph glyph;
    glyph.xadvance = 5;
    std::string text;
    appendGlyph(text, 65, glyph, {{84, -1}, {127, -2}, {128, 127}, {255, -128}});
    std::string expected = "static const char char_65_ktp[] = {84, 127, (char)128, (char)255, 0};\n"
                           "static const int8_t char_65_ktd[] = {-1, -2, 127, -128, 0};\n";
    for (const char* rotation : {"0", "90", "180", "270"}) {
        expected += std::string("static const ds_bitmap_font_char_t char_65_") + rotation +
            " = \n{\n.w = 0,\n.h = 0,\n.xoff = 0,\n.yoff = 0,\n.xadvance = 5,\n"
            ".kerning_table_prev = char_65_ktp,\n.kerning_table_delta = char_65_ktd,\n"
            ".pixels = nullptr\n};\n\n\n";
    }
    EXPECT_EQ(text, expected);
}

} // namespace
