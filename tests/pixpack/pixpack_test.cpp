// End-to-end tests of the real pixpack binary: the command line, errors,
// --format and its refusals, --silent, and the surface files written.
#include "pixpack_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST_F(Pixpack, HelpPrintsTheUsageListing)
{
    for (const std::vector<std::string>& arguments :
        {std::vector<std::string>{"--help"}, {"--image", "x.png", "--help", "--output", "o"}}) {
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, kTranscript.banner + kTranscript.usage + kClosingLine);
        EXPECT_EQ(result.status, 0);
    }
}

TEST_F(Pixpack, CommandLineErrors)
{
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{}, "'--image' missing file name"},
        {{"--output", "o.srf"}, "'--image' missing file name"},
        {{"--image", "a.png"}, "'--output' missing output file"},
        {{"--image"}, "'--image' missing value"},
        {{"--image", "a.png", "--rotation", "-90", "--output", "o"}, "'--rotation' missing value"},
        {{"--image", "a.png", "--output", "o", "--output", "p"}, "'--output' duplicate option"},
        {{"--image", "a.png", "--alphaonly", "--alphaonly", "--output", "o"}, "'--alphaonly' duplicate option"},
        {{"--image", "a.png", "--output", "o", "stray"}, "invalid argument stray"},
        {{"--image", "a.png", "--output", "o", "--verbose"}, "invalid argument --verbose"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = pixpack(c.arguments);
        EXPECT_EQ(result.output, kTranscript.usageError(c.error)) << c.error;
        EXPECT_EQ(result.status, 1) << c.error;
    }
}

TEST_F(Pixpack, RunErrorsLeaveFilesAsTheyWere)
{
    TemporaryDirectory scratch;
    const std::string empty = scratch.file("empty.png"), broken = scratch.file("broken.png");
    writeFileBytes(empty, "");
    writeFileBytes(broken, asText(colorPng).substr(0, 40));
    const std::string missing = scratch.file("missing.png");
    const std::string badOutput = scratch.file("no/such/dir/out.srf");
    const std::string greyAlpha = scratch.file("grey_alpha.png"), indexed = scratch.file("indexed.png");
    PngRecipe recipe;
    recipe.colorType = 4;
    recipe.width = recipe.height = 2;
    recipe.pixels = randomBytes(8, 3);
    writeFileBytes(greyAlpha, asText(buildPng(recipe)));
    recipe.colorType = 3;
    recipe.pixels = {0, 1, 1, 0};
    recipe.palette = randomBytes(6, 4);
    writeFileBytes(indexed, asText(buildPng(recipe)));
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--image", color, "--rotation", "0", "--output", output}, "invalid rotation"},
        {{"--image", color, "--rotation", "90.0", "--output", output}, "invalid rotation"},
        {{"--image", scratch.file("color.PNG"), "--output", output}, "unrecognized input file"},
        {{"--image", "png", "--output", output}, "unrecognized input file"},
        {{"--image", ".png", "--output", output}, "cannot open input file '.png'"},
        {{"--image", missing, "--output", output}, "cannot open input file '" + missing + "'"},
        {{"--image", color, "--output", badOutput}, "cannot create output file '" + badOutput + "'"},
        {{"--image", empty, "--output", output}, "cannot read input file '" + empty + "'"},
        {{"--image", broken, "--output", output}, "cannot decode PNG file"},
        {{"--image", color, "--alphaonly", "--output", output}, "'--alphaonly' needs a greyscale image"},
        {{"--image", greyAlpha, "--alphaonly", "--output", output}, "'--alphaonly' needs a greyscale image"},
        {{"--image", indexed, "--rotation", "90", "--alphaonly", "--output", output},
            "'--alphaonly' needs a greyscale image"},
        {{"--image", broken, "--alphaonly", "--output", output}, "cannot decode PNG file"},
        {{"--image", color, "--output", "/dev/full"}, "cannot write output file '/dev/full'"},
    };
    for (const auto& c : cases) {
        writeFileBytes(output, "an older surface");
        const ProgramResult result = pixpack(c.arguments);
        EXPECT_EQ(result.output, kTranscript.runtimeError(c.error)) << c.error;
        EXPECT_EQ(result.status, 1) << c.error;
        EXPECT_EQ(readFileBytes(output), "an older surface") << c.error;
    }
}

