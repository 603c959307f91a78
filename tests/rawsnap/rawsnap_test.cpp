// End-to-end tests of the real rawsnap binary: whole output, exit status, files.
#include "folder_state.h"
#include "missing_data.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kBanner = "\n\nSnapshot Converter v1.00. Asset tools for the Corvane embedded graphics library.\n\n";
const std::string kUsage =
    "\n\nUSAGE: rawsnap [options]\n"
    "where [options] can be any of the following:\n\n"
    "\n --help                            -  Print this help screen\n"
    "\n --silent                          -  Print minimal information on the screen (useful for running from "
    "scripts)\n"
    "\n --fb <raw framebuffer file>       -  Input framebuffer file\n"
    "\n --width <width in pixels>         -  Specify the framebuffer width in pixels\n"
    "\n --height <height in pixels>       -  Specify the framebuffer height in pixels (default: every whole line of "
    "the file)\n"
    "\n --pitch <pitch in bytes>          -  Specify the framebuffer pitch in bytes (default: width x bytes per "
    "pixel)\n"
    "\n --offset <bytes>                  -  Skip this many bytes before the first line (default: 0)\n"
    "\n --format <color format>           -  Specify the framebuffer color format, one of:\n"
    "      RGB888           bytes B, G, R\n"
    "      RGB565           little-endian 16 bits: R in bits 11-15, G 5-10, B 0-4\n"
    "      RGB565_SWAPPED   16 bits, high byte first (RGB565 swapped, as SPI panels hold it)\n"
    "      BGR565           little-endian 16 bits: B in bits 11-15, G 5-10, R 0-4\n"
    "      BGR888           bytes R, G, B\n"
    "      XRGB8888         bytes B, G, R, X (X ignored)\n"
    "      ARGB8888         bytes B, G, R, A\n"
    "      ARGB1555         little-endian 16 bits: A in bit 15, R 10-14, G 5-9, B 0-4\n"
    "      ARGB4444         little-endian 16 bits: A in bits 12-15, R 8-11, G 4-7, B 0-3\n"
    "      ARGB8565         3 bytes: an RGB565 word (little-endian), then A\n"
    "\n --output <output file>            -  Output file: PNG when its name ends in .png, BMP otherwise\n";
const std::string kClosing = "\n\n";

ProgramResult rawsnap(const std::vector<std::string>& arguments)
{
    return runProgram(RAWSNAP_PATH, arguments);
}

std::string usageError(const std::string& line)
{
    return kBanner + kUsage + "\n\nERROR: " + line + "\n\n";
}

std::string runtimeError(const std::string& line)
{
    return kBanner + "\n\nERROR: " + line + "\n\n";
}

std::string randomBytes(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = char(generator());
    return bytes;
}

