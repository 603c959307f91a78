// The library's image: a pixel buffer in one colour mode, an optional
// palette, its geometry and the quarter turn in which the pixels are stored.
#pragma once

#include "ds_rect.h"

#include <cstdint>

// Pixel formats. Multi-byte words are stored little-endian.
enum DsColorMode : uint32_t {
    ARGB8888 = 0, // bytes B, G, R, A
    RGB888 = 1,   // bytes B, G, R
    RGB565 = 2,   // R in bits 11-15, G in bits 5-10, B in bits 0-4
    ARGB1555 = 3, // A in bit 15, R in bits 10-14, G in bits 5-9, B in bits 0-4
    ARGB4444 = 4, // A in bits 12-15, R in bits 8-11, G in bits 4-7, B in bits 0-3
    I8 = 5,       // palette index; with a grey-ramp palette, the grey level
    AI88 = 7,     // byte 0 palette index or grey level, byte 1 alpha
    A8 = 9,       // alpha only
};

// Bytes per pixel of a colour mode; 0 for the modes without a pixel size
// (6, 8 and everything above 9), which no surface operation accepts.
uint32_t dsBytesPerPixel(uint32_t colorMode);

using DsAllocator = void* (*)(uint64_t size);
using DsFree = void (*)(void* block);

// Surface memory from the C library, the allocator pair the PNG decoder uses.
void* dsMalloc(uint64_t size);
void dsFree(void* block);

class DsSurface {
public:
    // Sizes refused by construction, so that every buffer size fits in 64 bits
    // and the palette size reads back whole as 16 bits.
    static constexpr uint64_t kMaxPaletteSize = 0xFFFF;
    static constexpr uint64_t kMaxAlignment = 1u << 16;
    static constexpr uint64_t kMaxReserve = uint64_t(1) << 40;

    // Builds a surface of width x height logical pixels stored in the quarter
    // turn *rotation (read once; null counts as 0): for 90 and 270 the stored
    // rows are `height` pixels wide. The pixel buffer holds mHeight x mPitch
    // bytes plus the reserve rounded up to a multiple of 4, uninitialised;
    // modes I8 and AI88 also get a palette of (3 + paletteHasAlpha) bytes per
    // entry. A surface that cannot be built (a mode without a pixel size,
    // dimensions below 1, alignment 0, sizes over the limits, an allocator that
    // returns null or is missing) owns no buffer and reports !isValid(); its
    // pitch, reserve and buffer size are 0.
    DsSurface(int32_t width, int32_t height, const int32_t* rotation, uint32_t colorMode, bool paletteHasAlpha,
        uint64_t paletteSize, DsAllocator allocator, DsFree free, uint32_t alignment, uint64_t reserve);
    DsSurface(const DsSurface&) = delete;
    DsSurface& operator=(const DsSurface&) = delete;

    bool isValid() const { return mPixels != nullptr; }

    int32_t rotation() const { return mRotation; }
    int32_t width() const { return mWidth; }
    int32_t height() const { return mHeight; }
    uint32_t colorMode() const { return mColorMode; }
    uint32_t bytesPerPixel() const { return uint32_t(mBytesPerPixel); }
    uint32_t pitch() const { return uint32_t(mPitch); }
    uint32_t pitchPixels() const { return uint32_t(mPitchPixels); }
    uint8_t* pixels() const { return mPixels; }
    bool paletteHasAlpha() const { return mPaletteHasAlpha != 0; }
    uint16_t paletteSize() const { return uint16_t(mPaletteSize); }
    uint8_t* palette() const { return mPalette; }
    const DsRect& clip() const { return mClip; }
    void* tag() const { return mTag; }
    void setTag(void* tag) { mTag = tag; }

    // Bytes of the pixel buffer: mHeight x mPitch + mReserve.
    uint64_t bufferSize() const;

    // Replaces the palette of an I8 or AI88 surface by one of `entries`
    // entries (1 to kMaxPaletteSize) from the allocator, keeping the entries
    // both have; the others are uninitialised. False, with the surface
    // unchanged, for a surface without a palette or callbacks, a count out of
    // range, or an allocator that returns null.
    bool resizePalette(uint64_t entries);

    // Frees the palette and the pixel buffer through the free callback; does
    // nothing without one. The object itself is deleted by its owner.
    void release();

    // Turns the stored pixels by 90, 180 or 270 degrees as the rotation table
    // lays them out (90: the rightmost column becomes the top row) into a new
    // buffer without reserve, and adds the angle to mRotation. Any other
    // angle, or a surface without callbacks or pixels, is left unchanged.
    // Returns false only when the allocator could not supply the new buffer;
    // the surface is then unchanged too.
    bool rotate(int32_t angle);

    // Writes the surface file into `destination` unless it is null: five
    // little-endian words (rotation, colour mode, width, height, pitch), the
    // mHeight x mPitch bytes of the rows, and zeros up to the next multiple of
    // 4. Returns the file's size either way.
    uint64_t serialize(uint8_t* destination) const;

private:
    bool allocateBuffers();
    void makeEmpty();
    void copyRotated(uint8_t* target, uint64_t targetPitch, int32_t angle) const;

    void* mTag = nullptr;        // for the owner's use; no operation reads it
    DsAllocator mAllocator;      // allocates pixel and palette buffers
    DsFree mFree;                // frees them
    int32_t mRotation;           // quarter turn in which the pixels are stored
    int32_t mWidth;              // width of the stored rows, in pixels
    int32_t mHeight;             // number of stored rows
    uint32_t mColorMode;         // DsColorMode
    uint64_t mReserve = 0;       // spare bytes after the last row, a multiple of 4
    uint64_t mAlignment;         // alignment factor for the pitch
    uint64_t mBytesPerPixel = 0; // from the colour mode
    uint64_t mPitch = 0;         // bytes from one row start to the next
    uint64_t mPitchPixels = 0;   // mPitch / mBytesPerPixel
    uint8_t mPaletteHasAlpha;    // palette entries are B, G, R, A instead of B, G, R
    uint64_t mPaletteSize;       // number of palette entries
    DsRect mClip;                // clipping rectangle in stored coordinates
    uint8_t* mPixels = nullptr;  // mHeight x mPitch + mReserve bytes, rows from the top
    uint8_t* mPalette = nullptr; // palette for I8 and AI88, else null
};

// Pitch of a row of `pixels` pixels of `bytesPerPixel` bytes: the row length
// rounded up to a common multiple of the alignment and the pixel size.
// Returns 0 when an argument is 0 or the result would not fit in 64 bits.
uint64_t dsPitch(uint64_t pixels, uint64_t bytesPerPixel, uint64_t alignment);
