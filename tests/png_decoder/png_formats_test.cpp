// Every colour type at every bit depth, plain and interlaced, against
// libpng: widths 1 to 17 (partial bytes, passes too narrow or too short to
// exist), with and without transparency, every filter type, rotations and
// alpha only; colour keys at the file's depth; indices beyond the palette.
#include "png_builder.h"
#include "png_decoder.h"
#include "png_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

struct Format {
    uint8_t colorType;
    uint8_t bitDepth;
};

constexpr Format kFormats[] = {
    {0, 1},
    {0, 2},
    {0, 4},
    {0, 8},
    {0, 16},
    {2, 8},
    {2, 16},
    {3, 1},
    {3, 2},
    {3, 4},
    {3, 8},
    {4, 8},
    {4, 16},
    {6, 8},
    {6, 16},
};

// Each filter type alone, and all five in turn.
const Bytes kFilterSets[] = {{0}, {1}, {2}, {3}, {4}, {3, 0, 4, 1, 2}};

std::string labelOf(Format format, bool interlaced, uint32_t width, uint32_t height)
{
    return "type " + std::to_string(format.colorType) + " depth " + std::to_string(format.bitDepth) +
        (interlaced ? " interlaced " : " plain ") + std::to_string(width) + "x" + std::to_string(height);
}

// Random pixels. Whole-byte samples take only a few values, so that colour
// keys match some pixels and 16-bit samples often share their high byte.
PngRecipe recipeFor(Format format, bool interlaced, uint32_t width, uint32_t height, uint32_t seed)
{
    static const uint8_t kFewValues[4] = {0x00, 0x12, 0x80, 0xFF};
    PngRecipe recipe;
    recipe.colorType = format.colorType;
    recipe.bitDepth = format.bitDepth;
    recipe.interlace = interlaced ? 1 : 0;
    recipe.width = width;
    recipe.height = height;
    recipe.pixels = randomBytes(pngRowBytes(width, format.colorType, format.bitDepth) * height, seed);
    if (format.bitDepth >= 8)
        for (uint8_t& byte : recipe.pixels)
            byte = kFewValues[byte & 3];
    if (format.colorType == 3)
        recipe.palette = randomBytes(3 * (size_t(1) << (format.bitDepth == 16 ? 8 : format.bitDepth)), seed + 1);
    return recipe;
}

// Transparency for the colour types that take it: the first pixel's grey
// level or colour as the key (its samples at the file's depth), or alphas
// for the first palette entries.
void addTransparency(PngRecipe& recipe)
{
    const uint8_t* first = recipe.pixels.data();
    const uint8_t depth = recipe.bitDepth;
    if (recipe.colorType == 3) {
        recipe.transparency = {0, 128};
        if (recipe.palette.size() > 6)
            recipe.transparency.insert(recipe.transparency.end(), {255, 7});
    } else if (recipe.colorType == 0 && depth < 8) {
        recipe.transparency = {0, uint8_t(first[0] >> (8 - depth))};
    } else {
        const size_t samples = recipe.colorType == 2 ? 3 : 1;
        for (size_t i = 0; i < samples; ++i) {
            if (depth == 16)
                recipe.transparency.insert(recipe.transparency.end(), {first[2 * i], first[2 * i + 1]});
            else
                recipe.transparency.insert(recipe.transparency.end(), {0, first[i]});
        }
    }
}

bool takesTransparency(Format format)
{
    return format.colorType == 0 || format.colorType == 2 || format.colorType == 3;
}

TEST(PngFormats, EveryColourTypeDepthAndInterlaceMatchesLibpng)
{
    uint32_t seed = 1;
    for (Format format : kFormats) {
        for (bool interlaced : {false, true}) {
            for (uint32_t width = 1; width <= 17; ++width) {
                for (size_t f = 0; f < std::size(kFilterSets); ++f) {
                    for (bool keyed : {false, true}) {
                        if (keyed && !takesTransparency(format))
                            continue;
                        const uint32_t height = 1 + (width * 5 + uint32_t(f)) % 11;
                        PngRecipe recipe = recipeFor(format, interlaced, width, height, ++seed);
                        recipe.filters = kFilterSets[f];
                        recipe.idatPiece = width % 3 == 0 ? 3 : 0;
                        if (keyed)
                            addTransparency(recipe);
                        expectSurfaceMatchesReference(buildPng(recipe), false, 0,
                            labelOf(format, interlaced, width, height) + (keyed ? " keyed" : "") + " filters " +
                                std::to_string(f));
                    }
                }
            }
        }
    }
}

TEST(PngFormats, RotationsAndAlphaOnly)
{
    for (Format format : kFormats) {
        for (bool interlaced : {false, true}) {
            PngRecipe recipe = recipeFor(format, interlaced, 7, 5, format.colorType * 31u + format.bitDepth);
            recipe.filters = {4, 1, 3};
            if (takesTransparency(format))
                addTransparency(recipe);
            const Bytes file = buildPng(recipe);
            const std::string label = labelOf(format, interlaced, 7, 5);
            for (int rotation : {90, 180, 270}) {
                expectSurfaceMatchesReference(file, false, rotation, label + " turned");
                if (format.colorType == 0)
                    expectSurfaceMatchesReference(file, true, rotation, label + " alpha only");
                else
                    EXPECT_FALSE(decodeFile(file, true, rotation)) << label << " alpha only";
            }
        }
    }
}

