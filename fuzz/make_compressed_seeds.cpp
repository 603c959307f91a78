// Writes the seed corpus of fuzz_compressed_surface: compressed surface
// files of small surfaces with runs, rows repeated and rows close to the one
// above, in every colour mode with a pixel size and every rotation, and
// one whose rows are wider than the decode buffer.
#include "ds_surface.h"
#include "seed_file.h"
#include "surface_compressor.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSizedModes[] = {
    ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, I8, AI88, A8, RGB565_SWAPPED, ARGB8565};

std::vector<uint8_t> compressedFile(uint32_t mode, int32_t width, int32_t height, int32_t rotation)
{
    const int32_t upright = 0;
    DsSurface surface(width, height, &upright, mode, false, 0, dsMalloc, dsFree, 1, 0);
    const uint32_t pitch = surface.pitch(), bytes = surface.bytesPerPixel();
    for (uint32_t i = 0; i < surface.bufferSize(); ++i) {
        const uint32_t row = i / pitch;
        uint8_t value = uint8_t(i * 29 + mode);
        if (row % 3 == 1)
            value = uint8_t(surface.pixels()[i - pitch] + i % 3); // close to the row above
        else if (row % 3 == 2)
            value = surface.pixels()[i - pitch]; // the row above
        else if (i % pitch >= bytes && (i / bytes) % 4 != 0)
            value = surface.pixels()[i - bytes]; // a run
        surface.pixels()[i] = value;
    }
    std::vector<uint8_t> file = dsCompressSurface(surface, rotation);
    surface.release();
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: make_compressed_seeds <corpus directory>");
        return 1;
    }
    const std::string folder = argv[1];
    for (uint32_t mode : kSizedModes)
        for (int32_t rotation : {0, 90, 180, 270}) {
            const std::vector<uint8_t> file = compressedFile(mode, 9, 40, rotation);
            const std::string name = "mode" + std::to_string(mode) + "_" + std::to_string(rotation);
            if (!writeSeedFile(folder + "/" + name, file.data(), file.size()))
                return 1;
        }
    const std::vector<uint8_t> wide = compressedFile(ARGB8888, 600, 3, 0);
    return writeSeedFile(folder + "/wide", wide.data(), wide.size()) ? 0 : 1;
}
