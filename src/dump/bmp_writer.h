// Uncompressed BMP images from raw framebuffer dumps.
#pragma once

#include "dump_format.h"

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <functional>

// BMP stores width and height as signed 32-bit numbers.
constexpr uint32_t kBmpMaxDimension = 0x7FFFFFFF;
// BMP stores the file size in 32 bits.
constexpr uint64_t kBmpLargestFile = 0xFFFFFFFF;

struct BmpImage {
    uint32_t width;   // pixels per row, 1..kBmpMaxDimension
    uint32_t height;  // rows, 1..kBmpMaxDimension
    BmpPixels pixels; // layout of every row
};

// Bytes of one row's pixels: width x 2, 3 or 4.
uint64_t bmpRowLength(const BmpImage& image);
// Row length rounded up to a multiple of 4, as BMP rows are stored.
uint64_t bmpStride(const BmpImage& image);
// Offset of the pixel rows: 54 after the two plain headers; 66 when the
// RGB565 bit-field masks follow them; 122 with the 108-byte header that
// holds an alpha mask.
uint32_t bmpPixelOffset(const BmpImage& image);
// Whole file size: pixel offset + stride x height (at most kBmpLargestFile
// for an image that can be written).
uint64_t bmpFileSize(const BmpImage& image);

// Writes some leading part of `count` buffers and returns the number of
// bytes written, or a negative value on failure (writev's contract).
using VectorWriter = std::function<ssize_t(const iovec* buffers, int count)>;

// Points `rows[i]` at the row-length bytes of image line `first + i` (lines
// counted from the top) for every i below `count`, in the image's layout;
// they stay valid until the next call. Returns false to stop the write.
using BmpLineSource = std::function<bool(uint32_t first, uint32_t count, const uint8_t** rows)>;

// Most buffers handed to one write.
constexpr int kBmpBuffersPerWrite = 1024;

// Writes the whole BMP file, bmpFileSize bytes, through `writer`: headers,
// then the lines bottom-up, each padded with zeros to the stride. The lines
// are asked of `lines` in batches of at most `linesPerBatch` (at least 1),
// from the last batch to the first, and go out straight from the bytes it
// points at, up to kBmpBuffersPerWrite pieces per call; a short write
// continues where it stopped. Returns false as soon as `lines` fails or a
// write fails or makes no progress. The image must fit (bmpFileSize at most
// kBmpLargestFile).
bool writeBmp(const BmpImage& image, uint32_t linesPerBatch, const BmpLineSource& lines, const VectorWriter& writer);
