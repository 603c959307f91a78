// Pixel formats of raw framebuffer dumps, and their conversion into the
// 8-bit pixels of PNG and the pixel layouts of BMP.
#pragma once

#include <cstdint>
#include <string>

// How the pixels of a dump are laid out. 16- and 32-bit pixels are
// little-endian words unless the name says otherwise.
enum class DumpFormat : uint8_t {
    Rgb888,        // bytes B, G, R
    Rgb565,        // R in bits 11-15, G in bits 5-10, B in bits 0-4
    Rgb565Swapped, // RGB565 with its two bytes exchanged: high byte first
    Bgr565,        // B in bits 11-15, G in bits 5-10, R in bits 0-4
    Bgr888,        // bytes R, G, B
    Xrgb8888,      // bytes B, G, R, X (X ignored)
    Argb8888,      // bytes B, G, R, A
    Argb1555,      // A in bit 15, R in bits 10-14, G in bits 5-9, B in bits 0-4
    Argb4444,      // A in bits 12-15, R in bits 8-11, G in bits 4-7, B in bits 0-3
    Argb8565,      // 3 bytes: an RGB565 word, then A
};

// The pixel layouts a BMP file is written in.
enum class BmpPixels : uint8_t {
    Bgr24,  // bytes B, G, R; no masks
    Rgb565, // 16-bit RGB565 words, with bit-field masks
    Bgrx32, // bytes B, G, R, X; no masks
    Bgra32, // bytes B, G, R, A, with bit-field masks for the four channels
};

struct DumpFormatInfo {
    DumpFormat format;      // the format described
    const char* name;       // its --format value
    uint32_t bytesPerPixel; // bytes of one pixel in the dump
    bool hasAlpha;          // PNG output is RGBA rather than RGB
    BmpPixels bmpPixels;    // layout of the BMP written from it
    bool bmpCopiesBytes;    // the dump's bytes are already that layout
    const char* layout;     // the byte layout, as --help and the README give it
};

// Every format, in the order --help lists them.
extern const DumpFormatInfo kDumpFormats[];
extern const int kDumpFormatCount;

// The format whose name is exactly `name`, or null.
const DumpFormatInfo* findDumpFormat(const std::string& name);

// Converts `width` pixels of `format` into 8-bit R, G, B (and A for the
// formats with alpha) bytes. Fields of fewer bits widen by bit replication,
// so that all-ones is 255 and zero stays 0: 5 bits abcde become abcdeabc,
// 6 bits abcdef become abcdefab, 4 bits abcd become abcdabcd, 1 bit becomes
// 0 or 255.
void dumpRowToRgb(DumpFormat format, const uint8_t* pixels, uint32_t width, uint8_t* out);

// Converts `width` pixels of `format` into its BMP layout (see
// DumpFormatInfo::bmpPixels), for the formats that are not copied as they
// are: RGB565_SWAPPED and BGR565 become RGB565 words, BGR888 B, G, R bytes,
// ARGB1555, ARGB4444 and ARGB8565 B, G, R, A bytes widened as dumpRowToRgb
// widens.
void dumpRowToBmp(DumpFormat format, const uint8_t* pixels, uint32_t width, uint8_t* out);
