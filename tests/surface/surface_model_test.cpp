// DsSurface: pitch rule, construction limits, rotation layouts, surface file.
#include "counting_allocator.h"
#include "ds_surface.h"
#include "png_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int32_t gNoRotation = 0;

class SurfaceTest : public testing::Test {
protected:
    void SetUp() override { gLog = AllocationLog{}; }
    void TearDown() override { EXPECT_TRUE(gLog.live.empty()) << gLog.live.size() << " blocks leaked"; }

    static DsSurface* make(int32_t width, int32_t height, uint32_t mode, uint32_t alignment = 1, uint64_t reserve = 0,
        int32_t rotation = 0, uint64_t paletteSize = 0)
    {
        return new DsSurface(
            width, height, &rotation, mode, false, paletteSize, countingAllocator, countingFree, alignment, reserve);
    }
    static void destroy(DsSurface* surface)
    {
        surface->release();
        delete surface;
    }
};

TEST_F(SurfaceTest, PitchRuleAndBufferSize)
{
    struct Case {
        int32_t width;
        uint32_t mode;
        uint32_t alignment;
        uint64_t reserve;
        uint32_t pitch;
        uint64_t bufferSize; // for a height of 2
    } cases[] = {
        {3, RGB888, 1, 0, 9, 18},
        {3, RGB888, 4, 0, 12, 24},
        {5, I8, 4, 0, 8, 16},
        {3, RGB565, 4, 0, 8, 16},
        {3, RGB888, 1, 5, 9, 26},
        {3, RGB888, 1, 4, 9, 22},
        {2, ARGB8888, 8, 1, 8, 20},
        {3, ARGB8888, 8, 0, 16, 32},
        {7, A8, 3, 0, 9, 18},
        {3, RGB888, 6, 0, 18, 36},
        {1, AI88, 1, 0, 2, 4},
    };
    for (const Case& c : cases) {
        DsSurface* surface = make(c.width, 2, c.mode, c.alignment, c.reserve);
        EXPECT_TRUE(surface->isValid());
        EXPECT_EQ(surface->pitch(), c.pitch) << c.width << " mode " << c.mode << " alignment " << c.alignment;
        EXPECT_EQ(surface->pitchPixels(), c.pitch / dsBytesPerPixel(c.mode));
        EXPECT_EQ(surface->bufferSize(), c.bufferSize) << c.width << " mode " << c.mode << " reserve " << c.reserve;
        EXPECT_EQ(surface->clip(), DsRect(0, 0, c.width, 2));
        destroy(surface);
    }
}

TEST_F(SurfaceTest, ConstructionInRotatedLayoutExchangesDimensions)
{
    for (int32_t rotation : {0, 90, 180, 270}) {
        DsSurface* surface = make(4, 2, RGB565, 1, 0, rotation);
        const bool quarter = rotation == 90 || rotation == 270;
        EXPECT_EQ(surface->width(), quarter ? 2 : 4);
        EXPECT_EQ(surface->height(), quarter ? 4 : 2);
        EXPECT_EQ(surface->rotation(), rotation);
        EXPECT_EQ(surface->pitch(), quarter ? 4u : 8u);
        destroy(surface);
    }
}

TEST_F(SurfaceTest, PaletteOnlyForPaletteModes)
{
    for (uint32_t mode : {ARGB8888, RGB888, RGB565, I8, AI88, A8}) {
        DsSurface* surface = new DsSurface(2, 2, &gNoRotation, mode, true, 16, countingAllocator, countingFree, 1, 0);
        const bool paletted = mode == I8 || mode == AI88;
        EXPECT_EQ(surface->palette() != nullptr, paletted) << mode;
        EXPECT_EQ(gLog.allocations, paletted ? 2 : 1) << mode;
        destroy(surface);
        gLog.allocations = 0;
    }
}

