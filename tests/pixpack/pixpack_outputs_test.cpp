// End-to-end tests of the real pixpack binary: its outputs never lose data
// (any spelling of the output, file-size limits, FIFOs, its own
// descriptors), a turned surface within the memory of one, and an input too
// big to hold.
#include "folder_state.h"
#include "pixpack_check.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

// The tool as installed, and a build of it that takes the named temporary
// files of file systems without unnamed ones.
const char* const kBuilds[] = {PIXPACK_PATH, PIXPACK_NAMED_TEMPORARIES_PATH};

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
            EXPECT_EQ(result.output, c.error.empty() ? success(c.input, surfaceBytes.size()) : kTranscript.runtimeError(c.error));
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
            EXPECT_EQ(result.output, kTranscript.runtimeError("cannot write output file 'o.srf'"));
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
        EXPECT_EQ(result.output, c.error.empty() ? success(c.image, surface.size()) : kTranscript.runtimeError(c.error));
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
        const std::string message = success("g.png", surface.size()).substr(kTranscript.banner.size());
        EXPECT_EQ(readFileBytes(folder.file("log.txt")), "earlier lines\n" + kTranscript.banner + surface + message);
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
            c.error.empty() ? success(directory.file("big.png"), 20 + surfaceBytes) : kTranscript.runtimeError(c.error));
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
    EXPECT_EQ(result.output, kTranscript.runtimeError("cannot read input file '" + huge + "'"));
    EXPECT_EQ(result.status, 1);
}

} // namespace
