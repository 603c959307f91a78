// End-to-end tests of the real pixpack binary: whole output, exit status, files.
#include "folder_state.h"
#include "png_builder.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
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
                           "\n --output <output file>            -  Output surface file\n"
                           "\n --format <colour mode>            -  Convert to ARGB8888, RGB888, RGB565, ARGB1555, "
                           "ARGB4444, AI88, A8, I8, RGB565_SWAPPED or ARGB8565\n"
                           "\n --dither                          -  Dither RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED "
                           "or ARGB8565\n"
                           "\n --palette <palette file>          -  Output palette file of an indexed image\n";
const std::string kClosing = "\n\n";

// The tool as installed, and a build of it that takes the named temporary
// files of file systems without unnamed ones.
const char* const kBuilds[] = {PIXPACK_PATH, PIXPACK_NAMED_TEMPORARIES_PATH};

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

// The file with one bit of its only IDAT's data flipped, `at` bytes into
// the data (negative: from its end), and the chunk's CRC made right: damage
// that only the zlib stream's own checks can find.
std::string withImageDataBitFlipped(const Bytes& png, long at)
{
    Bytes file = png;
    const char kIdat[] = "IDAT";
    const auto type = std::search(file.begin(), file.end(), kIdat, kIdat + 4);
    const size_t start = size_t(type - file.begin()) + 4;
    const size_t length = size_t(type[-4]) << 24 | size_t(type[-3]) << 16 | size_t(type[-2]) << 8 | type[-1];
    file[at >= 0 ? start + size_t(at) : start + length - size_t(-at)] ^= 0x10;
    const uLong crc = crc32(0, &file[start - 4], uInt(length + 4));
    for (int i = 0; i < 4; ++i)
        file[start + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    return asText(file);
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
        EXPECT_EQ(result.output, runtimeError(c.error)) << c.error;
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
        EXPECT_EQ(result.output, usageError(error));
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
    const std::string badHeader = directory.file("z.png"), badChecksum = directory.file("a.png");
    writeFileBytes(badHeader, withImageDataBitFlipped(colorPng, 1));
    writeFileBytes(badChecksum, withImageDataBitFlipped(colorPng, -1));
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
        {"zlib check bits wrong, old output", {{"o.srf", old}}, badHeader, "o.srf", "cannot decode PNG file", {}},
        {"Adler-32 wrong, old output", {{"o.srf", old}}, badChecksum, "o.srf", "cannot decode PNG file", {}},
        {"a folder as the input", {{"f.png", kFolderEntry}, {"o.srf", old}}, "f.png", "o.srf",
            "cannot read input file 'f.png'", {}},
        {"output is a folder", {{"o.srf", kFolderEntry}}, "g.png", "o.srf", "cannot create output file 'o.srf'", {}},
    };
    for (const char* program : kBuilds)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " with " + program);
            TemporaryDirectory folder;
            writeFileBytes(folder.file("g.png"), png);
            makeEntries(folder.path(), c.before);
            const FolderState expected = withChanges(folderState(folder.path()), c.changes);
            const ProgramResult result = runProgram(program, {"--image", c.input, "--output", c.output}, folder.path());
            EXPECT_EQ(result.output, c.error.empty() ? success(c.input, surfaceBytes.size()) : runtimeError(c.error));
            EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
            EXPECT_EQ(folderState(folder.path()), expected);
        }
}

// A 128 x 128 RGBA image: its surface file (64 KiB and 20 bytes) is larger
// than a pipe holds and than the file-size limits below.
Bytes largerPng()
{
    PngRecipe recipe;
    recipe.colorType = 6;
    recipe.width = 128;
    recipe.height = 128;
    recipe.pixels = randomBytes(128 * 128 * 4, 7);
    return buildPng(recipe);
}

// A file-size limit (`ulimit -f`) below the output's size makes the write
// fail: an error line and status 1, not a death by SIGXFSZ, and no
// temporary file left, named or unnamed.
TEST_F(Pixpack, OutputsNeverLoseDataOverAFileSizeLimit)
{
    const std::string png = asText(largerPng());
    for (const char* program : kBuilds)
        for (const uint64_t limit : {uint64_t(1024), uint64_t(60000)}) {
            SCOPED_TRACE(std::string(program) + " limit " + std::to_string(limit));
            TemporaryDirectory folder;
            writeFileBytes(folder.file("g.png"), png);
            makeEntries(folder.path(), {{"o.srf", fileEntry("an older surface")}});
            const FolderState before = folderState(folder.path());
            ProgramSetup setup;
            setup.workingDirectory = folder.path();
            setup.fileSizeLimit = limit;
            const ProgramResult result = runProgram(program, {"--image", "g.png", "--output", "o.srf"}, setup);
            EXPECT_EQ(result.signal, 0);
            EXPECT_EQ(result.output, runtimeError("cannot write output file 'o.srf'"));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(folderState(folder.path()), before);
        }
}

// Reads a FIFO from the moment a writer opens it: `limit` bytes at the most,
// then closes it.
std::thread fifoReader(const std::string& fifo, size_t limit, std::string& bytes)
{
    return std::thread([fifo, limit, &bytes] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        char buffer[4096];
        ssize_t count = 0;
        while (bytes.size() < limit && (count = read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()))) > 0)
            bytes.append(buffer, size_t(count));
        close(fd);
    });
}

