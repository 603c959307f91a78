// Reading surface files back: what serialize writes reads back whole, also
// as a surface made straight from the bytes; every damaged size is refused (header damage: see tests/peek), pixels widen to
// 8-bit colours and the stored position of a logical pixel is where rotate
// puts it.
#include "ds_surface.h"
#include "png_builder.h"
#include "surface_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kSizedModes[] = {
    ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, I8, AI88, A8, RGB565_SWAPPED, ARGB8565};

// A surface of `width` x `height` logical pixels filled with pseudo-random
// bytes and turned by `rotation`, as its surface file.
Bytes surfaceFile(uint32_t mode, int32_t width, int32_t height, int32_t rotation, uint32_t alignment = 1)
{
    const int32_t noRotation = 0;
    DsSurface surface(width, height, &noRotation, mode, false, 0, dsMalloc, dsFree, alignment, 0);
    const Bytes fill = randomBytes(surface.bufferSize(), mode);
    std::memcpy(surface.pixels(), fill.data(), fill.size());
    surface.rotate(rotation);
    Bytes file(surface.serialize(nullptr));
    surface.serialize(file.data());
    surface.release();
    return file;
}

TEST(SurfaceFile, ReadsBackEverySerializedSurface)
{
    for (uint32_t mode : kSizedModes) {
        for (int32_t rotation : {0, 90, 180, 270}) {
            const Bytes file = surfaceFile(mode, 3, 2, rotation, 4);
            DsSurfaceFile read{};
            ASSERT_EQ(dsReadSurfaceFile(file.data(), file.size(), read), SURFACE_FILE_OK) << mode << " " << rotation;
            const bool quarterTurn = rotation == 90 || rotation == 270;
            EXPECT_EQ(read.rotation, rotation);
            EXPECT_EQ(read.colorMode, mode);
            EXPECT_EQ(read.width, quarterTurn ? 2u : 3u);
            EXPECT_EQ(read.height, quarterTurn ? 3u : 2u);
            EXPECT_EQ(read.pitch, dsPitch(read.width, dsBytesPerPixel(mode), 4));
            EXPECT_EQ(read.rows, file.data() + kDsSurfaceFileHeaderBytes);
        }
    }
}

TEST(SurfaceFile, EveryTruncationAndEveryExtensionIsInvalid)
{
    for (uint32_t mode : {RGB888, ARGB8888}) {
        const Bytes file = surfaceFile(mode, 3, 2, 90);
        for (size_t size = 0; size < file.size(); ++size) {
            const Bytes cut(file.begin(), file.begin() + size); // exact size, so over-reads are caught
            DsSurfaceFile read{};
            EXPECT_EQ(dsReadSurfaceFile(cut.data(), cut.size(), read), SURFACE_FILE_INVALID) << size;
        }
        for (size_t extra = 1; extra <= 4; ++extra) {
            Bytes longer = file;
            longer.resize(file.size() + extra);
            DsSurfaceFile read{};
            EXPECT_EQ(dsReadSurfaceFile(longer.data(), longer.size(), read), SURFACE_FILE_INVALID) << extra;
        }
    }
    DsSurfaceFile read{};
    EXPECT_EQ(dsReadSurfaceFile(nullptr, 0, read), SURFACE_FILE_INVALID);
}

// The mode found is given without the compressed flag, which marks a
// compressed file of that mode.
TEST(SurfaceFile, ModesWithoutAPixelSizeAreUnsupported)
{
    Bytes file = surfaceFile(A8, 4, 1, 0);
    for (uint32_t mode : {6u, 8u, 12u, 0x7FFFFFFFu, 0x80000006u, 0xFFFFFFFFu}) {
        for (int shift = 0; shift < 32; shift += 8)
            file[4 + shift / 8] = uint8_t(mode >> shift);
        DsSurfaceFile read{};
        EXPECT_EQ(dsReadSurfaceFile(file.data(), file.size(), read), SURFACE_FILE_UNSUPPORTED_MODE) << mode;
        EXPECT_EQ(read.colorMode, mode & ~kDsCompressedFlag);
    }
}