std::string le32(uint32_t value)
{
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string le16(uint32_t value)
{
    return {char(value), char(value >> 8)};
}

// The BMP a correct converter writes, built independently of the tool's code.
std::string expectedBmp(const std::string& dump, uint32_t width, uint32_t height, uint32_t pitch, uint32_t bits)
{
    const uint32_t rowLength = width * bits / 8;
    const uint32_t stride = (rowLength + 3) & ~3u;
    const uint32_t offset = bits == 16 ? 66 : 54;
    std::string file = "BM" + le32(offset + stride * height) + le32(0) + le32(offset);
    file += le32(40) + le32(width) + le32(height) + le16(1) + le16(bits) + le32(bits == 16 ? 3 : 0);
    file += le32(0) + le32(0) + le32(0) + le32(0) + le32(0);
    if (bits == 16)
        file += le32(0xF800) + le32(0x07E0) + le32(0x001F);
    for (uint32_t line = height; line-- > 0;)
        file += dump.substr(size_t(line) * pitch, rowLength) + std::string(stride - rowLength, '\0');
    return file;
}

class Rawsnap : public testing::Test {
protected:
    std::vector<std::string> withArguments(std::vector<std::string> extra) const
    {
        std::vector<std::string> arguments{
            "--fb", dump, "--width", "3", "--height", "2", "--pitch", "9", "--format", "RGB888", "--output", output};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    TemporaryDirectory directory;
    const std::string dump = directory.file("fb.raw");
    const std::string output = directory.file("out.bmp");
};

} // namespace

TEST_F(Rawsnap, HelpPrintsTheUsageAndWinsOverEverythingElse)
{
    for (const std::vector<std::string>& arguments :
        {std::vector<std::string>{"--help"}, {"--width", "0", "--help", "stray"}, {"--format", "bad", "--help"}}) {
        const ProgramResult result = rawsnap(arguments);
        EXPECT_EQ(result.output, kBanner + kUsage + kClosing);
        EXPECT_EQ(result.status, 0);
    }
    const ProgramResult twice = rawsnap({"--help", "--help"});
    EXPECT_EQ(twice.output, usageError("'--help' duplicate option"));
    EXPECT_EQ(twice.status, 1);
}

TEST_F(Rawsnap, RefusesBadCommandLinesInLookupOrder)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::string range = "invalid argument. Must be between 1 and 2147483647.";
    const std::string pitch = "invalid argument. Must be at least ";
    const std::vector<Case> cases = {
        {{}, "'--fb' missing file name"},
        {{"--fb=x.raw"}, "'--fb' missing file name"},
        {{"--fb"}, "'--fb' missing value"},
        {{"--fb", "-x"}, "'--fb' missing value"},
        {{"--fb", ""}, "'--fb' missing value"},
        {{"--fb", "a"}, "'--width' missing argument"},
        {{"--fb", "a", "--width", "0"}, "'--width' " + range},
        {{"--fb", "a", "--width", "2147483648", "--height", "1"}, "'--width' " + range},
        {{"--fb", "a", "--width", "-1"}, "'--width' missing numeric value"},
        {{"--fb", "a", "--width", "12px"}, "'--width' invalid numeric value"},
        {{"--fb", "a", "--width", "4294967297"}, "'--width' invalid numeric value"},
        {{"--fb", "a", "--width", "x", "--width", "2"}, "'--width' invalid numeric value"},
        {{"--fb", "a", "--width", "1", "--width", "2"}, "'--width' duplicate option"},
        {{"--fb", "a", "--width", "2147483647"}, "'--format' missing argument"},
        {{"--fb", "a", "--width", "1", "--height", "2147483648"}, "'--height' " + range},
        {{"--fb", "a", "--width", "1", "--height", "0"}, "'--height' " + range},
        {{"--fb", "a", "--width", "1", "--height", "1"}, "'--format' missing argument"},
        {{"--fb", "a", "--width", "3", "--format", "RGB888"}, "'--output' missing output file"},
        {{"--fb", "a", "--width", "3", "--format", "RGB888", "--offset", "-1"}, "'--offset' missing numeric value"},
        {{"--fb", "a", "--width", "3", "--format", "BGR565", "--pitch", "5"},
            "'--pitch' " + pitch + "6 bytes (3 pixels x 2)."},
        {{"--fb", "a", "--width", "3", "--format", "ARGB8888", "--pitch", "11"},
            "'--pitch' " + pitch + "12 bytes (3 pixels x 4)."},
        {{"--fb", "a", "--width", "3", "--height", "1", "--format", "RGB888", "--pitch", "8"},
            "'--pitch' " + pitch + "9 bytes (3 pixels x 3)."},
        {{"--fb", "a", "--width", "3", "--height", "1", "--format", "RGB565", "--pitch", "5"},
            "'--pitch' " + pitch + "6 bytes (3 pixels x 2)."},
        {{"--fb", "a", "--width", "320", "--height", "1", "--format", "RGB565", "--pitch", "320"},
            "'--pitch' " + pitch + "640 bytes (320 pixels x 2)."},
        {{"--fb", "a", "--width", "3", "--height", "1", "--format", "RGB888", "--pitch", "9"},
            "'--output' missing output file"},
        {{"--fb", "a", "--width", "3", "--height", "1", "--format", "RGB888", "--pitch", "9", "--output", "o", "stray",
             "more"},
            "invalid argument stray"},
        {{"--fb", "a", "--width", "3", "--height", "1", "--format", "RGB888", "--pitch", "9", "--output", "o",
             "--verbose", "1"},
            "invalid argument --verbose"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const ProgramResult result = rawsnap(c.arguments);
        EXPECT_EQ(result.output, usageError(c.error));
        EXPECT_EQ(result.status, 1);
    }
}

TEST_F(Rawsnap, ReportsRunTimeErrorsWithoutUsageAndLeavesFilesAsTheyWere)
{
    const ProgramResult format = rawsnap({"--fb", "a", "--width", "3", "--height", "1", "--format", "rgb888"});
    EXPECT_EQ(format.output, runtimeError("invalid color format"));
    EXPECT_EQ(format.status, 1);

    const ProgramResult missing = rawsnap(withArguments({}));
    EXPECT_EQ(missing.output, runtimeError("cannot open input file '" + dump + "'"));
    EXPECT_FALSE(fileExists(output));

    struct Case {
        std::string dumpBytes;
        std::string error;
    };
    const Case cases[] = {
        {"", "cannot read input file '" + dump + "'"},
        {std::string(17, 'x'), "input file '" + dump + "' is too small for the given geometry"},
    };
    for (const Case& c : cases) {
        writeFileBytes(dump, c.dumpBytes);
        writeFileBytes(output, "an older image");
        const ProgramResult result = rawsnap(withArguments({}));
        EXPECT_EQ(result.output, runtimeError(c.error));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(readFileBytes(output), "an older image") << c.error;
    }

    std::vector<std::string> fromDirectory = withArguments({});
    fromDirectory[1] = directory.file("");
    EXPECT_EQ(rawsnap(fromDirectory).output, runtimeError("cannot read input file '" + fromDirectory[1] + "'"));
    EXPECT_EQ(readFileBytes(output), "an older image");

    writeFileBytes(dump, std::string(18, 'x'));
    const std::string noDirectory = directory.file("missing/out.bmp");
    std::vector<std::string> arguments = withArguments({});
    arguments[11] = noDirectory;
    EXPECT_EQ(rawsnap(arguments).output, runtimeError("cannot create output file '" + noDirectory + "'"));
    arguments[11] = "/dev/full";
    const ProgramResult full = rawsnap(arguments);
    EXPECT_EQ(full.output, runtimeError("cannot write output file '/dev/full'"));
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(fileExists("/dev/full"));
}

// --silent leaves out the banner and the closing line: the result line stands
// alone on its line; usage listings and errors are printed as ever.
TEST_F(Rawsnap, SilentRunsPrintTheResultLineOrTheErrorAlone)
{
    writeFileBytes(dump, randomBytes(18, 5));
    std::vector<std::string> missingInput = withArguments({"--silent"});
    missingInput[1] = directory.file("missing.raw");
    const struct {
        std::vector<std::string> arguments;
        std::string output;
        int status;
    } cases[] = {
        {withArguments({"--silent"}), "Generated BMP file '" + output + "', size 78 bytes\n", 0},
        {{"--help", "--silent"}, kUsage, 0},
        {{"--silent", "--fb", "a"}, kUsage + "\n\nERROR: '--width' missing argument\n\n", 1},
        {{"--silent", "--silent", "--help"}, kUsage + "\n\nERROR: '--silent' duplicate option\n\n", 1},
        {missingInput, "\n\nERROR: cannot open input file '" + missingInput[1] + "'\n\n", 1},
    };
    for (const auto& c : cases) {
        std::remove(output.c_str());
        const ProgramResult result = rawsnap(c.arguments);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, c.status) << c.output;
        EXPECT_EQ(fileExists(output), c.output.rfind("Generated", 0) == 0) << c.output;
    }
}

