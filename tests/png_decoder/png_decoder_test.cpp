// PNG decoder against libpng on images made here with zlib, and on damaged files.
#include "png_builder.h"
#include "png_crc.h"
#include "png_decoder.h"
#include "png_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

namespace {

// An image whose content exercises literals, long matches and distance 1.
PngRecipe imageSpec(uint8_t colorType, uint32_t width, uint32_t height, uint32_t seed)
{
    PngRecipe recipe;
    recipe.colorType = colorType;
    recipe.width = width;
    recipe.height = height;
    const size_t rowBytes = size_t(width) * pngChannels(colorType);
    recipe.pixels = randomBytes(rowBytes * height, seed);
    for (uint32_t row = 1; row < height; row += 2)
        for (size_t i = 0; i < rowBytes; ++i)
            recipe.pixels[row * rowBytes + i] = uint8_t(row * 3 + i / 2);
    if (colorType == 3) {
        recipe.palette = randomBytes(16 * 3, seed + 1);
        for (uint8_t& index : recipe.pixels)
            index %= 16;
    }
    return recipe;
}

// A colour key equal to the first pixel, so that some pixels match it.
void addTransparency(PngRecipe& recipe)
{
    const uint8_t* first = recipe.pixels.data();
    if (recipe.colorType == 0)
        recipe.transparency = {0, first[0]};
    else if (recipe.colorType == 2)
        recipe.transparency = {0, first[0], 0, first[1], 0, first[2]};
    else if (recipe.colorType == 3)
        recipe.transparency = {0, 128, 255, 7, 64};
}

struct Compression {
    const char* name;
    int level;
    int strategy;
} const kCompressions[] = {
    {"stored", 0, Z_DEFAULT_STRATEGY},
    {"fixed", 6, Z_FIXED},
    {"dynamic", 9, Z_DEFAULT_STRATEGY},
    {"huffman only", 1, Z_HUFFMAN_ONLY},
    {"run lengths", 9, Z_RLE},
};

TEST(PngDecoder, MatchesLibpngForEveryColourTypeFilterAndCompression)
{
    const Bytes filterSets[] = {{0}, {1}, {2}, {3}, {4}, {4, 0, 3, 1, 2}};
    uint32_t seed = 1;
    for (uint8_t colorType : {0, 2, 3, 4, 6}) {
        for (bool keyed : {false, true}) {
            if (keyed && (colorType == 4 || colorType == 6))
                continue;
            for (const Bytes& filters : filterSets) {
                for (const Compression& compression : kCompressions) {
                    for (size_t piece : {0, 2, 5, 61}) {
                        PngRecipe recipe = imageSpec(colorType, 13, 7, ++seed);
                        if (keyed)
                            addTransparency(recipe);
                        recipe.filters = filters;
                        recipe.level = compression.level;
                        recipe.strategy = compression.strategy;
                        recipe.idatPiece = piece;
                        const std::string label = "type " + std::to_string(colorType) + (keyed ? " keyed" : "") +
                            " filter " + std::to_string(filters[0]) + " " + compression.name + " pieces " +
                            std::to_string(piece);
                        expectSurfaceMatchesReference(buildPng(recipe), false, 0, label);
                    }
                }
            }
        }
    }
}

TEST(PngDecoder, LargeImagesWithManyBlocksAndOneByOneAndWideImages)
{
    for (const Compression& compression : kCompressions) {
        PngRecipe recipe = imageSpec(6, 300, 80, 77);
        recipe.filters = {0, 1, 2, 3, 4};
        recipe.level = compression.level;
        recipe.strategy = compression.strategy;
        recipe.idatPiece = 8192;
        expectSurfaceMatchesReference(buildPng(recipe), false, 0, std::string("300x80 ") + compression.name);
    }
    for (uint8_t colorType : {0, 2, 6}) {
        expectSurfaceMatchesReference(buildPng(imageSpec(colorType, 1, 1, 5)), false, 0, "1x1");
        PngRecipe wide = imageSpec(colorType, 3000, 2, 6);
        wide.filters = {4, 3};
        expectSurfaceMatchesReference(buildPng(wide), false, 0, "3000x2");
    }
}

TEST(PngDecoder, RotationsAndAlphaOnly)
{
    for (int rotation : {0, 90, 180, 270}) {
        for (uint8_t colorType : {0, 2, 3, 4, 6}) {
            PngRecipe recipe = imageSpec(colorType, 5, 3, rotation + colorType);
            recipe.filters = {1, 4, 2};
            expectSurfaceMatchesReference(
                buildPng(recipe), false, rotation, "rotated type " + std::to_string(colorType));
        }
        PngRecipe grey = imageSpec(0, 6, 4, 3);
        expectSurfaceMatchesReference(buildPng(grey), true, rotation, "alpha only");
        addTransparency(grey);
        expectSurfaceMatchesReference(buildPng(grey), true, rotation, "alpha only, colour key ignored");
    }
    for (uint8_t colorType : {2, 3, 4, 6}) {
        const Bytes file = buildPng(imageSpec(colorType, 4, 4, 9));
        EXPECT_EQ(decodePng(file.data(), file.size(), true, 0), nullptr) << "alpha only for type " << int(colorType);
    }
}

// The colour key becomes an alpha channel: 0 where a pixel equals the key.
TEST(PngDecoder, ColourKeysBecomeAlpha)
{
    PngRecipe grey = imageSpec(0, 2, 1, 1);
    grey.pixels = {9, 10};
    grey.transparency = {0, 10};
    SurfacePtr surface = decodeFile(buildPng(grey));
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->colorMode(), uint32_t(AI88));
    EXPECT_EQ(Bytes(surface->pixels(), surface->pixels() + 4), (Bytes{9, 255, 10, 0}));

