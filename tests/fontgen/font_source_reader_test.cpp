// The font-source reader against the emitter's own text: what is written
// reads back whole, and every departure from the format is refused at its line.
#include "font_source_reader.h"
#include "font_source_text.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

constexpr int64_t kUnit = 64; // one pixel in 26.6 fixed point

const uint8_t kDotPixels[4] = {0x40, 0xFF, 0x80, 0xC0};                         // 2 x 2
const uint8_t kBarPixels[8] = {0x0A, 0x0B, 0x0C, 0xEE, 0x0D, 0x0E, 0x0F, 0xEE}; // 3 x 2, pitch 4

RenderedGlyph glyphOf(
    const uint8_t* pixels, uint32_t width, uint32_t rows, int32_t pitch, int32_t xoff, int32_t yoff, int32_t xadvance)
{
    RenderedGlyph glyph;
    glyph.bitmap = {rows, width, pitch, pixels};
    glyph.xoff = xoff;
    glyph.yoff = yoff;
    glyph.xadvance = xadvance;
    return glyph;
}

// Three glyphs: '.' with ink, 'A' with ink and kerning, ' ' without ink.
std::string smallSource(const KerningPairs& kerningOfA)
{
    PresenceTable present{};
    std::string text;
    appendIncludeLine(text, "tiny_16.h");
    appendGlyph(text, 46, glyphOf(kDotPixels, 2, 2, 2, 1, 2, 4), {});
    appendGlyph(text, 65, glyphOf(kBarPixels, 3, 2, 4, -1, 9, 7), kerningOfA);
    appendGlyph(text, 32, glyphOf(nullptr, 0, 0, 0, 0, 0, 5), {});
    present[46] = present[65] = present[32] = true;
    appendFontRecords(text, "tiny_16", {19 * kUnit, 15 * kUnit, -4 * kUnit}, present);
    return text;
}

const KerningPairs kKerning = {{84, -1}, {200, 127}, {65, -128}};

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// 1-based number of the line where `piece` first starts at or after `from`.
uint32_t lineOf(const std::string& text, const std::string& piece, size_t from = 0)
{
    const size_t at = text.find(piece, from);
    EXPECT_NE(at, std::string::npos) << piece;
    return 1 + uint32_t(std::count(text.begin(), text.begin() + at, '\n'));
}

std::vector<uint8_t> bytes(std::initializer_list<uint8_t> values)
{
    return values;
}

TEST(FontSourceReader, ReadsBackEveryTableTheEmitterWrites)
{
    GeneratedFont font;
    uint32_t line = 0;
    ASSERT_TRUE(readFontSource(smallSource(kKerning), font, line)) << "line " << line;
    EXPECT_EQ(font.name, "tiny_16");
    // The turned images, written out by hand from the two bitmaps.
    const std::vector<uint8_t> dot[4] = {bytes({0x40, 0xFF, 0x80, 0xC0}), bytes({0xFF, 0xC0, 0x40, 0x80}),
        bytes({0xC0, 0x80, 0xFF, 0x40}), bytes({0x80, 0x40, 0xC0, 0xFF})};
    const std::vector<uint8_t> bar[4] = {bytes({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}),
        bytes({0x0C, 0x0F, 0x0B, 0x0E, 0x0A, 0x0D}), bytes({0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A}),
        bytes({0x0D, 0x0A, 0x0E, 0x0B, 0x0F, 0x0C})};
    for (size_t index = 0; index < kFontRotations.size(); ++index) {
        const BitmapFont& rotation = font.rotations[index];
        EXPECT_EQ(rotation.height, 19u);
        EXPECT_EQ(rotation.ascender, 15);
        EXPECT_EQ(rotation.descender, -4);
        for (uint32_t code = 0; code < 256; ++code)
            EXPECT_EQ(rotation.chars[code].has_value(), code == 32 || code == 46 || code == 65) << code;
        const BitmapGlyph& a = *rotation.chars[65];
        EXPECT_EQ(std::make_tuple(a.width, a.height, a.xoff, a.yoff, a.xadvance), std::make_tuple(3u, 2u, -1, 9, 7));
        EXPECT_EQ(a.pixels, bar[index]);
        ASSERT_EQ(a.kerning.size(), 3u);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(std::make_pair(a.kerning[i].prev, a.kerning[i].delta),
                std::make_pair(kKerning[i].prev, kKerning[i].delta));
        EXPECT_EQ(rotation.chars[46]->pixels, dot[index]);
        EXPECT_TRUE(rotation.chars[46]->kerning.empty());
        const BitmapGlyph& space = *rotation.chars[32];
        EXPECT_TRUE(space.pixels.empty());
        EXPECT_EQ(std::make_tuple(space.width, space.height, space.xadvance), std::make_tuple(0u, 0u, 5));
    }
}