// A surface made straight from the file's bytes is the one made from the file
// read in place; bytes that are no whole surface file give an invalid
// surface that every drawing refuses.
TEST(SurfaceFile, SurfaceFromTheBytesInOneStatement)
{
    for (uint32_t mode : kSizedModes) {
        for (int32_t rotation : {0, 90, 180, 270}) {
            const Bytes file = surfaceFile(mode, 3, 2, rotation, 4);
            const DsSurface surface(file.data(), file.size());
            ASSERT_TRUE(surface.isValid()) << mode << " " << rotation;
            EXPECT_EQ(surface.rotation(), rotation);
            EXPECT_EQ(surface.colorMode(), mode);
            EXPECT_EQ(surface.logicalWidth(), 3);
            EXPECT_EQ(surface.logicalHeight(), 2);
            EXPECT_EQ(surface.pitch(), dsPitch(uint64_t(surface.width()), dsBytesPerPixel(mode), 4));
            EXPECT_EQ(surface.pixels(), file.data() + kDsSurfaceFileHeaderBytes);
        }
    }
    const Bytes file = surfaceFile(RGB565, 3, 2, 90);
    Bytes unsupported = file;
    unsupported[4] = 6;
    Bytes badRotation = file;
    badRotation[0] = 45;
    const Bytes cut(file.begin(), file.end() - 1);
    Bytes longer = file;
    longer.push_back(0);
    const struct {
        const char* what;
        const uint8_t* bytes;
        uint64_t size;
    } refused[] = {
        {"no bytes", nullptr, 0},
        {"a header alone", file.data(), kDsSurfaceFileHeaderBytes},
        {"one byte short", cut.data(), cut.size()},
        {"one byte long", longer.data(), longer.size()},
        {"a mode without a pixel size", unsupported.data(), unsupported.size()},
        {"a rotation of 45", badRotation.data(), badRotation.size()},
    };
    std::vector<uint8_t> target(16 * 16 * 2);
    DsSurface framebuffer(16, 16, 0, RGB565, target.data(), 32, target.size());
    for (const auto& c : refused) {
        const DsSurface surface(c.bytes, c.size);
        EXPECT_FALSE(surface.isValid()) << c.what;
        EXPECT_EQ(framebuffer.blit(surface, 0, 0), DS_DRAW_INVALID_SURFACE) << c.what;
        EXPECT_EQ(framebuffer.blend(surface, 0, 0), DS_DRAW_INVALID_SURFACE) << c.what;
    }
}

TEST(SurfaceFile, PixelsWidenToEightBitColours)
{
    const struct {
        uint32_t mode;
        Bytes pixel;
        DsColor colour;
    } cases[] = {
        {ARGB8888, {0x10, 0x20, 0x30, 0x40}, {0x30, 0x20, 0x10, 0x40}},
        {RGB888, {0x10, 0x20, 0x30}, {0x30, 0x20, 0x10, 0xFF}}, {RGB565, {0x00, 0xF8}, {0xFF, 0x00, 0x00, 0xFF}},
        {RGB565, {0xE0, 0x07}, {0x00, 0xFF, 0x00, 0xFF}}, {RGB565, {0x41, 0x08}, {0x08, 0x08, 0x08, 0xFF}}, // 1, 2, 1
        {RGB565, {0xEF, 0x7B}, {0x7B, 0x7D, 0x7B, 0xFF}}, // 15, 31, 15
        {ARGB1555, {0x00, 0x80}, {0x00, 0x00, 0x00, 0xFF}}, {ARGB1555, {0xFF, 0x7F}, {0xFF, 0xFF, 0xFF, 0x00}},
        {ARGB1555, {0x21, 0x04}, {0x08, 0x08, 0x08, 0x00}}, // 1, 1, 1
        {ARGB4444, {0x34, 0x12}, {0x22, 0x33, 0x44, 0x11}}, {I8, {0x7E}, {0x7E, 0x7E, 0x7E, 0xFF}},
        {AI88, {0x7E, 0x40}, {0x7E, 0x7E, 0x7E, 0x40}}, {A8, {0x7E}, {0x00, 0x00, 0x00, 0x7E}},
        {RGB565_SWAPPED, {0xF8, 0x00}, {0xFF, 0x00, 0x00, 0xFF}},
        {RGB565_SWAPPED, {0x7B, 0xEF}, {0x7B, 0x7D, 0x7B, 0xFF}}, // 15, 31, 15
        {ARGB8565, {0xE0, 0x07, 0x40}, {0x00, 0xFF, 0x00, 0x40}},
        {ARGB8565, {0x41, 0x08, 0xFF}, {0x08, 0x08, 0x08, 0xFF}}, // 1, 2, 1
    };
    for (const auto& c : cases) {
        const Bytes exact = c.pixel; // exactly the pixel's bytes, so over-reads are caught
        const DsColor colour = dsPixelColor(c.mode, exact.data());
        EXPECT_EQ(std::make_tuple(colour.red, colour.green, colour.blue, colour.alpha),
            std::make_tuple(c.colour.red, c.colour.green, c.colour.blue, c.colour.alpha))
            << "mode " << c.mode << " first byte " << int(c.pixel[0]);
    }
}

