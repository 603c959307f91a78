// The device's text functions with packed fonts, in this process: UTF-8 read
// a maximal ill-formed subpart at a time; 8-bit packed text drawn exactly as
// the classic font draws it, clipped or not, in every rotation; images cut
// into bands and pieces drawn as a whole image would be; widths as the pen
// moves; a font of another rotation refused.
#include "ds_packed_font.h"
#include "ds_surface.h"
#include "ds_utf8.h"
#include "font_source_reader.h"
#include "font_source_text.h"
#include "missing_data.h"
#include "packed_font_builder.h"
#include "text_picture.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int64_t kSkipped = -1; // an ill-formed subpart, one entry per byte it spans

std::vector<int64_t> readAll(const std::string& text)
{
    std::vector<int64_t> read;
    for (const char* at = text.c_str(); *at != 0;) {
        const char* start = at;
        uint32_t character = 0;
        if (dsNextCharacter(at, character))
            read.push_back(character);
        else
            read.insert(read.end(), size_t(at - start), kSkipped);
        EXPECT_GT(at, start);
    }
    return read;
}

TEST(PackedUtf8, SkipsEachMaximalIllFormedSubpart)
{
    const int64_t s = kSkipped;
    const std::pair<std::string, std::vector<int64_t>> cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {0x41, 0xE9, 0x20AC, 0x1F600}},
        {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", {0x800, 0xD7FF, 0xE000, 0x10FFFF}},
        {"\xC0\x80\xC1\xBF", {s, s, s, s}},               // overlong two-byte forms
        {"\xE0\x80\x80", {s, s, s}},                      // overlong three-byte form
        {"\xF0\x8F\xBF\xBF", {s, s, s, s}},               // overlong four-byte form
        {"\xED\xA0\x80\xED\xBF\xBF", {s, s, s, s, s, s}}, // surrogates
        {"\xF4\x90\x80\x80\xF5\x80", {s, s, s, s, s, s}}, // beyond U+10FFFF
        {"\xE2\x82", {s, s}},                             // truncated at the end
        {"\xE2\x82"
         "A\xF0\x9F\x98"
         "B",
            {s, s, 0x41, s, s, s, 0x42}},   // truncated before a character
        {"\x80\xBF\xFE\xFF", {s, s, s, s}}, // stray continuations, never-leading bytes
        // The standard's example: 61 F1 80 80 E1 80 C2 62 80 63 80 BF 64.
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
            {0x61, s, s, s, s, s, s, 0x62, s, 0x63, s, s, 0x64}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(readAll(text), expected) << testing::PrintToString(text);
}

// Glyphs of one font, classic and packed, made in this process.
class PackedText : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = CORVANE_TEST_FONT;
        if (path.empty())
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
        rasterizer.loadFont(path);
    }

    // The classic export of codes 32-126 at `size`, as the device holds it.
    std::unique_ptr<DeviceFont> classicFont(uint32_t size, uint32_t rotation)
    {
        CharacterList codes;
        for (uint32_t code = 32; code <= 126; ++code)
            codes.push_back(code);
        const FontGlyphSet glyphs = renderFontGlyphs(rasterizer, size, codes);
        std::string text;
        appendIncludeLine(text, "f.h");
        PresenceTable present{};
        for (const FontGlyph& glyph : glyphs.glyphs) {
            appendGlyph(text, glyph.code, glyph.view(), glyph.kerning);
            present[glyph.code] = true;
        }
        appendFontRecords(text, "f", glyphs.metrics, present);
        uint32_t line = 0;
        EXPECT_TRUE(readFontSource(text, generated, line)) << line;
        return std::make_unique<DeviceFont>(generated.rotations[fontRotationIndex(rotation)]);
    }

    PackedFont packedFont(
        uint32_t size, uint32_t bpp, bool compressed, uint32_t rotation, const CharacterList& characters)
    {
        const GlyphRendering rendering = bpp == 1 ? GlyphRendering::Mono : GlyphRendering::Grey;
        const PackedGlyphSet glyphs = renderPackedGlyphs(FontSources{&rasterizer}, size, characters, rendering);
        return buildPackedFonts(glyphs, {bpp, compressed, {rotation}}).front();
    }

    FontRasterizer rasterizer;
    GeneratedFont generated;
};

CharacterList printable()
{
    CharacterList characters;
    for (uint32_t character = 32; character <= 126; ++character)
        characters.push_back(character);
    return characters;
}

// A surface of `mode` stored in `rotation`, its pixels owned by the test.
struct Canvas {
    std::vector<uint8_t> pixels;
    DsSurface surface;

