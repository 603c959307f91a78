// The drawing library: geometry at the limits, refusals, palettes, the blend
// formula, text in every rotation, and the fast paths against the general one.
#include "draw_support.h"

#include "ds_blend.h"
#include "ds_draw_paths.h"
#include "ds_font.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::nanf("");

TEST(DrawGeometry, IntegerRectanglesAtTheLimits)
{
    const struct {
        DsRect a, b;
        DsRect intersected, united;
    } cases[] = {
        {{0, 0, 4, 4}, {2, 2, 4, 4}, {2, 2, 2, 2}, {0, 0, 6, 6}},
        {{0, 0, 4, 4}, {4, 0, 4, 4}, {}, {0, 0, 8, 4}}, // touching: nothing shared
        {{0, 0, 0, 4}, {1, 1, 2, 2}, {}, {1, 1, 2, 2}}, // empty counts as nothing
        {{kMax - 1, 0, kMax, 1}, {kMax - 3, 0, 3, 1}, {kMax - 1, 0, 1, 1},
            {kMax - 3, 0, 3, 1}},                                                     // right edge held at INT32_MAX
        {{kMin, kMin, kMax, kMax}, {0, 0, kMax, kMax}, {}, {kMin, kMin, kMax, kMax}}, // width cut to INT32_MAX
        {{kMin, 0, 1, 1}, {kMin, 0, 2, 1}, {kMin, 0, 1, 1}, {kMin, 0, 2, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a.intersected(c.b), c.intersected) << c.a.x << "," << c.b.x;
        EXPECT_EQ(c.a.united(c.b), c.united) << c.a.x << "," << c.b.x;
    }
    EXPECT_EQ(DsRect(kMax - 2, 0, 10, 1).translated(1, 0), DsRect(kMax - 1, 0, 1, 1));
    EXPECT_EQ(DsRect(kMin + 1, 0, 10, 1).translated(-5, 0), DsRect(kMin, 0, 6, 1));
    EXPECT_TRUE(DsRect(0, 0, 5, 5).translated(kMax, 0).isEmpty());
    EXPECT_TRUE(DsRect(kMax - 1, 0, kMax, 1).contains(kMax - 1, 0));
    EXPECT_FALSE(DsRect(kMax - 1, 0, kMax, 1).contains(kMax, 0));
    EXPECT_FALSE(DsRect(kMin, kMin, kMax, kMax).contains(-1, -1));
    EXPECT_TRUE(DsRect(kMin, kMin, kMax, kMax).contains(-2, -2));
    EXPECT_TRUE(DsRect(0, 0, 10, 10).contains(DsRect(2, 2, 8, 8)));
    EXPECT_FALSE(DsRect(0, 0, 10, 10).contains(DsRect(2, 2, 9, 8)));
    EXPECT_FALSE(DsRect(0, 0, 10, 10).contains(DsRect(2, 2, 0, 8)));
}

TEST(DrawGeometry, FloatRectanglesWithNaNAndInfinity)
{
    const struct {
        DsFRect rect;
        bool empty;
        DsRect enclosing, rounded;
    } cases[] = {
        {{0.5f, 0.5f, 2.0f, 1.0f}, false, {0, 0, 3, 2}, {1, 1, 2, 1}},
        {{-0.5f, -1.5f, 1.0f, 1.0f}, false, {-1, -2, 2, 2}, {-1, -2, 2, 1}}, // halves away from zero
        {{kNaN, 0, 1, 1}, true, {}, {}}, {{0, 0, kNaN, 1}, true, {}, {}}, {{0, 0, -1, 1}, true, {}, {}},
        {{kInf, 0, 1, 1}, true, {}, {}}, {{-kInf, 0, 5, 1}, true, {}, {}},
        {{-kInf, -kInf, kInf, kInf}, false, {kMin, kMin, kMax, kMax}, {kMin, kMin, kMax, kMax}},
        {{0, 0, kInf, 1}, false, {0, 0, kMax, 1}, {0, 0, kMax, 1}},
        {{3e9f, 0, 1e9f, 1}, false, {kMax, 0, 0, 1}, {kMax, 0, 0, 1}}, // beyond int32: clamped, nothing left
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.rect.isEmpty(), c.empty) << c.rect.x << " " << c.rect.width;
        EXPECT_EQ(c.rect.enclosingRect(), c.enclosing) << c.rect.x << " " << c.rect.width;
        EXPECT_EQ(c.rect.roundedRect(), c.rounded) << c.rect.x << " " << c.rect.width;
    }
    EXPECT_FALSE(DsFRect(0, 0, 1, 1).contains(kNaN, 0.5f));
    EXPECT_TRUE(DsFRect(-kInf, -kInf, kInf, kInf).contains(1e30f, -1e30f));
    EXPECT_EQ(DsFRect(0, 0, 2, 2).intersected(DsFRect(1, 1, kInf, kInf)), DsFRect(1, 1, 1, 1));
    EXPECT_EQ(DsFRect(0, 0, 2, 2).intersected(DsFRect(kNaN, 1, 1, 1)), DsFRect());
    EXPECT_EQ(DsFRect(0, 0, 1, 1).united(DsFRect(-kInf, 0, kInf, 1)), DsFRect(-kInf, 0, kInf, 1));
    EXPECT_EQ(DsFRect(0, 0, 1, 1).translated(kNaN, 0), DsFRect());
}

