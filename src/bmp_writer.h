// Uncompressed BMP images from raw RGB888/RGB565 framebuffer dumps.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <functional>

constexpr uint32_t kSnapshotMaxDimension = 4096; // largest width and height accepted

struct FramebufferGeometry {
    uint32_t width;        // pixels per line
    uint32_t height;       // lines
    uint32_t pitch;        // bytes from one line start to the next in the dump
    uint16_t bitsPerPixel; // 24 for RGB888, 16 for RGB565
};

// Bytes of pixel data at the start of each dump line.
uint32_t bmpRowLength(const FramebufferGeometry& geometry);
// Row length rounded up to a multiple of 4, as BMP rows are stored.
uint32_t bmpStride(const FramebufferGeometry& geometry);
// Offset of the pixel rows: 54, or 66 when 16-bit bit-field masks follow the headers.
uint32_t bmpPixelOffset(const FramebufferGeometry& geometry);
// Whole file size: pixel offset + stride x height.
uint32_t bmpFileSize(const FramebufferGeometry& geometry);
// Smallest dump that holds every line the image uses: (height - 1) x pitch + row length.
uint64_t requiredDumpSize(const FramebufferGeometry& geometry);

// Writes some leading part of `count` buffers and returns the number of
// bytes written, or a negative value on failure (writev's contract).
using VectorWriter = std::function<ssize_t(const iovec* buffers, int count)>;

// Most buffers handed to one write.
constexpr int kBmpBuffersPerWrite = 1024;

// Writes the whole BMP file, bmpFileSize bytes, through `writer`: headers,
// then the dump's lines bottom-up, each cut to the row length and padded with
// zeros to the stride. Rows go out straight from the dump, up to
// kBmpBuffersPerWrite pieces per call, so no pixel is copied in user space;
// a short write continues where it stopped. Returns false as soon as a
// write fails or makes no progress. The geometry must already be valid
// (dimensions 1..kSnapshotMaxDimension, pitch >= row length) and the dump at least
// requiredDumpSize bytes long.
bool writeBmp(const FramebufferGeometry& geometry, const uint8_t* dump, const VectorWriter& writer);
