// Fills, copies and blends against pixman on the upright images, in every
// pair of rotations; and a seeded random walk through every operation, mode,
// rotation, rectangle and clip against a per-pixel model of the rules.
#include "draw_support.h"

#include "ds_blend.h"
#include "ds_draw_paths.h"

#include <gtest/gtest.h>
#include <pixman.h>

#include <cstdio>
#include <vector>

namespace {

// The modes pixman also has, with its names for them.
const struct {
    uint32_t mode;
    pixman_format_code_t format;
} kShared[] = {{ARGB8888, PIXMAN_a8r8g8b8}, {RGB888, PIXMAN_r8g8b8}, {RGB565, PIXMAN_r5g6b5},
    {ARGB1555, PIXMAN_a1r5g5b5}, {ARGB4444, PIXMAN_a4r4g4b4}, {A8, PIXMAN_a8}};

// The upright image of a surface's stored values, rows of width x bytes
// padded to 4 bytes, as pixman takes it.
struct Upright {
    std::vector<uint32_t> words;
    pixman_image_t* image = nullptr;
    Upright(const DsSurface& surface, pixman_format_code_t format)
    {
        const uint32_t bytes = surface.bytesPerPixel();
        const int32_t w = surface.logicalWidth(), h = surface.logicalHeight();
        const uint32_t stride = (uint32_t(w) * bytes + 3) / 4 * 4;
        words.assign(stride / 4 * h, 0);
        auto* rows = reinterpret_cast<uint8_t*>(words.data());
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const DsStoredPosition at = dsStoredPosition(surface.rotation(), w, h, x, y);
                const uint8_t* from = surface.pixels() + at.row * surface.pitch() + at.column * bytes;
                std::copy(from, from + bytes, rows + y * stride + x * bytes);
            }
        image = pixman_image_create_bits(format, w, h, words.data(), int(stride));
    }
    ~Upright() { pixman_image_unref(image); }
};

bool sameUpright(const DsSurface& surface, pixman_format_code_t format, const Upright& expected)
{
    const Upright actual(surface, format);
    return actual.words == expected.words;
}

TEST(DrawPixman, FillsAndBlitsAreBitExactInEveryRotationPair)
{
    std::mt19937 random(11);
    const DsRect clip(2, 1, 15, 11);
    const pixman_box32_t box{2, 1, 17, 12};
    for (const auto& to : kShared)
        for (const auto& from : kShared)
            for (int32_t destinationRotation : kRotations)
                for (int32_t sourceRotation : kRotations) {
                    const SurfacePtr source = noiseSurface(13, 9, from.mode, sourceRotation, random);
                    const SurfacePtr target = noiseSurface(19, 14, to.mode, destinationRotation, random);
                    target->setClip(clip);
                    const Upright upright(*source, from.format);
                    Upright expected(*target, to.format);
                    pixman_region32_t region;
                    pixman_region32_init_rects(&region, &box, 1);
                    pixman_image_set_clip_region32(expected.image, &region);
                    // Source (1, 2, 11, 7) at (-3, 6): cut by the clip on the left and below.
                    ASSERT_EQ(target->blit(*source, DsRect(1, 2, 11, 7), -3, 6), DS_DRAW_OK);
                    pixman_image_composite32(
                        PIXMAN_OP_SRC, upright.image, nullptr, expected.image, 1, 2, 0, 0, -3, 6, 11, 7);
                    EXPECT_TRUE(sameUpright(*target, to.format, expected))
                        << "blit " << from.mode << "@" << sourceRotation << " -> " << to.mode << "@"
                        << destinationRotation;
                    if (from.mode != ARGB8888)
                        continue;
                    const uint32_t argb = random();
                    const pixman_color_t colour{uint16_t((argb >> 16 & 0xFF) * 257), uint16_t((argb >> 8 & 0xFF) * 257),
                        uint16_t((argb & 0xFF) * 257), uint16_t((argb >> 24) * 257)};
                    const pixman_rectangle16_t rect{10, -4, 20, 12};
                    ASSERT_EQ(target->fill(DsRect(10, -4, 20, 12), argb), DS_DRAW_OK);
                    pixman_image_fill_rectangles(PIXMAN_OP_SRC, expected.image, &colour, 1, &rect);
                    EXPECT_TRUE(sameUpright(*target, to.format, expected))
                        << "fill " << to.mode << "@" << destinationRotation;
                    pixman_region32_fini(&region);
                }
}

