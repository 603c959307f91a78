// Exports through code pages, `=` items and a fallback font, read back with
// the source reader and compared glyph by glyph with FreeType's rendering of
// the character each code shows.
#include "character_map.h"
#include "font_source_reader.h"
#include "missing_data.h"
#include "test_support.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kIconFont = "/usr/share/fonts/truetype/font-awesome/fontawesome-webfont.ttf";

// One face at one pixel size.
class Face {
public:
    Face(FT_Library library, const std::string& path, uint32_t size)
    {
        EXPECT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0) << path;
        EXPECT_EQ(FT_Set_Pixel_Sizes(face, 0, size), 0);
    }
    ~Face() { FT_Done_Face(face); }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    bool has(uint32_t character) const { return FT_Get_Char_Index(face, character) != 0; }

    // The glyph record FreeType's rendering of `character` gives.
    BitmapGlyph glyph(uint32_t character) const
    {
        EXPECT_EQ(FT_Load_Glyph(face, FT_Get_Char_Index(face, character), FT_LOAD_DEFAULT), 0);
        EXPECT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        BitmapGlyph glyph;
        if (bitmap.rows > 0 && bitmap.width > 0) {
            glyph.width = bitmap.width;
            glyph.height = bitmap.rows;
            for (unsigned row = 0; row < bitmap.rows; ++row)
                glyph.pixels.insert(glyph.pixels.end(), bitmap.buffer + row * bitmap.pitch,
                    bitmap.buffer + row * bitmap.pitch + bitmap.width);
        }
        glyph.xoff = face->glyph->bitmap_left;
        glyph.yoff = face->glyph->bitmap_top;
        glyph.xadvance = int32_t(face->glyph->advance.x >> 6);
        return glyph;
    }

    int kerning(uint32_t left, uint32_t right) const
    {
        FT_Vector vector{0, 0};
        FT_Get_Kerning(
            face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right), FT_KERNING_DEFAULT, &vector);
        return std::clamp(int(vector.x >> 6), -128, 127);
    }

    FT_Face face = nullptr;
};

struct MappedExport {
    const char* what;
    std::vector<std::string> options; // besides --font, --size and the output
    CharacterList codes;              // the list's distinct codes, in order
    CharacterMap map;                 // what each code shows
    uint32_t minimumFromFallback;     // codes that must come from the fallback
    bool kernsMapped;                 // some code from 128 on must kern, so the pairs are tested
};

class MappedExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = testFontPath();
        if (font.empty())
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
    }
    void TearDown() override { FT_Done_FreeType(library); }

    // Exports `test` at `size` and compares every slot with FreeType.
    void check(const MappedExport& test, uint32_t size)
    {
        SCOPED_TRACE(std::string(test.what) + " at " + std::to_string(size));
        std::vector<std::string> arguments = {
            "--silent", "--font", font, "--size", std::to_string(size), "--output_path", folder.path(), "m"};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        const ProgramResult run = runProgram(GLYPHSMITH_CLI, arguments);
        ASSERT_EQ(run.status, 0) << run.output;
        GeneratedFont exported;
        uint32_t errorLine = 0;
        ASSERT_TRUE(
            readFontSource(readFileBytes(folder.file("m_" + std::to_string(size) + ".cpp")), exported, errorLine))
            << "line " << errorLine;
        const BitmapFont& tables = exported.rotations[0];

        Face main(library, font, size), icons(library, kIconFont, size);
        EXPECT_EQ(tables.height, main.face->size->metrics.height / 64);
        EXPECT_EQ(tables.ascender, main.face->size->metrics.ascender / 64);
        EXPECT_EQ(tables.descender, main.face->size->metrics.descender / 64);
        const auto source = [&](uint32_t character) -> const Face& {
            return main.has(character) || !icons.has(character) ? main : icons;
        };
        std::vector<bool> listed(256, false);
        uint32_t fromFallback = 0, mappedPairs = 0;
        for (uint32_t code : test.codes) {
            listed[code] = true;
            const uint32_t character = test.map[code];
            if (character == kNoCharacter)
                continue;
            ASSERT_TRUE(tables.chars[code]) << code;
            const BitmapGlyph& glyph = *tables.chars[code];
            const Face& face = source(character);
            fromFallback += &face == &icons;
            const BitmapGlyph expected = face.glyph(character);
            EXPECT_EQ(glyph.width, expected.width) << code;
            EXPECT_EQ(glyph.height, expected.height) << code;
            EXPECT_EQ(glyph.xoff, expected.xoff) << code;
            EXPECT_EQ(glyph.yoff, expected.yoff) << code;
            EXPECT_EQ(glyph.xadvance, expected.xadvance) << code;
            EXPECT_TRUE(glyph.pixels == expected.pixels) << code;
            KerningPairs pairs;
            for (uint32_t prev : test.codes) {
                const uint32_t prevCharacter = test.map[prev];
                if (prev == 0 || prevCharacter == kNoCharacter || &source(prevCharacter) != &face)
                    continue;
                if (const int delta = face.kerning(prevCharacter, character))
                    pairs.push_back({uint8_t(prev), int8_t(delta)});
            }
            EXPECT_EQ(glyph.kerning.size(), pairs.size()) << code;
            mappedPairs += code >= 128 ? uint32_t(pairs.size()) : 0;
            for (size_t i = 0; i < std::min(pairs.size(), glyph.kerning.size()); ++i)
                EXPECT_TRUE(glyph.kerning[i].prev == pairs[i].prev && glyph.kerning[i].delta == pairs[i].delta)
                    << code << " pair " << i;
        }
        for (uint32_t code = 0; code < 256; ++code)
            EXPECT_EQ(bool(tables.chars[code]), listed[code] && test.map[code] != kNoCharacter) << code;
        EXPECT_GE(fromFallback, test.minimumFromFallback);
        EXPECT_EQ(mappedPairs > 0, test.kernsMapped) << mappedPairs;
    }

    std::string font;
    FT_Library library = nullptr;
    TemporaryDirectory folder;
};

CharacterList range(uint32_t low, uint32_t high)
{
    CharacterList codes;
    for (uint32_t code = low; code <= high; ++code)
        codes.push_back(code);
    return codes;
}

CharacterMap pageMap(const char* page)
{
    CharacterMap map;
    EXPECT_TRUE(codePageMap(page, map));
    return map;
}

TEST_F(MappedExportTest, CodePageGlyphsAndKerningAreFreeTypesForTheMappedCharacters)
{
    CharacterMap polish = pageMap("CP1250");
    polish[0xC0] = 0x42; // an `=` item beats the page
    const MappedExport cases[] = {
        {"Cyrillic CP1251", {"--codepage", "CP1251", "--chars", "32-255"}, range(32, 255), pageMap("CP1251"), 0, true},
        {"Greek CP1253", {"--codepage", "cp1253", "--chars", "32-255"}, range(32, 255), pageMap("CP1253"), 0, true},
        {"Polish CP1250", {"--codepage", "CP1250", "--chars", "32-255,192=U+0042"}, range(32, 255), polish, 0, true},
    };
    for (const MappedExport& test : cases)
        for (uint32_t size : {16u, 40u})
            check(test, size);
}

TEST_F(MappedExportTest, IconsComeFromTheFallbackOnTheMainBaseline)
{
    if (!fileExists(kIconFont))
        SKIP_FOR_MISSING("Font Awesome is not installed (Debian package fonts-font-awesome)");
    CharacterMap map = identityMap();
    for (uint32_t code = 128; code <= 140; ++code)
        map[code] = 0xF000 + (code - 128);
    CharacterList codes = range(32, 126);
    const CharacterList icons = range(128, 140);
    codes.insert(codes.end(), icons.begin(), icons.end());
    const MappedExport test = {
        "icons", {"--chars", "32-126,128-140=U+F000", "--fallback", kIconFont}, codes, map, 9, false};
    for (uint32_t size : {16u, 40u})
        check(test, size);
}

} // namespace
