// Scanline filters on both row paths against a plain reference, in separate
// buffers and in the decoder's in-place arrangement, and the CRC-32 and the
// Adler-32 against zlib.
#include "png_crc.h"
#include "png_unfilter.h"
#include "png_zlib.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Every 8-bit pixel format the in-place path unfilters; the keys are set per job.
constexpr PngPixelFormat kFormats[] = {
    {kPngGrey, 8, false, {}},
    {kPngGreyAlpha, 8, false, {}},
    {kPngTruecolour, 8, false, {}},
    {kPngTruecolourAlpha, 8, false, {}},
    {kPngGrey, 8, true, {}},
    {kPngTruecolour, 8, true, {}},
};
constexpr PngUnfilterPath kPaths[] = {PngUnfilterPath::Portable, PngUnfilterPath::Vector};
constexpr uint32_t kWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 31, 48, 65, 100, 257};
constexpr uint8_t kMixedFilters = 5; // a filter pattern that picks a random type per row

uint32_t fileBytesOf(const PngPixelFormat& format)
{
    return pngSamplesPerPixel(format.colorType);
}

std::string describe(
    const PngPixelFormat& format, PngUnfilterPath path, uint32_t width, uint32_t height, uint8_t filters)
{
    return "colour type " + std::to_string(format.colorType) + (format.keyed ? " keyed" : "") +
        (path == PngUnfilterPath::Vector ? " vector" : " portable") + " width " + std::to_string(width) + " height " +
        std::to_string(height) + " filters " + std::to_string(filters);
}

// Random scanlines whose type bytes are `filters`, or random types for kMixedFilters.
Bytes makeScanlines(uint32_t width, uint32_t height, uint32_t fileBytes, uint8_t filters, std::mt19937& random)
{
    const size_t scanline = size_t(width) * fileBytes + 1;
    Bytes data(scanline * height);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    for (uint32_t row = 0; row < height; ++row)
        data[row * scanline] = filters == kMixedFilters ? uint8_t(random() % 5) : filters;
    return data;
}

uint8_t paethReference(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// The filters undone the textbook way on the file's byte order, one row of
// file pixels after another.
Bytes unfilterInFileOrder(const Bytes& data, uint32_t width, uint32_t height, uint32_t fileBytes)
{
    const size_t rowBytes = size_t(width) * fileBytes;
    Bytes rows(rowBytes * height);
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* in = &data[row * (rowBytes + 1)];
        uint8_t* out = &rows[row * rowBytes];
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= fileBytes ? out[i - fileBytes] : 0;
            const int b = row > 0 ? out[i - rowBytes] : 0;
            const int c = row > 0 && i >= fileBytes ? out[i - rowBytes - fileBytes] : 0;
            const int predictor[] = {0, a, b, (a + b) / 2, paethReference(a, b, c)};
            out[i] = uint8_t(in[1 + i] + predictor[in[0]]);
        }
    }
    return rows;
}

// One file pixel as the surface holds it: R and B exchanged, alpha from the key.
void placePixel(const PngPixelFormat& format, const uint8_t* in, const uint16_t* key, uint8_t* out)
{
    const uint32_t fileBytes = fileBytesOf(format);
    bool keyed = true;
    for (uint32_t c = 0; c < fileBytes; ++c) {
        keyed = keyed && in[c] == key[c];
        out[c] = in[c];
    }
    if (fileBytes >= 3)
        std::swap(out[0], out[2]);
    if (pngConvertedBytesPerPixel(format) > fileBytes)
        out[pngConvertedBytesPerPixel(format) - 1] = keyed ? 0 : 255;
}

// The surface rows, without padding, that the scanlines must give.
Bytes expectedRows(
    const PngPixelFormat& format, const Bytes& data, uint32_t width, uint32_t height, const uint16_t* key)
{
    const uint32_t fileBytes = fileBytesOf(format), surfaceBytes = pngConvertedBytesPerPixel(format);
    const Bytes rows = unfilterInFileOrder(data, width, height, fileBytes);
    Bytes expected(size_t(width) * height * surfaceBytes);
    for (size_t pixel = 0; pixel < size_t(width) * height; ++pixel)
        placePixel(format, &rows[pixel * fileBytes], key, &expected[pixel * surfaceBytes]);
    return expected;
}

