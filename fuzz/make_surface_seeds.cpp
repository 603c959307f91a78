// Writes the seed corpus of fuzz_surface_file: the surface files of small
// surfaces in every colour mode with a pixel size, every rotation and two
// pitch alignments, as serialize writes them.
#include "ds_surface.h"
#include "seed_file.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSizedModes[] = {ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, I8, AI88, A8};

std::vector<uint8_t> surfaceFile(uint32_t mode, int32_t rotation, uint32_t alignment)
{
    const int32_t noRotation = 0;
    DsSurface surface(5, 3, &noRotation, mode, false, 0, dsMalloc, dsFree, alignment, 0);
    for (uint64_t i = 0; i < surface.bufferSize(); ++i)
        surface.pixels()[i] = uint8_t(i * 29 + mode);
    surface.rotate(rotation);
    std::vector<uint8_t> file(surface.serialize(nullptr));
    surface.serialize(file.data());
    surface.release();
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: make_surface_seeds <corpus directory>");
        return 1;
    }
    for (uint32_t mode : kSizedModes)
        for (int32_t rotation : {0, 90, 180, 270})
            for (uint32_t alignment : {1u, 4u}) {
                const std::string name = "mode" + std::to_string(mode) + "_" + std::to_string(rotation) + "_align" +
                    std::to_string(alignment);
                const std::vector<uint8_t> file = surfaceFile(mode, rotation, alignment);
                if (!writeSeedFile(std::string(argv[1]) + "/" + name, file.data(), file.size()))
                    return 1;
            }
    return 0;
}
