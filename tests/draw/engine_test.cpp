// The drawing engine: every fast path against the general path on long rows
// of every mode pair, RGB565_SWAPPED against RGB565, and the calls a
// firmware uses to describe its framebuffer and draw translucent boxes.
#include "draw_support.h"

#include "ds_blend.h"
#include "ds_draw_paths.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Draw = std::function<int(DsSurface& target, const DsSurface& source)>;

// A copy of `surface`'s bytes under a surface of the same geometry.
struct Copy {
    std::vector<uint8_t> bytes;
    DsSurface surface;
    explicit Copy(const DsSurface& from)
        : bytes(from.pixels(), from.pixels() + from.bufferSize()),
          surface(
              from.logicalWidth(), from.logicalHeight(), from.rotation(), from.colorMode(), bytes.data(), from.pitch())
    {
    }
};

// Noise with runs of transparent and opaque pixels and of zero and full
// coverage, which the fast paths treat apart.
void addAlphaRuns(DsSurface& surface, std::mt19937& random)
{
    const uint32_t bytes = surface.bytesPerPixel();
    if (!dsHasAlpha(surface.colorMode()))
        return;
    for (uint64_t i = 0; i + bytes <= surface.bufferSize(); i += bytes)
        if (random() % 3 == 0) {
            const uint32_t alpha = random() % 2 ? 0xFF : 0;
            DsSurface pixel(1, 1, 0, surface.colorMode(), surface.pixels() + i, bytes);
            pixel.replaceAlpha(uint8_t(alpha));
        }
}

// The operations, each at the opacities and colours the fast paths tell apart.
std::vector<std::pair<std::string, Draw>> operations()
{
    const DsRect all(0, 0, 300, 4);
    std::vector<std::pair<std::string, Draw>> draws = {
        {"fill", [all](DsSurface& t, const DsSurface&) { return t.fill(all, 0x80C0A060); }},
        {"blit", [all](DsSurface& t, const DsSurface& s) { return t.blit(s, all, 0, 0); }},
    };
    for (uint8_t opacity : {255, 200, 1})
        draws.push_back({"blend at " + std::to_string(opacity),
            [all, opacity](DsSurface& t, const DsSurface& s) { return t.blend(s, all, 0, 0, opacity); }});
    for (uint32_t colour : {0xFF3366C9u, 0x9AC0FFEEu})
        for (uint8_t opacity : {255, 77}) {
            const std::string name = std::to_string(colour >> 24) + " at " + std::to_string(opacity);
            draws.push_back({"blendMask " + name, [all, colour, opacity](DsSurface& t, const DsSurface& s) {
                                 return t.blendMask(s, all, 0, 0, colour, opacity);
                             }});
            draws.push_back({"blendFill " + name,
                [all, colour, opacity](DsSurface& t, const DsSurface&) { return t.blendFill(all, colour, opacity); }});
        }
    return draws;
}

// Every operation between every pair of modes, both stored in the same
// rotation (where the fast paths apply), with rows of 300 pixels: the fast
// paths write the general path's bytes and give its result codes.
TEST(DrawEngine, EveryFastPathWritesTheGeneralPathsBytes)
{
    std::mt19937 random(41);
    const auto draws = operations();
    for (int32_t rotation : kRotations)
        for (uint32_t to : kSizedModes)
            for (uint32_t from : kSizedModes) {
                const SurfacePtr target = noiseSurface(300, 4, to, rotation, random);
                const SurfacePtr source = noiseSurface(300, 4, from, rotation, random);
                const SurfacePtr mask = noiseSurface(300, 4, A8, rotation, random);
                addAlphaRuns(*target, random);
                addAlphaRuns(*source, random);
                addAlphaRuns(*mask, random);
                for (const auto& [name, draw] : draws) {
                    const bool sourceless = name.rfind("fill", 0) == 0 || name.rfind("blendFill", 0) == 0;
                    if (sourceless && from != kSizedModes[0])
                        continue; // the same draw again
                    const DsSurface& input = name.rfind("blendMask", 0) == 0 ? *mask : *source;
                    Copy general(*target), fast(*target);
                    ds::setFastPaths(false);
                    const int expected = draw(general.surface, input);
                    ds::setFastPaths(true);
                    EXPECT_EQ(draw(fast.surface, input), expected);
                    EXPECT_TRUE(general.bytes == fast.bytes)
                        << name << " " << from << " -> " << to << " at " << rotation;
                }
            }
}

// The bytes of every RGB565 pixel exchanged.
std::vector<uint8_t> swapped(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> out(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out[i] = bytes[i + 1];
        out[i + 1] = bytes[i];
    }
    return out;
}

// RGB565_SWAPPED is RGB565 with the two bytes of each pixel exchanged, as a
// destination of every operation and as the source of every other mode.
TEST(DrawEngine, Rgb565SwappedIsRgb565WithItsBytesSwapped)
{
    std::mt19937 random(43);
    const auto draws = operations();
    for (int32_t rotation : kRotations) {
        const SurfacePtr plain = noiseSurface(300, 4, RGB565, rotation, random);
        const std::vector<uint8_t> plainBytes(plain->pixels(), plain->pixels() + plain->bufferSize());
        std::vector<uint8_t> swappedBytes = swapped(plainBytes);
        const DsSurface swappedSource(300, 4, rotation, RGB565_SWAPPED, swappedBytes.data(), plain->pitch());
        for (uint32_t other : kSizedModes) {
            const SurfacePtr source = noiseSurface(300, 4, other, (rotation + 90) % 360, random);
            const SurfacePtr mask = noiseSurface(300, 4, A8, rotation, random);
            for (const auto& [name, draw] : draws) {
                const DsSurface& input = name.rfind("blendMask", 0) == 0 ? *mask : *source;
                Copy asPlain(*plain), asSwapped(swappedSource);
                EXPECT_EQ(draw(asPlain.surface, input), draw(asSwapped.surface, input));
                EXPECT_TRUE(swapped(asPlain.bytes) == asSwapped.bytes) << name << " from " << other;
                if (other == I8 || name.rfind("blendMask", 0) == 0)
                    continue; // I8 takes only I8; the mask is A8 whatever the source
                const SurfacePtr target = noiseSurface(300, 4, other, rotation, random);
                Copy fromPlain(*target), fromSwapped(*target);
                EXPECT_EQ(draw(fromPlain.surface, *plain), draw(fromSwapped.surface, swappedSource));
                EXPECT_TRUE(fromPlain.bytes == fromSwapped.bytes) << name << " into " << other;
            }
        }
    }
}