TEST(DrawRefusals, I8DestinationsAndMasks)
{
    std::mt19937 random(1);
    const SurfacePtr indexed = noiseSurface(4, 4, I8, 0, random);
    const SurfacePtr other = noiseSurface(4, 4, I8, 90, random);
    const SurfacePtr mask = noiseSurface(4, 4, A8, 0, random);
    const SurfacePtr colour = noiseSurface(4, 4, ARGB8888, 0, random);
    const DsRect all(0, 0, 4, 4);
    for (uint32_t mode : kSizedModes) {
        const SurfacePtr source = noiseSurface(4, 4, mode, 0, random);
        EXPECT_EQ(indexed->blit(*source, all, 0, 0), mode == I8 ? DS_DRAW_OK : DS_DRAW_UNSUPPORTED_MODES) << mode;
        EXPECT_EQ(indexed->blend(*source, all, 0, 0, 255), DS_DRAW_UNSUPPORTED_MODES) << mode;
        const bool alpha =
            mode == ARGB8888 || mode == ARGB1555 || mode == ARGB4444 || mode == AI88 || mode == A8 || mode == ARGB8565;
        const SurfacePtr target = noiseSurface(4, 4, mode, 0, random);
        EXPECT_EQ(target->replaceAlpha(7), alpha ? DS_DRAW_OK : DS_DRAW_UNSUPPORTED_MODES) << mode;
        EXPECT_EQ(target->replaceAlpha(*colour, 0, 0), alpha ? DS_DRAW_UNSUPPORTED_MODES : DS_DRAW_UNSUPPORTED_MODES);
        EXPECT_EQ(target->blendMask(*colour, all, 0, 0, 0xFF000000), DS_DRAW_UNSUPPORTED_MODES);
    }
    EXPECT_EQ(indexed->blendMask(*mask, all, 0, 0, 0xFF000000), DS_DRAW_UNSUPPORTED_MODES);
    // The index copy turns with the rotation and keeps the indices.
    ASSERT_EQ(indexed->blit(*other, all, 0, 0), DS_DRAW_OK);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(indexed->pixel(x, y), other->pixel(x, y));
    DsSurface invalid(0, 4, 0, A8, nullptr, 4);
    EXPECT_EQ(invalid.fill(all, 0), DS_DRAW_INVALID_SURFACE);
    EXPECT_EQ(colour->blit(invalid, all, 0, 0), DS_DRAW_INVALID_SURFACE);
    EXPECT_EQ(indexed->fill(all, 0x12345678), DS_DRAW_OK); // the low byte is the index
    EXPECT_EQ(indexed->pixels()[5], 0x78);
}

// blit, blend and blendMask without a source area take the whole upright
// source: a source stored at 90 or 270, whose stored rows are its columns,
// lands exactly as with its full logical rectangle, inside the target and
// partly off its edges.
TEST(DrawWholeSource, OverloadsTakeTheWholeUprightSource)
{
    std::mt19937 random(7);
    const struct {
        int32_t x;
        int32_t y;
    } places[] = {{0, 0}, {3, 2}, {-4, 5}, {9, -3}, {12, 9}};
    for (int32_t sourceRotation : kRotations) {
        const SurfacePtr source = noiseSurface(5, 3, ARGB8888, sourceRotation, random);
        const SurfacePtr mask = noiseSurface(6, 2, A8, sourceRotation, random);
        const DsRect sourceAll(0, 0, 5, 3), maskAll(0, 0, 6, 2);
        for (int32_t targetRotation : kRotations) {
            for (const auto& at : places) {
                const SurfacePtr start = noiseSurface(14, 11, RGB565, targetRotation, random);
                const uint64_t bytes = start->bufferSize();
                const auto drawn = [&](auto draw) {
                    const SurfacePtr target = noiseSurface(14, 11, RGB565, targetRotation, random);
                    std::copy(start->pixels(), start->pixels() + bytes, target->pixels());
                    EXPECT_EQ(draw(*target), DS_DRAW_OK);
                    return std::vector<uint8_t>(target->pixels(), target->pixels() + bytes);
                };
                const std::string where = std::to_string(sourceRotation) + " onto " + std::to_string(targetRotation) +
                    " at " + std::to_string(at.x) + ", " + std::to_string(at.y);
                EXPECT_EQ(drawn([&](DsSurface& t) { return t.blit(*source, at.x, at.y); }), drawn([&](DsSurface& t) {
                    return t.blit(*source, sourceAll, at.x, at.y);
                })) << "blit "
                    << where;
                EXPECT_EQ(drawn([&](DsSurface& t) { return t.blend(*source, at.x, at.y, 140); }),
                    drawn([&](DsSurface& t) { return t.blend(*source, sourceAll, at.x, at.y, 140); }))
                    << "blend " << where;
                EXPECT_EQ(drawn([&](DsSurface& t) { return t.blendMask(*mask, at.x, at.y, 0xC0FF8040, 200); }),
                    drawn([&](DsSurface& t) { return t.blendMask(*mask, maskAll, at.x, at.y, 0xC0FF8040, 200); }))
                    << "blendMask " << where;
            }
        }
    }
}

