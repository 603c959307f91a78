// End-to-end tests of the real pixpack binary: whole output, exit status, files.
#include "folder_state.h"
#include "png_builder.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kBanner =
    "\n\nCorvane Surface Generator v1.00. Asset tools for the Corvane embedded graphics library.\n\n";
const std::string kUsage = "\n\nUSAGE: pixpack [options]\n"
                           "where [options] can be any of the following:\n\n"
                           "\n --help                            -  Print this help screen\n"
                           "\n --silent                          -  Print minimal information on the screen (useful "
                           "for running from scripts)\n"
                           "\n --image <image file>              -  Input image file\n"
                           "\n --rotation <90 | 180 | 270>       -  Specify image rotation\n"
                           "\n --alphaonly                       -  Generate an alpha only surface\n"
                           "\n --output <output file>            -  Output surface file\n";
const std::string kClosing = "\n\n";

ProgramResult pixpack(const std::vector<std::string>& arguments)
{
    return runProgram(PIXPACK_PATH, arguments);
}

std::string usageError(const std::string& line)
{
    return kBanner + kUsage + "\n\nERROR: " + line + "\n\n";
}

std::string runtimeError(const std::string& line)
{
    return kBanner + "\n\nERROR: " + line + "\n\n";
}

std::string success(const std::string& image, size_t bytes)
{
    return kBanner + "\nGenerated surface for '" + image + "', size " + std::to_string(bytes) + " bytes" + kClosing;
}

std::string asText(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

void appendLittleEndian32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char(value >> shift));
}

// The surface file a correct pixpack writes, from libpng's decoding.
std::string expectedSurfaceFile(const Bytes& png, bool alphaOnly, int rotation)
{
    const ReferenceSurface reference = referenceSurface(png, alphaOnly);
    const uint32_t bpp = reference.colorMode == 0 ? 4 : reference.colorMode == 1 ? 3 : reference.colorMode == 7 ? 2 : 1;
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t width = quarter ? reference.height : reference.width;
    const uint32_t height = quarter ? reference.width : reference.height;
    std::string file;
    for (uint32_t word : {uint32_t(rotation), reference.colorMode, width, height, width * bpp})
        appendLittleEndian32(file, word);
    file += asText(rotateReference(reference.pixels, reference.width, reference.height, bpp, rotation));
    file.resize((file.size() + 3) & ~size_t(3), '\0');
    return file;
}

class Pixpack : public testing::Test {
protected:
    void SetUp() override
    {
        PngRecipe recipe;
        recipe.colorType = 2;
        recipe.width = 5;
        recipe.height = 3;
        recipe.pixels = randomBytes(45, 1);
        recipe.filters = {1, 4, 2};
        colorPng = buildPng(recipe);
        writeFileBytes(color, asText(colorPng));
        recipe.colorType = 0;
        recipe.pixels = randomBytes(15, 2);
        greyPng = buildPng(recipe);
        writeFileBytes(grey, asText(greyPng));
    }

    TemporaryDirectory directory;
    const std::string color = directory.file("color.png");
    const std::string grey = directory.file("grey.png");
    const std::string output = directory.file("out.srf");
    Bytes colorPng, greyPng;
};