TEST(DrawEngine, AlphaProductsFromTimes257AreExact)
{
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t b = 0; b < 256; ++b)
            ASSERT_EQ(ds::mulAlpha257(a, b * 257), ds::mulAlpha(a, b)) << a << " " << b;
}

// blendFill: nothing for a transparent result, a fill for an opaque one,
// refused on I8 and on a surface without pixels.
TEST(DrawEngine, BlendFillLimits)
{
    std::mt19937 random(47);
    const DsRect area(2, 1, 9, 5);
    for (uint32_t mode : kSizedModes) {
        const SurfacePtr target = noiseSurface(12, 8, mode, 90, random);
        Copy filled(*target), blended(*target), untouched(*target);
        const int expected = mode == I8 ? DS_DRAW_UNSUPPORTED_MODES : DS_DRAW_OK;
        EXPECT_EQ(blended.surface.blendFill(area, 0xFF123456), expected) << mode;
        if (mode != I8) {
            filled.surface.fill(area, 0xFF123456);
            EXPECT_TRUE(filled.bytes == blended.bytes) << mode;
        }
        EXPECT_EQ(untouched.surface.blendFill(area, 0x00123456), expected) << mode;
        EXPECT_EQ(untouched.surface.blendFill(area, 0xFF123456, 0), expected) << mode;
        EXPECT_TRUE(untouched.bytes == std::vector<uint8_t>(target->pixels(), target->pixels() + target->bufferSize()))
            << mode;
    }
    DsSurface none(4, 4, 0, RGB565, nullptr, 8);
    EXPECT_EQ(none.blendFill(area, 0x80FFFFFF), DS_DRAW_INVALID_SURFACE);
    // The default opacity of blend is full.
    const SurfacePtr source = noiseSurface(12, 8, ARGB8888, 0, random), target = noiseSurface(12, 8, RGB565, 0, random);
    Copy byDefault(*target), atFull(*target);
    byDefault.surface.blend(*source, area, 1, 1);
    atFull.surface.blend(*source, area, 1, 1, 255);
    EXPECT_TRUE(byDefault.bytes == atFull.bytes);
}

// A surface over a framebuffer of known size: valid only when its stored
// rows fit; dsPackedPitch gives the rows' bytes without padding.
TEST(DrawEngine, CallerMemoryOfAGivenSize)
{
    static uint8_t framebuffer[320 * 240 * 2];
    const struct {
        int32_t width, height, rotation;
        uint32_t mode, pitch;
        uint64_t bufferBytes;
        bool valid;
    } cases[] = {
        {320, 240, 0, RGB565, 640, sizeof framebuffer, true},
        {320, 240, 90, RGB565, 640, sizeof framebuffer, false}, // stored rows of 480 bytes, 320 of them
        {320, 240, 90, RGB565, 480, sizeof framebuffer, true},
        {320, 240, 270, RGB565, 480, sizeof framebuffer - 1, false},
        {320, 240, 180, ARGB8565, 960, sizeof framebuffer, false},
        {160, 240, 180, ARGB8565, 480, sizeof framebuffer, true}, {1, 1, 0, A8, 1, 1, true}, {1, 1, 0, A8, 1, 0, false},
        {2, 2, 0, 12, 8, sizeof framebuffer, false}, // no pixel size
    };
    for (const auto& c : cases) {
        DsSurface surface(c.width, c.height, c.rotation, c.mode, framebuffer, c.pitch, c.bufferBytes);
        EXPECT_EQ(surface.isValid(), c.valid) << c.width << "x" << c.height << " at " << c.rotation;
        if (!c.valid) {
            EXPECT_EQ(surface.fill(DsRect(0, 0, c.width, c.height), 0), DS_DRAW_INVALID_SURFACE);
        }
    }
    const struct {
        int32_t width, height, rotation;
        uint32_t mode, pitch;
    } pitches[] = {
        {320, 240, 0, RGB565, 640},
        {320, 240, 90, RGB565_SWAPPED, 480},
        {320, 240, 270, ARGB8565, 720},
        {7, 3, 180, RGB888, 21},
        {0, 3, 0, RGB565, 0},
        {3, -1, 90, RGB565, 0},
        {3, 3, 45, RGB565, 0},
        {3, 3, 0, 6, 0},
        {0x7FFFFFFF, 1, 0, ARGB8888, 0}, // a row of 2^33 bytes
        {0x3FFFFFFF, 1, 0, ARGB8888, 0xFFFFFFFC},
    };
    for (const auto& p : pitches)
        EXPECT_EQ(dsPackedPitch(p.width, p.height, p.rotation, p.mode), p.pitch)
            << p.width << "x" << p.height << " at " << p.rotation;
}

} // namespace
