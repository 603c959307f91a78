
// --dither measured on the pictures assetpeek draws back from the surface
// files: no drift of any colour channel, much shorter bands of equal pixels
// than plain truncation gives, the PSNR against the 8-bit source reported;
// and the turned dithered surfaces are the upright one turned.
#include "format_check.h"
#include "missing_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kConvert = IMAGEMAGICK_CONVERT;
const std::string kPhotoDir = CORVANE_PHOTO_DIR;

// Photographs of Debian's lomiri-wallpapers-16.04 (CC-BY-4.0, Aitzol
// Berasategi): a sunset sky and a mountain landscape.
const char* const kPhotos[] = {"sunset_by_Aitzol_Berasategi.jpg", "aitzgorri_by_Aitzol_Berasategi.jpg"};

void asStored(png_structp, png_infop)
{
}

const char* const kDitheredModes[] = {"RGB565", "ARGB1555", "ARGB4444"};

// An RGB picture as libpng reads it.
struct Rgb {
    uint32_t width = 0, height = 0;
    Bytes pixels; // R, G, B
};

Rgb readRgb(const std::string& path)
{
    const std::string file = readFileBytes(path);
    LibpngImage image;
    Rgb rgb;
    if (!readWithLibpng(Bytes(file.begin(), file.end()), asStored, image) || image.bitDepth != 8 ||
        image.channels < 3) {
        ADD_FAILURE() << path << " is not an 8-bit RGB or RGBA picture";
        return rgb;
    }
    rgb.width = image.width;
    rgb.height = image.height;
    for (size_t i = 0; i < image.rows.size(); i += image.channels)
        rgb.pixels.insert(rgb.pixels.end(), image.rows.begin() + long(i), image.rows.begin() + long(i) + 3);
    return rgb;
}

// What the dithering tests look at in one picture drawn back from a surface.
struct Measures {
    double meanError[3]; // drawn - source, per channel, in levels
    double psnr;         // over the three channels, against the source, in dB
    double meanRun;      // mean length of the runs of equal pixels along the rows
    double bandedShare;  // share of the pixels that lie in such runs of kBandPixels or more
};

// A run of this many equal pixels or more counts as a band. The two
// banding measures answer different pictures: in a gradient every plain
// run is a band, and the mean run length shows how much shorter dithering
// makes them (runs stay long near the levels a mode stores exactly, where
// dithering rightly changes little); in a photograph most runs are short
// anyway and the bands are the flat patches of sky and shade, which the
// banded share counts.
constexpr uint32_t kBandPixels = 8;

Measures measure(const Rgb& source, const Rgb& drawn)
{
    Measures m{};
    double squares = 0;
    const size_t pixels = size_t(source.width) * source.height;
    for (size_t i = 0; i < source.pixels.size(); ++i) {
        const double error = double(drawn.pixels[i]) - double(source.pixels[i]);
        m.meanError[i % 3] += error / double(pixels);
        squares += error * error;
    }
    m.psnr = 10 * std::log10(255.0 * 255.0 / (squares / double(source.pixels.size())));
    size_t runs = 0, banded = 0;
    for (uint32_t y = 0; y < source.height; ++y) {
        uint32_t run = 0;
        for (uint32_t x = 0; x <= source.width; ++x) {
            const uint8_t* at = drawn.pixels.data() + (size_t(y) * source.width + x) * 3;
            if (x == source.width || (x > 0 && !std::equal(at - 3, at, at))) {
                ++runs;
                banded += run >= kBandPixels ? run : 0;
                run = 0;
            }
            ++run;
        }
    }
    m.meanRun = double(pixels) / double(runs);
    m.bandedShare = double(banded) / double(pixels);
    return m;
}

class Dither : public testing::Test {
protected:
    // pixpack --format `mode` (with --dither when asked) of `image`, drawn by
    // assetpeek and measured against `source`.
    Measures packAndMeasure(const std::string& image, const Rgb& source, const std::string& mode, bool dither)
    {
        std::vector<std::string> options = {"--format", mode};
        if (dither)
            options.push_back("--dither");
        const ProgramResult pack = pixpackRun(image, surface, 0, options);
        EXPECT_EQ(pack.status, 0) << pack.output;
        const ProgramResult peek = runProgram(ASSETPEEK_PATH, {"--surface", surface, "--output", picture});
        EXPECT_EQ(peek.status, 0) << peek.output;
        return measure(source, readRgb(picture));
    }

