// The peer of pixpack for whole-process timing: decodes one PNG file with
// libpng's png_read_image into 8-bit RGBA rows (palette expanded, colour key
// as alpha, grey repeated, 16-bit samples stripped), as an application that
// used libpng would, and exits. Prints nothing; exit status 1 when libpng
// refuses the file.
// Usage: libpng_decode <image.png>
#include "libpng_rows.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace {

// Asks libpng for 8-bit RGBA, whatever the file holds.
void requestRgba(png_structp png, png_infop)
{
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file)
        return 1;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> pixels;
    std::vector<png_bytep> rows;
    const bool read = info && (png_init_io(png, file), readRowsWithLibpng(png, info, requestRgba, pixels, rows));
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    std::fclose(file);
    return read ? 0 : 1;
}
