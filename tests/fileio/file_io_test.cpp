#include "file_io.h"
#include "folder_state.h"
#include "run_program.h"
#include "termination_cleanup.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace {

// Runs `body` in a child process and returns how the child ended.
int statusOfChild(const std::function<void()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

class OutputFileTest : public testing::Test {
protected:
    void SetUp() override { umask(022); }

    std::string path(const std::string& name) const { return directory.file(name); }

    TemporaryDirectory directory;
};

TEST_F(OutputFileTest, ReplacesOnlyOnPublishAndLeavesNoTemporaryFile)
{
    makeEntries(directory.path(), {{"kept.bin", fileEntry("old", 0640)}, {"dropped.bin", fileEntry("old")}});
    const FolderState before = folderState(directory.path());
    {
        OutputFile keep;
        ASSERT_TRUE(keep.create(path("kept.bin")));
        keep.write("new", 3);
        ASSERT_TRUE(keep.finish());
        EXPECT_EQ(folderState(directory.path()), before) << "finished but not yet published";
        EXPECT_TRUE(keep.publish());

        OutputFile drop; // the run stops half-way
        ASSERT_TRUE(drop.create(path("dropped.bin")));
        drop.write("partial", 7);
        OutputFile fresh;
        ASSERT_TRUE(fresh.create(path("fresh.bin")));
        fresh.write("x", 1);
    }
    EXPECT_EQ(folderState(directory.path()), withChanges(before, {{"kept.bin", fileEntry("new", 0640)}}));
}

TEST_F(OutputFileTest, RefusesWhatCannotBeReplaced)
{
    makeEntries(directory.path(), {{"folder", kFolderEntry}, {"loop", linkEntry("loop")}});
    for (const std::string& target :
        {path("folder"), path("folder/"), path("loop"), path("missing/x.bin"), directory.prefix()}) {
        OutputFile output;
        EXPECT_FALSE(output.create(target)) << target;
    }
}

TEST_F(OutputFileTest, WritesDevicesDirectlyAndReportsTheirFailures)
{
    OutputFile full;
    ASSERT_TRUE(full.create("/dev/full"));
    full.write(std::string(70000, 'x'));
    EXPECT_FALSE(full.commit());

    OutputFile null;
    ASSERT_TRUE(null.create("/dev/null"));
    null.write("x", 1);
    EXPECT_TRUE(null.commit());
    EXPECT_TRUE(fileExists("/dev/null"));
    EXPECT_TRUE(fileExists("/dev/full"));
}

// Whatever stops the process between create and publish, the old file
// stays and no temporary file is left.
TEST_F(OutputFileTest, AKilledProcessLeavesThePreviousFile)
{
    makeEntries(directory.path(), {{"out.bin", fileEntry("previous")}});
    const FolderState before = folderState(directory.path());
    for (int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        const int status = statusOfChild([&] {
            OutputFileTestHooks hooks;
            hooks.namedTemporaries = signal != SIGKILL; // SIGKILL leaves a named one
            setOutputFileTestHooks(hooks);
            OutputFile output;
            if (!output.create(path("out.bin")))
                _exit(2);
            output.write(std::string(100000, 'n'));
            output.finish();
            raise(signal);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(folderState(directory.path()), before) << signal;
    }
}

// Named temporary files (on file systems without unnamed ones) go away on
// the termination signals; a signal the process ignores stays ignored.
TEST_F(OutputFileTest, NamedTemporaryFilesAreRemovedOnTerminationSignals)
{
    const auto makeNamedFile = [&](const std::string& name) {
        const int folder = open(directory.path().c_str(), O_PATH | O_DIRECTORY);
        close(open(path(name).c_str(), O_CREAT | O_WRONLY, 0644));
        if (!registerTemporaryFile(folder, name))
            _exit(2);
    };
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const int status = statusOfChild([&] {
            makeNamedFile(".out.tmp1");
            makeNamedFile(".other.tmp2");
            raise(signal);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(folderState(directory.path()), FolderState{}) << signal;
    }
    const int ignored = statusOfChild([&] {
        std::signal(SIGINT, SIG_IGN);
        makeNamedFile(".kept.tmp");
        raise(SIGINT);
    });
    EXPECT_TRUE(WIFEXITED(ignored) && WEXITSTATUS(ignored) == 0);
    EXPECT_EQ(folderState(directory.path()).count(".kept.tmp"), 1u);
}

// Named temporary files, forced where unnamed ones are offered: a
// termination signal that arrives while one is being dropped finds nothing
// half done and leaves nothing behind.
TEST_F(OutputFileTest, ASignalDuringDiscardLeavesNoNamedTemporaryFile)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const int status = statusOfChild([&] {
            static int raised;
            raised = signal;
            OutputFileTestHooks hooks;
            hooks.namedTemporaries = true;
            hooks.pause = [](OutputPausePoint point) {
                if (point == OutputPausePoint::DuringDiscard)
                    raise(raised);
            };
            setOutputFileTestHooks(hooks);
            OutputFile output;
            if (!output.create(path("out.bin")))
                _exit(2);
            output.write("partial", 7);
            output.discard();
            _exit(3);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
        EXPECT_EQ(folderState(directory.path()), FolderState{}) << signal;
    }
}

TEST(InputFile, ReadsWholeRegularFilesOnly)
{
    TemporaryDirectory directory;
    makeEntries(directory.path(),
        {{"data", fileEntry(std::string("\0\1\2", 3))}, {"empty", fileEntry("")}, {"folder", kFolderEntry}});
    // Read or mapped, the bytes are the file's, and stay once it is closed.
    for (const auto whole : {&InputFile::readAll, &InputFile::mapAll}) {
        InputFile input;
        ASSERT_TRUE(input.open(directory.file("data")));
        ASSERT_TRUE((input.*whole)());
        input.close();
        EXPECT_EQ(std::vector<uint8_t>(input.data(), input.data() + input.size()), (std::vector<uint8_t>{0, 1, 2}));
        for (const char* unreadable : {"empty", "folder"}) {
            ASSERT_TRUE(input.open(directory.file(unreadable)));
            EXPECT_FALSE((input.*whole)()) << unreadable;
        }
    }
    InputFile input;
    EXPECT_FALSE(input.open(directory.file("missing")));
}

} // namespace
