#include "tool_frame.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

namespace {

struct Outcome {
    std::string output;
    int status;
};

Outcome run(const std::function<void()>& work, const ToolRunOptions& options = {})
{
    const char* argv[] = {"tool"};
    CommandLine commandLine("tool", 1, argv);
    commandLine.addOption("--x", "X");
    testing::internal::CaptureStdout();
    const int status = runTool(commandLine, work, options);
    return {testing::internal::GetCapturedStdout(), status};
}

const char* const kUsage = "\n\nUSAGE: tool [options]\nwhere [options] can be any of the following:\n\n"
                           "\n --x                               -  X\n";

} // namespace

TEST(ToolFrame, TurnsEachOutcomeIntoItsOutputAndStatus)
{
    Outcome done = run([] { finishRun(); });
    EXPECT_EQ(done.output, "\n\n");
    EXPECT_EQ(done.status, 0);

    Outcome silent = run([] { finishRun(); }, ToolRunOptions{false, {}});
    EXPECT_EQ(silent.output, "");
    EXPECT_EQ(silent.status, 0);

    Outcome withOption = run([] { throw CommandLineException("--x", "missing value"); });
    EXPECT_EQ(withOption.output, std::string(kUsage) + "\n\nERROR: '--x' missing value\n\n");
    EXPECT_EQ(withOption.status, 1);

    Outcome emptyOption = run([] { throw CommandLineException(std::string(), "bad"); });
    EXPECT_EQ(emptyOption.output, std::string(kUsage) + "\n\nERROR: '' bad\n\n");

    Outcome noOption = run([] { throw CommandLineException(std::nullopt, "invalid argument y"); });
    EXPECT_EQ(noOption.output, std::string(kUsage) + "\n\nERROR: invalid argument y\n\n");

    Outcome runtime = run([] { raiseError("cannot open input file '%s' (%d)", "in.raw", 7); });
    EXPECT_EQ(runtime.output, "\n\nERROR: cannot open input file 'in.raw' (7)\n\n");
    EXPECT_EQ(runtime.status, 1);
}

TEST(ToolFrame, HandsUnknownExceptionsToTheToolAndNeverEscapes)
{
    struct Foreign : std::exception {
        const char* what() const noexcept override { return "cannot load glyph"; }
    };
    const ToolRunOptions options{true, [](const std::exception& error) {
                                     std::printf("\n\nERROR: FreeType %s\n\n", error.what());
                                     return true;
                                 }};
    Outcome handled = run([] { throw Foreign(); }, options);
    EXPECT_EQ(handled.output, "\n\nERROR: FreeType cannot load glyph\n\n");
    EXPECT_EQ(handled.status, 1);

    Outcome unhandled = run([] { throw std::logic_error("no such slot"); });
    EXPECT_EQ(unhandled.output, "\n\nERROR: no such slot\n\n");
    EXPECT_EQ(unhandled.status, 1);

    // Memory that runs out where a tool does not report it itself.
    Outcome memory = run([] { throw std::bad_alloc(); }, options);
    EXPECT_EQ(memory.output, "\n\nERROR: not enough memory\n\n");
    EXPECT_EQ(memory.status, 1);
}

TEST(Banner, PrintsVersionFieldsInHex)
{
    testing::internal::CaptureStdout();
    printBanner({"tool", "Some Title", 0x0110});
    const std::string banner = testing::internal::GetCapturedStdout();
    EXPECT_EQ(banner.rfind("\n\nSome Title v1.10. ", 0), 0u);
    EXPECT_EQ(banner.substr(banner.size() - 2), "\n\n");
}
