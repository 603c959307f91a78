// The peek library where the round trips through the real tools do not
// reach: colour modes and pitches pixpack never writes, text layout against
// hand-placed glyphs, UTF-8, and the PNG writer's limits and errors.
#include "file_io.h"
#include "peek_check.h"
#include "png_writer.h"
#include "run_program.h"
#include "surface_picture.h"
#include "text_picture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The first pixel of rows that repeat the bytes 21 43 65 87, worked out by
// hand from each mode's layout (little-endian words; narrow channels widened
// by repeating their bits).
TEST(SurfacePicture, ModesGiveTheirPictureFormats)
{
    const struct {
        uint32_t mode;
        PictureFormat format;
        Bytes firstPixel;
    } cases[] = {
        {ARGB8888, PictureFormat::Rgba, {0x65, 0x43, 0x21, 0x87}}, {RGB888, PictureFormat::Rgb, {0x65, 0x43, 0x21}},
        {RGB565, PictureFormat::Rgb, {0x42, 0x65, 0x08}},          // 0x4321: 01000 011001 00001
        {ARGB1555, PictureFormat::Rgba, {0x84, 0xCE, 0x08, 0x00}}, // 0x4321: 0 10000 11001 00001
        {ARGB4444, PictureFormat::Rgba, {0x33, 0x22, 0x11, 0x44}}, // 0x4321
        {I8, PictureFormat::Grey, {0x21}}, {AI88, PictureFormat::GreyAlpha, {0x21, 0x43}},
        {A8, PictureFormat::GreyAlpha, {0x00, 0x21}},
        {RGB565_SWAPPED, PictureFormat::Rgb, {0x21, 0x28, 0x18}},  // 0x2143: 00100 001010 00011
        {ARGB8565, PictureFormat::Rgba, {0x42, 0x65, 0x08, 0x65}}, // 0x4321, then alpha 0x65
    };
    Bytes rows(64);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = uint8_t(0x21 + 0x22 * (i % 4));
    for (const auto& c : cases) {
        const DsSurfaceFile file{0, c.mode, 2, 2, 8, rows.data()};
        const Picture picture = surfacePicture(file, false);
        EXPECT_EQ(picture.format, c.format) << c.mode;
        ASSERT_EQ(picture.pixels.size(), 4u * pictureChannels(c.format)) << c.mode;
        EXPECT_EQ(Bytes(picture.pixels.begin(), picture.pixels.begin() + long(c.firstPixel.size())), c.firstPixel)
            << c.mode;
    }
}

TEST(SurfacePicture, RowsSkipThePaddingOfThePitch)
{
    // 2 x 2 ARGB4444 with a pitch of 6: two bytes of padding per row.
    const Bytes rows = {0x34, 0x12, 0xFF, 0xFF, 0xEE, 0xEE, 0x00, 0xF0, 0x0F, 0x00, 0xEE, 0xEE};
    const DsSurfaceFile file{0, ARGB4444, 2, 2, 6, rows.data()};
    const Picture picture = surfacePicture(file, false);
    EXPECT_EQ(picture.pixels,
        Bytes({0x22, 0x33, 0x44, 0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00}));
}

TEST(Utf8, DecodesAndRefuses)
{
    const struct {
        std::string text;
        bool valid;
        std::vector<uint32_t> codes;
    } cases[] = {
        {"AV", true, {65, 86}},
        {"\xC3\x88"
         "A",
            true, {200, 65}},
        {"\xE2\x82\xAC", true, {0x20AC}}, {"\xF0\x9F\x98\x80", true, {0x1F600}}, {"\xF4\x8F\xBF\xBF", true, {0x10FFFF}},
        {"\xC8", false, {}},                 // a lone Latin-1 byte
        {"\x88", false, {}},                 // a stray continuation byte
        {"\xC3", false, {}},                 // cut short
        {"\xE2\x82", false, {}},             // cut short
        {"\xC3\x41", false, {}},             // not a continuation byte
        {"\xC1\x81", false, {}},             // overlong 'A'
        {"\xE0\x80\xAF", false, {}},         // overlong '/'
        {"\xED\xA0\x80", false, {}},         // a surrogate
        {"\xF4\x90\x80\x80", false, {}},     // above 0x10FFFF
        {"\xF8\x88\x80\x80\x80", false, {}}, // five bytes
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> codes;
        EXPECT_EQ(decodeUtf8(c.text, codes), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(codes, c.codes) << c.text;
        }
    }
}

