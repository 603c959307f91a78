// Transcripts of the real glyphsmith_cli with the packed format's options:
// every refusal (usage listing, error line, status 1, no file), and the
// files each accepted combination writes.
#include "glyphsmith_cli_transcript.h"
#include "missing_data.h"
#include "test_support.h"
#include "tool_transcript.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

const ToolTranscript& kTool = glyphsmithCliTranscript();

class PackedExport : public testing::Test {
protected:
    void SetUp() override
    {
        font = testFontPath();
        ASSERT_EQ(mkdir((folder.prefix() + "out").c_str(), 0755), 0);
    }

    // A run writing out/p_16.cpp and .h with `options` added (last, where
    // --chars can take no other word).
    ProgramResult run(const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments = {
            "p", "--font", font.empty() ? "f.ttf" : font, "--size", "16", "--output_path", "out"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runProgram(GLYPHSMITH_CLI, arguments, folder.path());
    }

    std::string output(const std::string& extension) const
    {
        return readFileBytes(folder.prefix() + "out/p_16" + extension);
    }

    std::string font;
    TemporaryDirectory folder;
};

struct Refusal {
    std::vector<std::string> options;
    std::string option; // the option the error names
    std::string message;
};

TEST_F(PackedExport, BadValuesAreRefusedAndWriteNothing)
{
    const Refusal refusals[] = {
        {{"--chars", "65", "--bpp", "3"}, "--bpp", "bits per pixel must be 1, 2, 4 or 8"},
        {{"--chars", "65", "--bpp", "0"}, "--bpp", "bits per pixel must be 1, 2, 4 or 8"},
        {{"--chars", "65", "--bpp", "16"}, "--bpp", "bits per pixel must be 1, 2, 4 or 8"},
        {{"--chars", "65", "--bpp", "four"}, "--bpp", "invalid numeric value"},
        {{"--chars", "65", "--compress"}, "--compress", "needs --bpp"},
        {{"--chars", "65", "--bpp", "4", "--rotations", "45"}, "--rotations", "invalid rotation '45'"},
        {{"--chars", "65", "--rotations", "0,90,0"}, "--rotations", "rotation 0 given twice"},
        {{"--chars", "65", "--bpp", "1", "--rotations", "0,,90"}, "--rotations", "invalid rotation ''"},
        {{"--chars", "65", "--bpp", "1", "--rotations", " 90"}, "--rotations", "invalid rotation ' 90'"},
        {{"--chars", "65", "--bpp", "2", "--rotations"}, "--rotations", "missing value"},
        {{"--bpp", "4", "--chars", "U+110000"}, "--chars", "character beyond U+10FFFF in 'U+110000'"},
        {{"--bpp", "4", "--chars", "32-1114112"}, "--chars", "character beyond U+10FFFF in '32-1114112'"},
        {{"--bpp", "4", "--chars", "U+0041-U+0041"}, "--chars", "invalid range"},
        {{"--bpp", "4", "--chars", "U+12G"}, "--chars", "invalid value"},
        {{"--bpp", "4", "--chars", "U+1234567"}, "--chars", "invalid value"},
        {{"--bpp", "4", "--chars", "0x41"}, "--chars", "invalid value"},
        {{"--bpp", "4", "--chars", "65=U+0410"}, "--chars", "'=' items cannot be used with --bpp"},
        {{"--bpp", "4", "--chars", "65", "--codepage", "CP1251"}, "--codepage", "cannot be used with --bpp"},
        {{"--bpp", "4", "--bpp", "8", "--chars", "65"}, "--bpp", "duplicate option"},
        {{"--chars", "U+0041"}, "--chars", "invalid value"}, // the classic format keeps its codes
        {{"--chars", "300"}, "--chars", "invalid range"},
    };
    for (const Refusal& refusal : refusals) {
        const ProgramResult transcript = run(refusal.options);
        EXPECT_EQ(transcript.output, kTool.usageError("'" + refusal.option + "' " + refusal.message))
            << testing::PrintToString(refusal.options);
        EXPECT_EQ(transcript.status, 1);
        EXPECT_FALSE(fileExists(folder.prefix() + "out/p_16.cpp"));
        EXPECT_FALSE(fileExists(folder.prefix() + "out/p_16.h"));
    }
}

struct Accepted {
    std::vector<std::string> options;
    std::string warnings;          // lines printed before the result line
    std::vector<std::string> have; // pieces the source holds
    std::string declarations;      // the header's extern lines
};

TEST_F(PackedExport, EachCombinationWritesItsFormatAndRotations)
{
    if (font.empty())
        SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
    const std::string packed = "extern const ds_packed_font_t font_p_16_";
    const std::string classic = "extern const ds_bitmap_font_t font_p_16_";
    const Accepted cases[] = {
        {{"--chars", "32-126", "--bpp", "4", "--compress"}, "", {".bpp = 4,\n.compressed = 1,\n"}, packed + "0;"},
        {{"--chars", "32-126", "--bpp", "8"}, "", {".bpp = 8,\n.compressed = 0,\n", ".glyph_count = 95,"},
            packed + "0;"},
        {{"--bpp", "1", "--rotations", "270,90", "--chars", "65-90"}, "", {".rotation = 270,", ".bpp = 1,"},
            packed + "90;\n" + packed + "270;"},
        {{"--bpp", "2", "--rotations", "0,90,180,270", "--chars", "U+0410-U+044F,U+20AC,U+03A9,97"}, "",
            {".glyph_count = 67,", "packed_images_180[]"},
            packed + "0;\n" + packed + "90;\n" + packed + "180;\n" + packed + "270;"},
        // Control characters (U+0080-U+009F) draw nothing and are left out without a word.
        {{"--bpp", "4", "--chars", "65,U+4E00-U+4E02,66,U+0080-U+009F,U+10FFFF"},
            "WARNING: U+4E00-U+4E02 are in no font given: they are left out\n"
            "WARNING: U+10FFFF is in no font given: it is left out\n",
            {".glyph_count = 2,"}, packed + "0;"},
        {{"--chars", "65", "--rotations", "180"}, "", {"font_p_16_180 = {"}, classic + "180;"},
    };
    for (const Accepted& accepted : cases) {
        SCOPED_TRACE(testing::PrintToString(accepted.options));
        std::vector<std::string> options = {"--silent"};
        options.insert(options.end(), accepted.options.begin(), accepted.options.end());
        const ProgramResult transcript = run(options);
        EXPECT_EQ(transcript.output, accepted.warnings + "Generated bitmap font for '" + font + "', size 16\n");
        EXPECT_EQ(transcript.status, 0);
        const std::string source = output(".cpp");
        for (const std::string& piece : accepted.have)
            EXPECT_NE(source.find(piece), std::string::npos) << piece;
        EXPECT_EQ(output(".h"),
            "#ifndef _FONT_P_16_H\n#define _FONT_P_16_H\n\n#include <ds_font.h>\n\n" + accepted.declarations +
                "\n\n#endif\n");
    }
}

} // namespace