    // The measures of every dithered mode on `image`: no channel drifts by
    // half a level or more, and the banding measure `banding` becomes at
    // least 4 times smaller.
    void expectDitherHelps(const std::string& image, const std::string& label, double Measures::*banding)
    {
        const Rgb source = readRgb(image);
        ASSERT_GT(source.width, 0u);
        for (const char* mode : kDitheredModes) {
            const Measures plain = packAndMeasure(image, source, mode, false);
            const Measures dithered = packAndMeasure(image, source, mode, true);
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(std::fabs(dithered.meanError[c]), 0.5) << label << " " << mode << " channel " << c;
            EXPECT_LE(dithered.*banding * 4, plain.*banding) << label << " " << mode;
            std::printf("%s %s: PSNR %.2f dB plain, %.2f dB dithered; mean run %.2f plain, %.2f dithered; "
                        "banded share %.4f plain, %.4f dithered; "
                        "mean error R %+.3f G %+.3f B %+.3f plain, R %+.3f G %+.3f B %+.3f dithered\n",
                label.c_str(), mode, plain.psnr, dithered.psnr, plain.meanRun, dithered.meanRun, plain.bandedShare,
                dithered.bandedShare, plain.meanError[0], plain.meanError[1], plain.meanError[2], dithered.meanError[0],
                dithered.meanError[1], dithered.meanError[2]);
            RecordProperty(label + "_" + mode + "_psnr_plain", std::to_string(plain.psnr));
            RecordProperty(label + "_" + mode + "_psnr_dithered", std::to_string(dithered.psnr));
        }
    }

    TemporaryDirectory folder;
    const std::string surface = folder.file("s.srf"), picture = folder.file("p.png");
};

// A grey ramp of 256 steps, 4 pixels each, over 16 rows.
std::string writeGradient(const TemporaryDirectory& folder)
{
    PngRecipe recipe;
    recipe.colorType = 2;
    recipe.width = 1024;
    recipe.height = 16;
    for (uint32_t y = 0; y < recipe.height; ++y)
        for (uint32_t x = 0; x < recipe.width; ++x)
            recipe.pixels.insert(recipe.pixels.end(), 3, uint8_t(x / 4));
    recipe.filters = {0};
    const Bytes png = buildPng(recipe);
    const std::string path = folder.file("gradient.png");
    writeFileBytes(path, std::string(png.begin(), png.end()));
    return path;
}

// One of the photographs, scaled down by ImageMagick to a PNG of 8-bit RGB.
std::string writePhoto(const TemporaryDirectory& folder, const char* name)
{
    const std::string path = folder.file(std::string(name) + ".png");
    const ProgramResult made = runProgram(kConvert,
        {"-define", "jpeg:size=800x600", kPhotoDir + "/" + name, "-resize", "400x300", "-depth", "8", "PNG24:" + path});
    EXPECT_EQ(made.status, 0) << made.output;
    return path;
}

TEST_F(Dither, GradientLosesItsBandsWithoutDrift)
{
    expectDitherHelps(writeGradient(folder), "gradient", &Measures::meanRun);
}

TEST_F(Dither, PhotographsWithoutDrift)
{
    for (const char* name : kPhotos)
        if (!fileExists(kPhotoDir + "/" + name))
            SKIP_FOR_MISSING(name << " is not installed (Debian package lomiri-wallpapers-16.04)");
    for (const char* name : kPhotos)
        expectDitherHelps(writePhoto(folder, name), name, &Measures::bandedShare);
}

// Dithering runs over the upright image, so every rotation stores the same
// pixels turned; and two runs give the same bytes.
TEST_F(Dither, TurnedSurfacesAreTheUprightOneTurned)
{
    const std::string image = writeGradient(folder);
    for (const char* mode : kDitheredModes) {
        ASSERT_EQ(pixpackRun(image, surface, 0, {"--format", mode, "--dither"}).status, 0);
        const SurfaceFile upright = readSurfaceFile(surface);
        for (int rotation : {0, 90, 180, 270}) {
            ASSERT_EQ(pixpackRun(image, surface, rotation, {"--format", mode, "--dither"}).status, 0);
            EXPECT_EQ(readFileBytes(surface),
                surfaceFileBytes(upright.rows, upright.width, upright.height, upright.colorMode, 2, rotation))
                << mode << " rotation " << rotation;
        }
    }
}

} // namespace