// Every refusal of --format, --dither and --palette: the whole output, and
// neither the surface nor the palette file written.
TEST_F(Pixpack, FormatRefusals)
{
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.width = 4;
    recipe.height = 2;
    recipe.pixels = {0, 1, 2, 1, 2, 1, 0, 0};
    recipe.palette = randomBytes(9, 4);
    const std::string indexed = directory.file("indexed.png");
    writeFileBytes(indexed, asText(buildPng(recipe)));
    const std::string palette = directory.file("p.bin"), noFolder = directory.file("no/p.bin");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--image", color, "--format", "RGB555"}, "invalid colour mode 'RGB555'"},
        {{"--image", color, "--format", "rgb565"}, "invalid colour mode 'rgb565'"},
        {{"--image", color, "--dither"}, "--dither needs --format"},
        {{"--image", color, "--format", "RGB888", "--dither"},
            "cannot dither RGB888, only RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED or ARGB8565"},
        {{"--image", grey, "--format", "A8", "--dither"},
            "cannot dither A8, only RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED or ARGB8565"},
        {{"--image", indexed, "--format", "I8", "--dither"},
            "cannot dither I8, only RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED or ARGB8565"},
        {{"--image", grey, "--alphaonly", "--format", "AI88"}, "--alphaonly makes A8, not AI88"},
        {{"--image", indexed, "--format", "RGB565", "--palette", palette}, "--palette needs an I8 surface, not RGB565"},
        {{"--image", color, "--format", "I8"}, "I8 needs an indexed image; this one is RGB"},
        {{"--image", grey, "--format", "I8", "--rotation", "90"}, "I8 needs an indexed image; this one is greyscale"},
        {{"--image", color, "--format", "AI88"}, "AI88 needs a greyscale image; this one is RGB"},
        {{"--image", indexed, "--format", "AI88"}, "AI88 needs a greyscale image; this one is indexed"},
        {{"--image", grey, "--palette", palette}, "--palette needs an indexed image; this one is greyscale"},
        {{"--image", color, "--format", "RGB565", "--palette", palette}, "--palette needs an I8 surface, not RGB565"},
        {{"--image", indexed, "--palette", noFolder}, "cannot create palette file '" + noFolder + "'"},
        {{"--image", indexed, "--palette", "/dev/full"}, "cannot write palette file '/dev/full'"},
        {{"--image", directory.file("broken.png"), "--format", "I8"},
            "cannot open input file '" + directory.file("broken.png") + "'"},
    };
    for (const auto& c : cases) {
        writeFileBytes(output, "an older surface");
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--output", output});
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, kTranscript.runtimeError(c.error)) << c.error;
        EXPECT_EQ(result.status, 1) << c.error;
        EXPECT_EQ(readFileBytes(output), "an older surface") << c.error;
        EXPECT_FALSE(fileExists(palette)) << c.error;
    }
    for (const auto& [arguments, error] :
        std::vector<std::pair<std::vector<std::string>, std::string>>{
            {{"--image", color, "--format", "--output", output}, "'--format' missing value"},
            {{"--image", color, "--format", "A8", "--format", "A8", "--output", output}, "'--format' duplicate option"},
            {{"--image", indexed, "--palette", "--output", output}, "'--palette' missing value"},
        }) {
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, kTranscript.usageError(error));
        EXPECT_EQ(result.status, 1);
    }
}

// --format A8 agrees with --alphaonly; the indexed image's I8 surface and
// its palette file are written together.
TEST_F(Pixpack, FormatsThatAgree)
{
    const std::string expected = expectedSurfaceFile(greyPng, true, 90);
    ProgramResult result =
        pixpack({"--image", grey, "--alphaonly", "--format", "A8", "--rotation", "90", "--output", output});
    EXPECT_EQ(result.output, success(grey, expected.size()));
    EXPECT_EQ(readFileBytes(output), expected);
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.width = 3;
    recipe.height = 1;
    recipe.pixels = {1, 0, 1};
    recipe.palette = {10, 20, 30, 40, 50, 60};
    recipe.transparency = {128};
    const Bytes png = buildPng(recipe);
    const std::string indexed = directory.file("indexed.png"), palette = directory.file("p.bin");
    writeFileBytes(indexed, asText(png));
    result = pixpack({"--image", indexed, "--format", "I8", "--palette", palette, "--output", output});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(readFileBytes(output), expectedSurfaceFile(png, false, 0));
    EXPECT_EQ(readFileBytes(palette),
        std::string("\x02\0\0\0"
                    "\x1e\x14\x0a\x80"
                    "\x3c\x32\x28\xff",
            12));
}

