// Round trips through the real tools: glyphsmith_cli exports DejaVuSans,
// assetpeek draws a kerned text from the generated source, and the picture
// equals one drawn here straight from FreeType's rendering and kerning;
// every rotation equals that picture turned.
#include "missing_data.h"
#include "peek_check.h"
#include "run_program.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kText = "AVATAR To"; // kerns: AV, VA, AT, TA, To
const std::string kCyrillicText = "Привет, мир";

// A grey picture: 255 where there is no ink, 255 - coverage where there is.
struct GreyPicture {
    int64_t width = 0;
    int64_t height = 0;
    Bytes pixels;
};

// One glyph's coverage image where the pen put it.
struct Ink {
    Bytes coverage; // rows x width values
    int64_t width, rows, x, y;
};

class FontRoundTrip : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = CORVANE_TEST_FONT;
        if (path.empty() || !fileExists(path))
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
        fontPath = path;
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Face(library, fontPath.c_str(), 0, &face), 0);
    }
    void TearDown() override
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }

    // Renders the glyph `index` and returns its image placed at the pen:
    // anti-aliased, or with `mono` FreeType's monochrome bitmap as coverage
    // 0 and 255.
    Ink render(FT_UInt index, int64_t pen, int64_t ascender)
    {
        EXPECT_EQ(FT_Load_Glyph(face, index, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT), 0);
        EXPECT_EQ(FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL), 0);
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        Ink ink{{}, bitmap.width, bitmap.rows, pen + face->glyph->bitmap_left, ascender - face->glyph->bitmap_top};
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const uint8_t* line = bitmap.buffer + row * bitmap.pitch;
                ink.coverage.push_back(mono ? ((line[column / 8] >> (7 - column % 8)) & 1) * 255 : line[column]);
            }
        return ink;
    }

    // The text laid out with FreeType's advances and kerning in whole pixels
    // (rounded down), painted with the larger coverage where glyphs overlap.
    GreyPicture freetypePicture(uint32_t size) { return freetypePicture(size, latin1(kText)); }

    static std::vector<uint32_t> latin1(const std::string& text)
    {
        std::vector<uint32_t> characters;
        for (char byte : text)
            characters.push_back(uint8_t(byte));
        return characters;
    }

    GreyPicture freetypePicture(uint32_t size, const std::vector<uint32_t>& text)
    {
        EXPECT_EQ(FT_Set_Pixel_Sizes(face, 0, size), 0);
        const int64_t ascender = face->size->metrics.ascender / 64, lineHeight = face->size->metrics.height / 64;
        std::vector<Ink> inks;
        int64_t pen = 0, left = 0, top = 0, right = 0, bottom = lineHeight;
        FT_UInt previous = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(text[i]));
            FT_Vector kerning{0, 0};
            if (i > 0)
                FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning);
            kernedPairs += kerning.x >> 6 != 0;
            pen += kerning.x >> 6;
            const Ink ink = render(index, pen, ascender);
            if (ink.width > 0 && ink.rows > 0) {
                left = std::min(left, ink.x);
                top = std::min(top, ink.y);
                right = std::max(right, ink.x + ink.width);
                bottom = std::max(bottom, ink.y + ink.rows);
                inks.push_back(ink);
            }
            pen += face->glyph->advance.x >> 6;
            previous = index;
        }
        right = std::max(right, pen);
        GreyPicture picture{right - left, bottom - top, {}};
        Bytes coverage(size_t(picture.width * picture.height), 0);
        for (const Ink& ink : inks)
            for (int64_t r = 0; r < ink.rows; ++r)
                for (int64_t c = 0; c < ink.width; ++c) {
                    uint8_t& target = coverage[(ink.y - top + r) * picture.width + ink.x - left + c];
                    target = std::max(target, ink.coverage[r * ink.width + c]);
                }
        for (uint8_t value : coverage)
            picture.pixels.push_back(uint8_t(255 - value));
        return picture;
    }

    std::string fontPath;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Exports the font with `options` into the folder; the source's path.
    std::string exportFont(const std::string& name, uint32_t size, const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments = {
            "--silent", "--font", fontPath, "--size", std::to_string(size), "--output_path", folder.path(), name};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramResult exported = runProgram(GLYPHSMITH_CLI, arguments);
        EXPECT_EQ(exported.status, 0) << exported.output;
        return folder.file(name + "_" + std::to_string(size) + ".cpp");
    }

    // assetpeek's picture of the UTF-8 `text` drawn from `source`.
    LibpngImage picture(const std::string& source, const std::string& text, int rotation = 0)
    {
        const std::string path = folder.file("picture.png");
        const ProgramResult drawn = runProgram(ASSETPEEK_PATH,
            {"--font", source, "--text", text, "--rotation", std::to_string(rotation), "--output", path});
        EXPECT_EQ(drawn.status, 0) << drawn.output;
        return readPicture(path);
    }

    bool mono = false;   // render FreeType's monochrome bitmaps
    int kernedPairs = 0; // pairs of the text that FreeType kerns by a pixel or more
    TemporaryDirectory folder;
};