    PngRecipe rgb = imageSpec(2, 2, 1, 1);
    rgb.pixels = {1, 2, 3, 1, 2, 4};
    rgb.transparency = {0, 1, 0, 2, 0, 3};
    surface = decodeFile(buildPng(rgb));
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->colorMode(), uint32_t(ARGB8888));
    EXPECT_EQ(Bytes(surface->pixels(), surface->pixels() + 8), (Bytes{3, 2, 1, 0, 4, 2, 1, 255}));

    rgb.transparency = {1, 1, 0, 2, 0, 3};
    surface = decodeFile(buildPng(rgb));
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->pixels()[3], 255) << "a key outside the 8-bit range matches no pixel";
}

TEST(PngDecoder, PalettesAndTheirTransparency)
{
    PngRecipe recipe = imageSpec(3, 4, 2, 4);
    recipe.palette = randomBytes(768, 8);
    for (size_t i = 0; i < recipe.pixels.size(); ++i)
        recipe.pixels[i] = uint8_t(i * 37);
    recipe.transparency = {1, 2, 3};
    SurfacePtr surface = decodeFile(buildPng(recipe));
    ASSERT_TRUE(surface);
    ASSERT_EQ(surface->paletteSize(), 256);
    ASSERT_TRUE(surface->paletteHasAlpha());
    const uint8_t* entry = surface->palette();
    EXPECT_EQ(Bytes(entry, entry + 8),
        (Bytes{recipe.palette[2], recipe.palette[1], recipe.palette[0], 1, recipe.palette[5], recipe.palette[4],
            recipe.palette[3], 2}));
    for (int i = 3; i < 256; ++i)
        EXPECT_EQ(entry[4 * i + 3], 255) << "entry " << i << " beyond tRNS is opaque";

    recipe.palette.insert(recipe.palette.end(), {1, 2, 3});
    const Bytes tooLarge = buildPng(recipe);
    EXPECT_EQ(decodePng(tooLarge.data(), tooLarge.size(), false, 0), nullptr) << "257 palette entries";

    PngRecipe truecolour = imageSpec(2, 4, 3, 4);
    truecolour.palette = randomBytes(30, 2);
    expectSurfaceMatchesReference(buildPng(truecolour), false, 0, "suggested palette in a truecolour image");
}

// Chunk names are matched exactly; unknown ancillary chunks are skipped,
// unknown critical ones refused, and a file must open with IHDR itself.
TEST(PngDecoder, ChunkNamesAndUnknownChunks)
{
    PngRecipe recipe = imageSpec(3, 5, 5, 12);
    recipe.transparency = {10, 20};
    const Bytes reference = buildPng(recipe);
    const Bytes stream = zlibCompress(filterRows(recipe), 6, Z_DEFAULT_STRATEGY);
    const Bytes half(stream.begin(), stream.begin() + stream.size() / 2),
        rest(stream.begin() + stream.size() / 2, stream.end());
    const Bytes ihdr = pngChunk("IHDR", ihdrData(5, 5, 8, 3, 0));
    const Bytes withAncillary = assemblePng(
        {ihdr, pngChunk("teXt", {'a', 0, 'b'}), pngChunk("PLTE", recipe.palette), pngChunk("tRNS", recipe.transparency),
            pngChunk("IDAT", half), pngChunk("zzzz", {}), pngChunk("IDAT", rest), pngChunk("IEND", {})});
    SurfacePtr expected = decodeFile(reference);
    SurfacePtr skipped = decodeFile(withAncillary);
    ASSERT_TRUE(expected && skipped);
    EXPECT_EQ(serialized(*skipped), serialized(*expected));
    EXPECT_EQ(Bytes(skipped->palette(), skipped->palette() + 20), Bytes(expected->palette(), expected->palette() + 20));

    const struct {
        const char* what;
        Bytes file;
        int firstWalk;
    } refused[] = {
        {"unknown critical chunk",
            assemblePng({ihdr, pngChunk("PLTE", recipe.palette), pngChunk("ABCD", {}), pngChunk("IDAT", stream),
                pngChunk("IEND", {})}),
            PNG_UNSUPPORTED},
        {"header named ihdr",
            assemblePng({pngChunk("ihdr", ihdrData(5, 5, 8, 3, 0)), pngChunk("PLTE", recipe.palette),
                pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
    };
    for (const auto& c : refused) {
        PngInfo info{};
        EXPECT_EQ(decodePngChunks(c.file.data(), c.file.size(), info, nullptr), c.firstWalk) << c.what;
        EXPECT_EQ(decodePng(c.file.data(), c.file.size(), false, 0), nullptr) << c.what;
    }
}

TEST(PngDecoder, Crc32)
{
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32Update(check, 9, 0), 0xCBF43926u);
    EXPECT_EQ(crc32Update(check + 4, 5, crc32Update(check, 4, 0)), 0xCBF43926u);
    EXPECT_EQ(crc32Update(check, 0, 0x12345678u), 0x12345678u);
}

} // namespace