// A --format without alpha from an image with any pixel below opaque warns
// in one line, naming the mode that keeps the transparency, and still writes
// the surface; an opaque image, or a mode that keeps alpha, gives no warning.
TEST_F(Pixpack, WarnsWhenTheFormatDropsTransparency)
{
    const auto image = [&](const char* name, uint8_t colorType, Bytes pixels, Bytes palette, Bytes transparency) {
        PngRecipe recipe;
        recipe.colorType = colorType;
        recipe.width = 2;
        recipe.height = 2;
        recipe.pixels = std::move(pixels);
        recipe.palette = std::move(palette);
        recipe.transparency = std::move(transparency);
        const std::string path = directory.file(name);
        writeFileBytes(path, asText(buildPng(recipe)));
        return path;
    };
    const Bytes opaquePixels = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
    Bytes translucentPixels = opaquePixels;
    translucentPixels[15] = 254;
    const std::string translucent = image("translucent.png", 6, translucentPixels, {}, {});
    const std::string opaque = image("opaque.png", 6, opaquePixels, {}, {});
    const std::string keyed = image("keyed.png", 2, {1, 2, 3, 0, 0, 0, 1, 2, 3, 9, 9, 9}, {}, {0, 9, 0, 9, 0, 9});
    const std::string greyAlpha = image("grey_alpha.png", 4, {10, 255, 20, 0, 30, 255, 40, 255}, {}, {});
    const std::string indexed = image("indexed.png", 3, {0, 1, 1, 0}, {1, 2, 3, 4, 5, 6}, {255, 128});
    const std::string indexedOpaque = image("indexed_opaque.png", 3, {0, 1, 1, 0}, {1, 2, 3, 4, 5, 6}, {255, 255});
    const struct {
        std::string image;
        const char* format;
        const char* keeper; // null: no warning
    } cases[] = {
        {translucent, "RGB565", "ARGB8565"},
        {translucent, "RGB888", "ARGB8888"},
        {translucent, "RGB565_SWAPPED", "ARGB8565"},
        {keyed, "RGB565", "ARGB8565"},
        {greyAlpha, "RGB888", "ARGB8888"},
        {indexed, "RGB565_SWAPPED", "ARGB8565"},
        {opaque, "RGB565", nullptr},
        {indexedOpaque, "RGB888", nullptr},
        {color, "RGB565", nullptr},
        {translucent, "ARGB8565", nullptr},
        {translucent, "ARGB1555", nullptr},
        {greyAlpha, "AI88", nullptr},
    };
    for (const auto& c : cases) {
        std::remove(output.c_str());
        const ProgramResult result = pixpack({"--image", c.image, "--format", c.format, "--output", output});
        EXPECT_EQ(result.status, 0) << c.image << " " << c.format;
        ASSERT_TRUE(fileExists(output)) << c.image << " " << c.format;
        const std::string written = success(c.image, readFileBytes(output).size());
        std::string expected = written;
        if (c.keeper)
            expected = kTranscript.banner + "WARNING: --format " + c.format + " drops the transparency of '" + c.image +
                "'; " + c.keeper + " keeps it\n" + written.substr(kTranscript.banner.size());
        EXPECT_EQ(result.output, expected) << c.image << " " << c.format;
    }
}

// --silent leaves out the banner and the closing line: the result line stands
// alone on its line; usage listings and errors are printed as ever.
TEST_F(Pixpack, SilentRunsPrintTheResultLineOrTheErrorAlone)
{
    const std::string size = std::to_string(expectedSurfaceFile(greyPng, false, 90).size());
    const struct {
        std::vector<std::string> arguments;
        std::string output;
        int status;
    } cases[] = {
        {{"--silent", "--image", grey, "--rotation", "90", "--output", output},
            "Generated surface for '" + grey + "', size " + size + " bytes\n", 0},
        {{"--help", "--silent"}, kTranscript.usage, 0},
        {{"--silent", "--output", output}, kTranscript.usage + "\n\nERROR: '--image' missing file name\n\n", 1},
        {{"--silent", "--silent", "--help"}, kTranscript.usage + "\n\nERROR: '--silent' duplicate option\n\n", 1},
        {{"--image", color, "--alphaonly", "--silent", "--output", output},
            "\n\nERROR: '--alphaonly' needs a greyscale image\n\n", 1},
    };
    for (const auto& c : cases) {
        std::remove(output.c_str());
        const ProgramResult result = pixpack(c.arguments);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, c.status) << c.output;
        EXPECT_EQ(fileExists(output), c.output.rfind("Generated", 0) == 0) << c.output;
    }
}