// Surfaces that cannot be built own nothing and serialise to a bare header.
TEST_F(SurfaceTest, RefusedSurfacesOwnNothing)
{
    struct Case {
        const char* what;
        int32_t width, height;
        uint32_t mode, alignment;
        uint64_t paletteSize;
        int failAt;
    } cases[] = {
        {"mode 6", 2, 2, 6, 1, 0, -1},
        {"mode 8", 2, 2, 8, 1, 0, -1},
        {"mode 12", 2, 2, 12, 1, 0, -1},
        {"zero width", 0, 2, I8, 1, 0, -1},
        {"negative height", 2, -1, I8, 1, 0, -1},
        {"alignment 0", 2, 2, I8, 0, 0, -1},
        {"palette too large", 2, 2, I8, 1, 0x10000, -1},
        {"pixels not allocated", 2, 2, I8, 1, 4, 0},
        {"palette not allocated", 2, 2, I8, 1, 4, 1},
    };
    for (const Case& c : cases) {
        gLog.failAt = c.failAt;
        gLog.allocations = 0;
        DsSurface* surface = new DsSurface(c.width, c.height, &gNoRotation, c.mode, false, c.paletteSize,
            countingAllocator, countingFree, c.alignment, 8);
        EXPECT_FALSE(surface->isValid()) << c.what;
        EXPECT_EQ(surface->palette(), nullptr) << c.what;
        EXPECT_EQ(surface->bufferSize(), 0u) << c.what;
        EXPECT_EQ(surface->serialize(nullptr), 20u) << c.what;
        EXPECT_TRUE(surface->rotate(90)) << c.what;
        EXPECT_TRUE(gLog.live.empty()) << c.what;
        destroy(surface);
    }
    DsSurface noAllocator(2, 2, &gNoRotation, I8, false, 0, nullptr, nullptr, 1, 0);
    EXPECT_FALSE(noAllocator.isValid());
    gLog.allocations = 0;
    DsSurface overflowing(0x7FFFFFFF, 0x7FFFFFFF, &gNoRotation, ARGB8888, false, 0, countingAllocator, countingFree,
        1u << 16, uint64_t(1) << 40);
    EXPECT_FALSE(overflowing.isValid());
    EXPECT_EQ(gLog.allocations, 0) << "a buffer size over 64 bits is never asked for";
    DsSurface hugeReserve(1, 1, &gNoRotation, A8, false, 0, countingAllocator, countingFree, 1, ~uint64_t(0));
    EXPECT_FALSE(hugeReserve.isValid());
    EXPECT_EQ(gLog.allocations, 0);
}

// The turned file made a few rows at a time from the upright surface is the
// file of the surface turned whole, byte for byte: header, rows, tail.
TEST_F(SurfaceTest, TurnedFileRowsAreTheTurnedSurfacesFile)
{
    for (uint32_t mode : {ARGB8888, RGB888, A8}) {
        for (uint32_t alignment : {1u, 4u}) {
            for (int angle : {0, 90, 180, 270}) {
                const uint32_t width = 5, height = 3;
                DsSurface* upright = make(width, height, mode, alignment, 12);
                DsSurface* turned = make(width, height, mode, alignment, 12);
                const Bytes pixels = randomBytes(upright->bufferSize(), angle + mode);
                std::memcpy(upright->pixels(), pixels.data(), pixels.size());
                std::memcpy(turned->pixels(), pixels.data(), pixels.size());
                ASSERT_TRUE(turned->rotate(angle));
                for (uint32_t row = 0; row < uint32_t(turned->height()); ++row) // padding is left unset
                    std::memset(turned->pixels() + row * turned->pitch() + turned->width() * turned->bytesPerPixel(), 0,
                        turned->pitch() - turned->width() * turned->bytesPerPixel());
                Bytes expected(turned->serialize(nullptr));
                turned->serialize(expected.data());

                const DsSurface::TurnedFile file = upright->turnedFile(angle);
                Bytes made(file.header, file.header + sizeof file.header);
                for (uint32_t row = 0; row < file.rowCount; row += 2) {
                    const uint32_t count = std::min(2u, file.rowCount - row);
                    Bytes rows(count * file.pitch, 0xEE);
                    upright->copyTurnedRows(angle, row, count, rows.data());
                    made.insert(made.end(), rows.begin(), rows.end());
                }
                made.resize(made.size() + file.tailBytes, 0);
                EXPECT_EQ(made, expected) << "mode " << mode << " alignment " << alignment << " angle " << angle;
                destroy(upright);
                destroy(turned);
            }
        }
    }
}