// The largest difference between two grey pictures of one size.
int largestDifference(const Bytes& a, const Bytes& b)
{
    int largest = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

TEST_F(FontRoundTrip, TextEqualsFreeTypeAndEveryRotationIsItTurned)
{
    for (uint32_t size : {16u, 40u}) {
        const std::string source = folder.file("dejavu_" + std::to_string(size) + ".cpp");
        const ProgramResult exported = runProgram(GLYPHSMITH_CLI,
            {"--silent", "--font", fontPath, "--chars", "32-126", "--size", std::to_string(size), "--output_path",
                folder.path(), "dejavu"});
        ASSERT_EQ(exported.status, 0) << exported.output;

        kernedPairs = 0;
        const GreyPicture expected = freetypePicture(size);
        EXPECT_GE(kernedPairs, 3) << "the text must kern";
        const std::string upright = folder.file("upright.png");
        const ProgramResult drawn =
            runProgram(ASSETPEEK_PATH, {"--font", source, "--text", kText, "--output", upright});
        ASSERT_EQ(drawn.status, 0) << drawn.output;
        const LibpngImage picture = readPicture(upright);
        ASSERT_EQ(std::make_pair(int64_t(picture.width), int64_t(picture.height)),
            std::make_pair(expected.width, expected.height))
            << size;
        EXPECT_TRUE(picture.rows == expected.pixels) << "size " << size;

        for (int rotation : {90, 180, 270}) {
            const std::string turned = folder.file("turned.png");
            const ProgramResult result = runProgram(ASSETPEEK_PATH,
                {"--font", source, "--text", kText, "--rotation", std::to_string(rotation), "--output", turned});
            ASSERT_EQ(result.status, 0) << result.output;
            EXPECT_TRUE(
                readPicture(turned).rows == rotateReference(picture.rows, picture.width, picture.height, 1, rotation))
                << "size " << size << " rotation " << rotation;
        }
    }
}

// The same for a CP1251 export: assetpeek turns the UTF-8 text into the
// page's codes, and the picture is FreeType's of the Cyrillic characters.
TEST_F(FontRoundTrip, CyrillicTextFromACodePageExportEqualsFreeType)
{
    const uint32_t size = 24;
    const ProgramResult exported = runProgram(GLYPHSMITH_CLI,
        {"--silent", "--font", fontPath, "--chars", "32-126,192-255", "--codepage", "CP1251", "--size",
            std::to_string(size), "--output_path", folder.path(), "cyrillic"});
    ASSERT_EQ(exported.status, 0) << exported.output;
    const std::vector<uint32_t> text = {0x41F, 0x440, 0x438, 0x432, 0x435, 0x442, ',', ' ', 0x43C, 0x438, 0x440};
    kernedPairs = 0;
    const GreyPicture expected = freetypePicture(size, text);
    const std::string drawn = folder.file("cyrillic.png");
    // With the code page given again, and from the source's own notes alone.
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--codepage", "CP1251"}, {}}) {
        std::vector<std::string> arguments = {
            "--font", folder.file("cyrillic_24.cpp"), "--text", kCyrillicText, "--output", drawn};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramResult result = runProgram(ASSETPEEK_PATH, arguments);
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output.find("WARNING"), std::string::npos) << result.output;
        const LibpngImage picture = readPicture(drawn);
        ASSERT_EQ(std::make_pair(int64_t(picture.width), int64_t(picture.height)),
            std::make_pair(expected.width, expected.height));
        EXPECT_TRUE(picture.rows == expected.pixels) << options.size();
    }
}

