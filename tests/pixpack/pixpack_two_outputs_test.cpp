// pixpack's two outputs, the surface file and the palette file, end to end:
// never one file, never in the image's place, replaced together or not at
// all; and the palette file's entries.
#include "folder_state.h"
#include "png_builder.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

// The tool as installed, and a build of it that takes named temporary files
// and pauses between the two renames of a pair.
const char* const kBuilds[] = {PIXPACK_PATH, PIXPACK_PAUSED_PATH};

std::string asText(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A 3 x 1 indexed image of a two-entry palette.
std::string indexedImage()
{
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.width = 3;
    recipe.pixels = {1, 0, 1};
    recipe.palette = {10, 20, 30, 40, 50, 60};
    return asText(buildPng(recipe));
}

std::string errorLine(const std::string& message)
{
    return "\n\nERROR: " + message + "\n\n";
}

// The surface and palette files pixpack makes of `image`, from a run in a
// folder of their own.
struct Outputs {
    std::string surface;
    std::string palette;
};

Outputs referenceOutputs(const std::string& image)
{
    TemporaryDirectory folder;
    writeFileBytes(folder.file("i.png"), image);
    const ProgramResult result = runProgram(
        PIXPACK_PATH, {"--silent", "--image", "i.png", "--output", "s.srf", "--palette", "p.pal"}, folder.path());
    EXPECT_EQ(result.status, 0) << result.output;
    return {readFileBytes(folder.file("s.srf")), readFileBytes(folder.file("p.pal"))};
}

// The folder's entries and those of its subfolders, as "sub/name".
FolderState treeState(const std::string& folder)
{
    FolderState state = folderState(folder);
    for (const auto& [name, entry] : folderState(folder))
        if (entry == kFolderEntry)
            for (const auto& [inner, innerEntry] : folderState(folder + "/" + name))
                state[name + "/" + inner] = innerEntry;
    return state;
}

std::string successLine(const std::string& image, const std::string& surface)
{
    return "Generated surface for '" + image + "', size " + std::to_string(surface.size()) + " bytes\n";
}

// Two outputs that lead to one file, or a palette that would take the
// image's place, are refused before anything is read or written, however
// the paths are spelt; the surface may still replace its own image.
TEST(PixpackOutputs, OutputsThatAreOneFileAreRefusedBeforeAnythingIsWritten)
{
    const std::string image = indexedImage();
    const Outputs reference = referenceOutputs(image);
    const std::string old = fileEntry("old");
    const struct {
        const char* what;
        FolderSetup before; // besides the image i.png
        std::string output, palette;
        std::string error;   // empty for a run that succeeds
        FolderState changes; // entries that differ afterwards
    } cases[] = {
        {"one new name", {}, "s.srf", "s.srf", "--palette and --output name the same file 's.srf'", {}},
        {"one existing name", {{"s.srf", old}}, "s.srf", "s.srf", "--palette and --output name the same file 's.srf'",
            {}},
        {"two spellings", {{"d", kFolderEntry}}, "d/s.srf", "d/../d/s.srf",
            "--palette and --output name the same file 'd/../d/s.srf'", {}},
        {"a symlink to the output", {{"s.srf", old}, {"p.pal", linkEntry("s.srf")}}, "s.srf", "p.pal",
            "--palette and --output name the same file 'p.pal'", {}},
        {"a dangling symlink to the new output", {{"p.pal", linkEntry("s.srf")}}, "s.srf", "p.pal",
            "--palette and --output name the same file 'p.pal'", {}},
        {"a hard link of the output", {{"s.srf", old}, {"p.pal", hardLinkEntry("s.srf")}}, "s.srf", "p.pal",
            "--palette and --output name the same file 'p.pal'", {}},
        {"the image", {}, "s.srf", "i.png", "--palette names the input image 'i.png'", {}},
        {"a symlink to the image", {{"p.pal", linkEntry("i.png")}}, "s.srf", "p.pal",
            "--palette names the input image 'p.pal'", {}},
        {"a hard link of the image", {{"p.pal", hardLinkEntry("i.png")}}, "s.srf", "p.pal",
            "--palette names the input image 'p.pal'", {}},
        {"the surface in the image's place", {}, "i.png", "p.pal", "",
            {{"i.png", fileEntry(reference.surface)}, {"p.pal", fileEntry(reference.palette)}}},
        {"two names of the output's folder", {{"d", kFolderEntry}, {"e", linkEntry("d")}}, "d/s.srf", "e/p.pal", "",
            {{"d/s.srf", fileEntry(reference.surface)}, {"d/p.pal", fileEntry(reference.palette)}}},
    };
    for (const char* program : kBuilds)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " with " + program);
            TemporaryDirectory folder;
            writeFileBytes(folder.file("i.png"), image);
            makeEntries(folder.path(), c.before);
            const FolderState expected = withChanges(treeState(folder.path()), c.changes);
            const ProgramResult result = runProgram(
                program, {"--silent", "--image", "i.png", "--output", c.output, "--palette", c.palette}, folder.path());
            EXPECT_EQ(result.output, c.error.empty() ? successLine("i.png", reference.surface) : errorLine(c.error));
            EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
            EXPECT_EQ(treeState(folder.path()), expected);
        }
}