TEST_F(Pixpack, HelpPrintsTheUsageListing)
{
    for (const std::vector<std::string>& arguments :
        {std::vector<std::string>{"--help"}, {"--image", "x.png", "--help", "--output", "o"}}) {
        const ProgramResult result = pixpack(arguments);
        EXPECT_EQ(result.output, kBanner + kUsage + kClosing);
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
        EXPECT_EQ(result.output, usageError(c.error)) << c.error;
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
        EXPECT_EQ(result.output, runtimeError(c.error)) << c.error;
        EXPECT_EQ(result.status, 1) << c.error;
        EXPECT_EQ(readFileBytes(output), "an older surface") << c.error;
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
        {{"--help", "--silent"}, kUsage, 0},
        {{"--silent", "--output", output}, kUsage + "\n\nERROR: '--image' missing file name\n\n", 1},
        {{"--silent", "--silent", "--help"}, kUsage + "\n\nERROR: '--silent' duplicate option\n\n", 1},
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

// Whatever the spelling of the output, and whether the run succeeds or
// fails, no file that existed is lost and no temporary file stays behind.
TEST_F(Pixpack, OutputsNeverLoseData)
{
    umask(022);
    const std::string png = asText(colorPng);
    const std::string surfaceBytes = expectedSurfaceFile(colorPng, false, 0);
    const std::string surface = fileEntry(surfaceBytes);
    const std::string old = fileEntry("an older surface");
    struct Case {
        const char* what;
        FolderSetup before;  // besides g.png, the colour image
        std::string input;   // --image, run in the folder
        std::string output;  // --output
        std::string error;   // empty for a run that succeeds
        FolderState changes; // entries that differ afterwards
    };
    const Case cases[] = {
        {"output is the input", {}, "g.png", "g.png", "", {{"g.png", surface}}},
        {"the input spelled otherwise", {}, "g.png", "./g.png", "", {{"g.png", surface}}},
        {"a hard link to the input", {{"h.png", hardLinkEntry("g.png")}}, "h.png", "g.png", "", {{"g.png", surface}}},
        {"a symlink to the input", {{"s.srf", linkEntry("g.png")}}, "g.png", "s.srf", "", {{"g.png", surface}}},
        {"a replaced file keeps its mode", {{"o.srf", fileEntry("x", 0604)}}, "g.png", "o.srf", "",
            {{"o.srf", fileEntry(surfaceBytes, 0604)}}},
        {"a dangling symlink", {{"s.srf", linkEntry("t.srf")}}, "g.png", "s.srf", "", {{"t.srf", surface}}},
        {"undecodable image, old output", {{"b.png", fileEntry("not a PNG")}, {"o.srf", old}}, "b.png", "o.srf",
            "cannot decode PNG file", {}},
        {"undecodable image, output is the input", {{"b.png", fileEntry("not a PNG")}}, "b.png", "b.png",
            "cannot decode PNG file", {}},
        {"undecodable image, symlinked output",
            {{"b.png", fileEntry("not a PNG")}, {"t.srf", old}, {"s.srf", linkEntry("t.srf")}}, "b.png", "s.srf",
            "cannot decode PNG file", {}},
        {"undecodable image, dangling symlink", {{"b.png", fileEntry("not a PNG")}, {"s.srf", linkEntry("t.srf")}},
            "b.png", "s.srf", "cannot decode PNG file", {}},
        {"a folder as the input", {{"f.png", kFolderEntry}, {"o.srf", old}}, "f.png", "o.srf",
            "cannot read input file 'f.png'", {}},
        {"output is a folder", {{"o.srf", kFolderEntry}}, "g.png", "o.srf", "cannot create output file 'o.srf'", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        writeFileBytes(folder.file("g.png"), png);
        makeEntries(folder.path(), c.before);
        const FolderState expected = withChanges(folderState(folder.path()), c.changes);
        const ProgramResult result =
            runProgram(PIXPACK_PATH, {"--image", c.input, "--output", c.output}, folder.path());
        EXPECT_EQ(result.output, c.error.empty() ? success(c.input, surfaceBytes.size()) : runtimeError(c.error));
        EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
        EXPECT_EQ(folderState(folder.path()), expected);
    }
}

// A file far larger than the machine's memory (sparse, so it costs no disk)
// is refused before anything is allocated for it.
TEST_F(Pixpack, RefusesAnInputTooBigToHold)
{
    const std::string huge = directory.file("huge.png");
    writeFileBytes(huge, asText(colorPng));
    ASSERT_EQ(truncate(huge.c_str(), off_t(1) << 40), 0);
    const ProgramResult result = pixpack({"--image", huge, "--output", output});
    EXPECT_EQ(result.output, runtimeError("cannot read input file '" + huge + "'"));
    EXPECT_EQ(result.status, 1);
}

} // namespace
