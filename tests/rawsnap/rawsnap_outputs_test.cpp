// End-to-end tests of the real rawsnap binary's outputs: never a lost file
// (any spelling of the output, file-size limits, interruptions), every way
// of writing giving the same image, and memory that does not grow with the
// pitch.
#include "folder_state.h"
#include "missing_data.h"
#include "rawsnap_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

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
        const std::string success = kTranscript.banner + "\nGenerated BMP file '" + c.output + "', size 78 bytes" + kClosingLine;
        EXPECT_EQ(result.output, c.error.empty() ? success : kTranscript.runtimeError(c.error));
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
    EXPECT_EQ(result.output, kTranscript.runtimeError("cannot write output file 'o.bmp'"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(folderState(folder.path()), before);
}

// A run stopped at any moment leaves either the old image or the new one,
// and no temporary file.
// A SIGKILL, which no process can catch, that lands between the finished
// output getting a temporary name and that name being renamed over the
// output (a few instructions) leaves the temporary name; the file under it
// must then be the whole new output. Takes it out of `state` and the folder.
namespace {
void removeWholeTemporary(const TemporaryDirectory& folder, FolderState& state, const std::string& converted)
{
    for (auto entry = state.begin(); entry != state.end(); ++entry)
        if (entry->first != "fb.raw" && entry->first != "o.bmp") {
            EXPECT_EQ(readFileBytes(folder.file(entry->first)), converted) << entry->first << " is not whole";
            std::remove(folder.file(entry->first).c_str());
            state.erase(entry);
            return;
        }
}
} // namespace

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
        FolderState after = folderState(folder.path());
        if (signal == SIGKILL)
            removeWholeTemporary(folder, after, converted);
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
    EXPECT_EQ(run.output, kTranscript.banner + result(folder.file("same.bmp")) + kClosingLine);
    EXPECT_TRUE(readFileBytes(folder.file("same.bmp")) == bmp) << "dump on the same file system";

    if (fileExists("/dev/shm")) {
        run = rawsnap(arguments(otherFileSystem, folder.file("other.bmp")));
        EXPECT_EQ(run.output, kTranscript.banner + result(folder.file("other.bmp")) + kClosingLine);
        EXPECT_TRUE(readFileBytes(folder.file("other.bmp")) == bmp) << "dump on another file system";
    }
    std::remove(otherFileSystem.c_str());

    const std::string fifo = folder.file("pipe.bmp");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::string fromPipe;
    std::thread reader([&] { fromPipe = readFileBytes(fifo); });
    run = rawsnap(arguments(folder.file("fb.raw"), fifo));
    reader.join();
    EXPECT_EQ(run.output, kTranscript.banner + result(fifo) + kClosingLine);
    EXPECT_TRUE(fromPipe == bmp) << "output into a pipe";
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