TEST_F(Rawsnap, WritesRowsBottomUpCutToTheRowLengthAndPadded)
{
    struct Case {
        uint32_t width, height, pitch, bits, extra; // extra: dump bytes beyond the last line
    };
    const Case cases[] = {
        {3, 2, 9, 24, 0},
        {3, 3, 12, 24, 5},
        {4, 3, 12, 24, 0},
        {3, 2, 6, 16, 0},
        {3, 4, 11, 16, 1},
        {1, 1, 2, 16, 0},
        {5, 2, 17, 24, 0},
        {4096, 1, 12288, 24, 0},
        {5, 1500, 17, 24, 2},
        {4096, 3, 12290, 16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " pitch " << c.pitch << " bpp " << c.bits);
        const std::string dumpBytes =
            randomBytes(size_t(c.height - 1) * c.pitch + c.width * c.bits / 8 + c.extra, c.width + c.pitch);
        writeFileBytes(dump, dumpBytes);
        const ProgramResult result =
            rawsnap({"--fb", dump, "--width", std::to_string(c.width), "--height", std::to_string(c.height), "--pitch",
                std::to_string(c.pitch), "--format", c.bits == 24 ? "RGB888" : "RGB565", "--output", output});
        const std::string expected = expectedBmp(dumpBytes, c.width, c.height, c.pitch, c.bits);
        EXPECT_EQ(result.output,
            kBanner + "\nGenerated BMP file '" + output + "', size " + std::to_string(expected.size()) + " bytes" +
                kClosing);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(readFileBytes(output), expected);
    }
}

