// Transcripts of the real glyphsmith_cli: whole standard output and exit status.
#include "folder_state.h"
#include "font_rasterizer.h"
#include "glyphsmith_cli_transcript.h"
#include "missing_data.h"
#include "test_support.h"
#include "tool_transcript.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kBanner = glyphsmithCliTranscript().banner;
const std::string kUsage = glyphsmithCliTranscript().usage;

std::string optionError(const std::string& option, const std::string& message)
{
    return kUsage + "\n\nERROR: '" + option + "' " + message + "\n\n";
}

class GlyphsmithCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = testFontPath();
        ASSERT_FALSE(folder.path().empty());
        ASSERT_EQ(mkdir((folder.prefix() + "out").c_str(), 0755), 0);
    }

    void requireFont()
    {
        if (font.empty())
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
    }

    ProgramResult run(const std::vector<std::string>& arguments)
    {
        return runProgram(GLYPHSMITH_CLI, arguments, folder.path());
    }

    std::string result(const std::string& size) const
    {
        return "Generated bitmap font for '" + font + "', size " + size + "\n";
    }

    bool outputExists(const std::string& name) const
    {
        return fileExists(folder.prefix() + "out/" + name + ".cpp") &&
            fileExists(folder.prefix() + "out/" + name + ".h");
    }

    std::string font;
    TemporaryDirectory folder;
};

struct ErrorCase {
    std::vector<std::string> arguments;
    std::string output; // after the banner
};

TEST_F(GlyphsmithCliTest, ReportsOptionErrorsInOrder)
{
    const std::string f = "f.ttf";
    const ErrorCase cases[] = {
        {{}, optionError("--font", "missing file name")},
        {{"--size", "16", "name"}, optionError("--font", "missing file name")},
        {{"--font", f, "name"}, optionError("--chars", "missing character list")},
        {{"--font", f, "--chars", "65", "--output_path", "out"}, optionError("--size", "missing font height")},
        {{"--font", f, "--chars", "65", "--size", "16"}, optionError("--output_path", "missing path")},
        {{"--font", f, "--chars", "65", "--size", "5", "--output_path", "out", "x"},
            optionError("--size", "height has to be between 6 and 256")},
        {{"--font", f, "--chars", "65", "--size", "257", "--output_path", "out", "x"},
            optionError("--size", "height has to be between 6 and 256")},
        {{"--font", f, "--chars", "65", "--size", "16", "--output_path", "out"},
            kUsage + "\n\nERROR: missing output font name\n\n"},
        {{"--font", f, "--chars", "65", "--size", "16", "--output_path", "out", ""},
            kUsage + "\n\nERROR: missing output font name\n\n"},
        {{"x", "--font", f, "--chars", "65", "--size", "16", "--output_path", "out", "y"},
            kUsage + "\n\nERROR: invalid argument y\n\n"},
        {{"--font", f, "--chars", "32-126", "x", "--size", "16", "--output_path", "out"},
            optionError("--chars", "invalid value")},
        {{"--font", f, "--chars", "0-256", "--size", "16", "--output_path", "out", "x"},
            optionError("--chars", "invalid range")},
        {{"--font", f, "--chars", "4294967361", "--size", "16", "--output_path", "out", "x"},
            optionError("--chars", "invalid range")},
        {{"--font", f, "--font", f, "--chars", "65", "--size", "16", "--output_path", "out", "x"},
            optionError("--font", "duplicate option")},
    };
    for (const ErrorCase& test : cases) {
        const ProgramResult transcript = run(test.arguments);
        EXPECT_EQ(transcript.output, kBanner + test.output) << testing::PrintToString(test.arguments);
        EXPECT_EQ(transcript.status, 1);
    }
    EXPECT_FALSE(fileExists(folder.prefix() + "out/x_16.cpp"));
}

