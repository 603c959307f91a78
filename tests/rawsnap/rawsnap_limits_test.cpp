// rawsnap at its limits: pitches and offsets beyond 32 bits, checked against
// the dump's size; memory that runs out, reported as such; and the memory
// estimate against what a PNG conversion really holds.
#include "dump_reader.h"
#include "png_writer.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr uint64_t k4GiB = uint64_t(1) << 32;

std::string errorLine(const std::string& message)
{
    return "\n\nERROR: " + message + "\n\n";
}

// Writes `bytes` at `offset` of the file at `path`, making it at least
// `size` bytes long; what lies between is a hole that takes no disk space.
void writeSparse(const std::string& path, uint64_t size, uint64_t offset, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), off_t(offset)), ssize_t(bytes.size()));
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    close(fd);
}

ProgramResult rawsnap(const TemporaryDirectory& folder, const std::vector<std::string>& options)
{
    std::vector<std::string> arguments = {"--silent", "--fb", "d.raw", "--format", "RGB565", "--output", "o.bmp"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runProgram(RAWSNAP_PATH, arguments, folder.path());
}

// Lines 4 GiB and more apart, or 4 GiB and more into the dump, are read
// where they lie: the BMP is the one a compact dump of the same lines gives.
// Pitches and offsets that the dump cannot hold are refused with its size.
TEST(RawsnapLimits, PitchesAndOffsetsBeyond32BitsAreCheckedAgainstTheDump)
{
    const std::string top = "\x01\x02\x03\x04\x05\x06\x07\x08", bottom = "\x11\x12\x13\x14\x15\x16\x17\x18";
    TemporaryDirectory compact;
    writeFileBytes(compact.file("d.raw"), top + bottom);
    ASSERT_EQ(rawsnap(compact, {"--width", "4"}).status, 0);
    const std::string expected = readFileBytes(compact.file("o.bmp"));
    const std::string tooSmall = "input file 'd.raw' is too small for the given geometry";
    const struct {
        const char* what;
        uint64_t size;                    // of the sparse dump
        uint64_t topAt, bottomAt;         // where its two lines lie
        std::vector<std::string> options; // besides --fb, --format RGB565 and --output
        std::string error;                // empty for a run that gives `expected`
    } cases[] = {
        {"a pitch of 4 GiB", k4GiB + 8, 0, k4GiB, {"--width", "4", "--pitch", "4294967296"}, ""},
        {"the same, the height given", k4GiB + 8, 0, k4GiB, {"--width", "4", "--height", "2", "--pitch", "4294967296"},
            ""},
        {"an offset of 4 GiB", k4GiB + 19, k4GiB + 3, k4GiB + 11, {"--width", "4", "--offset", "4294967299"}, ""},
        {"a pitch past the dump", 16, 0, 8, {"--width", "4", "--height", "2", "--pitch", "18446744073709551615"},
            tooSmall},
        {"an offset past the dump", 16, 0, 8, {"--width", "4", "--offset", "18446744073709551615"}, tooSmall},
        {"a pitch and offset whose sum wraps", 16, 0, 8,
            {"--width", "4", "--height", "2", "--pitch", "9223372036854775808", "--offset", "9223372036854775808"},
            tooSmall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        writeSparse(folder.file("d.raw"), c.size, c.topAt, top);
        writeSparse(folder.file("d.raw"), c.size, c.bottomAt, bottom);
        const ProgramResult result = rawsnap(folder, c.options);
        EXPECT_EQ(result.output,
            c.error.empty() ? "Generated BMP file 'o.bmp', size " + std::to_string(expected.size()) + " bytes\n"
                            : errorLine(c.error));
        EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
        EXPECT_EQ(fileExists(folder.file("o.bmp")) ? readFileBytes(folder.file("o.bmp")) : "",
            c.error.empty() ? expected : "");
    }
    TemporaryDirectory folder;
    writeFileBytes(folder.file("d.raw"), top);
    const ProgramResult over = rawsnap(folder, {"--width", "4", "--pitch", "18446744073709551616"});
    EXPECT_NE(over.output.find("\n\nERROR: '--pitch' invalid numeric value\n\n"), std::string::npos) << over.output;
    EXPECT_EQ(over.status, 1);
}

#ifndef CORVANE_SANITIZED
// Under a memory limit, lines that cannot be held end the run with rawsnap's
// own message, whether the lines as read, their conversion or libpng's rows
// ran out.
TEST(RawsnapLimits, LinesThatRunOutOfMemorySaySo)
{
    const struct {
        const char* what;
        uint32_t width;
        const char* format;
        const char* output;
    } cases[] = {
        {"libpng's rows", 1u << 22, "RGB565", "o.png"},
        {"the lines as read, for a PNG", 1u << 24, "RGB565", "o.png"},
        {"the lines as read, for a BMP", 1u << 24, "BGR565", "o.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        writeSparse(folder.file("d.raw"), uint64_t(c.width) * 2, 0, "");
        ProgramSetup setup;
        setup.workingDirectory = folder.path();
        setup.memoryLimit = uint64_t(36) << 20;
        const ProgramResult result = runProgram(RAWSNAP_PATH,
            {"--silent", "--fb", "d.raw", "--width", std::to_string(c.width), "--format", c.format, "--output",
                c.output},
            setup);
        EXPECT_EQ(result.output, errorLine("not enough memory for lines of " + std::to_string(c.width) + " pixels"));
        EXPECT_EQ(result.status, 1);
        EXPECT_FALSE(fileExists(folder.file(c.output)));
    }
}

// Bytes the C library has handed out and not taken back.
uint64_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The memory rawsnap counts before a PNG conversion is what the lines and
// libpng really hold once the rows are under way: never less, and within
// 128 KiB of it (the room left in the allowance for libpng's deflate state).
TEST(RawsnapLimits, PngMemoryEstimateCountsWhatIsHeld)
{
    const struct {
        const char* format;
        PictureFormat picture;
    } cases[] = {{"RGB565", PictureFormat::Rgb}, {"ARGB8888", PictureFormat::Rgba}, {"RGB888", PictureFormat::Rgb}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        TemporaryDirectory folder;
        DumpGeometry geometry{findDumpFormat(c.format), 1u << 20, 3, 0, 0};
        geometry.pitch = dumpRowLength(geometry);
        writeSparse(folder.file("d.raw"), requiredDumpSize(geometry), 0, "");
        DumpReader reader;
        ASSERT_TRUE(reader.open(folder.file("d.raw")) && reader.measure());
        OutputFile output;
        ASSERT_TRUE(output.create("/dev/null"));
        const uint64_t before = heapInUse();
        uint64_t held = 0;
        {
            DumpLines lines(reader, geometry, LineLayout::Rgb);
            ASSERT_TRUE(writePngRows(
                geometry.width, geometry.height, c.picture,
                [&](uint32_t y) {
                    const uint8_t* row = lines.line(y);
                    if (y == geometry.height - 1)
                        held = heapInUse() - before;
                    return row;
                },
                output));
        }
        const uint64_t estimate =
            DumpLines::memoryBytes(geometry, LineLayout::Rgb) + pngWriterMemoryBytes(geometry.width, c.picture);
        EXPECT_LE(held, estimate);
        EXPECT_LE(estimate - held, uint64_t(128) << 10) << "held " << held;
    }
}
#endif

} // namespace
