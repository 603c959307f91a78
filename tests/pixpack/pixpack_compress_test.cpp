// pixpack --compress, end to end against the real binary: with every other
// option, the compressed file holds the header of the file written without
// it (the compressed flag on the colour mode) and decodes, through the
// library, to the same rows; the palette file is the same; the run prints
// the compressed file's size; a failing run leaves no file behind.
#include "ds_surface.h"
#include "pixpack_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

// The rows a compressed file decodes to, drawn unturned into plain rows;
// empty when the library refuses the file.
std::string decodedRows(const std::string& bytes)
{
    DsSurfaceFile file{};
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (dsReadSurfaceFile(data, bytes.size(), file) != SURFACE_FILE_OK || !file.isCompressed())
        return {};
    file.rotation = 0;
    const DsSurface coded(file);
    std::string rows(size_t(file.height) * file.pitch, '\0');
    DsSurface plain(int32_t(file.width), int32_t(file.height), 0, file.colorMode,
        reinterpret_cast<uint8_t*>(rows.data()), file.pitch);
    plain.blit(coded, DsRect(0, 0, int32_t(file.width), int32_t(file.height)), 0, 0);
    return rows;
}

class PixpackCompress : public Pixpack {
protected:
    void SetUp() override
    {
        Pixpack::SetUp();
        PngRecipe recipe;
        recipe.colorType = 3;
        recipe.width = 7;
        recipe.height = 4;
        recipe.pixels = {0, 1, 1, 1, 2, 0, 0, 0, 1, 1, 1, 2, 0, 0, 2, 2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
        recipe.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        recipe.transparency = {255, 128, 0};
        writeFileBytes(indexed, asText(buildPng(recipe)));
    }

    const std::string indexed = directory.file("indexed.png");
    const std::string packed = directory.file("packed.srf");
    const std::string palette = directory.file("plain.pal");
    const std::string packedPalette = directory.file("packed.pal");
};

TEST_F(PixpackCompress, EveryOptionDecodesToTheUncompressedRows)
{
    const struct {
        std::string image;
        std::vector<std::string> options;
        bool withPalette;
    } cases[] = {
        {color, {}, false},
        {color, {"--rotation", "90"}, false},
        {color, {"--rotation", "180", "--format", "ARGB8565"}, false},
        {color, {"--rotation", "270", "--format", "RGB565", "--dither"}, false},
        {color, {"--format", "RGB565_SWAPPED", "--dither"}, false},
        {color, {"--format", "ARGB4444", "--rotation", "90"}, false},
        {color, {"--format", "ARGB1555"}, false},
        {color, {"--format", "A8"}, false},
        {grey, {"--alphaonly", "--rotation", "90"}, false},
        {grey, {"--format", "AI88", "--rotation", "270"}, false},
        {grey, {}, false},
        {indexed, {"--rotation", "90"}, true},
        {indexed, {"--format", "I8"}, true},
        {indexed, {"--format", "ARGB8888", "--rotation", "180"}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> plainRun = {"--image", c.image, "--output", output};
        plainRun.insert(plainRun.end(), c.options.begin(), c.options.end());
        std::vector<std::string> packedRun = {"--compress", "--image", c.image, "--output", packed};
        packedRun.insert(packedRun.end(), c.options.begin(), c.options.end());
        if (c.withPalette) {
            plainRun.insert(plainRun.end(), {"--palette", palette});
            packedRun.insert(packedRun.end(), {"--palette", packedPalette});
        }
        const std::string what = c.image + " " + testing::PrintToString(c.options);
        ASSERT_EQ(pixpack(plainRun).status, 0) << what;
        const ProgramResult run = pixpack(packedRun);
        ASSERT_EQ(run.status, 0) << what << "\n" << run.output;
        const std::string plainFile = readFileBytes(output), packedFile = readFileBytes(packed);
        EXPECT_EQ(run.output, success(c.image, packedFile.size())) << what;
        std::string header = plainFile.substr(0, kDsSurfaceFileHeaderBytes);
        header[kDsSurfaceFileColorModeWord + 3] = char(header[kDsSurfaceFileColorModeWord + 3] | 0x80);
        EXPECT_EQ(packedFile.substr(0, kDsSurfaceFileHeaderBytes), header) << what;
        const std::string rows = decodedRows(packedFile);
        ASSERT_FALSE(rows.empty()) << what;
        EXPECT_EQ(dsSurfaceFileSize(rows.size()), plainFile.size()) << what;
        EXPECT_EQ(rows, plainFile.substr(kDsSurfaceFileHeaderBytes, rows.size())) << what;
        if (c.withPalette) {
            EXPECT_EQ(readFileBytes(packedPalette), readFileBytes(palette)) << what;
        }
    }
}

// The refusals of the other options stand with --compress, and leave no
// output; without --compress the output is byte for byte what it was.
TEST_F(PixpackCompress, RefusalsLeaveNoFile)
{
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--image", color, "--alphaonly"}, "'--alphaonly' needs a greyscale image"},
        {{"--image", color, "--format", "I8"}, "I8 needs an indexed image; this one is RGB"},
        {{"--image", directory.file("missing.png")}, "cannot open input file '" + directory.file("missing.png") + "'"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--compress", "--output", packed});
        const ProgramResult run = pixpack(arguments);
        EXPECT_EQ(run.status, 1) << c.error;
        EXPECT_EQ(run.output, kTranscript.runtimeError(c.error));
        struct stat info;
        EXPECT_NE(stat(packed.c_str(), &info), 0) << c.error;
    }
    ASSERT_EQ(pixpack({"--image", color, "--output", output}).status, 0);
    EXPECT_EQ(readFileBytes(output), expectedSurfaceFile(colorPng, false, 0));
}

} // namespace