// An independent reader (ImageMagick) must see the dump's own pixels.
TEST_F(Rawsnap, ImagesReadBackAsTheDumpsPixels)
{
    if (std::system("command -v convert >/dev/null 2>&1") != 0)
        SKIP_FOR_MISSING("ImageMagick's convert is not installed");
    struct Case {
        uint32_t width, height, pitch, bits;
    };
    for (const Case& c : {Case{5, 3, 19, 24}, Case{5, 3, 13, 16}, Case{4, 2, 8, 16}}) {
        SCOPED_TRACE(c.bits);
        const std::string dumpBytes = randomBytes(size_t(c.height) * c.pitch, c.pitch);
        writeFileBytes(dump, dumpBytes);
        ASSERT_EQ(
            rawsnap({"--fb", dump, "--width", std::to_string(c.width), "--height", std::to_string(c.height), "--pitch",
                        std::to_string(c.pitch), "--format", c.bits == 24 ? "RGB888" : "RGB565", "--output", output})
                .status,
            0);
        const std::string rgb = directory.file("pixels.rgb");
        ASSERT_EQ(std::system(("convert '" + output + "' -depth 8 'rgb:" + rgb + "'").c_str()), 0);
        const std::string pixels = readFileBytes(rgb);
        ASSERT_EQ(pixels.size(), size_t(c.width) * c.height * 3);
        for (uint32_t y = 0; y < c.height; ++y) {
            for (uint32_t x = 0; x < c.width; ++x) {
                const uint8_t* source = reinterpret_cast<const uint8_t*>(dumpBytes.data()) + y * c.pitch;
                int expected[3];
                if (c.bits == 24) { // stored as blue, green, red
                    for (int channel = 0; channel < 3; ++channel)
                        expected[channel] = source[x * 3 + 2 - channel];
                } else {
                    const unsigned value = source[x * 2] | source[x * 2 + 1] << 8;
                    expected[0] = int(((value >> 11) & 31) * 255.0 / 31 + 0.5);
                    expected[1] = int(((value >> 5) & 63) * 255.0 / 63 + 0.5);
                    expected[2] = int((value & 31) * 255.0 / 31 + 0.5);
                }
                for (int channel = 0; channel < 3; ++channel) {
                    const int seen = uint8_t(pixels[(size_t(y) * c.width + x) * 3 + channel]);
                    EXPECT_NEAR(seen, expected[channel], 1) << "pixel " << x << "," << y << " channel " << channel;
                }
            }
        }
    }
}