// Whatever the outputs' spellings, and whether the run succeeds or fails,
// the surface and palette files are replaced together or not at all, and
// no temporary file stays behind.
TEST(PixpackOutputs, SurfaceAndPaletteAreReplacedTogether)
{
    umask(022);
    const std::string image = indexedImage();
    const Outputs reference = referenceOutputs(image);
    const std::string surface = fileEntry(reference.surface), palette = fileEntry(reference.palette);
    const FolderSetup old = {{"s.srf", fileEntry("old surface")}, {"p.pal", fileEntry("old palette")}};
    const struct {
        const char* what;
        FolderSetup before; // besides the image i.png and a file b.png that is no PNG
        std::string image;
        std::string error;   // empty for a run that succeeds
        FolderState changes; // entries that differ afterwards
        uint64_t fileSizeLimit = 0;
    } cases[] = {
        {"both replaced", old, "i.png", "", {{"s.srf", surface}, {"p.pal", palette}}},
        {"an image that cannot be decoded keeps both", old, "b.png", "cannot decode PNG file", {}},
        {"a palette that cannot be made keeps the old surface",
            {{"s.srf", fileEntry("old surface")}, {"p.pal", kFolderEntry}}, "i.png",
            "cannot create palette file 'p.pal'", {}},
        {"a surface over the file-size limit keeps both", old, "i.png", "cannot write output file 's.srf'", {},
            reference.palette.size() + 4},
        {"symlinked outputs keep their links",
            {{"t.srf", fileEntry("old surface")}, {"s.srf", linkEntry("t.srf")}, {"p.pal", linkEntry("t.pal")}},
            "i.png", "", {{"t.srf", surface}, {"t.pal", palette}}},
        {"replaced files keep their modes", {{"s.srf", fileEntry("x", 0600)}, {"p.pal", fileEntry("x", 0640)}}, "i.png",
            "", {{"s.srf", fileEntry(reference.surface, 0600)}, {"p.pal", fileEntry(reference.palette, 0640)}}},
    };
    for (const char* program : kBuilds)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " with " + program);
            TemporaryDirectory folder;
            writeFileBytes(folder.file("i.png"), image);
            writeFileBytes(folder.file("b.png"), "not a PNG");
            makeEntries(folder.path(), c.before);
            const FolderState expected = withChanges(folderState(folder.path()), c.changes);
            ProgramSetup setup;
            setup.workingDirectory = folder.path();
            setup.fileSizeLimit = c.fileSizeLimit;
            const ProgramResult result =
                runProgram(program, {"--silent", "--image", c.image, "--output", "s.srf", "--palette", "p.pal"}, setup);
            EXPECT_EQ(result.output, c.error.empty() ? successLine(c.image, reference.surface) : errorLine(c.error));
            EXPECT_EQ(result.status, c.error.empty() ? 0 : 1);
            EXPECT_EQ(folderState(folder.path()), expected);
        }
}