    Canvas(int32_t width, int32_t height, int32_t rotation, uint32_t mode)
        : pixels(size_t(width) * size_t(height) * dsBytesPerPixel(mode), 0x5A),
          surface(width, height, rotation, mode, pixels.data(),
              uint32_t(rotation == 90 || rotation == 270 ? height : width) * dsBytesPerPixel(mode))
    {
    }
};

const char* const kTexts[] = {"AVATAR To, Wj{}|@ gqy", "x", "", "\xE2\x82\xAC!"};

TEST_F(PackedText, EightBitsDrawExactlyWhatTheClassicFontDraws)
{
    const DsRect clips[] = {DsRect(0, 0, 400, 64), DsRect(13, 9, 41, 7), DsRect(0, 30, 400, 34)};
    for (uint32_t rotation : kFontRotations) {
        const std::unique_ptr<DeviceFont> classic = classicFont(16, rotation);
        for (bool compressed : {false, true}) {
            const PackedFont packed = packedFont(16, 8, compressed, rotation, printable());
            const ds_packed_font_t font = devicePackedFont(packed);
            for (uint32_t mode : {RGB565, ARGB8888, A8})
                for (const DsRect& clip : clips)
                    for (int32_t x : {-7, 3})
                        for (const char* text : kTexts) {
                            Canvas expected(400, 64, int32_t(rotation), mode), drawn(400, 64, int32_t(rotation), mode);
                            expected.surface.setClip(clip);
                            drawn.surface.setClip(clip);
                            ASSERT_EQ(
                                dsDrawText(expected.surface, classic->font(), x, 40, text, 0xC0336699), DS_DRAW_OK);
                            ASSERT_EQ(dsDrawText(drawn.surface, font, x, 40, text, 0xC0336699), DS_DRAW_OK);
                            EXPECT_TRUE(drawn.pixels == expected.pixels)
                                << "rotation " << rotation << " compressed " << compressed << " mode " << mode
                                << " text " << text << " clip " << clip.x << "," << clip.y;
                            EXPECT_EQ(dsTextWidth(font, text), dsTextWidth(classic->font(), text)) << text;
                        }
        }
    }
}

TEST_F(PackedText, WidthIsThePenAdvanceWithKerning)
{
    const std::unique_ptr<DeviceFont> classicTables = classicFont(24, 0);
    const ds_bitmap_font_t& classic = classicTables->font();
    const PackedFont packed = packedFont(24, 4, true, 0, printable());
    const ds_packed_font_t font = devicePackedFont(packed);
    FT_Face face = nullptr;
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, CORVANE_TEST_FONT, 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 24), 0);
    for (const std::string text : {"AVATAR To", "Wave", "a", "", "\x7F\x01"}) {
        int64_t pen = 0;
        FT_UInt previous = 0;
        for (char byte : text) {
            const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(uint8_t(byte)));
            if (index == 0)
                continue;
            FT_Vector kerning{0, 0};
            if (previous)
                FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning);
            ASSERT_EQ(FT_Load_Glyph(face, index, FT_LOAD_DEFAULT), 0);
            pen += (kerning.x >> 6) + (face->glyph->advance.x >> 6);
            previous = index;
        }
        EXPECT_EQ(dsTextWidth(font, text.c_str()), pen) << text;
        EXPECT_EQ(dsTextWidth(classic, text.c_str()), pen) << text;
    }
    EXPECT_EQ(dsTextWidth(font, nullptr), 0);
    EXPECT_EQ(dsTextWidth(classic, nullptr), 0);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST_F(PackedText, IllFormedBytesDrawNothingAndTheTextGoesOn)
{
    const PackedFont packed = packedFont(16, 4, true, 0, printable());
    const ds_packed_font_t font = devicePackedFont(packed);
    Canvas expected(200, 30, 0, RGB565), drawn(200, 30, 0, RGB565);
    ASSERT_EQ(dsDrawText(expected.surface, font, 2, 20, "AVA To", 0xFFFFFFFF), DS_DRAW_OK);
    ASSERT_EQ(dsDrawText(drawn.surface, font, 2, 20,
                  "A\xC0V\xE2\x82"
                  "A\xED\xA0\x80 \xF4\x90\x80\x80To\xFF",
                  0xFFFFFFFF),
        DS_DRAW_OK);
    EXPECT_TRUE(drawn.pixels == expected.pixels);
    EXPECT_EQ(dsTextWidth(font,
                  "A\xC0V\xE2\x82"
                  "A"),
        dsTextWidth(font, "AVA"));
}

