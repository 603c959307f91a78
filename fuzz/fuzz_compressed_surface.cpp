// libFuzzer target for compressed surface files: any bytes as a surface
// file; one that reads as compressed is drawn whole into plain rows, a part
// of it blended into a surface stored at 90 degrees (the strips the decoder
// cuts for another turn), and single pixels read, all inside the file's
// bytes.
#include "ds_surface.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Larger images decode correctly too, only slower than a fuzzer wants.
constexpr uint64_t kLargestPixels = uint64_t(1) << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DsSurfaceFile file{};
    if (dsReadSurfaceFile(data, size, file) != SURFACE_FILE_OK || !file.isCompressed() ||
        uint64_t(file.width) * file.height > kLargestPixels)
        return 0;
    const DsSurface coded(file);
    const int32_t width = coded.logicalWidth(), height = coded.logicalHeight();
    std::vector<uint8_t> rows(size_t(file.height) * file.pitch);
    DsSurface plain(width, height, file.rotation, file.colorMode, rows.data(), file.pitch);
    plain.blit(coded, DsRect(0, 0, width, height), 0, 0);
    std::vector<uint8_t> turned(size_t(width) * size_t(height) * 4);
    DsSurface target(width, height, 90, ARGB8888, turned.data(), uint32_t(height) * 4);
    target.blend(coded, DsRect(width / 3, height / 3, width, height), 1, -1, 200);
    coded.pixel(width - 1, height - 1);
    coded.pixel(width / 2, height / 2);
    return 0;
}
