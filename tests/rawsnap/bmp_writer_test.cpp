// The BMP writer's handling of short and failing writes, through a writer double.
#include "bmp_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Accepts at most `limit` bytes per call, or fails after `failAfter` calls.
struct ThrottledWriter {
    ThrottledWriter(size_t limit, int failAfter, ssize_t failResult)
        : limit(limit), failAfter(failAfter), failResult(failResult)
    {
    }

    ssize_t operator()(const iovec* buffers, int count)
    {
        EXPECT_LE(count, kBmpBuffersPerWrite);
        if (calls++ == failAfter)
            return failResult;
        size_t taken = 0;
        for (int i = 0; i < count && taken < limit; ++i) {
            const size_t part = std::min(buffers[i].iov_len, limit - taken);
            written.append(static_cast<const char*>(buffers[i].iov_base), part);
            taken += part;
        }
        return ssize_t(taken);
    }

    size_t limit;        // bytes taken per call
    int failAfter;       // calls that succeed before one fails; -1 never
    ssize_t failResult;  // what the failing call returns
    std::string written; // everything accepted, in order
    int calls = 0;       // calls made
};

std::vector<uint8_t> randomDump(size_t size)
{
    std::mt19937 generator(7);
    std::vector<uint8_t> dump(size);
    for (uint8_t& byte : dump)
        byte = uint8_t(generator());
    return dump;
}

// An image whose lines lie `pitch` bytes apart in a dump held in memory.
struct DumpImage {
    BmpImage image;
    uint64_t pitch;         // bytes from one line to the next
    uint32_t linesPerBatch; // lines the writer asks for at once
};

uint64_t dumpSize(const DumpImage& dump)
{
    return (dump.image.height - 1) * dump.pitch + bmpRowLength(dump.image);
}

// The lines of `dump`, straight from memory; fails when asked for a line above `failBelow`.
BmpLineSource linesOf(const DumpImage& dump, const uint8_t* bytes, uint32_t failBelow = 0)
{
    return [&dump, bytes, failBelow](uint32_t first, uint32_t count, const uint8_t** rows) {
        EXPECT_LE(count, dump.linesPerBatch);
        for (uint32_t i = 0; i < count; ++i)
            rows[i] = bytes + (first + i) * dump.pitch;
        return first >= failBelow;
    };
}

std::string writeWhole(const DumpImage& dump, const uint8_t* bytes, ThrottledWriter& writer)
{
    EXPECT_TRUE(writeBmp(dump.image, dump.linesPerBatch, linesOf(dump, bytes),
        [&writer](const iovec* b, int n) { return writer(b, n); }));
    return writer.written;
}

// Heights over kBmpBuffersPerWrite / 2 need several calls even when every write is whole.
const DumpImage kGeometries[] = {
    {{5, 1500, BmpPixels::Bgr24}, 17, 1500},  // 15-byte rows, 1 byte of padding each
    {{4, 2000, BmpPixels::Bgr24}, 12, 7},     // no padding
    {{3, 700, BmpPixels::Rgb565}, 7, 1},      // 6-byte rows, 2 bytes of padding, bit-field header
    {{3, 1100, BmpPixels::Bgra32}, 12, 2000}, // no padding, header with an alpha mask
    {{5, 600, BmpPixels::Bgrx32}, 20, 64},    // no padding, no masks
};

TEST(BmpWriter, ShortWritesGiveTheSameFileAsWholeWrites)
{
    for (const DumpImage& geometry : kGeometries) {
        SCOPED_TRACE(testing::Message() << geometry.image.width << "x" << geometry.image.height);
        const std::vector<uint8_t> dump = randomDump(dumpSize(geometry));
        ThrottledWriter whole{SIZE_MAX, -1, 0};
        const std::string expected = writeWhole(geometry, dump.data(), whole);
        ASSERT_EQ(expected.size(), bmpFileSize(geometry.image));
        EXPECT_GT(whole.calls, 1);
        for (size_t limit : {size_t(1), size_t(5), size_t(53), size_t(4099)}) {
            ThrottledWriter throttled{limit, -1, 0};
            EXPECT_EQ(writeWhole(geometry, dump.data(), throttled), expected) << "limit " << limit;
        }
        DumpImage wholeBatch = geometry;
        wholeBatch.linesPerBatch = geometry.image.height;
        ThrottledWriter once{SIZE_MAX, -1, 0};
        EXPECT_EQ(writeWhole(wholeBatch, dump.data(), once), expected) << "one batch";
    }
}

TEST(BmpWriter, StopsAtTheFirstFailedOrStalledWrite)
{
    const DumpImage geometry = kGeometries[0];
    const std::vector<uint8_t> dump = randomDump(dumpSize(geometry));
    for (ssize_t failure : {ssize_t(-1), ssize_t(0)}) {
        for (int failAfter : {0, 1, 2}) {
            ThrottledWriter writer{SIZE_MAX, failAfter, failure};
            EXPECT_FALSE(writeBmp(geometry.image, geometry.linesPerBatch, linesOf(geometry, dump.data()),
                [&writer](const iovec* b, int n) { return writer(b, n); }));
            EXPECT_EQ(writer.calls, failAfter + 1) << "result " << failure;
        }
    }
    // Lines that cannot be had end the write; the batches before them went out whole.
    const DumpImage batches = kGeometries[1]; // 7 lines a batch, the last batch from line 1993
    const uint64_t stride = bmpStride(batches.image);
    struct Case {
        uint32_t failBelow;
        uint64_t written;
    };
    for (const Case& c : {Case{2000, 0}, Case{1993, 54 + 7 * stride}, Case{1006, 54 + 994 * stride}}) {
        ThrottledWriter writer{SIZE_MAX, -1, 0};
        EXPECT_FALSE(writeBmp(batches.image, batches.linesPerBatch, linesOf(batches, dump.data(), c.failBelow),
            [&writer](const iovec* b, int n) { return writer(b, n); }));
        EXPECT_EQ(writer.written.size(), c.written) << "fails below line " << c.failBelow;
    }
}

} // namespace
