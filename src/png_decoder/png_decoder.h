// PNG decoder: PNG files held whole in memory, of every colour type and bit
// depth, plain or Adam7-interlaced, become a DsSurface with 8-bit samples.
// The file is walked twice: the first walk checks every chunk and settles the
// surface's size and colour mode without decompressing anything; the second
// fills the palette and decodes the image data. The 8-bit scanlines of a
// plain image are decompressed straight into the tail of the surface's pixel
// buffer and unfiltered in place; all others are decoded a few rows at a time
// (see png_rows.h), 16-bit samples reduced to their high byte, grey levels of
// 1, 2 and 4 bits scaled to 8 and palette indices unpacked to a byte each.
// The image data are one zlib stream across the IDAT chunks, whose header
// and Adler-32 are checked as zlib checks them (png_zlib.h).
#pragma once

#include "ds_surface.h"
#include "png_pixel_format.h"

#include <cstdint>

// Results of one walk over the chunks.
enum PngResult : int {
    PNG_OK = 0,               // the walk reached IEND and everything was accepted
    PNG_INVALID = 1,          // the file breaks the PNG format or a rule of this decoder
    PNG_UNSUPPORTED = 2,      // an unknown critical chunk, an image over the size limits, or no memory for it
    PNG_SURFACE_MISMATCH = 3, // the surface given for the second walk cannot take the image
};

// What a walk learnt from the file.
struct PngInfo {
    uint32_t width;          // IHDR width
    uint32_t height;         // IHDR height
    uint8_t bitDepth;        // IHDR bit depth
    uint8_t colorType;       // IHDR colour type, a PngColorType
    uint8_t compression;     // IHDR compression method
    uint8_t filter;          // IHDR filter method
    uint8_t interlace;       // IHDR interlace method
    uint8_t paletteHasAlpha; // set by a tRNS chunk of an indexed image
    uint32_t colorMode;      // DsColorMode of the surface for this image
    uint16_t paletteSize;    // palette entries the surface needs
};

// Safety limits against decompression bombs: the decoder never asks for a
// surface whose buffer or filtered image data would not fit in 32 bits, nor
// for more filtered data than the compressed data could expand to.
constexpr uint32_t kPngMaxDimension = 0x7FFFFFFFu; // PNG's own bound on width and height
constexpr uint64_t kPngMaxBufferBytes = 0xFFFFFFFFu;
constexpr uint64_t kDeflateMaxExpansion = 1032; // the most output one byte of Deflate data gives

// Decodes the PNG file of `size` bytes at `data` into a new surface owned by
// the caller, turned by `rotation` degrees (0, 90, 180 or 270; any other angle
// leaves it unturned). With `alphaOnly` a greyscale image becomes an A8
// surface of its grey levels, and any other colour type fails. Returns null
// when the image cannot be decoded, with nothing left allocated. The caller
// calls release() on the surface and then deletes it.
DsSurface* decodePng(const uint8_t* data, uint64_t size, bool alphaOnly, int rotation);

// What a decode learnt about the file besides the surface, for a caller that
// explains a failure or treats colour types apart.
struct PngDecodeReport {
    bool accepted = false; // the signature and every chunk passed the first walk, which decodes nothing
    PngInfo info{};        // what that walk read (the header and the surface's colour mode), when accepted
};

// decodePng with the surface's allocator pair given by the caller; an
// allocator that returns null makes the decode fail cleanly. With `report`
// not null it is filled whether the decode succeeds or not.
DsSurface* decodePngWithAllocator(const uint8_t* data, uint64_t size, bool alphaOnly, int rotation,
    DsAllocator allocator, DsFree free, PngDecodeReport* report = nullptr);

// One walk over the chunks of the file (the signature is not looked at).
// With a null surface it only checks the file and fills `info`; with a
// surface made for `info` it also fills the surface's palette and pixels.
int decodePngChunks(const uint8_t* data, uint64_t size, PngInfo& info, DsSurface* surface);