class TextPicture : public testing::Test {
protected:
    void SetUp() override
    {
        uint32_t line = 0;
        ASSERT_TRUE(readFontSource(smallFontSource(), font, line)) << "line " << line;
    }

    // The upright picture of `codes` with the rotation-0 tables.
    Picture upright(const std::vector<uint32_t>& codes) const
    {
        EXPECT_EQ(missingCharacter(font.rotations[0], codes), std::nullopt);
        return drawText(layoutText(font.rotations[0], codes), 0);
    }

    GeneratedFont font;
};

// Paints the upright image of `code` with its top-left corner at (x, y) of
// a picture `width` pixels wide, as 255 - coverage, the larger coverage winning.
void paint(Bytes& picture, uint32_t width, uint32_t code, uint32_t x, uint32_t y)
{
    const uint32_t glyphWidth = code == 'g' || code == 200 ? 2 : 3;
    const Bytes pixels = smallFontPixels(code);
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint8_t& target = picture[(y + i / glyphWidth) * width + x + i % glyphWidth];
        target = std::min<uint8_t>(target, uint8_t(255 - pixels[i]));
    }
}

TEST_F(TextPicture, PenKerningAndExtent)
{
    const struct {
        std::vector<uint32_t> codes;
        uint32_t width, height;                      // of the picture
        std::vector<std::array<uint32_t, 3>> glyphs; // code, x, y in the picture
    } cases[] = {
        // 'V' hangs one pixel left of the pen; 'A' kerns -1 after it; the pen ends at 6.
        {{'V', 'A'}, 7, 12, {{'V', 0, 2}, {'A', 3, 0}}},
        // The second 'A' kerns -3 onto the first: the overlap keeps the larger coverage.
        {{'A', 'A'}, 5, 12, {{'A', 0, 0}, {'A', 1, 0}}},
        // Code 200 rises 2 rows above the line, 'g' ends 2 rows below it; a space
        // only advances, and the pen's end sets the right edge.
        {{200, 'g', ' '}, 8, 16, {{200, 0, 0}, {'g', 3, 12}}},
        // 'A' kerns -2 after code 200.
        {{200, 'A'}, 5, 14, {{200, 0, 0}, {'A', 1, 2}}},
        // Nothing to draw is still one pixel wide; the font's height stays.
        {{}, 1, 12, {}},
        {{' '}, 2, 12, {}},
    };
    for (const auto& c : cases) {
        const Picture picture = upright(c.codes);
        ASSERT_EQ(std::make_pair(picture.width, picture.height), std::make_pair(c.width, c.height)) << c.codes.size();
        EXPECT_EQ(picture.format, PictureFormat::Grey);
        Bytes expected(size_t(c.width) * c.height, 255);
        for (const auto& [code, x, y] : c.glyphs)
            paint(expected, c.width, code, x, y);
        EXPECT_EQ(picture.pixels, expected) << c.codes.size();
    }
}

TEST(PngWriter, WidthsBeyondLibpngsDefaultLimit)
{
    TemporaryDirectory folder;
    Picture picture;
    picture.width = 1000001; // libpng refuses more than 1000000 unless told otherwise
    picture.height = 1;
    picture.pixels.assign(picture.width, 0x80);
    OutputFile output;
    ASSERT_TRUE(output.create(folder.file("wide.png")));
    ASSERT_TRUE(writePng(picture, output));
    ASSERT_TRUE(output.commit());
    // libpng's reader keeps its own limit: read the width from the header.
    const std::string file = readFileBytes(folder.file("wide.png"));
    ASSERT_GT(file.size(), 24u);
    EXPECT_EQ(file.substr(12, 4), "IHDR");
    EXPECT_EQ(file.substr(16, 4), std::string("\x00\x0F\x42\x41", 4));
}

TEST(PngWriter, LibpngErrorsComeBackAsFalse)
{
    // libpng refuses an empty image in its header check and jumps out.
    TemporaryDirectory folder;
    OutputFile output;
    ASSERT_TRUE(output.create(folder.file("empty.png")));
    EXPECT_FALSE(writePng(Picture{}, output));
    output.discard();
    EXPECT_FALSE(fileExists(folder.file("empty.png")));
}

} // namespace