// The emitter casts preceding codes above 127; fonts exported before it did
// hold them plain, and still read.
TEST(FontSourceReader, AcceptsPrecedingCodesWithAndWithoutACast)
{
    std::string text = smallSource(kKerning);
    const std::string cast = "{84, (char)200, 65, 0};";
    ASSERT_NE(text.find(cast), std::string::npos);
    text.replace(text.find(cast), cast.size(), "{84, 200, 65, 0};");
    GeneratedFont font;
    uint32_t line = 0;
    ASSERT_TRUE(readFontSource(text, font, line)) << "line " << line;
    EXPECT_EQ(font.rotations[2].chars[65]->kerning[1].prev, 200);
    EXPECT_EQ(font.rotations[2].chars[65]->kerning[1].delta, 127);
}

TEST(FontSourceReader, KerningTableEndsAtTheFirstZeroAsTheDeviceReadsIt)
{
    GeneratedFont font;
    uint32_t line = 0;
    ASSERT_TRUE(readFontSource(smallSource({{84, -1}, {0, 3}, {86, -2}}), font, line)) << "line " << line;
    const KerningPairs& kerning = font.rotations[0].chars[65]->kerning;
    ASSERT_EQ(kerning.size(), 1u);
    EXPECT_EQ(kerning[0].prev, 84);
}

TEST(FontSourceReader, EveryLineRemovedIsRefusedAtOrAfterItsPlace)
{
    const std::vector<std::string> lines = linesOf(smallSource(kKerning));
    ASSERT_GT(lines.size(), 1000u);
    for (size_t removed = 0; removed < lines.size(); ++removed) {
        std::vector<std::string> damaged = lines;
        damaged.erase(damaged.begin() + removed);
        GeneratedFont font;
        uint32_t line = 0;
        ASSERT_FALSE(readFontSource(joined(damaged), font, line)) << "line " << removed + 1 << " removed";
        // Everything before the removed line is intact.
        EXPECT_GE(line, removed + 1) << lines[removed];
        EXPECT_LE(line, damaged.size() + 1) << lines[removed];
    }
}

struct Damage {
    std::string from; // first occurrence replaced
    std::string to;
    std::string at; // the error is on the line where this starts, first found from the damage on
};

TEST(FontSourceReader, RefusesDeparturesAtTheirLine)
{
    const std::string source = smallSource(kKerning);
    const std::string firstChars = ".chars = {\nnullptr,\n";
    const Damage cases[] = {
        {"#include <tiny_16.h>", "#include <tiny-16.h>", "#include"},
        {"#include <tiny_16.h>", "#include <tiny_16.hpp>", "#include"},
        {".w = 2,", ".w = 65536,", ".w = 65536,"},
        {".xoff = 1,", ".xoff = 01,", ".xoff = 01,"},
        {".xoff = 1,", ".xoff = +1,", ".xoff = +1,"},
        {".yoff = 2,", ".yoff = 32768,", ".yoff = 32768,"},
        {".yoff = 9,", ".yoff = -0,", ".yoff = -0,"},
        {".xadvance = 4,", ".xadvance = -32769,", ".xadvance = -32769,"},
        {".xadvance = 4,", ".xadvance = 99999999999999999999,", ".xadvance = 9999"},
        {"0x40, 0xFF, ", "0x40, 0xfF, ", "0x40, 0xfF, "},
        {"0x40, 0xFF, ", "0x40, 0xFF,", "0x40, 0xFF,"},
        {"0x40, 0xFF, \n", "0x40, 0xFF, 0x00, \n", "0x80, 0xC0, "},
        {"0x40, 0xFF, \n0x80, 0xC0, \n", "0x40, 0xFF, \n0x80, 0xC0, \n0x80, 0xC0, \n", ".pixels = char_46_pixels_0"},
        {"{84, (char)200, 65, 0};", "{84, 256, 65, 0};", "{84, 256"},
        {"{84, (char)200, 65, 0};", "{84, (char)256, 65, 0};", "{84, (char)256"},
        {"{84, (char)200, 65, 0};", "{84, (char)(char)200, 65, 0};", "{84, (char)(char)"},
        {"{-1, 127, -128, 0};", "{-1, 128, -128, 0};", "{-1, 128"},
        {"{-1, 127, -128, 0};", "{-1, 127, 0};", "{-1, 127, 0};"},
        {"{-1, 127, -128, 0};", "{-1, 127, -128, 5, 0};", "{-1, 127, -128, 5"},
        {".kerning_table_prev = char_65_ktp,", ".kerning_table_prev = nullptr,", ".kerning_table_prev"},
        {".pixels = nullptr", ".pixels = char_32_pixels_0", ".pixels = char_32_pixels_0"},
        {"char_46_pixels_90[]", "char_47_pixels_90[]", "char_47_pixels_90[]"},
        {"char_65_90 = ", "char_65_91 = ", "char_65_91 = "},
        {"static const ds_bitmap_font_char_t char_32_0", "static const ds_bitmap_font_char_t char_46_0",
            "static const ds_bitmap_font_char_t char_46_0 = \n{\n.w = 0"},
        {"static const ds_bitmap_font_char_t char_32_0", "static const ds_bitmap_font_char_t char_256_0", "char_256_0"},
        {"font_tiny_16_90 = {", "font_tiny_17_90 = {", "font_tiny_17_90"},
        {".height = 19,", ".height = 65536,", ".height = 65536,"},
        {firstChars, ".chars = {\n&char_0_0,\n", "&char_0_0,"},
        {"&char_46_0,\nnullptr,", "nullptr,\n&char_46_0,", "&char_46_0,"},
        {"nullptr,\n}\n};\n\n\nconst", "nullptr,\nnullptr,\n}\n};\n\n\nconst", "nullptr,\n}"},
        {"};\n\n\n\n\nconst ds_bitmap_font_t font_tiny_16_0", "};\n\n\n\nconst ds_bitmap_font_t font_tiny_16_0",
            "const ds_bitmap_font_t font_tiny_16_0"},
        {".descender = -4,\n", ".descender = -4,\r\n", ".descender = -4,"},
        {"#include <tiny_16.h>\n\n", "#include <tiny_16.h>\n\n// 0x41: U+0410\nstatic", "static"},
        {"#include <tiny_16.h>\n\n", "#include <tiny_16.h>\n// 0x41: U+0410\n\n", "// 0x41"},
        {"#include <tiny_16.h>\n\n", "#include <tiny_16.h>\n\n/* 0x41: U+0410 */\n\n", "/* 0x41"},
    };
    for (const Damage& damage : cases) {
        std::string text = source;
        const size_t at = text.find(damage.from);
        ASSERT_NE(at, std::string::npos) << damage.from;
        text.replace(at, damage.from.size(), damage.to);
        GeneratedFont font;
        uint32_t line = 0;
        EXPECT_FALSE(readFontSource(text, font, line)) << damage.to;
        EXPECT_EQ(line, lineOf(text, damage.at, at)) << damage.to;
    }
}

