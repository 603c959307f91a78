// Compressed surface files: what the compressor writes reads back and
// decodes to the rows of the uncompressed file, for every PngSuite image in
// every colour mode and rotation and for images wider than the decode
// buffer; damaged files are refused.
#include "ds_compressed.h"
#include "ds_surface.h"
#include "owned_surface.h"
#include "png_builder.h"
#include "png_decoder.h"
#include "surface_compressor.h"
#include "surface_format.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include "ds_bytes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr uint32_t kSizedModes[] = {
    ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, I8, AI88, A8, RGB565_SWAPPED, ARGB8565};

// The rows of the uncompressed file of `surface` turned by `angle`.
Bytes turnedRows(const DsSurface& surface, int32_t angle)
{
    const DsSurface::TurnedFile file = surface.turnedFile(angle);
    Bytes rows(size_t(file.rowCount * file.pitch));
    surface.copyTurnedRows(angle, 0, file.rowCount, rows.data());
    return rows;
}

// The rows a compressed file decodes to: its surface, taken as unturned,
// copied into plain rows. Empty when the file is refused.
Bytes decodedRows(const Bytes& compressed)
{
    DsSurfaceFile file{};
    if (dsReadSurfaceFile(compressed.data(), compressed.size(), file) != SURFACE_FILE_OK || !file.isCompressed())
        return {};
    file.rotation = 0;
    const DsSurface coded(file);
    Bytes rows(size_t(file.height) * file.pitch, 0xEE);
    DsSurface plain(int32_t(file.width), int32_t(file.height), 0, file.colorMode, rows.data(), file.pitch);
    EXPECT_EQ(plain.blit(coded, DsRect(0, 0, int32_t(file.width), int32_t(file.height)), 0, 0), DS_DRAW_OK);
    return rows;
}

// A surface of noise with runs, rows repeated and rows close to the one
// above, as images have them.
SurfacePtr imageLikeSurface(int32_t width, int32_t height, uint32_t mode, uint32_t seed)
{
    const int32_t upright = 0;
    SurfacePtr surface(new DsSurface(width, height, &upright, mode, false, 0, dsMalloc, dsFree, 1, 0));
    std::mt19937 random(seed);
    uint8_t* pixels = surface->pixels();
    const uint32_t bytes = surface->bytesPerPixel(), pitch = surface->pitch();
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* line = pixels + size_t(row) * pitch;
        const uint32_t kind = random() % 4;
        for (uint32_t i = 0; i < pitch; ++i) {
            if (row > 0 && kind == 0)
                line[i] = (line - pitch)[i]; // the row above
            else if (row > 0 && kind == 1)
                line[i] = uint8_t((line - pitch)[i] + random() % 5 - 2); // close to it
            else if (i >= bytes && random() % 3 != 0)
                line[i] = (line - bytes)[i]; // runs
            else
                line[i] = uint8_t(random());
        }
    }
    return surface;
}

void expectRoundTrip(const DsSurface& surface, int32_t angle, const std::string& what)
{
    const Bytes compressed = dsCompressSurface(surface, angle);
    ASSERT_FALSE(compressed.empty()) << what;
    EXPECT_EQ(compressed.size() % 4, 0u) << what;
    const DsSurface::TurnedFile plain = surface.turnedFile(angle);
    // The header of the uncompressed file, the flag on the colour mode.
    Bytes header(plain.header, plain.header + kDsSurfaceFileHeaderBytes);
    header[kDsSurfaceFileColorModeWord + 3] |= 0x80;
    EXPECT_TRUE(std::equal(header.begin(), header.end(), compressed.begin())) << what;
    EXPECT_TRUE(decodedRows(compressed) == turnedRows(surface, angle)) << what;
}

