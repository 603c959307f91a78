// Inputs that are not regular files - a FIFO no one writes to, a folder, a
// character device - given to each tool in each of its input options: every
// one is refused at once with "cannot read input file", and no output appears.
#include "missing_data.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// A 1 x 1 I8 surface file: rotation 0, mode 5, width 1, height 1, pitch 1,
// one pixel and three bytes up to a multiple of 4.
const std::string kSurfaceFile("\0\0\0\0\5\0\0\0\1\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0", 24);

// `arguments` with every "IN" replaced by `input`.
std::vector<std::string> withInput(std::vector<std::string> arguments, const std::string& input)
{
    for (std::string& argument : arguments)
        if (argument == "IN")
            argument = input;
    return arguments;
}

TEST(SpecialInputs, AreRefusedAtOnceByEveryTool)
{
    const std::string font = CORVANE_TEST_FONT;
    if (font.empty())
        SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
    TemporaryDirectory folder;
    ASSERT_EQ(mkfifo(folder.file("fifo.png").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(folder.file("folder.png").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/null", folder.file("null.png").c_str()), 0);
    writeFileBytes(folder.file("s.srf"), kSurfaceFile);
    const struct {
        const char* what;
        const char* program;
        std::vector<std::string> arguments; // "IN" stands for the input
        const char* output;                 // must not appear
    } tools[] = {
        {"pixpack --image", PIXPACK_PATH, {"--image", "IN", "--output", "o.srf"}, "o.srf"},
        {"rawsnap --fb", RAWSNAP_PATH, {"--fb", "IN", "--width", "4", "--format", "RGB565", "--output", "o.bmp"},
            "o.bmp"},
        {"assetpeek --surface", ASSETPEEK_PATH, {"--surface", "IN", "--output", "o.png"}, "o.png"},
        {"assetpeek --font", ASSETPEEK_PATH, {"--font", "IN", "--text", "A", "--output", "o.png"}, "o.png"},
        {"assetpeek --palette", ASSETPEEK_PATH, {"--surface", "s.srf", "--palette", "IN", "--output", "o.png"},
            "o.png"},
        {"glyphsmith_cli --font", GLYPHSMITH_CLI,
            {"--font", "IN", "--chars", "65", "--size", "16", "--output_path", ".", "f"}, "f_16.cpp"},
        {"glyphsmith_cli --fallback", GLYPHSMITH_CLI,
            {"--font", font, "--fallback", "IN", "--chars", "65", "--size", "16", "--output_path", ".", "f"},
            "f_16.cpp"},
    };
    for (const auto& tool : tools)
        for (const char* input : {"fifo.png", "folder.png", "null.png"}) {
            SCOPED_TRACE(std::string(tool.what) + " " + input);
            ProgramSetup setup;
            setup.workingDirectory = folder.path();
            setup.timeoutSeconds = 5;
            std::vector<std::string> arguments = withInput(tool.arguments, input);
            arguments.insert(arguments.begin(), "--silent");
            const ProgramResult result = runProgram(tool.program, arguments, setup);
            EXPECT_EQ(result.signal, 0) << "the tool waited for its input";
            EXPECT_EQ(result.output, "\n\nERROR: cannot read input file '" + std::string(input) + "'\n\n");
            EXPECT_EQ(result.status, 1);
            EXPECT_FALSE(fileExists(folder.file(tool.output)));
        }
}

} // namespace
