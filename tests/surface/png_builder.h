// PNG files made in the tests with zlib, and decoded by libpng as the
// independent reference for the decoder's surfaces.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct PngSpec {
    uint32_t width = 1;
    uint32_t height = 1;
    uint8_t colorType = 0;
    uint8_t bitDepth = 8;
    uint8_t interlace = 0;
    Bytes pixels;         // unfiltered rows in file order, width * channels bytes each
    Bytes filters;        // filter type per row, cycled; empty means all None
    Bytes palette;        // PLTE data, written when not empty
    Bytes transparency;   // tRNS data, written when not empty
    int level = 6;        // zlib level; 0 gives stored blocks
    int strategy = 0;     // zlib strategy (Z_FIXED forces fixed codes)
    size_t idatPiece = 0; // zlib stream split into IDATs of this many bytes; 0: one IDAT
};

// Channels of one pixel for a colour type (1 to 4).
uint32_t pngChannels(uint8_t colorType);

// Deterministic pseudo-random bytes.
Bytes randomBytes(size_t count, uint32_t seed);

// The filtered scanlines of the image's rows: each row's filter byte and the
// row filtered with it.
Bytes filterRows(const PngSpec& spec);

Bytes zlibCompress(const Bytes& data, int level, int strategy);

// One chunk: length, type, data and a CRC computed by zlib.
Bytes pngChunk(const std::string& type, const Bytes& data);
Bytes ihdrData(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, uint8_t interlace);
Bytes pngSignature();

// The whole file: signature, IHDR, PLTE, tRNS, IDATs of the compressed rows, IEND.
Bytes buildPng(const PngSpec& spec);

// A file assembled from chunks after the signature.
Bytes assemblePng(const std::vector<Bytes>& chunks);

// What a correct decoder makes of a file, computed from libpng's decoding.
struct ReferenceSurface {
    bool decoded = false; // libpng read the file without error
    uint32_t colorMode = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    Bytes pixels;  // rows without padding in the surface's byte order
    Bytes palette; // B, G, R (, A) entries; empty for modes without a palette
};

ReferenceSurface referenceSurface(const Bytes& file, bool alphaOnly);

// The reference pixels turned as a surface of `bytesPerPixel` bytes is
// turned by `rotation` degrees (the stored position of logical pixel x, y).
Bytes rotateReference(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                      int rotation);

// What libpng reports for a file, after the transformations asked for.
struct LibpngImage {
    png_uint_32 width = 0, height = 0;
    int colorType = 0, bitDepth = 0, interlace = 0; // as the file's header gives them
    bool colorKey = false;  // a tRNS chunk in a greyscale or truecolour image
    uint32_t channels = 0;  // bytes per pixel of `rows` (8-bit output)
    size_t rowBytes = 0;
    Bytes rows;             // decoded rows, rowBytes each
    Bytes plte;             // R, G, B entries of an indexed image
    Bytes trns;             // alpha of the first palette entries
};

// Asks libpng for transformations once the file's header is read.
using LibpngSetup = void (*)(png_structp png, png_infop info);

// Decodes `file` with libpng (interlaced images included) after `setup`.
// False when libpng refuses the file.
bool readWithLibpng(const Bytes& file, LibpngSetup setup, LibpngImage& image);

// The names of the files ending in ".png" in `directory`, sorted; none when
// it cannot be read.
std::vector<std::string> pngFilesIn(const std::string& directory);
