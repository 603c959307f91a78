// Drawing from compressed surfaces: random blits, blends, masks and alpha
// replacements with clipped and partly outside areas, any source area and
// position, source and destination in any rotation, give the bytes the
// uncompressed source gives; a compressed surface refuses every change.
#include "draw_support.h"

#include "surface_compressor.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A surface file's bytes read back as a surface.
struct FileSurface {
    std::vector<uint8_t> bytes;
    DsSurfaceFile file{};
    std::unique_ptr<DsSurface> surface;

    explicit FileSurface(std::vector<uint8_t> fileBytes) : bytes(std::move(fileBytes))
    {
        EXPECT_EQ(dsReadSurfaceFile(bytes.data(), bytes.size(), file), SURFACE_FILE_OK);
        surface.reset(new DsSurface(file));
    }
};

// Noise with runs and rows like the one above, which the code has runs for.
SurfacePtr codableSurface(int32_t width, int32_t height, uint32_t mode, int32_t rotation, std::mt19937& random)
{
    SurfacePtr surface = noiseSurface(width, height, mode, rotation, random);
    const uint32_t pitch = surface->pitch(), bytes = surface->bytesPerPixel();
    for (uint32_t i = bytes; i < surface->bufferSize(); ++i) {
        const uint32_t choice = random() % 8;
        if (choice < 3)
            surface->pixels()[i] = surface->pixels()[i - bytes];
        else if (choice < 6 && i >= pitch)
            surface->pixels()[i] = uint8_t(surface->pixels()[i - pitch] + (choice == 5 ? random() % 3 : 0));
    }
    return surface;
}

// The compressed file of `surface`, as stored: compressed without a turn.
FileSurface compressed(const DsSurface& surface)
{
    return FileSurface(dsCompressSurface(surface, 0));
}

int32_t between(std::mt19937& random, int32_t low, int32_t high)
{
    return low + int32_t(random() % uint32_t(high - low + 1));
}

using Draw = std::function<int(DsSurface& target, const DsSurface& source)>;

// One random operation: what it draws and a name for failures.
std::pair<std::string, Draw> randomDraw(std::mt19937& random, uint32_t sourceMode, const DsSurface& source)
{
    const int32_t w = source.logicalWidth(), h = source.logicalHeight();
    const DsRect area(between(random, -5, w), between(random, -5, h), between(random, 0, w + 8), between(random, 0, h + 8));
    const int32_t x = between(random, -15, 25), y = between(random, -15, 25);
    const uint8_t opacity = uint8_t(random() % 3 == 0 ? 255 : random());
    const uint32_t colour = uint32_t(random());
    const std::string where = " of (" + std::to_string(area.x) + ", " + std::to_string(area.y) + ", " +
        std::to_string(area.width) + ", " + std::to_string(area.height) + ") at " + std::to_string(x) + ", " +
        std::to_string(y);
    switch (random() % (sourceMode == A8 ? 4 : 2)) {
    case 0: return {"blit" + where, [=](DsSurface& t, const DsSurface& s) { return t.blit(s, area, x, y); }};
    case 1: return {"blend" + where, [=](DsSurface& t, const DsSurface& s) { return t.blend(s, area, x, y, opacity); }};
    case 2:
        return {"blendMask" + where,
            [=](DsSurface& t, const DsSurface& s) { return t.blendMask(s, area, x, y, colour, opacity); }};
    default: return {"replaceAlpha at " + std::to_string(x), [=](DsSurface& t, const DsSurface& s) {
                         return t.replaceAlpha(s, x, y);
                     }};
    }
}