// Blends of straight ARGB8888 over an opaque ARGB8888 destination equal
// pixman's OVER of the premultiplied source within 1 in every channel.
TEST(DrawPixman, BlendsAreWithinOneOfOver)
{
    std::mt19937 random(5);
    for (uint8_t opacity : {uint8_t(255), uint8_t(128), uint8_t(37)}) {
        const SurfacePtr source = noiseSurface(64, 64, ARGB8888, 0, random);
        const SurfacePtr target = noiseSurface(64, 64, ARGB8888, 0, random);
        std::vector<uint32_t> premultiplied(64 * 64), under(64 * 64);
        for (int32_t i = 0; i < 64 * 64; ++i) {
            const uint32_t s = source->pixel(i % 64, i / 64), a = ds::alphaOf(s);
            premultiplied[size_t(i)] = ds::makeArgb(
                a, ds::mulAlpha(ds::redOf(s), a), ds::mulAlpha(ds::greenOf(s), a), ds::mulAlpha(ds::blueOf(s), a));
            target->setPixel(i % 64, i / 64, target->pixel(i % 64, i / 64) | 0xFF000000u);
            under[size_t(i)] = target->pixel(i % 64, i / 64);
        }
        pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, 64, 64, premultiplied.data(), 256);
        pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, 64, 64, under.data(), 256);
        const pixman_color_t maskColour{0, 0, 0, uint16_t(opacity * 257)};
        pixman_image_t* mask = pixman_image_create_solid_fill(&maskColour);
        pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, 64, 64);
        ASSERT_EQ(target->blend(*source, DsRect(0, 0, 64, 64), 0, 0, opacity), DS_DRAW_OK);
        int worst = 0;
        for (int32_t i = 0; i < 64 * 64; ++i)
            for (int shift = 0; shift < 32; shift += 8) {
                const int ours = int(target->pixel(i % 64, i / 64) >> shift & 0xFF);
                const int theirs = int(under[size_t(i)] >> shift & 0xFF);
                worst = std::max(worst, std::abs(ours - theirs));
            }
        EXPECT_LE(worst, 1) << "opacity " << int(opacity);
        pixman_image_unref(mask);
        pixman_image_unref(src);
        pixman_image_unref(dst);
    }
}

// The operations of the random cases.
enum RandomOperation { kFill, kBlit, kBlend, kBlendMask, kBlendFill, kOperationCount };

// The model: what one logical destination pixel becomes. `source` is the
// source pixel's colour (blit, blend) or the mask's (blendMask); blendFill
// draws `colour` with full coverage.
uint32_t modelPixel(int operation, uint32_t mode, uint32_t under, uint32_t source, uint32_t colour, uint8_t opacity)
{
    auto roundDiv = [](uint64_t n, uint64_t d) { return uint32_t((2 * n + d) / (2 * d)); };
    if (operation == kBlit)
        return dsDecodeColor(mode, dsEncodeColor(mode, source));
    uint32_t sa = roundDiv(uint64_t(ds::alphaOf(source)) * opacity, 255), rgb = source;
    if (operation != kBlend) {
        const uint32_t coverage = operation == kBlendFill ? 255 : ds::alphaOf(source);
        sa = roundDiv(coverage * uint64_t(roundDiv(uint64_t(ds::alphaOf(colour)) * opacity, 255)), 255);
        rgb = colour;
    }
    if (sa == 0)
        return under;
    if (mode == A8)
        return std::max(sa, ds::alphaOf(under)) << 24;
    const uint32_t share = roundDiv(uint64_t(ds::alphaOf(under)) * (255 - sa), 255), a = sa + share;
    uint32_t result = a << 24;
    for (int shift = 0; shift < 24; shift += 8)
        result |= roundDiv((rgb >> shift & 0xFF) * uint64_t(sa) + (under >> shift & 0xFF) * uint64_t(share), a)
            << shift;
    return dsDecodeColor(mode, dsEncodeColor(mode, result));
}

// Rows up to this many pixels long, in either direction of the image.
constexpr uint32_t kLongestSide = 300;
constexpr uint32_t kShortestSide = 5;

struct Size {
    int32_t width, height;
};

Size randomSize(std::mt19937& random)
{
    const int32_t longSide = int32_t(random() % kLongestSide + 1), shortSide = int32_t(random() % kShortestSide + 1);
    return random() % 2 ? Size{longSide, shortSide} : Size{shortSide, longSide};
}

// Mostly rectangles around a surface of `size`, cut by its edges; one in
// eight anything at all.
DsRect randomRect(std::mt19937& random, const Size& size)
{
    if (random() % 8 == 0)
        return DsRect(int32_t(random()), int32_t(random()), int32_t(random()), int32_t(random()));
    const int32_t x = int32_t(random() % uint32_t(size.width + 16)) - 8;
    const int32_t y = int32_t(random() % uint32_t(size.height + 16)) - 8;
    return DsRect(
        x, y, int32_t(random() % uint32_t(size.width + 12)) - 2, int32_t(random() % uint32_t(size.height + 12)) - 2);
}

