// Round trips through the tools (their entry functions, run in this
// process): every PngSuite image that pixpack accepts becomes a surface
// file, plain and compressed, in every rotation (and alpha only where
// pixpack takes it), and
// assetpeek --upright draws from that file exactly what libpng decodes from
// the source image.
#include "peek_check.h"
#include "run_program.h"
#include "tool_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kSuiteDir = CORVANE_PNGSUITE_DIR;

// Colour pictures: palettes expanded, colour keys to alpha, grey levels to
// 8 bits and then to RGB, 16-bit samples cut to their high byte.
void colourSetup(png_structp png, png_infop)
{
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
}

// Grey pictures: palette images show their indices (the surface file holds
// no palette); grey levels to 8 bits, colour keys to alpha, 16-bit samples
// cut to their high byte.
void greySetup(png_structp png, png_infop info)
{
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(png);
        return;
    }
    png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    png_set_strip_16(png);
}

// Alpha-only pictures come from the grey levels alone; a colour key plays no part.
void alphaSetup(png_structp png, png_infop)
{
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_strip_16(png);
}

// What assetpeek should draw for `source` once its picture turned out to
// have `colorType`, from libpng's decoding of the source.
LibpngImage expectedPicture(const Bytes& source, int colorType, bool alphaOnly)
{
    const bool colour = colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA;
    LibpngImage image;
    EXPECT_TRUE(readWithLibpng(source, alphaOnly ? alphaSetup : colour ? colourSetup : greySetup, image));
    if (alphaOnly) {
        // Black, with the grey level as alpha.
        Bytes rows;
        for (uint8_t level : image.rows)
            rows.insert(rows.end(), {0, level});
        image.rows = rows;
        image.channels = 2;
    }
    return image;
}

// Runs every suite image through pixpack (with --compress when `compress`)
// and assetpeek; returns how many pixpack accepted.
size_t roundTripSuite(int rotation, bool alphaOnly, bool compress = false)
{
    TemporaryDirectory folder;
    const std::string surface = folder.file("image.srf"), picture = folder.file("picture.png");
    size_t accepted = 0;
    for (const std::string& name : pngFilesIn(kSuiteDir)) {
        const std::string image = kSuiteDir + "/" + name;
        std::vector<std::string> pack = {"--image", image, "--output", surface};
        if (rotation != 0)
            pack.insert(pack.end(), {"--rotation", std::to_string(rotation)});
        if (alphaOnly)
            pack.push_back("--alphaonly");
        if (compress)
            pack.push_back("--compress");
        if (runEntryFunction(pixpack_main, "pixpack", pack).status != 0)
            continue; // pixpack refuses it: its own tests say why
        ++accepted;
        const ProgramResult peek =
            runEntryFunction(assetpeek_main, "assetpeek", {"--surface", surface, "--upright", "--output", picture});
        EXPECT_EQ(peek.status, 0) << name << "\n" << peek.output;
        const LibpngImage drawn = readPicture(picture);
        const std::string file = readFileBytes(image);
        const LibpngImage expected = expectedPicture(Bytes(file.begin(), file.end()), drawn.colorType, alphaOnly);
        EXPECT_EQ(std::make_pair(drawn.width, drawn.height), std::make_pair(expected.width, expected.height)) << name;
        EXPECT_EQ(drawn.bitDepth, 8) << name;
        EXPECT_EQ(drawn.channels, expected.channels) << name << " rotation " << rotation;
        EXPECT_TRUE(drawn.rows == expected.rows)
            << name << " rotation " << rotation << " alpha only " << alphaOnly << " compressed " << compress;
    }
    return accepted;
}

// pixpack accepts every valid image of the suite (all but the 14 damaged
// ones), and as alpha only every valid greyscale one.
constexpr size_t kValidImages = 161;
constexpr size_t kGreyImages = 42;

class PngSuiteRoundTrip : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(pngFilesIn(kSuiteDir).empty()) << "no PngSuite images under " << kSuiteDir; }
};

TEST_F(PngSuiteRoundTrip, Unturned)
{
    EXPECT_EQ(roundTripSuite(0, false), kValidImages);
}

TEST_F(PngSuiteRoundTrip, TurnedBy90)
{
    EXPECT_EQ(roundTripSuite(90, false), kValidImages);
}

TEST_F(PngSuiteRoundTrip, TurnedBy180)
{
    EXPECT_EQ(roundTripSuite(180, false), kValidImages);
}

TEST_F(PngSuiteRoundTrip, TurnedBy270)
{
    EXPECT_EQ(roundTripSuite(270, false), kValidImages);
}

TEST_F(PngSuiteRoundTrip, AlphaOnlyInEveryRotation)
{
    for (int rotation : {0, 90, 180, 270})
        EXPECT_EQ(roundTripSuite(rotation, true), kGreyImages) << "rotation " << rotation;
}

// Compressed files draw what the uncompressed ones draw: the images libpng
// decodes.
class CompressedRoundTrip : public PngSuiteRoundTrip, public testing::WithParamInterface<int> { };

TEST_P(CompressedRoundTrip, DrawsWhatLibpngDecodes)
{
    EXPECT_EQ(roundTripSuite(GetParam(), false, true), kValidImages);
    EXPECT_EQ(roundTripSuite(GetParam(), true, true), kGreyImages);
}

INSTANTIATE_TEST_SUITE_P(Rotations, CompressedRoundTrip, testing::Values(0, 90, 180, 270));

} // namespace