TEST(CompressedDraw, RandomOperationsGiveTheUncompressedSourcesBytes)
{
    std::mt19937 random(2031);
    int changed = 0; // rounds that drew something, so that the cases reach the decoder
    for (int round = 0; round < 1500; ++round) {
        const uint32_t sourceMode = kSizedModes[random() % std::size(kSizedModes)];
        const uint32_t targetMode = kSizedModes[random() % std::size(kSizedModes)];
        const int32_t sourceRotation = kRotations[random() % 4], targetRotation = kRotations[random() % 4];
        // Now and then rows wider than the decode buffer, or taller than a block.
        const int32_t width = round % 50 == 0 ? between(random, 500, 700) : between(random, 1, 70);
        const int32_t height = round % 50 == 1 ? between(random, 60, 100) : between(random, 1, 40);
        const SurfacePtr plain = codableSurface(width, height, sourceMode, sourceRotation, random);
        const FileSurface coded = compressed(*plain);
        const SurfacePtr target = noiseSurface(between(random, 8, 60), between(random, 8, 60), targetMode,
            targetRotation, random);
        if (random() % 3 == 0)
            target->setClip(DsRect(between(random, -3, 20), between(random, -3, 20), between(random, 0, 60),
                between(random, 0, 60)));
        const auto [name, draw] = randomDraw(random, sourceMode, *plain);
        const std::vector<uint8_t> before(target->pixels(), target->pixels() + target->bufferSize());
        const int expected = draw(*target, *plain);
        const std::vector<uint8_t> wanted(target->pixels(), target->pixels() + target->bufferSize());
        changed += wanted != before;
        std::copy(before.begin(), before.end(), target->pixels());
        EXPECT_EQ(draw(*target, *coded.surface), expected) << name;
        ASSERT_TRUE(std::equal(wanted.begin(), wanted.end(), target->pixels()))
            << "round " << round << ": " << name << " from mode " << sourceMode << " at " << sourceRotation << ", "
            << width << "x" << height << ", into mode " << targetMode << " at " << targetRotation;
    }
    EXPECT_GT(changed, 400);
}

// pixel() of a compressed surface reads what the uncompressed one holds.
TEST(CompressedDraw, PixelsReadAsUncompressed)
{
    std::mt19937 random(5);
    for (uint32_t mode : kSizedModes)
        for (int32_t rotation : kRotations) {
            const SurfacePtr plain = codableSurface(13, 41, mode, rotation, random);
            const FileSurface coded = compressed(*plain);
            for (int32_t y = -1; y <= 41; ++y)
                for (int32_t x = -1; x <= 13; ++x)
                    ASSERT_EQ(coded.surface->pixel(x, y), plain->pixel(x, y)) << mode << " " << x << ", " << y;
        }
}

// Every operation that would change a compressed surface is refused and
// changes nothing: the file's bytes stay as they were.
TEST(CompressedDraw, ChangesAreRefused)
{
    std::mt19937 random(9);
    const SurfacePtr plain = codableSurface(20, 10, ARGB8888, 90, random);
    const SurfacePtr mask = noiseSurface(20, 10, A8, 0, random);
    FileSurface coded = compressed(*plain);
    DsSurface& surface = *coded.surface;
    const std::vector<uint8_t> bytes = coded.bytes;
    const DsRect all(0, 0, 20, 10);
    const struct {
        const char* what;
        std::function<int()> change;
    } cases[] = {
        {"fill", [&] { return surface.fill(all, 0xFF00FF00); }},
        {"blendFill", [&] { return surface.blendFill(all, 0x8000FF00); }},
        {"blit into", [&] { return surface.blit(*plain, all, 0, 0); }},
        {"blit from itself", [&] { return surface.blit(surface, all, 0, 0); }},
        {"blend into", [&] { return surface.blend(*plain, all, 0, 0, 100); }},
        {"blendMask into", [&] { return surface.blendMask(*mask, all, 0, 0, 0xFFFFFFFF); }},
        {"replaceColor", [&] { return surface.replaceColor(0, 0xFFFFFFFF); }},
        {"replaceAlpha", [&] { return surface.replaceAlpha(uint8_t(7)); }},
        {"replaceAlpha through a mask", [&] { return surface.replaceAlpha(*mask, 0, 0); }},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.change(), DS_DRAW_READ_ONLY) << c.what;
    EXPECT_FALSE(surface.rotate(90));
    surface.setPixel(1, 1, 0xFFFFFFFF);
    EXPECT_EQ(coded.bytes, bytes);
    // No pixel rows to read: the writers write a header and no rows.
    EXPECT_EQ(std::make_tuple(surface.pixels(), surface.pitch(), surface.bufferSize()),
        std::make_tuple(static_cast<uint8_t*>(nullptr), 0u, uint64_t(0)));
    std::vector<uint8_t> written(size_t(surface.serialize(nullptr)));
    EXPECT_EQ(surface.serialize(written.data()), kDsSurfaceFileHeaderBytes);
    EXPECT_TRUE(surface.isValid() && surface.isCompressed());
    EXPECT_EQ(std::make_tuple(surface.rotation(), surface.logicalWidth(), surface.logicalHeight()),
        std::make_tuple(90, 20, 10));
}

} // namespace
