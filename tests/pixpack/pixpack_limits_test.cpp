// pixpack at the limits of the surface file and of memory, end to end: rows
// too long for the file's 32-bit pitch are refused before the image is
// decoded, and a conversion that runs out of memory says so.
#include "deflate_writer.h"
#include "png_builder.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint64_t kLongestMatch = 258;

// A zlib stream of `count` zero bytes (count at least 1), as small as Deflate
// allows: one dynamic block whose code gives the longest match at distance 1
// a single bit, so that each 258 zeros take two bits.
Bytes zeroZlibStream(uint64_t count)
{
    std::vector<int> literals(286, 0);
    literals[0] = 2;   // the zero byte
    literals[256] = 2; // end of block
    literals[285] = 1; // a match of 258
    const std::vector<int> distances = {1, 1};
    const std::vector<uint32_t> codes = canonicalCodes(literals);
    BitWriter writer;
    writer.bits(0x78, 8); // zlib header: Deflate, 32 KiB window
    writer.bits(0x01, 8); // no dictionary, check bits
    writeDynamicCodes(writer, true, literals, distances);
    writer.code(codes[0], 2);
    uint64_t left = count - 1;
    for (; left >= kLongestMatch; left -= kLongestMatch) {
        writer.code(codes[285], 1);
        writer.code(0, 1); // distance 1
    }
    for (; left > 0; --left)
        writer.code(codes[0], 2);
    writer.code(codes[256], 2);
    Bytes stream = writer.finish();
    const uint32_t adler = uint32_t(count % 65521) << 16 | 1; // of zeros only
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(uint8_t(adler >> shift));
    return stream;
}

// A valid greyscale PNG of `width` x `height` black pixels of `depth` bits.
std::string blackPng(uint32_t width, uint32_t height, uint8_t depth)
{
    const uint64_t filtered = uint64_t(height) * ((uint64_t(width) * depth + 7) / 8 + 1);
    const Bytes png = assemblePng({pngChunk("IHDR", ihdrData(width, height, depth, 0, 0)),
        pngChunk("IDAT", zeroZlibStream(filtered)), pngChunk("IEND", {})});
    return std::string(png.begin(), png.end());
}

std::string errorLine(const std::string& message)
{
    return "\n\nERROR: " + message + "\n\n";
}

// Runs pixpack --silent on the image `png` with `options`, under `memoryLimit`
// where the sanitizers, which reserve more address space than that, are not
// built in; checks the output and that no surface file was written.
void expectRefusal(
    const std::string& png, const std::vector<std::string>& options, uint64_t memoryLimit, const std::string& error)
{
    TemporaryDirectory folder;
    writeFileBytes(folder.file("i.png"), png);
    std::vector<std::string> arguments = {"--silent", "--image", "i.png", "--output", "s.srf"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ProgramSetup setup;
    setup.workingDirectory = folder.path();
#ifndef CORVANE_SANITIZED
    setup.memoryLimit = memoryLimit;
#endif
    setup.timeoutSeconds = 20;
    const ProgramResult result = runProgram(PIXPACK_PATH, arguments, setup);
    EXPECT_EQ(result.output, errorLine(error));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fileExists(folder.file("s.srf")));
}

// Valid images whose converted rows would need a pitch of 4 GiB or more are
// refused before anything is decoded: under a memory limit far below the
// image's size the refusal still comes, with what the rows would take.
TEST(PixpackLimits, RowsOverTheSurfaceFilesPitchAreRefusedBeforeDecoding)
{
    const std::string wide = blackPng(1u << 30, 1, 1), tall = blackPng(1, 1u << 30, 1);
    const std::string over = "rows of 1073741824 ARGB8888 pixels take 4294967296 bytes, "
                             "more than a surface file's pitch holds (4294967295)";
    const struct {
        const char* what;
        const std::string& png;
        std::vector<std::string> options;
        std::string error;
    } cases[] = {
        {"2^30 pixels a row", wide, {"--format", "ARGB8888"}, over},
        {"2^30 rows turned by 90", tall, {"--format", "ARGB8888", "--rotation", "90"}, over},
        {"2^30 rows turned by 270", tall, {"--format", "ARGB8888", "--rotation", "270"}, over},
        {"a pitch just over", blackPng(0x55555556, 1, 1), {"--format", "RGB888"},
            "rows of 1431655766 RGB888 pixels take 4294967298 bytes, more than a surface file's pitch holds "
            "(4294967295)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectRefusal(c.png, c.options, uint64_t(256) << 20, c.error);
    }
}

#ifndef CORVANE_SANITIZED
// Rows whose pitch just fits pass the check; the run then stops where the
// surface cannot be had under the memory limit, as any image too large would.
TEST(PixpackLimits, RowsThatFitThePitchAreDecoded)
{
    expectRefusal(blackPng(0x7FFFFFFF, 1, 1), {"--format", "RGB565"}, uint64_t(256) << 20,
        "not enough memory for a 2147483647 x 1 surface (2147483651 bytes)");
}

// A conversion whose memory runs out - the new surface, a row of colours, the
// dithering's errors - ends with the memory it needed, whichever allocation
// failed.
TEST(PixpackLimits, ConversionsThatRunOutOfMemorySaySo)
{
    const std::string png = blackPng(1u << 24, 1, 8); // a 16 MiB I8 surface
    const struct {
        std::vector<std::string> options;
        std::string error;
    } cases[] = {
        {{"--format", "A8"}, "not enough memory for a 16777216 x 1 A8 surface (83902464 bytes)"},
        {{"--format", "ARGB8888"}, "not enough memory for a 16777216 x 1 ARGB8888 surface (134234112 bytes)"},
        {{"--format", "RGB565", "--dither"}, "not enough memory for a 16777216 x 1 RGB565 surface (503332912 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[1]);
        expectRefusal(png, c.options, uint64_t(90) << 20, c.error);
    }
}
#endif

} // namespace
