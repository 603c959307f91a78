// Writes the seed corpus of fuzz_png: small PNG files of every colour type,
// with palettes, transparency, every filter and split image data, each
// behind the request byte that fuzz_png reads first.
#include "png_builder.h"
#include "seed_file.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Seed {
    const char* name;   // file name in the corpus
    uint8_t request;    // fuzz_png's request byte
    uint8_t colorType;  // IHDR colour type
    Bytes palette;      // PLTE data, if any
    Bytes transparency; // tRNS data, if any
    size_t idatPiece;   // IDAT size, 0 for one chunk
};

// A 6 x 5 image of the seed's colour type, its rows filtered with every
// filter type in turn.
Bytes makePng(const Seed& seed)
{
    PngRecipe recipe;
    recipe.width = 6;
    recipe.height = 5;
    recipe.colorType = seed.colorType;
    const size_t bytes = size_t(recipe.width) * recipe.height * pngChannels(seed.colorType);
    recipe.pixels = randomBytes(bytes, seed.request + seed.colorType);
    if (seed.colorType == 3)
        for (uint8_t& index : recipe.pixels)
            index %= 4;
    recipe.filters = {0, 1, 2, 3, 4};
    recipe.palette = seed.palette;
    recipe.transparency = seed.transparency;
    recipe.level = 9;
    recipe.idatPiece = seed.idatPiece;
    return buildPng(recipe);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: make_png_seeds <corpus directory>");
        return 1;
    }
    const Bytes palette{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    const Seed seeds[] = {
        {"grey", 0, 0, {}, {}, 0},
        {"grey_alpha_only_90", 3, 0, {}, {}, 7},
        {"grey_key", 8, 0, {}, {0, 40}, 0},
        {"truecolour_180", 4, 2, {}, {}, 5},
        {"truecolour_key", 8, 2, palette, {0, 40, 0, 47, 0, 54}, 0},
        {"indexed_270", 6, 3, palette, {0, 128}, 3},
        {"grey_alpha", 8, 4, {}, {}, 0},
        {"truecolour_alpha", 2, 6, {}, {}, 11},
    };
    for (const Seed& seed : seeds) {
        Bytes input{seed.request};
        const Bytes png = makePng(seed);
        input.insert(input.end(), png.begin(), png.end());
        if (!writeSeedFile(std::string(argv[1]) + "/" + seed.name, input.data(), input.size()))
            return 1;
    }
    return 0;
}