TEST_F(GlyphsmithCliTest, HelpComesBeforeTheRequiredOptions)
{
    ProgramResult transcript = run({"--size", "3", "--help"});
    EXPECT_EQ(transcript.output, kBanner + kUsage + kClosingLine);
    EXPECT_EQ(transcript.status, 0);

    transcript = run({"--help", "--silent"});
    EXPECT_EQ(transcript.output, kUsage);
    EXPECT_EQ(transcript.status, 0);

    transcript = run({"--silent"});
    EXPECT_EQ(transcript.output, optionError("--font", "missing file name"));
    EXPECT_EQ(transcript.status, 1);
}

TEST_F(GlyphsmithCliTest, ExportsAtTheHeightLimits)
{
    requireFont();
    for (const char* size : {"6", "256"}) {
        const ProgramResult transcript =
            run({"--font", font, "--chars", "32-126", "--size", size, "--output_path", "out", "edge"});
        EXPECT_EQ(transcript.output, kBanner + result(size) + kClosingLine);
        EXPECT_EQ(transcript.status, 0);
        EXPECT_TRUE(outputExists(std::string("edge_") + size));
    }
}

TEST_F(GlyphsmithCliTest, SilentPrintsOnlyTheResultLine)
{
    requireFont();
    const ProgramResult transcript =
        run({"--silent", "--font", font, "--chars", "65-70", "--size", "16", "--output_path", "out/", "my font"});
    EXPECT_EQ(transcript.output, result("16"));
    EXPECT_EQ(transcript.status, 0);
    EXPECT_TRUE(outputExists("my_font_16"));
}

TEST_F(GlyphsmithCliTest, OutputPathWithOrWithoutSlashGivesTheSameFiles)
{
    requireFont();
    ASSERT_EQ(run({"--font", font, "--chars", "65", "--size", "16", "--output_path", "out", "a"}).status, 0);
    ASSERT_EQ(run({"--font", font, "--chars", "65", "--size", "16", "--output_path", "out/", "b"}).status, 0);
    const std::string a = readFileBytes(folder.prefix() + "out/a_16.cpp");
    std::string b = readFileBytes(folder.prefix() + "out/b_16.cpp");
    ASSERT_NE(a, "");
    for (size_t at; (at = b.find("b_16")) != std::string::npos;)
        b.replace(at, 4, "a_16");
    EXPECT_EQ(a, b);
}

// --chars without a value, or with only an empty one, is a missing value as
// for every other option: no font without glyphs is exported.
TEST_F(GlyphsmithCliTest, CharsWithoutValueIsAMissingValue)
{
    for (const std::vector<std::string>& chars : {std::vector<std::string>{"--chars"},
             std::vector<std::string>{"--chars", ""}, std::vector<std::string>{"--chars", "", ""}}) {
        std::vector<std::string> arguments = {"--font", font, "--size", "16", "--output_path", "out", "e"};
        arguments.insert(arguments.begin() + 2, chars.begin(), chars.end());
        const ProgramResult transcript = run(arguments);
        EXPECT_EQ(transcript.output, kBanner + optionError("--chars", "missing value")) << chars.size();
        EXPECT_EQ(transcript.status, 1);
        EXPECT_FALSE(fileExists(folder.prefix() + "out/e_16.cpp"));
    }
}

TEST_F(GlyphsmithCliTest, RunTimeFailuresPrintOnlyTheErrorLine)
{
    ProgramResult transcript =
        run({"--font", "missing.ttf", "--chars", "65", "--size", "16", "--output_path", "out", "x"});
    EXPECT_EQ(transcript.output, kBanner + "\n\nERROR: FreeType cannot load font file\n\n");
    EXPECT_EQ(transcript.status, 1);
    EXPECT_FALSE(fileExists(folder.prefix() + "out/x_16.cpp"));

    requireFont();
    ASSERT_TRUE(writeFontWithBrokenOutlines(font, folder.prefix() + "broken.ttf"));
    transcript = run({"--font", "broken.ttf", "--chars", "32,65", "--size", "16", "--output_path", "out", "x"});
    EXPECT_EQ(transcript.output, kBanner + "\n\nERROR: FreeType cannot load glyph\n\n");
    EXPECT_EQ(transcript.status, 1);
    EXPECT_FALSE(fileExists(folder.prefix() + "out/x_16.cpp"));

    transcript = run({"--silent", "--font", font, "--chars", "65", "--size", "16", "--output_path", "nowhere", "x"});
    EXPECT_EQ(transcript.output, "\n\nERROR: cannot write file 'nowhere/x_16.cpp'\n\n");
    EXPECT_EQ(transcript.status, 1);
}

