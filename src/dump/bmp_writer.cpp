#include "bmp_writer.h"

#include "ds_bytes.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBitFieldMasksSize = 12;      // red, green and blue masks after a 40-byte header
constexpr uint32_t kAlphaInfoHeaderSize = 108;   // the header that holds an alpha mask (BITMAPV4HEADER)
constexpr uint32_t kEndPointsAndGammasSize = 48; // fields of that header that sRGB leaves unused
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kColorSpaceSrgb = 0x73524742; // 'sRGB'
constexpr uint32_t kRgb565Masks[] = {0xF800, 0x07E0, 0x001F};
constexpr uint32_t kBgraMasks[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
constexpr uint32_t kLargestHeaders = kFileHeaderSize + kAlphaInfoHeaderSize;

uint32_t bitsPerPixel(BmpPixels pixels)
{
    switch (pixels) {
    case BmpPixels::Bgr24: return 24;
    case BmpPixels::Rgb565: return 16;
    case BmpPixels::Bgrx32:
    case BmpPixels::Bgra32: return 32;
    }
    return 0;
}

// 16-bit pixels are RGB565; without masks every reader takes them as 5-5-5.
// Alpha is only seen by readers where a mask names it.
bool usesBitFields(const BmpImage& image)
{
    return image.pixels == BmpPixels::Rgb565 || image.pixels == BmpPixels::Bgra32;
}

uint32_t infoHeaderSize(const BmpImage& image)
{
    return image.pixels == BmpPixels::Bgra32 ? kAlphaInfoHeaderSize : kInfoHeaderSize;
}

// Appends the header fields one after the other, little-endian.
class LittleEndianWriter {
public:
    explicit LittleEndianWriter(uint8_t* out) : mOut(out) { }
    void u16(uint32_t value)
    {
        dsStoreLittle16(mOut, value);
        mOut += 2;
    }
    void u32(uint32_t value)
    {
        dsStoreLittle32(mOut, value);
        mOut += 4;
    }

private:
    uint8_t* mOut; // where the next field goes
};

void writeHeaders(const BmpImage& image, uint8_t* out)
{
    LittleEndianWriter header(out);
    header.u16('B' | ('M' << 8));
    header.u32(uint32_t(bmpFileSize(image)));
    header.u16(0);
    header.u16(0);
    header.u32(bmpPixelOffset(image));
    header.u32(infoHeaderSize(image));
    header.u32(image.width);
    header.u32(image.height);
    header.u16(1);
    header.u16(bitsPerPixel(image.pixels));
    header.u32(usesBitFields(image) ? kCompressionBitFields : kCompressionNone);
    for (int field = 0; field < 5; ++field) // image size, resolutions, colour counts
        header.u32(0);
    if (image.pixels == BmpPixels::Rgb565)
        for (uint32_t mask : kRgb565Masks)
            header.u32(mask);
    if (image.pixels == BmpPixels::Bgra32) {
        for (uint32_t mask : kBgraMasks)
            header.u32(mask);
        header.u32(kColorSpaceSrgb);
        for (uint32_t field = 0; field < kEndPointsAndGammasSize; field += 4)
            header.u32(0);
    }
}

} // namespace

uint64_t bmpRowLength(const BmpImage& image)
{
    return uint64_t(bitsPerPixel(image.pixels) / 8) * image.width;
}

uint64_t bmpStride(const BmpImage& image)
{
    return (bmpRowLength(image) + 3) / 4 * 4;
}

uint32_t bmpPixelOffset(const BmpImage& image)
{
    if (image.pixels == BmpPixels::Rgb565)
        return kFileHeaderSize + kInfoHeaderSize + kBitFieldMasksSize;
    return kFileHeaderSize + infoHeaderSize(image);
}

uint64_t bmpFileSize(const BmpImage& image)
{
    return bmpPixelOffset(image) + bmpStride(image) * image.height;
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

bool writeBmp(const BmpImage& image, uint32_t linesPerBatch, const BmpLineSource& lines, const VectorWriter& writer)
{
    assert(image.width >= 1 && image.width <= kBmpMaxDimension);
    assert(image.height >= 1 && image.height <= kBmpMaxDimension);
    assert(bmpFileSize(image) <= kBmpLargestFile);
    assert(linesPerBatch >= 1);

    const size_t rowLength = size_t(bmpRowLength(image));
    const size_t padding = size_t(bmpStride(image)) - rowLength;
    uint8_t headers[kLargestHeaders];
    writeHeaders(image, headers);

    linesPerBatch = std::min(linesPerBatch, image.height);
    std::vector<const uint8_t*> rows(linesPerBatch);
    iovec buffers[kBmpBuffersPerWrite];
    int count = 0;
    buffers[count++] = {headers, bmpPixelOffset(image)};
    for (uint32_t end = image.height; end > 0;) {
        const uint32_t first = end - std::min(end, linesPerBatch);
        if (!lines(first, end - first, rows.data()))
            return false;
        for (uint32_t line = end; line-- > first;) {
            if (count + 2 > kBmpBuffersPerWrite) {
                if (!writeAllBuffers(buffers, count, writer))
                    return false;
                count = 0;
            }
            buffers[count++] = {const_cast<uint8_t*>(rows[line - first]), rowLength};
            if (padding != 0)
                buffers[count++] = {const_cast<uint8_t*>(kZeroPadding), padding};
        }
        // The rows are only valid until the next batch is asked for.
        if (!writeAllBuffers(buffers, count, writer))
            return false;
        count = 0;
        end = first;
    }
    return true;
}
