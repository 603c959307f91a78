// DsSurface construction and rotation at the limits of the surface file: the
// pitch must fit the file's 32-bit word and the rotation must be one the file
// and dsReadSurfaceFile take. Buffers here are never touched, so a stand-in
// allocator hands out one byte's address whatever the size asked for.
#include "ds_surface.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

uint8_t gStandIn;
uint64_t gAskedFor = 0; // bytes of the last allocation asked for

void* standInAllocator(uint64_t size)
{
    gAskedFor = size;
    return &gStandIn;
}

void standInFree(void*)
{
}

TEST(SurfaceLimits, ConstructionRefusesPitchesAndRotationsTheFileCannotHold)
{
    struct Case {
        const char* what;
        int32_t width, height, rotation;
        uint32_t mode, alignment;
        bool valid;
        uint32_t pitch; // when valid
    } cases[] = {
        {"2^30 ARGB8888 pixels: a pitch of 2^32", 1 << 30, 2, 0, ARGB8888, 1, false, 0},
        {"the same, stored at 90", 2, 1 << 30, 90, ARGB8888, 1, false, 0},
        {"the same, stored at 270", 2, 1 << 30, 270, ARGB8888, 1, false, 0},
        {"an alignment that pushes the pitch over", 0x3FFFFFFF, 1, 0, ARGB8888, 8, false, 0},
        {"the largest pitch", 0x55555555, 1, 0, RGB888, 1, true, 0xFFFFFFFFu},
        {"stored at 90, its rows are the height", 0x7FFFFFFF, 3, 90, RGB565, 1, true, 6},
        {"rotation 45", 2, 2, 45, RGB565, 1, false, 0},
        {"rotation -90", 2, 2, -90, RGB565, 1, false, 0},
        {"rotation 360", 2, 2, 360, RGB565, 1, false, 0},
        {"rotation 180", 2, 2, 180, RGB565, 1, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gAskedFor = 0;
        DsSurface surface(
            c.width, c.height, &c.rotation, c.mode, false, 0, standInAllocator, standInFree, c.alignment, 0);
        EXPECT_EQ(surface.isValid(), c.valid);
        EXPECT_EQ(surface.pitch(), c.pitch);
        if (!c.valid) {
            EXPECT_EQ(gAskedFor, 0u) << "nothing is allocated for a refused surface";
            EXPECT_EQ(surface.bufferSize(), 0u);
        }
        surface.release();
    }
}

// A turn whose rows would need a pitch over 32 bits fails before it asks for
// the new buffer, and leaves the surface as it was.
TEST(SurfaceLimits, RotationRefusesPitchesTheFileCannotHold)
{
    const int32_t upright = 0;
    DsSurface tall(1, 1 << 30, &upright, ARGB8888, false, 0, standInAllocator, standInFree, 1, 0);
    ASSERT_TRUE(tall.isValid());
    gAskedFor = 0;
    for (int32_t angle : {90, 270}) {
        EXPECT_FALSE(tall.rotate(angle)) << angle;
        EXPECT_EQ(gAskedFor, 0u) << angle;
        EXPECT_EQ(tall.width(), 1);
        EXPECT_EQ(tall.pitch(), 4u);
        EXPECT_EQ(tall.rotation(), 0);
    }
    tall.release();
}

} // namespace