// Packed exports of the same glyphs: 8 bits draw the classic export's
// pictures in every rotation, 4 bits FreeType's within half a level (17 / 2),
// 1 bit FreeType's monochrome bitmaps exactly.
TEST_F(FontRoundTrip, PackedTextEqualsFreeTypeAtItsDepth)
{
    const uint32_t size = 20;
    const std::string classic = exportFont("classic", size, {"--chars", "32-126"});
    const std::string all = "0,90,180,270";
    for (const std::string compress : {"", "--compress"}) {
        std::vector<std::string> options = {"--bpp", "8", "--rotations", all, "--chars", "32-126"};
        if (!compress.empty())
            options.insert(options.begin(), compress);
        const std::string packed = exportFont("packed", size, options);
        for (int rotation : {0, 90, 180, 270})
            EXPECT_TRUE(picture(packed, kText, rotation).rows == picture(classic, kText, rotation).rows)
                << compress << " rotation " << rotation;
    }
    const GreyPicture grey = freetypePicture(size);
    const LibpngImage four =
        picture(exportFont("four", size, {"--bpp", "4", "--compress", "--chars", "32-126"}), kText);
    ASSERT_EQ(std::make_pair(int64_t(four.width), int64_t(four.height)), std::make_pair(grey.width, grey.height));
    EXPECT_LE(largestDifference(four.rows, grey.pixels), 8);
    EXPECT_GT(largestDifference(four.rows, grey.pixels), 0);
    mono = true;
    const GreyPicture bilevel = freetypePicture(size);
    const LibpngImage one = picture(exportFont("one", size, {"--bpp", "1", "--chars", "32-126"}), kText);
    ASSERT_EQ(std::make_pair(int64_t(one.width), int64_t(one.height)), std::make_pair(bilevel.width, bilevel.height));
    EXPECT_TRUE(one.rows == bilevel.pixels);
}

// A packed font of Latin, Greek and Cyrillic letters and the euro sign
// draws UTF-8 text as FreeType renders those characters.
TEST_F(FontRoundTrip, UnicodeTextEqualsFreeType)
{
    const uint32_t size = 24;
    const std::string source = exportFont("unicode", size,
        {"--bpp", "8", "--compress", "--chars", "32-126,U+00C4,U+00E9,U+0391-U+03C9,U+0410-U+044F,U+20AC"});
    const std::string text = "\xC3\x84pfel \xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 "
                             "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 10\xE2\x82\xAC caf\xC3\xA9";
    const std::vector<uint32_t> characters = {0xC4, 'p', 'f', 'e', 'l', ' ', 0x391, 0x3B8, 0x3AE, 0x3BD, 0x3B1, ' ',
        0x41F, 0x440, 0x438, 0x432, 0x435, 0x442, ' ', '1', '0', 0x20AC, ' ', 'c', 'a', 'f', 0xE9};
    const GreyPicture expected = freetypePicture(size, characters);
    const LibpngImage drawn = picture(source, text);
    ASSERT_EQ(
        std::make_pair(int64_t(drawn.width), int64_t(drawn.height)), std::make_pair(expected.width, expected.height));
    EXPECT_TRUE(drawn.rows == expected.pixels);
}

} // namespace