std::vector<std::string> suiteImages()
{
    std::vector<std::string> names;
    if (DIR* folder = opendir(CORVANE_PNGSUITE_DIR)) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0 && name[0] != 'x')
                names.push_back(name);
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes readFile(const std::string& path)
{
    Bytes bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

// Every valid PngSuite image, converted into every mode the converter
// makes (I8 as decoded, from indexed and grey images), in each rotation.
class CompressedSuite : public testing::TestWithParam<int32_t> { };

TEST_P(CompressedSuite, EveryImageInEveryMode)
{
    const std::vector<std::string> images = suiteImages();
    ASSERT_GT(images.size(), 150u);
    for (const std::string& name : images) {
        const Bytes png = readFile(std::string(CORVANE_PNGSUITE_DIR) + "/" + name);
        SurfacePtr decoded(decodePng(png.data(), png.size(), false, 0));
        ASSERT_TRUE(decoded) << name;
        for (uint32_t mode : kSizedModes) {
            SurfacePtr converted;
            if (mode != decoded->colorMode() && mode != I8)
                converted.reset(dsConvertSurface(*decoded, mode, false));
            if (mode != decoded->colorMode() && !converted)
                continue; // I8 comes only from the decoder
            const DsSurface& surface = mode == decoded->colorMode() ? *decoded : *converted;
            expectRoundTrip(surface, GetParam(), name + " mode " + std::to_string(mode));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, CompressedSuite, testing::Values(0, 90, 180, 270));

// Rows wider than the decode buffer, taller than a block, and one pixel.
TEST(CompressedFile, WideTallAndTinyImages)
{
    const struct {
        int32_t width, height;
    } sizes[] = {{1, 1}, {700, 3}, {3, 100}, {300, 70}};
    for (const auto& size : sizes)
        for (uint32_t mode : {ARGB8888, RGB565_SWAPPED, ARGB8565, A8})
            for (int32_t angle : {0, 90}) {
                const SurfacePtr surface = imageLikeSurface(size.width, size.height, mode, mode + 7);
                expectRoundTrip(*surface, angle,
                    std::to_string(size.width) + "x" + std::to_string(size.height) + " mode " + std::to_string(mode));
            }
}

// The previous reader takes the flagged mode word for a mode without a
// pixel size, and so refuses the file.
TEST(CompressedFile, OlderReadersTakeTheFlagForAnUnsupportedMode)
{
    for (uint32_t mode : kSizedModes)
        EXPECT_EQ(dsBytesPerPixel(mode | kDsCompressedFlag), 0u);
}

class DamagedCompressedFile : public testing::Test {
protected:
    void SetUp() override
    {
        surface = imageLikeSurface(40, 70, ARGB8888, 3);
        file = dsCompressSurface(*surface, 0);
        blocks = 28;
        code = blocks + 4 * 3; // 70 rows: 3 blocks of 32
    }
    int read(const Bytes& bytes)
    {
        DsSurfaceFile read{};
        return dsReadSurfaceFile(bytes.data(), bytes.size(), read);
    }
    void setWord(Bytes& bytes, size_t offset, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes[offset + size_t(i)] = uint8_t(value >> (8 * i));
    }

    SurfacePtr surface;
    Bytes file;
    size_t blocks = 0, code = 0;
};

TEST_F(DamagedCompressedFile, EveryTruncationAndExtensionIsRefused)
{
    ASSERT_EQ(read(file), SURFACE_FILE_OK);
    for (size_t size = 0; size < file.size(); ++size)
        EXPECT_EQ(read(Bytes(file.begin(), file.begin() + ptrdiff_t(size))), SURFACE_FILE_INVALID) << size;
    for (size_t extra = 1; extra <= 4; ++extra) {
        Bytes longer = file;
        longer.resize(file.size() + extra);
        EXPECT_EQ(read(longer), SURFACE_FILE_INVALID) << extra;
    }
}

// Each field and each rule of the code broken once.
TEST_F(DamagedCompressedFile, BrokenFieldsAndRunsAreRefused)
{
    const uint32_t codeBytes = dsLoadLittle32(file.data() + kDsSurfaceFileCodeBytesWord);
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"pitch not packed", [&](Bytes& b) { setWord(b, kDsSurfaceFilePitchWord, 164); }},
        {"no rows a block", [&](Bytes& b) { setWord(b, kDsSurfaceFileRowsPerBlockWord, 0); }},
        {"a block taller than the image", [&](Bytes& b) { setWord(b, kDsSurfaceFileRowsPerBlockWord, 71); }},
        {"code bytes one short", [&](Bytes& b) { setWord(b, kDsSurfaceFileCodeBytesWord, codeBytes - 4); }},
        {"code bytes past the file", [&](Bytes& b) { setWord(b, kDsSurfaceFileCodeBytesWord, 0xFFFFFFF0u); }},
        {"first block not at 0", [&](Bytes& b) { setWord(b, blocks, 1); }},
        {"second block one byte off", [&](Bytes& b) { setWord(b, blocks + 4, dsLoadLittle32(&b[blocks + 4]) + 1); }},
        {"a run past the row's end", [&](Bytes& b) { b[code] = uint8_t(b[code] & 0xE0); b[code + 1] = 255; }},
        {"an unknown kind", [&](Bytes& b) { b[code] = uint8_t(0xA1); }},
        {"the row above in a block's first row", [&](Bytes& b) { b[code] = uint8_t(2 << 5 | 1); }},
        {"the rest of the first row from above", [&](Bytes& b) { b[code] = uint8_t(4 << 5); }},
        {"a rest run with a length", [&](Bytes& b) { b[code] = uint8_t(4 << 5 | 3); }},
    };
    for (const auto& c : cases) {
        Bytes damaged = file;
        c.damage(damaged);
        EXPECT_EQ(read(damaged), SURFACE_FILE_INVALID) << c.what;
    }
}

// A file that still reads after any byte is changed draws inside its own
// bytes (the sanitizers watch), whatever it now decodes to.
TEST_F(DamagedCompressedFile, ChangedBytesAreRefusedOrDrawnSafely)
{
    Bytes target(size_t(40 * 70 * 4));
    DsSurface plain(40, 70, 90, ARGB8888, target.data(), 70 * 4);
    size_t refused = 0;
    for (size_t at = kDsSurfaceFileHeaderBytes; at < file.size(); ++at)
        for (uint8_t flip : {0x01, 0x80}) {
            Bytes damaged = file;
            damaged[at] ^= flip;
            DsSurfaceFile read{};
            if (dsReadSurfaceFile(damaged.data(), damaged.size(), read) != SURFACE_FILE_OK) {
                ++refused;
                continue;
            }
            const DsSurface coded(read);
            EXPECT_EQ(plain.blit(coded, DsRect(0, 0, 40, 70), 0, 0), DS_DRAW_OK);
            EXPECT_EQ(plain.blend(coded, DsRect(5, 33, 30, 30), 1, 2, 77), DS_DRAW_OK);
        }
    EXPECT_GT(refused, 100u); // the run openings, the block table and the header words
}

} // namespace