TEST(DrawPalette, LookupsGreyLevelsAndIndicesPastThePalette)
{
    uint8_t pixels[4] = {0, 1, 2, 200};
    const uint8_t palette[] = {10, 20, 30, 40, 50, 60, 70, 80};
    DsSurface i8(4, 1, 0, I8, pixels, 4);
    EXPECT_EQ(i8.pixel(3, 0), 0xFFC8C8C8u); // no palette: a grey level
    ASSERT_TRUE(i8.usePalette(palette, 2, true));
    EXPECT_EQ(i8.pixel(0, 0), 0x281E140Au);
    EXPECT_EQ(i8.pixel(1, 0), 0x50463C32u);
    EXPECT_EQ(i8.pixel(2, 0), 0xFF000000u); // past the palette: opaque black
    ASSERT_TRUE(i8.usePalette(palette, 2, false));
    EXPECT_EQ(i8.pixel(1, 0), 0xFF3C3228u);
    uint8_t grey[4] = {1, 0x80, 7, 0x10};
    DsSurface ai88(2, 1, 0, AI88, grey, 4);
    ASSERT_TRUE(ai88.usePalette(palette, 2, true));
    EXPECT_EQ(ai88.pixel(0, 0), 0x80463C32u); // palette colour, the pixel's alpha
    EXPECT_EQ(ai88.pixel(1, 0), 0x10000000u);
    // A palette surface drawn onto ARGB8888 shows its palette colours.
    uint8_t out[16] = {};
    DsSurface target(4, 1, 0, ARGB8888, out, 16);
    ASSERT_EQ(target.blit(i8, DsRect(0, 0, 4, 1), 0, 0), DS_DRAW_OK);
    EXPECT_EQ(target.pixel(1, 0), 0xFF3C3228u);
}

// The straight-alpha formula, written from its definition with exact rationals.
uint32_t roundDiv(uint64_t n, uint64_t d)
{
    return uint32_t((2 * n + d) / (2 * d));
}

TEST(DrawBlend, ExactAgainstTheFormulaForEveryAlphaPair)
{
    const uint32_t colours[][2] = {{0x00FF8001, 0x00000000}, {0x0012ABFE, 0x00FFFFFF}, {0x00808080, 0x007F0040}};
    for (const auto& pair : colours)
        for (uint32_t sa = 1; sa < 256; ++sa)
            for (uint32_t da = 0; da < 256; da += 3) {
                const uint32_t d = pair[1] | da << 24;
                const uint32_t share = roundDiv(uint64_t(da) * (255 - sa), 255);
                const uint32_t a = sa + share;
                uint32_t expected = a << 24;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint64_t cs = pair[0] >> shift & 0xFF, cd = d >> shift & 0xFF;
                    expected |= roundDiv(cs * sa + cd * share, a) << shift;
                }
                ASSERT_EQ(ds::over(pair[0], d, sa), expected) << sa << " " << da;
            }
    for (uint32_t v = 0; v <= 255 * 255; ++v)
        ASSERT_EQ(ds::div255(v), roundDiv(v, 255)) << v;
}

// Runs `draw` on two copies of `target`, with and without the fast paths,
// and expects the same bytes.
template <typename Draw>
void expectSameBytes(const DsSurface& target, Draw draw, const char* what)
{
    std::vector<uint8_t> general(target.pixels(), target.pixels() + target.bufferSize());
    std::vector<uint8_t> fast = general;
    DsSurface a(target.logicalWidth(), target.logicalHeight(), target.rotation(), target.colorMode(), general.data(),
        target.pitch());
    DsSurface b(target.logicalWidth(), target.logicalHeight(), target.rotation(), target.colorMode(), fast.data(),
        target.pitch());
    ds::setFastPaths(false);
    draw(a);
    ds::setFastPaths(true);
    draw(b);
    EXPECT_EQ(general, fast) << what;
}