TEST_F(Pixpack, WritesTheSurfaceFile)
{
    const struct {
        std::vector<std::string> options;
        const Bytes* png;
        bool alphaOnly;
        int rotation;
    } cases[] = {
        {{}, &colorPng, false, 0},
        {{"--rotation", "90"}, &colorPng, false, 90},
        {{"--rotation", "180"}, &colorPng, false, 180},
        {{"--rotation", "270"}, &colorPng, false, 270},
        {{}, &greyPng, false, 0},
        {{"--alphaonly"}, &greyPng, true, 0},
        {{"--rotation", "90", "--alphaonly"}, &greyPng, true, 90},
    };
    for (const auto& c : cases) {
        const std::string image = c.png == &colorPng ? color : grey;
        std::vector<std::string> arguments{"--image", image, "--output", output};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const std::string expected = expectedSurfaceFile(*c.png, c.alphaOnly, c.rotation);
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, success(image, expected.size())) << "rotation " << c.rotation;
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(readFileBytes(output), expected) << "rotation " << c.rotation << " alpha only " << c.alphaOnly;
    }
}

// Images of other depths and interlaced ones through the real binary, with
// every option: the same surface file libpng's decoding gives.
TEST_F(Pixpack, WritesTheSurfaceFileOfEveryDepthAndInterlacedImages)
{
    const struct {
        uint8_t colorType, bitDepth, interlace;
        Bytes transparency;
        std::vector<std::string> options;
        bool alphaOnly;
        int rotation;
    } cases[] = {
        {6, 16, 0, {}, {}, false, 0},
        {2, 16, 1, {0x12, 0x34, 0, 0, 0xFF, 0xFF}, {"--rotation", "90"}, false, 90},
        {3, 2, 1, {0, 99}, {"--rotation", "270"}, false, 270},
        {0, 1, 0, {}, {"--alphaonly"}, true, 0},
        {0, 4, 1, {0, 3}, {"--rotation", "180", "--alphaonly"}, true, 180},
        {0, 16, 1, {0x80, 0x00}, {"--rotation", "90"}, false, 90},
        {4, 8, 1, {}, {}, false, 0},
    };
    for (const auto& c : cases) {
        PngRecipe recipe;
        recipe.colorType = c.colorType;
        recipe.bitDepth = c.bitDepth;
        recipe.interlace = c.interlace;
        recipe.width = 11;
        recipe.height = 6;
        recipe.pixels = randomBytes(pngRowBytes(11, c.colorType, c.bitDepth) * 6, c.bitDepth + c.colorType);
        recipe.palette = c.colorType == 3 ? randomBytes(12, 3) : Bytes{};
        recipe.transparency = c.transparency;
        recipe.filters = {4, 2, 1};
        const Bytes png = buildPng(recipe);
        const std::string image = directory.file("deep.png");
        writeFileBytes(image, asText(png));
        std::vector<std::string> arguments{"--image", image, "--output", output};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const std::string expected = expectedSurfaceFile(png, c.alphaOnly, c.rotation);
        const std::string label = "type " + std::to_string(c.colorType) + " depth " + std::to_string(c.bitDepth);
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, success(image, expected.size())) << label;
        EXPECT_EQ(result.status, 0) << label;
        EXPECT_EQ(readFileBytes(output), expected) << label;
    }
}

TEST_F(Pixpack, OptionsInAnyOrderAndAnExistingOutputReplaced)
{
    writeFileBytes(output, std::string(1000, 'x'));
    const ProgramResult result = pixpack({"--output", output, "--alphaonly", "--rotation", "270", "--image", grey});
    const std::string expected = expectedSurfaceFile(greyPng, true, 270);
    EXPECT_EQ(result.output, success(grey, expected.size()));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(readFileBytes(output), expected);
}

} // namespace