TEST(SurfaceFile, StoredPositionIsWhereRotateMovesEachPixel)
{
    const int32_t width = 5, height = 3;
    const int32_t noRotation = 0;
    for (int32_t rotation : {0, 90, 180, 270}) {
        DsSurface surface(width, height, &noRotation, A8, false, 0, dsMalloc, dsFree, 1, 0);
        for (int32_t i = 0; i < width * height; ++i)
            surface.pixels()[i] = uint8_t(i);
        ASSERT_TRUE(surface.rotate(rotation));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const DsStoredPosition at = dsStoredPosition(rotation, width, height, x, y);
                ASSERT_TRUE(at.column >= 0 && at.column < surface.width() && at.row >= 0 && at.row < surface.height());
                EXPECT_EQ(surface.pixels()[at.row * surface.pitch() + at.column], uint8_t(y * width + x))
                    << rotation << ": " << x << ", " << y;
            }
        }
        surface.release();
    }
}

// The palette file written for an I8 surface reads back as the same entries,
// 4 bytes each; any other size, or a count of 0 or above the palette limit,
// is refused.
TEST(PaletteFile, ReadsBackWhatIsWrittenAndRefusesOtherSizes)
{
    const int32_t noRotation = 0;
    DsSurface surface(2, 1, &noRotation, I8, false, 3, dsMalloc, dsFree, 1, 0);
    const uint8_t entries[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::memcpy(surface.palette(), entries, sizeof entries);
    Bytes file(dsPaletteFileSize(surface));
    ASSERT_EQ(file.size(), 16u);
    dsWritePaletteFile(surface, file.data());
    surface.release();
    DsPaletteFile palette{};
    ASSERT_TRUE(dsReadPaletteFile(file.data(), file.size(), palette));
    EXPECT_EQ(palette.count, 3);
    EXPECT_EQ(Bytes(palette.entries, palette.entries + 12), (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255}));
    const auto withCount = [](uint32_t count, size_t entryBytes) {
        Bytes bytes = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
        bytes.resize(bytes.size() + entryBytes, 0x55);
        return bytes;
    };
    const struct {
        Bytes file;
        bool valid;
    } cases[] = {
        {withCount(1, 4), true}, {withCount(0xFFFF, 4 * 0xFFFF), true}, {withCount(0, 0), false},
        {withCount(0x10000, 4 * 0x10000), false}, {withCount(2, 7), false}, {withCount(2, 9), false},
        {Bytes{1, 0, 0}, false}, {withCount(0x40000001, 4), false}, // the count times 4 wraps in 32 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(dsReadPaletteFile(c.file.data(), c.file.size(), palette), c.valid) << c.file.size();
}

} // namespace
