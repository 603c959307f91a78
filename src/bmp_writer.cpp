#include "bmp_writer.h"

#include <cassert>
#include <cstdint>
#include <cstring>

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBitFieldMasksSize = 12; // red, green and blue masks of 16-bit images
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kRgb565Masks[] = {0xF800, 0x07E0, 0x001F};

// 16-bit pixels are RGB565; without masks every reader takes them as 5-5-5.
bool usesBitFields(const FramebufferGeometry& geometry)
{
    return geometry.bitsPerPixel == 16;
}

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(uint8_t* out) : mOut(out) { }
    void u16(uint32_t value) { put(value, 2); }
    void u32(uint32_t value) { put(value, 4); }

private:
    void put(uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            *mOut++ = uint8_t(value >> (8 * i));
    }
    uint8_t* mOut;
};

void writeHeaders(const FramebufferGeometry& geometry, uint8_t* out)
{
    LittleEndianWriter header(out);
    header.u16('B' | ('M' << 8));
    header.u32(bmpFileSize(geometry));
    header.u16(0);
    header.u16(0);
    header.u32(bmpPixelOffset(geometry));
    header.u32(kInfoHeaderSize);
    header.u32(geometry.width);
    header.u32(geometry.height);
    header.u16(1);
    header.u16(geometry.bitsPerPixel);
    header.u32(usesBitFields(geometry) ? kCompressionBitFields : kCompressionNone);
    for (int field = 0; field < 5; ++field) // image size, resolutions, colour counts
        header.u32(0);
    if (usesBitFields(geometry))
        for (uint32_t mask : kRgb565Masks)
            header.u32(mask);
}

} // namespace

uint32_t bmpRowLength(const FramebufferGeometry& geometry)
{
    return geometry.bitsPerPixel * geometry.width / 8;
}

uint32_t bmpStride(const FramebufferGeometry& geometry)
{
    return (bmpRowLength(geometry) + 3) / 4 * 4;
}

uint32_t bmpPixelOffset(const FramebufferGeometry& geometry)
{
    return kFileHeaderSize + kInfoHeaderSize + (usesBitFields(geometry) ? kBitFieldMasksSize : 0);
}

uint32_t bmpFileSize(const FramebufferGeometry& geometry)
{
    return bmpPixelOffset(geometry) + bmpStride(geometry) * geometry.height;
}

uint64_t requiredDumpSize(const FramebufferGeometry& geometry)
{
    return uint64_t(geometry.height - 1) * geometry.pitch + bmpRowLength(geometry);
}

namespace {

constexpr uint8_t kZeroPadding[3] = {}; // the most padding a row needs

// Sends every byte of `buffers` through `writer`, taking up short writes
// where they stopped. `buffers` is consumed.
bool writeAllBuffers(iovec* buffers, int count, const VectorWriter& writer)
{
    while (count > 0) {
        const ssize_t written = writer(buffers, count);
        if (written <= 0)
            return false;
        size_t left = size_t(written);
        while (count > 0 && left >= buffers->iov_len) {
            left -= buffers->iov_len;
            ++buffers;
            --count;
        }
        if (count > 0) {
            buffers->iov_base = static_cast<uint8_t*>(buffers->iov_base) + left;
            buffers->iov_len -= left;
        }
    }
    return true;
}

} // namespace

bool writeBmp(const FramebufferGeometry& geometry, const uint8_t* dump, const VectorWriter& writer)
{
    assert(geometry.width >= 1 && geometry.width <= kSnapshotMaxDimension);
    assert(geometry.height >= 1 && geometry.height <= kSnapshotMaxDimension);
    assert(geometry.pitch >= bmpRowLength(geometry));

    const uint32_t rowLength = bmpRowLength(geometry);
    const uint32_t padding = bmpStride(geometry) - rowLength;
    uint8_t headers[kFileHeaderSize + kInfoHeaderSize + kBitFieldMasksSize];
    writeHeaders(geometry, headers);

    iovec buffers[kBmpBuffersPerWrite];
    int count = 0;
    buffers[count++] = {headers, bmpPixelOffset(geometry)};
    for (uint32_t line = geometry.height; line-- > 0;) {
        if (count + 2 > kBmpBuffersPerWrite) {
            if (!writeAllBuffers(buffers, count, writer))
                return false;
            count = 0;
        }
        buffers[count++] = {const_cast<uint8_t*>(dump + uint64_t(line) * geometry.pitch), rowLength};
        if (padding != 0)
            buffers[count++] = {const_cast<uint8_t*>(kZeroPadding), padding};
    }
    return writeAllBuffers(buffers, count, writer);
}