// Whatever the outputs' spellings, and whether the export succeeds or fails,
// no file that existed is lost and no temporary file stays behind; the two
// files are replaced together or not at all.
TEST_F(GlyphsmithCliTest, OutputsNeverLoseData)
{
    requireFont();
    umask(022);
    const std::vector<std::string> export16 = {"--silent", "--chars", "65-70", "--size", "16", "--output_path", "."};
    ASSERT_EQ(mkdir((folder.prefix() + "ref").c_str(), 0755), 0);
    std::vector<std::string> reference = export16;
    reference[6] = "ref";
    reference.insert(reference.end(), {"--font", font, "n"});
    ASSERT_EQ(run(reference).status, 0);
    const std::string sourceBytes = readFileBytes(folder.prefix() + "ref/n_16.cpp");
    const std::string source = fileEntry(sourceBytes);
    const std::string headerBytes = readFileBytes(folder.prefix() + "ref/n_16.h");
    const std::string header = fileEntry(headerBytes);
    const std::string oldSource = fileEntry("old source"), oldHeader = fileEntry("old header");
    const std::string brokenGlyph = "\n\nERROR: FreeType cannot load glyph\n\n";
    struct Case {
        const char* what;
        FolderSetup before;  // besides the font f.ttf and its broken copy b.ttf
        std::string font;    // --font, run in the folder
        std::string output;  // empty for a run that succeeds, else its error
        FolderState changes; // entries that differ afterwards
    };
    const Case cases[] = {
        {"the font is the output source", {{"n_16.cpp", hardLinkEntry("f.ttf")}}, "n_16.cpp", "",
            {{"n_16.cpp", source}, {"n_16.h", header}}},
        {"the output source links to the font", {{"n_16.cpp", linkEntry("f.ttf")}}, "n_16.cpp", "",
            {{"f.ttf", source}, {"n_16.h", header}}},
        {"a failed export keeps the old pair", {{"n_16.cpp", oldSource}, {"n_16.h", oldHeader}}, "b.ttf", brokenGlyph,
            {}},
        {"a header that cannot be made keeps the old source", {{"n_16.cpp", oldSource}, {"n_16.h", kFolderEntry}},
            "f.ttf", "\n\nERROR: cannot write file './n_16.h'\n\n", {}},
        {"a source and header that lead to one file", {{"n_16.cpp", linkEntry("t")}, {"n_16.h", linkEntry("t")}},
            "f.ttf", "\n\nERROR: cannot write file './n_16.h'\n\n", {}},
        {"symlinked outputs keep their links",
            {{"t.cpp", oldSource}, {"n_16.cpp", linkEntry("t.cpp")}, {"n_16.h", linkEntry("t.h")}}, "f.ttf", "",
            {{"t.cpp", source}, {"t.h", header}}},
        {"replaced files keep their modes", {{"n_16.cpp", fileEntry("x", 0600)}, {"n_16.h", fileEntry("x", 0640)}},
            "f.ttf", "", {{"n_16.cpp", fileEntry(sourceBytes, 0600)}, {"n_16.h", fileEntry(headerBytes, 0640)}}},
    };
    for (const char* program : {GLYPHSMITH_CLI, GLYPHSMITH_CLI_PAUSED})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " with " + program);
            TemporaryDirectory run;
            writeFileBytes(run.file("f.ttf"), readFileBytes(font));
            ASSERT_TRUE(writeFontWithBrokenOutlines(font, run.file("b.ttf")));
            makeEntries(run.path(), c.before);
            const FolderState expected = withChanges(folderState(run.path()), c.changes);
            std::vector<std::string> arguments = export16;
            arguments.insert(arguments.end(), {"--font", c.font, "n"});
            const ProgramResult transcript = runProgram(program, arguments, run.path());
            const std::string success = "Generated bitmap font for '" + c.font + "', size 16\n";
            EXPECT_EQ(transcript.output, c.output.empty() ? success : c.output);
            EXPECT_EQ(transcript.status, c.output.empty() ? 0 : 1);
            EXPECT_EQ(folderState(run.path()), expected);
        }
}

