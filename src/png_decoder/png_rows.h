// Streaming decode of the PNG images whose scanlines cannot be unfiltered in
// place in the surface: 16-bit samples, pixels of 1, 2 or 4 bits, and Adam7
// interlacing. The Deflate data are inflated a batch at a time into a small
// buffer that keeps the last 32 KiB as history; each complete scanline is
// unfiltered against the one before it in its pass, and its pixels are
// converted into their places in the surface. Besides the surface it holds
// that buffer and two scanlines, never a second whole image.
#pragma once

#include "png_passes.h"
#include "png_pixels.h"
#include "png_zlib.h"
#include "streams.h"

#include <cstdint>
#include <memory>

// What the row decoder needs to know about the image.
struct PngRowImage {
    PngPasses passes;      // one pass for a plain image, seven for an interlaced one
    uint32_t bitsPerPixel; // bits of one pixel in the scanlines
    PngPixelFormat format; // how those pixels become surface pixels
    uint64_t filteredSize; // bytes the image data inflate to, at most 0xFFFFFFFF
};

// Where the converted pixels go: image pixel (x, y) at
// pixels + y * pitch + x * pngConvertedBytesPerPixel(format).
struct PngRowTarget {
    uint8_t* pixels; // surface row 0
    uint64_t pitch;  // bytes from one surface row to the next
};

class PngRowDecoder final : private PngInflater::Output {
public:
    PngRowDecoder() = default;
    PngRowDecoder(const PngRowDecoder&) = delete;
    PngRowDecoder& operator=(const PngRowDecoder&) = delete;

    // Prepares the decode of one image into `target`, whose rows must hold
    // the whole image. False when the buffers cannot be allocated.
    bool start(const PngRowImage& image, const PngRowTarget& target);

    // Inflates the next piece of the Deflate data (the zlib header already
    // taken off), as PngInflater::feed does, and places every scanline it
    // completes; a filter type above 4 makes the stream Invalid.
    PngInflater::Status feed(const uint8_t* data, uint32_t length);

    // True when the Deflate data ended exactly after the last scanline and
    // were followed by the Adler-32 of the bytes they inflated to.
    bool complete() const;

private:
    bool take(const uint8_t* bytes, uint64_t count) override;
    void makeRoom(PngInflater& inflater) override;
    bool finishScanline();
    void nextScanline();

    PngRowImage mImage{};                            // the image being decoded
    PngRowTarget mTarget{};                          // where its pixels go
    uint32_t mFilterBytes = 0;                       // the filters' bytes per pixel
    uint32_t mSurfaceBytes = 0;                      // bytes of one converted pixel
    PngInflater mInflater;                           // the image data's stream
    std::unique_ptr<uint8_t[]> mInflated;            // history and batch of inflated bytes
    std::unique_ptr<uint8_t[]> mScanlines;           // two scanlines, each after its filter-type byte
    uint8_t* mCurrent = nullptr;                     // the filter-type byte and scanline being filled
    uint8_t* mPrevious = nullptr;                    // the one before it, unfiltered, after its filter-type byte
    uint64_t mFilled = 0;                            // bytes of mCurrent received, its filter-type byte included
    uint64_t mScanlineBytes = 0;                     // bytes of a scanline of the current pass
    uint32_t mPass = 0;                              // current pass; passes.count once every scanline is in
    uint32_t mRow = 0;                               // scanline within the pass
};