// A FIFO is opened only once there is something to write (a failed run
// never waits for a reader), and a reader that goes away early makes the
// write fail instead of ending pixpack by SIGPIPE.
TEST_F(Pixpack, OutputsNeverLoseDataIntoFifos)
{
    const Bytes png = largerPng();
    const std::string surface = expectedSurfaceFile(png, false, 0);
    const struct {
        const char* what;
        std::string image; // --image
        bool reader;       // a reader opens the FIFO
        size_t readLimit;  // bytes it reads before it closes
        std::string error; // empty for a run that succeeds
    } cases[] = {
        {"an undecodable image, no reader", "bad.png", false, 0, "cannot decode PNG file"},
        {"a missing image, no reader", "missing.png", false, 0, "cannot open input file 'missing.png'"},
        {"a reader that takes it all", "g.png", true, SIZE_MAX, ""},
        {"a reader that stops after a byte", "g.png", true, 1, "cannot write output file 'ff'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        writeFileBytes(folder.file("g.png"), asText(png));
        writeFileBytes(folder.file("bad.png"), "not a PNG");
        ASSERT_EQ(mkfifo(folder.file("ff").c_str(), 0644), 0);
        std::string read;
        std::thread reader = c.reader ? fifoReader(folder.file("ff"), c.readLimit, read) : std::thread();
        ProgramSetup setup;
        setup.workingDirectory = folder.path();
        setup.timeoutSeconds = 10;
        const ProgramResult result = runProgram(PIXPACK_PATH, {"--image", c.image, "--output", "ff"}, setup);
        if (reader.joinable())
            reader.join();
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.output, c.error.empty() ? success(c.image, surface.size()) : runtimeError(c.error));
        EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
        if (c.error.empty()) {
            EXPECT_EQ(read, surface);
        }
    }
}

// A name of one of pixpack's descriptors is written through that
// descriptor, wherever it leads: into a log opened for appending, the
// surface goes after what the log held, between pixpack's own lines, and
// the log stays the file it was.
TEST_F(Pixpack, OutputsNeverLoseDataThroughDescriptors)
{
    const std::string surface = expectedSurfaceFile(colorPng, false, 0);
    for (const char* output : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "out.link", "chain.link"}) {
        SCOPED_TRACE(output);
        TemporaryDirectory folder;
        writeFileBytes(folder.file("g.png"), asText(colorPng));
        makeEntries(folder.path(),
            {{"out.link", linkEntry("/dev/stdout")}, {"chain.link", linkEntry("out.link")},
                {"log.txt", fileEntry("earlier lines\n")}});
        struct stat before { };
        ASSERT_EQ(stat(folder.file("log.txt").c_str(), &before), 0);
        const int log = open(folder.file("log.txt").c_str(), O_WRONLY | O_APPEND);
        ProgramSetup setup;
        setup.workingDirectory = folder.path();
        setup.outputFd = log;
        const ProgramResult result = runProgram(PIXPACK_PATH, {"--image", "g.png", "--output", output}, setup);
        close(log);
        EXPECT_EQ(result.status, 0);
        const std::string message = success("g.png", surface.size()).substr(kBanner.size());
        EXPECT_EQ(readFileBytes(folder.file("log.txt")), "earlier lines\n" + kBanner + surface + message);
        struct stat after { };
        ASSERT_EQ(stat(folder.file("log.txt").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
    }
}

// A quarter turn is written straight from the upright surface, so a turned
// surface needs the memory of one image, not two; and where even one does
// not fit, the run says so.
TEST_F(Pixpack, TurnsALargeSurfaceWithinTheMemoryOfOne)
{
#ifdef CORVANE_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than the limits allow";
#endif
    constexpr uint32_t kSide = 3000; // 36 MB of ARGB8888 pixels
    PngRecipe recipe;
    recipe.colorType = 6;
    recipe.width = kSide;
    recipe.height = kSide;
    recipe.level = 1;
    recipe.pixels = Bytes(size_t(kSide) * kSide * 4, 0x80);
    for (size_t i = 0; i < recipe.pixels.size(); i += 4 * 999)
        recipe.pixels[i] = uint8_t(i / 7);
    const Bytes png = buildPng(recipe);
    writeFileBytes(directory.file("big.png"), asText(png));
    const uint64_t surfaceBytes = uint64_t(kSide) * kSide * 4;
    const struct {
        const char* rotation;
        uint64_t memoryLimit;
        std::string error; // empty for a run that succeeds
    } cases[] = {
        {"90", surfaceBytes + (28u << 20), ""},
        {"180", surfaceBytes + (28u << 20), ""},
        {"90", 24u << 20, "not enough memory for a 3000 x 3000 surface (36003000 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rotation) + " under " + std::to_string(c.memoryLimit));
        ProgramSetup setup;
        setup.memoryLimit = c.memoryLimit;
        const ProgramResult result = runProgram(
            PIXPACK_PATH, {"--image", directory.file("big.png"), "--rotation", c.rotation, "--output", output}, setup);
        EXPECT_EQ(result.output,
            c.error.empty() ? success(directory.file("big.png"), 20 + surfaceBytes) : runtimeError(c.error));
        EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
        if (c.error.empty()) {
            EXPECT_EQ(readFileBytes(output).size(), 20 + surfaceBytes);
        }
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