// Every logical pixel lands where the rotation table puts it, for every
// pixel size, odd and even sizes, and with a padded pitch.
TEST_F(SurfaceTest, RotationFollowsTheRotationTable)
{
    for (uint32_t mode : {ARGB8888, RGB888, RGB565, A8}) {
        for (uint32_t alignment : {1u, 4u}) {
            for (int angle : {90, 180, 270}) {
                const uint32_t width = 5, height = 3, bpp = dsBytesPerPixel(mode);
                DsSurface* surface = make(width, height, mode, alignment, 12);
                const Bytes logical = randomBytes(width * height * bpp, angle + mode);
                for (uint32_t y = 0; y < height; ++y)
                    std::memcpy(surface->pixels() + y * surface->pitch(), &logical[y * width * bpp], width * bpp);
                ASSERT_TRUE(surface->rotate(angle));
                const Bytes expected = rotateReference(logical, width, height, bpp, angle);
                const uint32_t storedWidth = angle == 180 ? width : height;
                const uint32_t storedHeight = angle == 180 ? height : width;
                EXPECT_EQ(surface->width(), int32_t(storedWidth));
                EXPECT_EQ(surface->height(), int32_t(storedHeight));
                EXPECT_EQ(surface->rotation(), angle);
                EXPECT_EQ(surface->bufferSize(), uint64_t(storedHeight) * surface->pitch()) << "no reserve";
                EXPECT_EQ(surface->clip(), DsRect(0, 0, int32_t(storedWidth), int32_t(storedHeight)));
                for (uint32_t row = 0; row < storedHeight; ++row)
                    EXPECT_EQ(0,
                        std::memcmp(surface->pixels() + row * surface->pitch(), &expected[row * storedWidth * bpp],
                            storedWidth * bpp))
                        << "mode " << mode << " angle " << angle << " row " << row;
                destroy(surface);
            }
        }
    }
}

TEST_F(SurfaceTest, QuarterTurnOfTwoPixels)
{
    DsSurface* surface = make(2, 1, A8);
    surface->pixels()[0] = 'A';
    surface->pixels()[1] = 'B';
    ASSERT_TRUE(surface->rotate(90));
    ASSERT_EQ(surface->width(), 1);
    ASSERT_EQ(surface->height(), 2);
    EXPECT_EQ(surface->pixels()[0], 'B');
    EXPECT_EQ(surface->pixels()[1], 'A');
    ASSERT_TRUE(surface->rotate(90));
    EXPECT_EQ(surface->rotation(), 180) << "a second quarter turn turns the stored pixels once more";
    EXPECT_EQ(surface->pixels()[0], 'B');
    EXPECT_EQ(surface->pixels()[1], 'A');
    destroy(surface);
}

TEST_F(SurfaceTest, RotationThatCannotRunLeavesTheSurfaceAlone)
{
    DsSurface* surface = make(3, 2, RGB888, 1, 4);
    uint8_t* pixels = surface->pixels();
    for (int angle : {0, 45, -90, 360})
        EXPECT_TRUE(surface->rotate(angle));
    gLog.failAt = gLog.allocations;
    EXPECT_FALSE(surface->rotate(270));
    EXPECT_EQ(surface->pixels(), pixels);
    EXPECT_EQ(surface->width(), 3);
    EXPECT_EQ(surface->rotation(), 0);
    EXPECT_EQ(surface->bufferSize(), 22u);
    destroy(surface);

    DsSurface borrowed(3, 2, &gNoRotation, RGB888, false, 0, countingAllocator, nullptr, 1, 0);
    EXPECT_TRUE(borrowed.rotate(90));
    EXPECT_EQ(borrowed.rotation(), 0) << "a surface without a free callback is not rotated";
    borrowed.release();
    std::free(borrowed.pixels());
    gLog.live.clear();
}