Bytes rowsAt(const uint8_t* pixels, uint64_t pitch, uint64_t rowBytes, uint32_t height)
{
    Bytes rows;
    for (uint32_t row = 0; row < height; ++row)
        rows.insert(rows.end(), pixels + row * pitch, pixels + row * pitch + rowBytes);
    return rows;
}

// The key of the first file pixel, so that keyed formats see both alphas
// wherever the data repeat it.
PngUnfilterJob makeJob(const PngPixelFormat& format, uint32_t width, uint32_t height, const uint8_t* filtered)
{
    PngUnfilterJob job{};
    job.width = width;
    job.height = height;
    job.filtered = filtered;
    job.format = format;
    for (uint32_t c = 0; c < 3; ++c)
        job.format.key[c] = c < fileBytesOf(format) ? filtered[1 + c] : 0;
    return job;
}

TEST(PngUnfilter, EveryFilterLayoutAndWidthMatchesTheReferenceOnBothPaths)
{
    constexpr uint64_t kPadding = 3; // bytes after each row that must stay untouched
    constexpr uint8_t kUntouched = 0xA5;
    std::mt19937 random(7);
    for (const PngPixelFormat& format : kFormats)
        for (uint32_t width : kWidths)
            for (uint32_t height : {1u, 3u})
                for (uint8_t filters = 0; filters <= kMixedFilters; ++filters) {
                    const uint32_t surfaceBytes = pngConvertedBytesPerPixel(format);
                    const Bytes data = makeScanlines(width, height, fileBytesOf(format), filters, random);
                    PngUnfilterJob job = makeJob(format, width, height, data.data());
                    const uint64_t rowBytes = uint64_t(width) * surfaceBytes;
                    job.pitch = rowBytes + kPadding;
                    const Bytes expected = expectedRows(format, data, width, height, job.format.key);
                    for (PngUnfilterPath path : kPaths) {
                        // Sized to end with the last row, so a write past it is caught.
                        Bytes pixels((height - 1) * job.pitch + rowBytes, kUntouched);
                        job.pixels = pixels.data();
                        ASSERT_TRUE(pngUnfilterOnPath(job, path)) << describe(format, path, width, height, filters);
                        ASSERT_EQ(rowsAt(pixels.data(), job.pitch, rowBytes, height), expected)
                            << describe(format, path, width, height, filters);
                        for (uint32_t row = 0; row + 1 < height; ++row)
                            for (uint64_t i = rowBytes; i < job.pitch; ++i)
                                ASSERT_EQ(pixels[row * job.pitch + i], kUntouched)
                                    << describe(format, path, width, height, filters);
                    }
                }
}

// The space the decoder leaves before the filtered data: the least that
// keeps every surface pixel from ending past the first unread file byte.
uint64_t inPlaceGap(const PngPixelFormat& format, uint32_t width, uint32_t height, uint64_t pitch)
{
    const uint64_t fileBytes = fileBytesOf(format), surfaceBytes = pngConvertedBytesPerPixel(format);
    const uint64_t scanline = width * fileBytes + 1;
    uint64_t required = width * (surfaceBytes - fileBytes);
    if (pitch > scanline)
        required += (height - 1) * (pitch - scanline);
    return required > 0 ? required - 1 : 0;
}

// Filtered data at the tail of the pixel buffer with the tightest gap; with
// rows 2 bytes longer than the scanlines the last row starts exactly at its
// own filtered bytes, so every byte is read just before it is overwritten.
TEST(PngUnfilter, InPlaceAtTheTailOfTheBufferOnBothPaths)
{
    std::mt19937 random(11);
    for (const PngPixelFormat& format : kFormats)
        for (uint32_t width : kWidths)
            for (uint32_t height : {1u, 2u, 5u})
                for (uint64_t extraPitch : {0u, 2u})
                    for (PngUnfilterPath path : kPaths) {
                        const uint8_t filters = kMixedFilters;
                        const uint64_t rowBytes = uint64_t(width) * pngConvertedBytesPerPixel(format);
                        const uint64_t pitch = rowBytes + extraPitch;
                        const Bytes data = makeScanlines(width, height, fileBytesOf(format), filters, random);
                        const uint64_t gap = inPlaceGap(format, width, height, pitch);
                        Bytes buffer(gap + data.size());
                        std::copy(data.begin(), data.end(), buffer.begin() + gap);
                        ASSERT_LE((height - 1) * pitch + rowBytes, buffer.size());
                        PngUnfilterJob job = makeJob(format, width, height, buffer.data() + gap);
                        job.pixels = buffer.data();
                        job.pitch = pitch;
                        const Bytes expected = expectedRows(format, data, width, height, job.format.key);
                        ASSERT_TRUE(pngUnfilterOnPath(job, path)) << describe(format, path, width, height, filters);
                        ASSERT_EQ(rowsAt(buffer.data(), pitch, rowBytes, height), expected)
                            << describe(format, path, width, height, filters) << " pitch " << pitch;
                    }
}