// The moment between the two renames of an export, held open by the tests'
// build of the tool (which also takes named temporary files): a termination
// signal then ends the run only once both files are in, and a header that
// can no longer be replaced puts the old source back.
TEST_F(GlyphsmithCliTest, OutputsNeverLoseDataAtThePairsBoundary)
{
    requireFont();
    umask(022);
    ASSERT_EQ(mkdir((folder.prefix() + "ref").c_str(), 0755), 0);
    ASSERT_EQ(
        run({"--silent", "--font", font, "--chars", "65-70", "--size", "16", "--output_path", "ref", "n"}).status, 0);
    const std::string source = fileEntry(readFileBytes(folder.prefix() + "ref/n_16.cpp"));
    const std::string header = fileEntry(readFileBytes(folder.prefix() + "ref/n_16.h"));
    const struct {
        const char* what;
        int signal;          // sent in the pause, or 0
        bool headerToFolder; // the header is replaced by a folder in the pause
        FolderState changes; // entries that differ afterwards
    } cases[] = {
        {"SIGTERM", SIGTERM, false, {{"n_16.cpp", source}, {"n_16.h", header}}},
        {"SIGINT", SIGINT, false, {{"n_16.cpp", source}, {"n_16.h", header}}},
        {"SIGHUP", SIGHUP, false, {{"n_16.cpp", source}, {"n_16.h", header}}},
        {"a header that cannot be replaced", 0, true, {{"n_16.h", kFolderEntry}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory run;
        writeFileBytes(run.file("f.ttf"), readFileBytes(font));
        makeEntries(run.path(), {{"n_16.cpp", fileEntry("old source")}, {"n_16.h", fileEntry("old header")}});
        const FolderState expected = withChanges(folderState(run.path()), c.changes);
        const std::vector<std::string> arguments = {
            "--silent", "--font", "f.ttf", "--chars", "65-70", "--size", "16", "--output_path", ".", "n"};
        const int status = runProgramWhile(GLYPHSMITH_CLI_PAUSED, arguments, run.path(), [&](pid_t child) {
            ASSERT_TRUE(waitForFileChange(run.file("n_16.cpp"), "old source"));
            if (c.signal != 0)
                kill(child, c.signal);
            if (c.headerToFolder) {
                unlink(run.file("n_16.h").c_str());
                mkdir(run.file("n_16.h").c_str(), 0755);
                writeFileBytes(run.file("n_16.h/in.txt"), "keeps the folder from being replaced");
            }
        });
        if (c.signal != 0)
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(folderState(run.path()), expected);
    }
}

// A file-size limit below the source's size fails the export with its error
// line; neither file changes and no temporary file stays, named or unnamed.
TEST_F(GlyphsmithCliTest, OutputsNeverLoseDataOverAFileSizeLimit)
{
    requireFont();
    for (const char* program : {GLYPHSMITH_CLI, GLYPHSMITH_CLI_PAUSED}) {
        SCOPED_TRACE(program);
        TemporaryDirectory run;
        makeEntries(run.path(), {{"n_16.cpp", fileEntry("old source")}, {"n_16.h", fileEntry("old header")}});
        const FolderState before = folderState(run.path());
        ProgramSetup setup;
        setup.workingDirectory = run.path();
        setup.fileSizeLimit = 4096;
        const ProgramResult transcript = runProgram(program,
            {"--silent", "--font", font, "--chars", "32-126", "--size", "16", "--output_path", ".", "n"}, setup);
        EXPECT_EQ(transcript.signal, 0);
        EXPECT_EQ(transcript.output, "\n\nERROR: cannot write file './n_16.cpp'\n\n");
        EXPECT_EQ(transcript.status, 1);
        EXPECT_EQ(folderState(run.path()), before);
    }
}

// Balker (Debian's fonts-dustin) kerns T and Y before j by more than a
// signed byte holds at large sizes: the deltas are clamped, never wrapped.
TEST_F(GlyphsmithCliTest, KerningBeyondTheFieldIsClamped)
{
    const std::string balker = "/usr/share/fonts/truetype/dustin/Balker.ttf";
    if (!fileExists(balker))
        SKIP_FOR_MISSING("Balker is not installed (Debian package fonts-dustin)");
    FontRasterizer rasterizer;
    rasterizer.loadFont(balker);
    rasterizer.setPixelSize(244);
    ASSERT_LT(rasterizer.kerning('T', 'j'), -128);
    ASSERT_LT(rasterizer.kerning('Y', 'j'), -128);
    const ProgramResult transcript =
        run({"--silent", "--font", balker, "--chars", "84,89,106", "--size", "244", "--output_path", "out", "b"});
    ASSERT_EQ(transcript.status, 0);
    const std::string source = readFileBytes(folder.prefix() + "out/b_244.cpp");
    EXPECT_NE(source.find("static const char char_106_ktp[] = {84, 89, 0};\n"
                          "static const int8_t char_106_ktd[] = {-128, -128, 0};\n"),
        std::string::npos);
}

} // namespace

namespace {

const std::string kIconFont = "/usr/share/fonts/truetype/font-awesome/fontawesome-webfont.ttf";

TEST_F(GlyphsmithCliTest, MappingErrorsNameTheirItemOrPage)
{
    const std::vector<std::string> base = {"--font", "f.ttf", "--size", "16", "--output_path", "out", "x"};
    const ErrorCase cases[] = {
        {{"--chars", "65", "--codepage", "CP437"}, optionError("--codepage", "unknown code page 'CP437'")},
        {{"--chars", "65", "--codepage", "UTF-8"}, optionError("--codepage", "unknown code page 'UTF-8'")},
        {{"--chars", "65=U+110000"}, optionError("--chars", "character beyond U+10FFFF in '65=U+110000'")},
        {{"--chars", "32-126,65=U+41,65=U+42"}, optionError("--chars", "code 65 given two characters in '65=U+42'")},
        {{"--chars", "65=A"}, optionError("--chars", "invalid mapping '65=A'")},
        {{"--chars", "300=U+41"}, optionError("--chars", "invalid range '300=U+41'")},
        {{"--chars", "65", "--codepage", "CP1251", "--codepage", "CP1252"},
            optionError("--codepage", "duplicate option")},
    };
    for (const ErrorCase& test : cases) {
        std::vector<std::string> arguments = test.arguments;
        arguments.insert(arguments.end(), base.begin(), base.end());
        const ProgramResult transcript = run(arguments);
        EXPECT_EQ(transcript.output, kBanner + test.output) << testing::PrintToString(test.arguments);
        EXPECT_EQ(transcript.status, 1);
    }

    requireFont();
    const ProgramResult transcript = run({"--font", font, "--chars", "65", "--fallback", font, "--fallback", "no.ttf",
        "--size", "16", "--output_path", "out", "x"});
    EXPECT_EQ(transcript.output, kBanner + "\n\nERROR: cannot load fallback font 'no.ttf'\n\n");
    EXPECT_EQ(transcript.status, 1);
    EXPECT_FALSE(fileExists(folder.prefix() + "out/x_16.cpp"));
}

TEST_F(GlyphsmithCliTest, CodesThePageLeavesUndefinedAreSkippedWithAWarning)
{
    requireFont();
    const ProgramResult transcript = run({"--silent", "--font", font, "--codepage", "CP1251", "--chars",
        "150-155,152,129=U+0041", "--size", "16", "--output_path", "out", "w"});
    EXPECT_EQ(transcript.output, "WARNING: code 152 is not in code page 'CP1251'\n" + result("16"));
    EXPECT_EQ(transcript.status, 0);
    const std::string source = readFileBytes(folder.prefix() + "out/w_16.cpp");
    EXPECT_EQ(source.find("char_152_0"), std::string::npos);
    EXPECT_NE(source.find("char_153_0"), std::string::npos);

    // An `=` item gives the undefined code a character: no warning then.
    const ProgramResult overridden = run({"--silent", "--font", font, "--codepage", "CP1251", "--chars",
        "150-155,152=U+0041", "--size", "16", "--output_path", "out", "w"});
    EXPECT_EQ(overridden.output, result("16"));
    EXPECT_NE(readFileBytes(folder.prefix() + "out/w_16.cpp").find("// 0x98: U+0041\n"), std::string::npos);
}

// A character that neither the font nor a fallback has keeps the main
// font's missing-glyph box in its slot, and a warning line names it with its
// code, once; control characters, which no font draws, go unmentioned.
TEST_F(GlyphsmithCliTest, CharactersInNoFontAreNamedInAWarning)
{
    requireFont();
    const bool icons = fileExists(kIconFont);
    const auto warning = [](const char* code, const char* character) {
        return std::string("WARNING: code ") + code + " shows " + character +
            ", which is in no font given: it gets the missing-glyph box\n";
    };
    const struct {
        std::string chars;
        bool fallback; // Font Awesome as --fallback
        std::string warnings;
    } cases[] = {
        {"65=U+4E00", false, warning("65", "U+4E00")},
        {"65,66=U+4E00,67=U+AC00,66", false, warning("66", "U+4E00") + warning("67", "U+AC00")},
        {"0-255", false, ""},
        {"1=U+0007,2=U+0085", false, ""},
        {"65=U+F005", true, ""},
        {"65=U+F005,66=U+4E00", true, warning("66", "U+4E00")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chars);
        if (c.fallback && !icons)
            SKIP_FOR_MISSING("Font Awesome is not installed (Debian package fonts-font-awesome)");
        std::vector<std::string> arguments = {
            "--silent", "--font", font, "--chars", c.chars, "--size", "16", "--output_path", "out", "w"};
        if (c.fallback)
            arguments.insert(arguments.end(), {"--fallback", kIconFont});
        const ProgramResult transcript = run(arguments);
        EXPECT_EQ(transcript.output, c.warnings + result("16"));
        EXPECT_EQ(transcript.status, 0);
        EXPECT_TRUE(outputExists("w_16"));
    }
}

// The comments say what each remapped slot shows and from which font; a
// font's name cannot end the comment line early.
TEST_F(GlyphsmithCliTest, SourceCommentsNameRemappedSlotsAndFallbackFonts)
{
    requireFont();
    if (!fileExists(kIconFont))
        SKIP_FOR_MISSING("Font Awesome is not installed (Debian package fonts-font-awesome)");
    writeFileBytes(folder.prefix() + "icons\nint x;.ttf", readFileBytes(kIconFont));
    const ProgramResult transcript = run({"--silent", "--font", font, "--chars", "65,192-193=U+0410,200=U+F005,201",
        "--fallback", "icons\nint x;.ttf", "--size", "16", "--output_path", "out", "c"});
    ASSERT_EQ(transcript.status, 0) << transcript.output;
    const std::string source = readFileBytes(folder.prefix() + "out/c_16.cpp");
    EXPECT_EQ(source.substr(0, source.find("static")),
        "#include <c_16.h>\n\n"
        "// fallback font 'icons?int x;.ttf'\n"
        "// 0xC0-0xC1: U+0410-U+0411\n"
        "// 0xC8: U+F005 from 'icons?int x;.ttf'\n"
        "\n");
}

} // namespace