uint32_t crc32(uint32_t crc, const uint8_t* data, uint64_t size)
{
    crc = ~crc;
    for (uint64_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

int drawRandom(int operation, DsSurface& target, const DsSurface& source, const DsRect& area, int32_t x, int32_t y,
    uint32_t colour, uint8_t opacity)
{
    switch (operation) {
    case kFill: return target.fill(area, colour);
    case kBlit: return target.blit(source, area, x, y);
    case kBlend: return target.blend(source, area, x, y, opacity);
    case kBlendMask: return target.blendMask(source, area, x, y, colour, opacity);
    default: return target.blendFill(area, colour, opacity);
    }
}

// One random case; false with a message on the first wrong pixel. The CRC
// takes the destination's bytes after the operation. I8 and AI88 sources
// read through palettes of 1 to 300 entries, so that indices also fall past
// them, except for an I8 copy, which keeps the indices.
bool randomCase(std::mt19937& random, uint32_t& crc, std::string& failure)
{
    const uint32_t destinationMode = kSizedModes[random() % std::size(kSizedModes)];
    const uint32_t sourceMode = kSizedModes[random() % std::size(kSizedModes)];
    const int operation = int(random() % kOperationCount);
    const Size size = randomSize(random), sourceSize = randomSize(random);
    const SurfacePtr target = noiseSurface(size.width, size.height, destinationMode, kRotations[random() % 4], random);
    const bool palette = destinationMode != I8 && random() % 2 == 0;
    const SurfacePtr source =
        noiseSurface(sourceSize.width, sourceSize.height, operation == kBlendMask ? A8 : sourceMode,
            kRotations[random() % 4], random, palette ? random() % kLongestSide + 1 : 0, random() % 2 == 0);
    const DsRect area = randomRect(random, operation == kFill || operation == kBlendFill ? size : sourceSize);
    const DsRect clip = randomRect(random, size);
    const int32_t x = int32_t(random() % uint32_t(size.width + 16)) - 8;
    const int32_t y = int32_t(random() % uint32_t(size.height + 16)) - 8;
    const uint32_t colour = random();
    const uint8_t opacity = uint8_t(random() % 4 == 0 ? 255 : random());
    if (random() % 4 != 0)
        target->setClip(clip);
    const DsRect logicalClip = target->logicalClip();
    std::vector<uint32_t> before;
    for (int32_t py = 0; py < target->logicalHeight(); ++py)
        for (int32_t px = 0; px < target->logicalWidth(); ++px)
            before.push_back(target->pixel(px, py));
    const int result = drawRandom(operation, *target, *source, area, x, y, colour, opacity);
    const bool refused = destinationMode == I8 && (operation != kFill && (operation != kBlit || sourceMode != I8));
    if (result != (refused ? DS_DRAW_UNSUPPORTED_MODES : DS_DRAW_OK)) {
        failure = "result " + std::to_string(result);
        return false;
    }
    crc = crc32(crc, target->pixels(), target->bufferSize());
    const bool sourceless = operation == kFill || operation == kBlendFill;
    const DsRect sourceArea = area.intersected(source->logicalArea());
    for (int32_t py = 0; py < target->logicalHeight(); ++py)
        for (int32_t px = 0; px < target->logicalWidth(); ++px) {
            const uint32_t under = before[size_t(py * target->logicalWidth() + px)];
            uint32_t expected = under;
            const int64_t sx = int64_t(px) - x + area.x, sy = int64_t(py) - y + area.y;
            const bool inside = logicalClip.contains(px, py) && !refused;
            if (inside && operation == kFill && area.contains(px, py))
                expected = destinationMode == I8
                    ? dsDecodeColor(I8, colour & 0xFF)
                    : dsDecodeColor(destinationMode, dsEncodeColor(destinationMode, colour));
            else if (inside && operation == kBlendFill && area.contains(px, py))
                expected = modelPixel(operation, destinationMode, under, 0, colour, opacity);
            else if (inside && !sourceless && sx >= INT32_MIN && sy >= INT32_MIN && sx <= INT32_MAX &&
                sy <= INT32_MAX && sourceArea.contains(int32_t(sx), int32_t(sy))) {
                const uint32_t from = source->pixel(int32_t(sx), int32_t(sy));
                expected = operation == kBlit && destinationMode == I8
                    ? from
                    : modelPixel(operation, destinationMode, under, from, colour, opacity);
            }
            if (target->pixel(px, py) != expected) {
                char text[160];
                std::snprintf(text, sizeof text, "op %d mode %u <- %u at (%d, %d): %08X, expected %08X", operation,
                    destinationMode, sourceMode, px, py, target->pixel(px, py), expected);
                failure = text;
                return false;
            }
        }
    return true;
}

// pixman's blitters test in our terms: seeded random operations on rows of
// up to 300 pixels, checked pixel by pixel against the model, with the fast
// paths and with the general path alone, giving the CRC recorded here.
TEST(DrawRandom, LongRowsMatchTheModelOnBothPathsAndTheRecordedCrc)
{
    constexpr uint32_t kSeed = 29;
    constexpr int kCases = 5000;
    constexpr uint32_t kRecordedCrc = 0x288986D9;
    uint32_t crcs[2] = {0, 0};
    for (int fast = 0; fast < 2; ++fast) {
        ds::setFastPaths(fast == 1);
        for (int i = 0; i < kCases; ++i) {
            std::mt19937 random(kSeed * 100003u + uint32_t(i));
            std::string failure;
            ASSERT_TRUE(randomCase(random, crcs[fast], failure))
                << "seed " << kSeed * 100003u + uint32_t(i) << (fast ? " (fast paths)" : " (general path)") << ": "
                << failure;
        }
    }
    ds::setFastPaths(true);
    EXPECT_EQ(crcs[0], crcs[1]);
    EXPECT_EQ(crcs[1], kRecordedCrc) << std::hex << crcs[1];
}

} // namespace