TEST(FontSourceReader, CommentLinesAfterTheIncludeLineAreSkipped)
{
    const std::string source = smallSource(kKerning);
    std::string noted = source;
    noted.insert(noted.find("static"), "// fallback font 'icons.ttf'\n// 0x41: U+F005 from 'icons.ttf'\n\n");
    GeneratedFont plain, withNotes;
    uint32_t line = 0;
    ASSERT_TRUE(readFontSource(source, plain, line));
    ASSERT_TRUE(readFontSource(noted, withNotes, line)) << line;
    EXPECT_EQ(withNotes.rotations[0].chars[65]->pixels, plain.rotations[0].chars[65]->pixels);
    EXPECT_EQ(withNotes.rotations[3].chars[46]->xadvance, 4);
}

TEST(FontSourceReader, RefusesTextAfterTheLastFontRecordAndAnEmptyText)
{
    const std::string source = smallSource({});
    const uint32_t lines = uint32_t(linesOf(source).size());
    GeneratedFont font;
    uint32_t line = 0;
    EXPECT_FALSE(readFontSource(source + "\n", font, line));
    EXPECT_EQ(line, lines + 1);
    EXPECT_FALSE(readFontSource(source.substr(0, source.size() - 1), font, line));
    EXPECT_EQ(line, lines);
    EXPECT_FALSE(readFontSource("", font, line));
    EXPECT_EQ(line, 1u);
}

// A source written with some rotations holds only those; the others stay
// empty, and a line removed is still refused at or after its place.
TEST(FontSourceReader, ReadsTheRotationsASourceHolds)
{
    for (const FontRotations& rotations : {FontRotations{90}, FontRotations{0, 270}, FontRotations{180, 270}}) {
        PresenceTable present{};
        std::string text;
        appendIncludeLine(text, "tiny_16.h");
        appendGlyph(text, 46, glyphOf(kDotPixels, 2, 2, 2, 1, 2, 4), {}, rotations);
        appendGlyph(text, 65, glyphOf(kBarPixels, 3, 2, 4, -1, 9, 7), kKerning, rotations);
        present[46] = present[65] = true;
        appendFontRecords(text, "tiny_16", {19 * kUnit, 15 * kUnit, -4 * kUnit}, present, rotations);
        GeneratedFont font;
        uint32_t line = 0;
        ASSERT_TRUE(readFontSource(text, font, line)) << line;
        EXPECT_EQ(font.written, rotations);
        for (size_t index = 0; index < kFontRotations.size(); ++index) {
            const bool held = std::count(rotations.begin(), rotations.end(), kFontRotations[index]) != 0;
            EXPECT_EQ(font.rotations[index].chars[65].has_value(), held) << kFontRotations[index];
        }
        const std::vector<std::string> lines = linesOf(text);
        for (size_t removed = 0; removed < lines.size(); ++removed) {
            std::vector<std::string> kept = lines;
            kept.erase(kept.begin() + ptrdiff_t(removed));
            EXPECT_FALSE(readFontSource(joined(kept), font, line)) << removed + 1;
            EXPECT_GE(line, removed + 1);
        }
    }
}

TEST(FontSourceReader, RotationIndex)
{
    EXPECT_EQ(fontRotationIndex(0), 0u);
    EXPECT_EQ(fontRotationIndex(270), 3u);
    EXPECT_EQ(fontRotationIndex(45), kFontRotations.size());
}

} // namespace
