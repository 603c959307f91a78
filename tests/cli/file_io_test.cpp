#include "file_io.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(OutputFile, KeepsACommittedFileAndRemovesAnAbandonedOne)
{
    TemporaryDirectory directory;
    const std::string kept = directory.file("kept.bin");
    const std::string dropped = directory.file("dropped.bin");
    writeFileBytes(dropped, "old contents");
    {
        OutputFile keep;
        ASSERT_TRUE(keep.create(kept));
        keep.write("abc", 3);
        EXPECT_TRUE(keep.commit());

        OutputFile drop; // truncates the old file, then the run stops
        ASSERT_TRUE(drop.create(dropped));
        drop.write("partial", 7);
    }
    EXPECT_EQ(readFileBytes(kept), "abc");
    EXPECT_FALSE(fileExists(dropped));
}

TEST(OutputFile, ReportsWriteFailuresAndNeverRemovesDevices)
{
    OutputFile full;
    ASSERT_TRUE(full.create("/dev/full"));
    full.write(std::string(70000, 'x'));
    EXPECT_FALSE(full.commit());
    EXPECT_TRUE(fileExists("/dev/full"));

    OutputFile null;
    ASSERT_TRUE(null.create("/dev/null"));
    null.discard();
    EXPECT_TRUE(fileExists("/dev/null"));

    OutputFile missingDirectory;
    EXPECT_FALSE(missingDirectory.create("/nonexistent-dir/x.bin"));
}

TEST(OutputFile, LeavesAFileThatReplacedItsOutputAlone)
{
    TemporaryDirectory directory;
    const std::string path = directory.file("out.bin");
    OutputFile output;
    ASSERT_TRUE(output.create(path));
    ASSERT_EQ(std::remove(path.c_str()), 0);
    writeFileBytes(path, "someone else's");
    output.discard();
    EXPECT_EQ(readFileBytes(path), "someone else's");
}

TEST(InputFile, ReadsWholeFilesAndRefusesMissingOrEmptyOnes)
{
    TemporaryDirectory directory;
    writeFileBytes(directory.file("data"), std::string("\0\1\2", 3));
    writeFileBytes(directory.file("empty"), "");

    InputFile input;
    std::vector<uint8_t> contents;
    ASSERT_TRUE(input.open(directory.file("data")));
    ASSERT_TRUE(input.readAll(contents));
    EXPECT_EQ(contents, (std::vector<uint8_t>{0, 1, 2}));

    ASSERT_TRUE(input.open(directory.file("empty")));
    EXPECT_FALSE(input.readAll(contents));
    EXPECT_FALSE(input.open(directory.file("missing")));
}
