// libFuzzer target for the surface-file reader: any bytes as a surface file,
// and a file that reads drawn as stored and upright.
#include "ds_surface.h"
#include "surface_picture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DsSurfaceFile file{};
    if (dsReadSurfaceFile(data, size, file) != SURFACE_FILE_OK)
        return 0;
    for (bool upright : {false, true}) {
        const Picture picture = surfacePicture(file, upright);
        if (picture.pixels.size() != uint64_t(picture.width) * picture.height * pictureChannels(picture.format))
            std::abort();
    }
    return 0;
}