// The moment between the two renames, held open by the tests' build: a
// termination signal then ends the run only once both files are in, and a
// palette that can no longer be replaced puts the old surface back.
TEST(PixpackOutputs, SurfaceAndPaletteAreReplacedTogetherAtThePairsBoundary)
{
    umask(022);
    const std::string image = indexedImage();
    const Outputs reference = referenceOutputs(image);
    const std::string surface = fileEntry(reference.surface), palette = fileEntry(reference.palette);
    const struct {
        const char* what;
        int signal;           // sent in the pause, or 0
        bool paletteToFolder; // the palette is replaced by a folder in the pause
        FolderState changes;  // entries that differ afterwards
    } cases[] = {
        {"SIGTERM", SIGTERM, false, {{"s.srf", surface}, {"p.pal", palette}}},
        {"SIGINT", SIGINT, false, {{"s.srf", surface}, {"p.pal", palette}}},
        {"SIGHUP", SIGHUP, false, {{"s.srf", surface}, {"p.pal", palette}}},
        {"a palette that cannot be replaced", 0, true, {{"p.pal", kFolderEntry}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory folder;
        writeFileBytes(folder.file("i.png"), image);
        makeEntries(folder.path(), {{"s.srf", fileEntry("old surface")}, {"p.pal", fileEntry("old palette")}});
        const FolderState expected = withChanges(folderState(folder.path()), c.changes);
        const std::vector<std::string> arguments = {
            "--silent", "--image", "i.png", "--output", "s.srf", "--palette", "p.pal"};
        const int status = runProgramWhile(PIXPACK_PAUSED_PATH, arguments, folder.path(), [&](pid_t child) {
            ASSERT_TRUE(waitForFileChange(folder.file("s.srf"), "old surface"));
            if (c.signal != 0)
                kill(child, c.signal);
            if (c.paletteToFolder) {
                unlink(folder.file("p.pal").c_str());
                mkdir(folder.file("p.pal").c_str(), 0755);
                writeFileBytes(folder.file("p.pal/in.txt"), "keeps the folder from being replaced");
            }
        });
        if (c.signal != 0)
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(folderState(folder.path()), expected);
    }
}

// Indices packed into one row of `depth`-bit samples, the first in the high bits.
Bytes packedRow(const std::vector<uint8_t>& indices, uint8_t depth)
{
    Bytes row((indices.size() * depth + 7) / 8, 0);
    for (size_t i = 0; i < indices.size(); ++i)
        row[i * depth / 8] |= uint8_t(indices[i] << (8 - depth - i * depth % 8));
    return row;
}

// The palette file holds one entry per index the image can use: the PLTE's
// entries, and, when a pixel's index lies past them, opaque black ones up to
// every index the bit depth can express - never more.
TEST(PixpackOutputs, PaletteFileHoldsAnEntryPerIndexTheImageCanUse)
{
    const struct {
        const char* what;
        uint8_t depth;
        uint32_t plteEntries;
        Bytes transparency;
        std::vector<uint8_t> indices; // the image's one row
        uint32_t entries;             // in the palette file
    } cases[] = {
        {"1 bit, one entry, index 1 used", 1, 1, {}, {0, 1}, 2},
        {"1 bit, one entry, index 0 only", 1, 1, {}, {0, 0}, 1},
        {"1 bit, two entries", 1, 2, {}, {0, 0}, 2},
        {"2 bits, three entries, index 3 used", 2, 3, {}, {3, 0}, 4},
        {"2 bits with alphas, index 3 used", 2, 2, {128}, {3, 1}, 4},
        {"4 bits, five entries, index 15 used", 4, 5, {}, {15, 0}, 16},
        {"8 bits, nine entries, index 200 used", 8, 9, {}, {200}, 256},
        {"8 bits, nine entries, all within", 8, 9, {}, {8, 0}, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PngRecipe recipe;
        recipe.colorType = 3;
        recipe.bitDepth = c.depth;
        recipe.width = uint32_t(c.indices.size());
        recipe.pixels = packedRow(c.indices, c.depth);
        recipe.palette = randomBytes(3 * c.plteEntries, c.depth);
        recipe.transparency = c.transparency;
        const Outputs outputs = referenceOutputs(asText(buildPng(recipe)));
        std::string expected = {char(c.entries), char(c.entries >> 8), 0, 0};
        for (uint32_t i = 0; i < c.entries; ++i) {
            const bool listed = i < c.plteEntries;
            const uint8_t* rgb = recipe.palette.data() + 3 * i;
            expected += {char(listed ? rgb[2] : 0), char(listed ? rgb[1] : 0), char(listed ? rgb[0] : 0),
                char(i < c.transparency.size() ? c.transparency[i] : 255)};
        }
        EXPECT_EQ(outputs.palette, expected);
    }
}

} // namespace