TEST(DrawFastPaths, GiveTheGeneralPathsBytes)
{
    std::mt19937 random(7);
    for (int32_t rotation : kRotations) {
        const SurfacePtr target = noiseSurface(37, 23, RGB565, rotation, random);
        const SurfacePtr argb = noiseSurface(40, 30, ARGB8888, rotation, random);
        const SurfacePtr same = noiseSurface(40, 30, RGB565, rotation, random);
        const DsRect area(3, 2, 35, 27);
        expectSameBytes(
            *target, [&](DsSurface& s) { s.fill(DsRect(1, 1, 30, 20), 0x89ABCDEF); }, "fill");
        expectSameBytes(
            *target, [&](DsSurface& s) { s.blit(*argb, area, -2, 1); }, "blit 8888");
        expectSameBytes(
            *target, [&](DsSurface& s) { s.blit(*same, area, 4, -3); }, "blit 565");
        for (uint8_t opacity : {uint8_t(255), uint8_t(128), uint8_t(1)})
            expectSameBytes(
                *target, [&](DsSurface& s) { s.blend(*argb, area, 1, 1, opacity); }, "blend");
    }
}

// A font of one rotation: glyph 'a' 3 x 2 and 'b' 2 x 3, 'b' kerning -2 after 'a'.
struct TinyFont {
    explicit TinyFont(int32_t rotation)
    {
        const uint8_t a[] = {10, 20, 30, 40, 50, 60};
        const uint8_t b[] = {200, 100, 250, 150, 90, 255};
        turn(a, 3, 2, rotation, pixelsA);
        turn(b, 2, 3, rotation, pixelsB);
        glyphA = {3, 2, 0, 5, 4, nullptr, nullptr, pixelsA.data()};
        glyphB = {2, 3, 1, 1, 3, "a", kerning, pixelsB.data()};
        font.chars['a'] = &glyphA;
        font.chars['b'] = &glyphB;
    }
    // The stored rows of an upright image in `rotation`, as the font generator writes them.
    static void turn(const uint8_t* upright, int32_t w, int32_t h, int32_t rotation, std::vector<uint8_t>& out)
    {
        const bool quarter = rotation == 90 || rotation == 270;
        out.assign(size_t(w * h), 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const DsStoredPosition at = dsStoredPosition(rotation, w, h, x, y);
                out[size_t(at.row * (quarter ? h : w) + at.column)] = upright[y * w + x];
            }
    }
    const int8_t kerning[1] = {-2};
    std::vector<uint8_t> pixelsA, pixelsB;
    ds_bitmap_font_char_t glyphA{}, glyphB{};
    ds_bitmap_font_t font{};
};

TEST(DrawText, EveryRotationDrawsTheUprightText)
{
    std::vector<uint32_t> upright;
    for (int32_t rotation : kRotations) {
        const TinyFont tiny(rotation);
        std::mt19937 random(3);
        const SurfacePtr target = noiseSurface(12, 9, ARGB8888, rotation, random);
        target->fill(DsRect(0, 0, 12, 9), 0x80FFEEDD);
        target->setClip(DsRect(1, 0, 10, 9));
        ASSERT_EQ(dsDrawText(*target, tiny.font, 2, 6, "ab?a", 0xC0102030), DS_DRAW_OK);
        std::vector<uint32_t> logical;
        for (int32_t y = 0; y < 9; ++y)
            for (int32_t x = 0; x < 12; ++x)
                logical.push_back(target->pixel(x, y));
        if (rotation == 0)
            upright = logical;
        EXPECT_EQ(logical, upright) << rotation;
    }
    // Glyph 'a' at (2, 1); 'b' kerned to pen 4, at (5, 5); the next 'a' at pen 7,
    // whose right column lies past the clip.
    const TinyFont tiny(0);
    uint8_t pixels[12 * 9] = {};
    DsSurface mask(12, 9, 0, A8, pixels, 12);
    mask.setClip(DsRect(0, 0, 9, 9));
    ASSERT_EQ(dsDrawText(mask, tiny.font, 2, 6, "ab?a", 0xFF000000), DS_DRAW_OK);
    EXPECT_EQ(pixels[1 * 12 + 2], 10);
    EXPECT_EQ(pixels[2 * 12 + 4], 60);
    EXPECT_EQ(pixels[5 * 12 + 5], 200);
    EXPECT_EQ(pixels[7 * 12 + 6], 255);
    EXPECT_EQ(pixels[1 * 12 + 7], 10);
    EXPECT_EQ(pixels[1 * 12 + 9], 0);
}

} // namespace