// A key matches only the exact sample at the file's depth: a 16-bit key
// not a pixel whose high byte alone agrees, and a key beyond a low depth's
// range no pixel.
TEST(PngFormats, ColourKeysAreComparedAtTheFileDepth)
{
    const struct {
        const char* what;
        uint8_t colorType, bitDepth;
        Bytes pixels, key, expected;
    } cases[] = {
        {"16-bit grey", 0, 16, {0x12, 0x34, 0x12, 0x35, 0x13, 0x34}, {0x12, 0x34}, {0x12, 0, 0x12, 255, 0x13, 255}},
        {"2-bit grey", 0, 2, {0x1B}, {0, 2}, {0, 255, 85, 255, 170, 0, 255, 255}},
        {"4-bit grey, key beyond 4 bits", 0, 4, {0x1F}, {0, 0x11}, {17, 255, 255, 255}},
        {"16-bit RGB", 2, 16, {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 7}, {1, 2, 3, 4, 5, 6}, {5, 3, 1, 0, 5, 3, 1, 255}},
    };
    for (const auto& c : cases) {
        PngRecipe recipe;
        recipe.colorType = c.colorType;
        recipe.bitDepth = c.bitDepth;
        recipe.width = uint32_t(c.expected.size() / (c.colorType == 2 ? 4 : 2));
        recipe.pixels = c.pixels;
        recipe.transparency = c.key;
        for (bool interlaced : {false, true}) {
            recipe.interlace = interlaced ? 1 : 0;
            SurfacePtr surface = decodeFile(buildPng(recipe));
            ASSERT_TRUE(surface) << c.what;
            EXPECT_EQ(Bytes(surface->pixels(), surface->pixels() + c.expected.size()), c.expected) << c.what;
        }
    }
}

// Rows that repeat earlier ones, at distances up to the whole inflate
// history, in images large enough to inflate in many batches.
TEST(PngFormats, LargeImagesAcrossManyBatches)
{
    const Format formats[] = {{6, 16}, {2, 16}, {0, 1}, {3, 4}};
    for (Format format : formats) {
        for (bool interlaced : {false, true}) {
            PngRecipe recipe = recipeFor(format, interlaced, 300, 160, 40 + format.bitDepth);
            const size_t rowBytes = pngRowBytes(300, format.colorType, format.bitDepth);
            const size_t back = 32768 / (rowBytes + 1);
            for (size_t row = back; row < 160; ++row)
                std::copy_n(&recipe.pixels[(row - back) * rowBytes], rowBytes, &recipe.pixels[row * rowBytes]);
            recipe.filters = {0, 1, 2, 3, 4};
            for (int level : {0, 9}) {
                recipe.level = level;
                recipe.idatPiece = level == 0 ? 1 : 8192;
                expectSurfaceMatchesReference(buildPng(recipe), false, 0,
                    labelOf(format, interlaced, 300, 160) + " level " + std::to_string(level));
            }
        }
    }
}

// Colours of the surface's pixels as R, G, B, A, looked up in its palette.
Bytes paletteColours(const DsSurface& surface)
{
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    Bytes rgba;
    for (int32_t y = 0; y < surface.height(); ++y) {
        for (int32_t x = 0; x < surface.width(); ++x) {
            const uint8_t* entry = surface.palette() + surface.pixels()[y * surface.pitch() + x] * step;
            rgba.insert(rgba.end(), {entry[2], entry[1], entry[0], step == 4 ? entry[3] : uint8_t(255)});
        }
    }
    return rgba;
}

// Indices beyond the palette are valid data that libpng shows as opaque
// black; the surface's palette grows to every index the bit depth can
// express (16 at 4 bits, 256 at 8) to show them the same. A palette that
// covers every index keeps its size.
TEST(PngFormats, IndicesBeyondThePaletteShowAsLibpngShowsThem)
{
    for (uint8_t depth : {4, 8}) {
        for (bool interlaced : {false, true}) {
            for (bool alphas : {false, true}) {
                PngRecipe recipe = recipeFor({3, depth}, interlaced, 9, 4, depth);
                recipe.palette.resize(9);
                recipe.transparency = alphas ? Bytes{30, 60} : Bytes{};
                const std::string label = labelOf({3, depth}, interlaced, 9, 4) + (alphas ? " with alphas" : "");
                SurfacePtr surface = decodeFile(buildPng(recipe));
                ASSERT_TRUE(surface) << label;
                EXPECT_EQ(surface->paletteSize(), 1 << depth) << label;
                EXPECT_EQ(paletteColours(*surface), referenceRgba(buildPng(recipe))) << label;
                expectSurfaceMatchesReference(buildPng(recipe), false, 0, label);
                for (uint8_t& index : recipe.pixels)
                    index &= depth == 4 ? 0x11 : 0x01;
                surface = decodeFile(buildPng(recipe));
                ASSERT_TRUE(surface) << label;
                EXPECT_EQ(surface->paletteSize(), 3) << label << ", indices within the palette";
            }
        }
    }
}

} // namespace
