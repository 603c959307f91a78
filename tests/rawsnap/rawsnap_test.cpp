// End-to-end tests of the real rawsnap binary: the command line, errors,
// --silent, and the images written from every geometry.
#include "missing_data.h"
#include "rawsnap_check.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

TEST_F(Rawsnap, HelpPrintsTheUsageAndWinsOverEverythingElse)
{
    for (const std::vector<std::string>& arguments :
        {std::vector<std::string>{"--help"}, {"--width", "0", "--help", "stray"}, {"--format", "bad", "--help"}}) {
        const ProgramResult result = rawsnap(arguments);
        EXPECT_EQ(result.output, kTranscript.banner + kTranscript.usage + kClosingLine);
        EXPECT_EQ(result.status, 0);
    }
    const ProgramResult twice = rawsnap({"--help", "--help"});
    EXPECT_EQ(twice.output, kTranscript.usageError("'--help' duplicate option"));
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
        EXPECT_EQ(result.output, kTranscript.usageError(c.error));
        EXPECT_EQ(result.status, 1);
    }
}

TEST_F(Rawsnap, ReportsRunTimeErrorsWithoutUsageAndLeavesFilesAsTheyWere)
{
    const ProgramResult format = rawsnap({"--fb", "a", "--width", "3", "--height", "1", "--format", "rgb888"});
    EXPECT_EQ(format.output, kTranscript.runtimeError("invalid color format"));
    EXPECT_EQ(format.status, 1);

    const ProgramResult missing = rawsnap(withArguments({}));
    EXPECT_EQ(missing.output, kTranscript.runtimeError("cannot open input file '" + dump + "'"));
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
        EXPECT_EQ(result.output, kTranscript.runtimeError(c.error));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(readFileBytes(output), "an older image") << c.error;
    }

    std::vector<std::string> fromDirectory = withArguments({});
    fromDirectory[1] = directory.file("");
    EXPECT_EQ(rawsnap(fromDirectory).output, kTranscript.runtimeError("cannot read input file '" + fromDirectory[1] + "'"));
    EXPECT_EQ(readFileBytes(output), "an older image");

    writeFileBytes(dump, std::string(18, 'x'));
    const std::string noDirectory = directory.file("missing/out.bmp");
    std::vector<std::string> arguments = withArguments({});
    arguments[11] = noDirectory;
    EXPECT_EQ(rawsnap(arguments).output, kTranscript.runtimeError("cannot create output file '" + noDirectory + "'"));
    arguments[11] = "/dev/full";
    const ProgramResult full = rawsnap(arguments);
    EXPECT_EQ(full.output, kTranscript.runtimeError("cannot write output file '/dev/full'"));
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
        {{"--help", "--silent"}, kTranscript.usage, 0},
        {{"--silent", "--fb", "a"}, kTranscript.usage + "\n\nERROR: '--width' missing argument\n\n", 1},
        {{"--silent", "--silent", "--help"}, kTranscript.usage + "\n\nERROR: '--silent' duplicate option\n\n", 1},
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
            kTranscript.banner + "\nGenerated BMP file '" + output + "', size " + std::to_string(expected.size()) + " bytes" +
                kClosingLine);
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
            EXPECT_EQ(result.output, kTranscript.runtimeError(error));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(readFileBytes(output), "an older image");
            continue;
        }
        const uint32_t pitch = c.pitch.empty() ? 9 : uint32_t(std::stoul(c.pitch));
        const size_t offset = c.offset.empty() ? 0 : std::stoul(c.offset);
        const std::string expected = expectedBmp(dumpBytes.substr(offset), 3, c.lines, pitch, 24);
        EXPECT_EQ(result.output,
            kTranscript.banner + "\nGenerated BMP file '" + output + "', size " + std::to_string(expected.size()) + " bytes" +
                kClosingLine);
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
        EXPECT_EQ(result.output, kTranscript.runtimeError(c.error));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(readFileBytes(output), "an older image");
    }
    EXPECT_FALSE(fileExists(directory.file("huge.png")));
    EXPECT_EQ(rawsnap({"--fb", dump, "--width", "3", "--format", "rgb565_swapped", "--output", output}).output,
        kTranscript.runtimeError("invalid color format"));
}