// Whatever the spelling of the output, and whether the run succeeds or
// fails, no file that existed is lost and no temporary file stays behind.
TEST(RawsnapOutputs, NeverLoseData)
{
    umask(022);
    const std::string dumpBytes = randomBytes(18, 7); // 3 x 2 RGB888, pitch 9
    const std::string bmp = fileEntry(expectedBmp(dumpBytes, 3, 2, 9, 24));
    const std::string dump = fileEntry(dumpBytes);
    const std::string shortDump = fileEntry(dumpBytes.substr(1));
    const std::string old = fileEntry("an older image");
    const std::string tooSmall = "input file 'fb.raw' is too small for the given geometry";
    struct Case {
        const char* what;
        FolderSetup before;
        std::string output;  // --output, run in the folder; the input is fb.raw
        std::string error;   // empty for a run that succeeds
        FolderState changes; // entries that differ afterwards
    };
    const Case cases[] = {
        {"output is the input", {{"fb.raw", dump}}, "fb.raw", "", {{"fb.raw", bmp}}},
        {"the input spelled otherwise", {{"fb.raw", dump}}, "./fb.raw", "", {{"fb.raw", bmp}}},
        {"a hard link to the input", {{"fb.raw", dump}, {"h.bmp", hardLinkEntry("fb.raw")}}, "h.bmp", "",
            {{"h.bmp", bmp}}},
        {"a symlink to the input", {{"fb.raw", dump}, {"s.bmp", linkEntry("fb.raw")}}, "s.bmp", "", {{"fb.raw", bmp}}},
        {"a replaced file keeps its mode", {{"fb.raw", dump}, {"o.bmp", fileEntry("x", 0600)}}, "o.bmp", "",
            {{"o.bmp", fileEntry(expectedBmp(dumpBytes, 3, 2, 9, 24), 0600)}}},
        {"a dangling symlink", {{"fb.raw", dump}, {"s.bmp", linkEntry("t.bmp")}}, "s.bmp", "", {{"t.bmp", bmp}}},
        {"short dump, old output", {{"fb.raw", shortDump}, {"o.bmp", old}}, "o.bmp", tooSmall, {}},
        {"short dump, output is the input", {{"fb.raw", shortDump}}, "fb.raw", tooSmall, {}},
        {"short dump, symlinked output", {{"fb.raw", shortDump}, {"t.bmp", old}, {"s.bmp", linkEntry("t.bmp")}},
            "s.bmp", tooSmall, {}},
        {"short dump, dangling symlink", {{"fb.raw", shortDump}, {"s.bmp", linkEntry("t.bmp")}}, "s.bmp", tooSmall, {}},
        {"empty dump, old output", {{"fb.raw", fileEntry("")}, {"o.bmp", old}}, "o.bmp",
            "cannot read input file 'fb.raw'", {}},
        {"output is a folder", {{"fb.raw", dump}, {"o.bmp", kFolderEntry}}, "o.bmp",
            "cannot create output file 'o.bmp'", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        makeEntries(folder.path(), c.before);
        const FolderState expected = withChanges(folderState(folder.path()), c.changes);
        const ProgramResult result = runProgram(RAWSNAP_PATH,
            {"--fb", "fb.raw", "--width", "3", "--height", "2", "--pitch", "9", "--format", "RGB888", "--output",
                c.output},
            folder.path());
        const std::string success = kBanner + "\nGenerated BMP file '" + c.output + "', size 78 bytes" + kClosing;
        EXPECT_EQ(result.output, c.error.empty() ? success : runtimeError(c.error));
        EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
        EXPECT_EQ(folderState(folder.path()), expected);
    }
}

// A file-size limit (`ulimit -f`) below the image's size fails the write:
// an error line and status 1 instead of a death by SIGXFSZ, the old image kept.
TEST(RawsnapOutputs, NeverLoseDataOverAFileSizeLimit)
{
    TemporaryDirectory folder;
    writeFileBytes(folder.file("fb.raw"), randomBytes(64 * 64 * 3, 3));
    makeEntries(folder.path(), {{"o.bmp", fileEntry("old")}});
    const FolderState before = folderState(folder.path());
    ProgramSetup setup;
    setup.workingDirectory = folder.path();
    setup.fileSizeLimit = 4096;
    const ProgramResult result = runProgram(RAWSNAP_PATH,
        {"--fb", "fb.raw", "--width", "64", "--height", "64", "--pitch", "192", "--format", "RGB888", "--output",
            "o.bmp"},
        setup);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.output, runtimeError("cannot write output file 'o.bmp'"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(folderState(folder.path()), before);
}

// A run stopped at any moment leaves either the old image or the new one,
// and no temporary file.
TEST(RawsnapOutputs, AnInterruptedRunLeavesThePreviousOutput)
{
    TemporaryDirectory folder;
    const std::string dumpBytes = randomBytes(size_t(2048) * 2048 * 3, 3);
    writeFileBytes(folder.file("fb.raw"), dumpBytes);
    writeFileBytes(folder.file("o.bmp"), "an older image");
    const std::string converted = expectedBmp(dumpBytes, 2048, 2048, 2048 * 3, 24);
    const std::vector<std::string> arguments = {"--fb", "fb.raw", "--width", "2048", "--height", "2048", "--pitch",
        "6144", "--format", "RGB888", "--output", "o.bmp"};
    int delayMicroseconds = 0;
    for (int signal : {SIGKILL, SIGTERM, SIGINT, SIGKILL, SIGTERM, SIGINT, SIGKILL, SIGKILL}) {
        runProgramInterrupted(
            RAWSNAP_PATH, arguments, folder.path(), std::chrono::microseconds(delayMicroseconds), signal);
        const FolderState after = folderState(folder.path());
        EXPECT_EQ(after.size(), 2u) << "a temporary file was left, signal " << signal;
        const std::string image = readFileBytes(folder.file("o.bmp"));
        EXPECT_TRUE(image == "an older image" || image == converted) << "delay " << delayMicroseconds;
        delayMicroseconds += 2500;
    }
}

// The dump's lines are read and written out in batches, whether it lies on
// the output's file system or another, and whether the output is a file or
// a pipe: the image is the same every way.
TEST(RawsnapOutputs, EveryWayOfWritingGivesTheSameImage)
{
    const std::string dumpBytes = randomBytes(size_t(301) * 64, 11); // 64 lines of 100 RGB888 pixels, pitch 301
    const std::string bmp = expectedBmp(dumpBytes, 100, 64, 301, 24);
    TemporaryDirectory folder;
    writeFileBytes(folder.file("fb.raw"), dumpBytes);
    const std::string otherFileSystem = "/dev/shm/corvane-rawsnap-" + std::to_string(getpid()) + ".raw";
    writeFileBytes(otherFileSystem, dumpBytes);
    const auto arguments = [](const std::string& dump, const std::string& output) {
        return std::vector<std::string>{"--fb", dump, "--width", "100", "--height", "64", "--pitch", "301", "--format",
            "RGB888", "--output", output};
    };
    const std::string resultLine = "\nGenerated BMP file '%s', size " + std::to_string(bmp.size()) + " bytes";
    const auto result = [&](const std::string& output) {
        std::string line = resultLine;
        line.replace(line.find("%s"), 2, output);
        return line;
    };

    ProgramResult run = rawsnap(arguments(folder.file("fb.raw"), folder.file("same.bmp")));
    EXPECT_EQ(run.output, kBanner + result(folder.file("same.bmp")) + kClosing);
    EXPECT_TRUE(readFileBytes(folder.file("same.bmp")) == bmp) << "dump on the same file system";

    if (fileExists("/dev/shm")) {
        run = rawsnap(arguments(otherFileSystem, folder.file("other.bmp")));
        EXPECT_EQ(run.output, kBanner + result(folder.file("other.bmp")) + kClosing);
        EXPECT_TRUE(readFileBytes(folder.file("other.bmp")) == bmp) << "dump on another file system";
    }
    std::remove(otherFileSystem.c_str());

    const std::string fifo = folder.file("pipe.bmp");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::string fromPipe;
    std::thread reader([&] { fromPipe = readFileBytes(fifo); });
    run = rawsnap(arguments(folder.file("fb.raw"), fifo));
    reader.join();
    EXPECT_EQ(run.output, kBanner + result(fifo) + kClosing);
    EXPECT_TRUE(fromPipe == bmp) << "output into a pipe";
}

// The height left out is the number of lines whose pixels the dump holds
// whole; --offset skips a header; a file that ends inside a line's pixels,
// or holds less than one line, is refused and leaves the output as it was.
TEST_F(Rawsnap, InfersTheHeightFromTheDumpAndSkipsTheOffset)
{
    struct Case {
        const char* what;
        size_t size;        // bytes of the dump
        std::string pitch;  // --pitch, or empty to leave it out
        std::string offset; // --offset, or empty to leave it out
        std::string height; // --height, or empty to leave it out
        uint32_t lines;     // lines of the image written, 0 for a refusal
        std::string error;  // the refusal, %s for the dump's name
    };
    // 3 x N RGB888: 9 bytes of pixels a line.
    const Case cases[] = {
        {"exact, no pitch", 18, "", "", "", 2, ""},
        {"exact, with slack", 22, "11", "", "", 2, ""},
        {"last line without its slack", 20, "11", "", "", 2, ""},
        {"last line cut in its slack", 21, "11", "", "", 2, ""},
        {"one line", 9, "", "", "", 1, ""},
        {"offset, exact", 5 + 18, "", "5", "", 2, ""},
        {"offset and slack", 7 + 31, "11", "7", "", 3, ""},
        {"offset with the height given", 4 + 22, "11", "4", "2", 2, ""},
        {"ragged", 17, "11", "", "", 0, "input file '%s' of 17 bytes ends inside a line's pixels (pitch 11, offset 0)"},
        {"ragged, offset, no pitch", 3 + 19, "", "3", "", 0,
            "input file '%s' of 22 bytes ends inside a line's pixels (pitch 9, offset 3)"},
        {"short", 8, "", "", "", 0, "input file '%s' is too small for the given geometry"},
        {"all offset", 9, "", "9", "", 0, "input file '%s' is too small for the given geometry"},
        {"offset past the end", 9, "", "12", "", 0, "input file '%s' is too small for the given geometry"},
        {"offset makes the given height short", 4 + 19, "11", "4", "2", 0,
            "input file '%s' is too small for the given geometry"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dumpBytes = randomBytes(c.size, unsigned(c.size));
        writeFileBytes(dump, dumpBytes);
        writeFileBytes(output, "an older image");
        std::vector<std::string> arguments{"--fb", dump, "--width", "3", "--format", "RGB888", "--output", output};
        for (const auto& [option, value] :
            {std::pair{"--pitch", c.pitch}, {"--offset", c.offset}, {"--height", c.height}})
            if (!value.empty())
                arguments.insert(arguments.end(), {option, value});
        std::string error = c.error;
        const ProgramResult result = rawsnap(arguments);
        if (c.lines == 0) {
            error.replace(error.find("%s"), 2, dump);
            EXPECT_EQ(result.output, runtimeError(error));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(readFileBytes(output), "an older image");
            continue;
        }
        const uint32_t pitch = c.pitch.empty() ? 9 : uint32_t(std::stoul(c.pitch));
        const size_t offset = c.offset.empty() ? 0 : std::stoul(c.offset);
        const std::string expected = expectedBmp(dumpBytes.substr(offset), 3, c.lines, pitch, 24);
        EXPECT_EQ(result.output,
            kBanner + "\nGenerated BMP file '" + output + "', size " + std::to_string(expected.size()) + " bytes" +
                kClosing);
        EXPECT_EQ(readFileBytes(output), expected);
    }
}

// Sizes beyond what a BMP file can record are refused after the dump has
// been found to hold them; a huge geometry with a small dump is refused as
// too small before anything is allocated for it.
TEST_F(Rawsnap, RefusesImagesTooBigForTheirFile)
{
    const std::string sparse = directory.file("sparse.raw");
    writeFileBytes(sparse, "");
    ASSERT_EQ(truncate(sparse.c_str(), off_t(65536) * 65536 * 3), 0); // holes: no disk space used
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"--fb", sparse, "--width", "65536", "--format", "RGB888", "--output", output},
            "a BMP file cannot hold 65536 x 65536 pixels of RGB888"},
        {{"--fb", sparse, "--width", "32768", "--format", "ARGB1555", "--output", output},
            "a BMP file cannot hold 32768 x 196608 pixels of ARGB1555"},
        {{"--fb", dump, "--width", "2147483647", "--height", "2147483647", "--format", "ARGB8888", "--output",
             directory.file("huge.png")},
            "input file '" + dump + "' is too small for the given geometry"},
        {{"--fb", dump, "--width", "2147483647", "--format", "RGB565", "--output", output},
            "input file '" + dump + "' is too small for the given geometry"},
    };
    writeFileBytes(dump, randomBytes(64, 1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        writeFileBytes(output, "an older image");
        const ProgramResult result = rawsnap(c.arguments);
        EXPECT_EQ(result.output, runtimeError(c.error));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(readFileBytes(output), "an older image");
    }
    EXPECT_FALSE(fileExists(directory.file("huge.png")));
    EXPECT_EQ(rawsnap({"--fb", dump, "--width", "3", "--format", "rgb565_swapped", "--output", output}).output,
        runtimeError("invalid color format"));
}

// Only the lines converted are read: a sparse dump whose pitch is far larger
// than its lines costs no more memory than a dump of one line, for the BMP
// and for the PNG, however much of the file lies between the lines.
TEST(RawsnapOutputs, MemoryDoesNotGrowWithThePitch)
{
    if (std::system("test -x /usr/bin/time") != 0)
        SKIP_FOR_MISSING("GNU time (package time) is not installed");
    TemporaryDirectory folder;
    const std::string small = folder.file("small.raw");
    const std::string sparse = folder.file("sparse.raw");
    writeFileBytes(small, randomBytes(4096 * 3, 5));
    writeFileBytes(sparse, "");
    const uint64_t pitch = 1000000, lines = 600; // 600 MB of file, 7 MB of pixels
    ASSERT_EQ(truncate(sparse.c_str(), off_t(pitch * lines)), 0);
    // Peak resident memory of one run, in KiB.
    const auto peakKiB = [&](const std::string& dump, uint64_t pitch, const std::string& output) {
        const std::string report = folder.file("time.txt");
        const std::string command = "/usr/bin/time -f %M -o '" + report + "' '" RAWSNAP_PATH "' --fb '" + dump +
            "' --width 4096 --pitch " + std::to_string(pitch) + " --format RGB888 --output '" + folder.file(output) +
            "' >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return std::stol(readFileBytes(report));
    };
    for (const std::string output : {"out.bmp", "out.png"}) {
        SCOPED_TRACE(output);
        const long oneLine = peakKiB(small, 4096 * 3, output);
        const long sparseLines = peakKiB(sparse, pitch, output);
        EXPECT_LE(sparseLines, oneLine + 1024) << "one line: " << oneLine << " KiB";
    }
    EXPECT_EQ(readFileBytes(folder.file("out.bmp")).size(), 54 + 4096 * 3 * lines);
}
