// libFuzzer target for decodePng: any file, rotation and alpha-only request
// (see png_fuzz_request.h), checked by the sanitizers alone.
#include "png_decoder.h"
#include "png_fuzz_request.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const PngFuzzRequest request = readFuzzRequest(data, size);
    DsSurface* surface = decodePng(request.file.data(), request.file.size(), request.alphaOnly, request.rotation);
    if (surface) {
        std::vector<uint8_t> serialized(surface->serialize(nullptr));
        surface->serialize(serialized.data());
        surface->release();
        delete surface;
    }
    return 0;
}
