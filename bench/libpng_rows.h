// Reading a PNG's rows with libpng's png_read_image, shared by the in-memory
// benchmark and the whole-process peer of pixpack.
#pragma once

#include <png.h>

#include <vector>

// Asks libpng for the transformations wanted once the header is read.
using LibpngRequest = void (*)(png_structp png, png_infop info);

// Reads the header, applies `request`, then every row into `pixels`, the
// passes of an interlaced image combined by libpng's interlace handling. libpng
// reports errors by longjmp, which skips destructors: nothing with one is
// made after setjmp, so the caller owns both vectors.
inline bool readRowsWithLibpng(
    png_structp png, png_infop info, LibpngRequest request, std::vector<png_byte>& pixels, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    request(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.data() + rowBytes * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}