TEST_F(SurfaceTest, SerializedLayout)
{
    struct Case {
        uint32_t mode;
        int32_t width, height;
        uint32_t alignment;
        uint64_t size;
    } cases[] = {
        {RGB888, 1, 1, 1, 24},
        {ARGB8888, 1, 1, 1, 24},
        {A8, 3, 3, 1, 32},
        {RGB888, 3, 2, 4, 44},
        {AI88, 1, 1, 1, 24},
    };
    for (const Case& c : cases) {
        DsSurface* surface = make(c.width, c.height, c.mode, c.alignment, 8, 0, 4);
        const uint64_t rows = uint64_t(c.height) * surface->pitch();
        const Bytes content = randomBytes(size_t(surface->bufferSize()), c.mode);
        std::memcpy(surface->pixels(), content.data(), content.size());
        ASSERT_EQ(surface->serialize(nullptr), c.size);
        Bytes file(size_t(c.size) + 4, 0xEE);
        ASSERT_EQ(surface->serialize(file.data()), c.size);
        const uint32_t pitch = surface->pitch();
        const Bytes header{0, 0, 0, 0, uint8_t(c.mode), 0, 0, 0, uint8_t(c.width), 0, 0, 0, uint8_t(c.height), 0, 0, 0,
            uint8_t(pitch), uint8_t(pitch >> 8), 0, 0};
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 20), header);
        EXPECT_EQ(Bytes(file.begin() + 20, file.begin() + 20 + rows), Bytes(content.begin(), content.begin() + rows));
        for (uint64_t i = 20 + rows; i < c.size; ++i)
            EXPECT_EQ(file[i], 0) << "tail byte " << i << " of mode " << c.mode;
        EXPECT_EQ(file[c.size], 0xEE) << "wrote past the size it returned";
        destroy(surface);
    }
}

TEST_F(SurfaceTest, SerializedHeaderAfterRotation)
{
    DsSurface* surface = make(3, 2, RGB565, 1, 2);
    ASSERT_TRUE(surface->rotate(270));
    Bytes file(size_t(surface->serialize(nullptr)));
    ASSERT_EQ(file.size(), 32u);
    surface->serialize(file.data());
    const Bytes header{14, 1, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 20), header);
    destroy(surface);
}

TEST_F(SurfaceTest, ReleaseFreesEverythingOnce)
{
    DsSurface* surface = new DsSurface(4, 4, &gNoRotation, AI88, true, 256, countingAllocator, countingFree, 1, 4);
    EXPECT_EQ(gLog.live.size(), 2u);
    surface->release();
    EXPECT_TRUE(gLog.live.empty());
    surface->release();
    EXPECT_EQ(surface->serialize(nullptr), 20u);
    delete surface;
}

// A palette replaced by a larger one keeps its entries; a replacement that
// cannot be made leaves the surface as it was.
TEST_F(SurfaceTest, ResizedPaletteKeepsItsEntries)
{
    DsSurface* surface = new DsSurface(2, 2, &gNoRotation, I8, true, 3, countingAllocator, countingFree, 1, 0);
    std::memcpy(surface->palette(), "ABCDEFGHIJKL", 12);
    EXPECT_TRUE(surface->resizePalette(256));
    EXPECT_EQ(surface->paletteSize(), 256);
    EXPECT_EQ(std::memcmp(surface->palette(), "ABCDEFGHIJKL", 12), 0);
    const uint8_t* palette = surface->palette();
    gLog.failAt = gLog.allocations;
    EXPECT_FALSE(surface->resizePalette(300)) << "the allocator returns null";
    EXPECT_FALSE(surface->resizePalette(0));
    EXPECT_FALSE(surface->resizePalette(DsSurface::kMaxPaletteSize + 1));
    EXPECT_EQ(surface->palette(), palette);
    EXPECT_EQ(surface->paletteSize(), 256);
    EXPECT_EQ(gLog.live.size(), 2u);
    destroy(surface);
    DsSurface* noPalette = make(2, 2, ARGB8888);
    EXPECT_FALSE(noPalette->resizePalette(4));
    destroy(noPalette);
}

} // namespace
