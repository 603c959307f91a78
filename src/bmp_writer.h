// Uncompressed BMP images from raw RGB888/RGB565 framebuffer dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Builds the whole BMP file: headers, then the dump's lines bottom-up, each
// cut to the row length and padded with zeros to the stride. The geometry
// must already be valid (dimensions 1..4096, pitch >= row length) and the
// dump at least requiredDumpSize bytes long.
std::vector<uint8_t> encodeBmp(const FramebufferGeometry& geometry, const uint8_t* dump);