TEST(PngUnfilter, FilterTypesAboveFourAreRefusedOnBothPaths)
{
    std::mt19937 random(3);
    for (const PngPixelFormat& format : kFormats)
        for (uint8_t badType : {5, 6, 255})
            for (uint32_t badRow : {0u, 2u})
                for (PngUnfilterPath path : kPaths) {
                    Bytes data = makeScanlines(20, 3, fileBytesOf(format), kMixedFilters, random);
                    data[badRow * (20 * fileBytesOf(format) + 1)] = badType;
                    PngUnfilterJob job = makeJob(format, 20, 3, data.data());
                    job.pitch = 20 * pngConvertedBytesPerPixel(format);
                    Bytes pixels(3 * job.pitch);
                    job.pixels = pixels.data();
                    EXPECT_FALSE(pngUnfilterOnPath(job, path)) << describe(format, path, 20, 3, badType);
                }
}

TEST(PngCrc, MatchesZlibOnEveryLengthOffsetAndRunningValue)
{
    constexpr size_t kMaxLength = 1000;
    constexpr size_t kMaxOffset = 8;
    std::mt19937 random(5);
    Bytes data(kMaxLength + kMaxOffset);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    for (size_t length = 0; length <= kMaxLength; ++length) {
        const size_t offset = random() % kMaxOffset;
        const uint32_t start = length % 3 == 0 ? 0 : uint32_t(random());
        const uint8_t* bytes = data.data() + offset;
        const uint32_t expected = uint32_t(crc32(start, bytes, uInt(length)));
        ASSERT_EQ(crc32Update(bytes, length, start), expected) << "length " << length << " offset " << offset;
        const size_t split = length > 0 ? random() % length : 0;
        ASSERT_EQ(crc32Update(bytes + split, length - split, crc32Update(bytes, split, start)), expected)
            << "length " << length << " split at " << split;
    }
}

TEST(PngCrc, LongBufferMatchesZlib)
{
    Bytes data(1 << 20);
    std::mt19937 random(9);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    EXPECT_EQ(crc32Update(data.data(), data.size(), 0), uint32_t(crc32(0, data.data(), uInt(data.size()))));
}

// Every length up to a few blocks, from any running value, split anywhere;
// and long runs of 0xFF, which bring the sums nearest to overflowing
// between reductions.
TEST(PngAdler, MatchesZlibOnEveryLengthAndRunningValue)
{
    std::mt19937 random(6);
    Bytes data(300);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    for (size_t length = 0; length <= data.size(); ++length) {
        const uint32_t start = length % 3 == 0 ? kAdler32Start : uint32_t(random() % 65521 << 16 | random() % 65521);
        const uint32_t expected = uint32_t(adler32(start, data.data(), uInt(length)));
        ASSERT_EQ(adler32Update(start, data.data(), length), expected) << "length " << length;
        const size_t split = length > 0 ? random() % length : 0;
        ASSERT_EQ(
            adler32Update(adler32Update(start, data.data(), split), data.data() + split, length - split), expected)
            << "length " << length << " split " << split;
    }
    const Bytes ones(100000, 0xFF);
    EXPECT_EQ(adler32Update(0xFFF0FFF0u, ones.data(), ones.size()),
        uint32_t(adler32(0xFFF0FFF0u, ones.data(), uInt(ones.size()))));
}

} // namespace