TEST_F(PackedText, AFontOfAnotherRotationDrawsNothing)
{
    for (uint32_t rotation : kFontRotations) {
        const PackedFont packed = packedFont(12, 2, false, rotation, printable());
        const ds_packed_font_t font = devicePackedFont(packed);
        for (int32_t target : {0, 90, 180, 270}) {
            Canvas canvas(60, 60, target, ARGB8888);
            const std::vector<uint8_t> before = canvas.pixels;
            const int result = dsDrawText(canvas.surface, font, 5, 30, "Aj", 0xFF000000);
            EXPECT_EQ(result, uint32_t(target) == rotation ? DS_DRAW_OK : DS_DRAW_WRONG_ROTATION);
            EXPECT_EQ(canvas.pixels == before, uint32_t(target) != rotation);
        }
    }
    Canvas invalid(1, 1, 0, ARGB8888);
    DsSurface none(0, 0, 0, ARGB8888, nullptr, 0);
    const PackedFont packed = packedFont(12, 2, false, 90, printable());
    EXPECT_EQ(dsDrawText(none, devicePackedFont(packed), 0, 0, "A", 0), DS_DRAW_INVALID_SURFACE);
}

// Text into a target that cannot take it is refused as blendMask refuses
// it, and a colour without alpha draws nothing; neither changes a pixel.
TEST_F(PackedText, RefusalsAndInvisibleColoursLeaveTheTarget)
{
    const PackedFont packed = packedFont(12, 4, true, 0, printable());
    const ds_packed_font_t font = devicePackedFont(packed);
    const struct {
        uint32_t mode;
        uint32_t argb;
        int result;
    } cases[] = {{I8, 0xFF000001, DS_DRAW_UNSUPPORTED_MODES}, {RGB565, 0x00FFFFFF, DS_DRAW_OK},
        {ARGB8888, 0x00000000, DS_DRAW_OK}};
    for (const auto& item : cases) {
        Canvas canvas(60, 30, 0, item.mode);
        const std::vector<uint8_t> before = canvas.pixels;
        EXPECT_EQ(dsDrawText(canvas.surface, font, 5, 20, "Aj", item.argb), item.result) << item.mode;
        EXPECT_TRUE(canvas.pixels == before) << item.mode;
    }
}

// A glyph `width` x `rows`, text-like: strokes of full coverage with soft
// edges, rows repeating in runs, a gap in the middle.
FontGlyph syntheticGlyph(uint32_t character, uint32_t width, uint32_t rows)
{
    FontGlyph glyph;
    glyph.character = character;
    glyph.width = width;
    glyph.rows = rows;
    glyph.xoff = 2;
    glyph.yoff = int32_t(rows) - 3;
    glyph.xadvance = int32_t(width) + 4;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < width; ++c) {
            const uint32_t stripe = (c + r / 7 * 3) % 23;
            glyph.pixels.push_back(uint8_t(r == rows / 2 ? 0 : stripe < 9 ? 255 : stripe < 12 ? stripe * 20 : 0));
        }
    return glyph;
}

// Glyphs too large for one band, with rows up to and beyond the band's
// length, drawn as one blend of their whole image.
TEST(PackedBands, LargeGlyphsDrawAsTheirWholeImage)
{
    PackedGlyphSet set;
    set.metrics = {300 * 64, 250 * 64, -50 * 64};
    set.glyphs = {syntheticGlyph('a', 20, 140), syntheticGlyph('b', 130, 40), syntheticGlyph('c', 300, 3),
        syntheticGlyph('d', 3, 300)};
    for (uint32_t bpp : {1u, 4u, 8u})
        for (bool compressed : {false, true})
            for (uint32_t rotation : kFontRotations) {
                const PackedFont packed = buildPackedFonts(set, {bpp, compressed, {rotation}}).front();
                const ds_packed_font_t font = devicePackedFont(packed);
                for (const FontGlyph& glyph : set.glyphs) {
                    Canvas expected(340, 340, int32_t(rotation), RGB565), drawn(340, 340, int32_t(rotation), RGB565);
                    std::vector<uint8_t> coverage;
                    for (uint8_t value : glyph.pixels)
                        coverage.push_back(uint8_t(coverageLevel(value, bpp) * (255 / ((1u << bpp) - 1))));
                    const DsSurface image(
                        int32_t(glyph.width), int32_t(glyph.rows), 0, A8, coverage.data(), glyph.width);
                    expected.surface.blendMask(image, DsRect(0, 0, image.width(), image.height()), 9 + glyph.xoff,
                        320 - glyph.yoff, 0xFF20C040);
                    const char text[] = {char(glyph.character), 0};
                    ASSERT_EQ(dsDrawText(drawn.surface, font, 9, 320, text, 0xFF20C040), DS_DRAW_OK);
                    EXPECT_TRUE(drawn.pixels == expected.pixels)
                        << "glyph " << char(glyph.character) << " bpp " << bpp << " compressed " << compressed
                        << " rotation " << rotation;
                }
            }
}

} // namespace
