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

std::string writeWhole(const FramebufferGeometry& geometry, const uint8_t* dump, ThrottledWriter& writer)
{
    EXPECT_TRUE(writeBmp(geometry, dump, [&writer](const iovec* b, int n) { return writer(b, n); }));
    return writer.written;
}

// Heights over kBmpBuffersPerWrite / 2 need several calls even when every write is whole.
const FramebufferGeometry kGeometries[] = {
    {5, 1500, 17, 24}, // 15-byte rows, 1 byte of padding each
    {4, 2000, 12, 24}, // no padding
    {3, 700, 7, 16},   // 6-byte rows, 2 bytes of padding, bit-field header
};

TEST(BmpWriter, ShortWritesGiveTheSameFileAsWholeWrites)
{
    for (const FramebufferGeometry& geometry : kGeometries) {
        SCOPED_TRACE(testing::Message() << geometry.width << "x" << geometry.height);
        const std::vector<uint8_t> dump = randomDump(requiredDumpSize(geometry));
        ThrottledWriter whole{SIZE_MAX, -1, 0};
        const std::string expected = writeWhole(geometry, dump.data(), whole);
        ASSERT_EQ(expected.size(), bmpFileSize(geometry));
        EXPECT_GT(whole.calls, 1);
        for (size_t limit : {size_t(1), size_t(5), size_t(53), size_t(4099)}) {
            ThrottledWriter throttled{limit, -1, 0};
            EXPECT_EQ(writeWhole(geometry, dump.data(), throttled), expected) << "limit " << limit;
        }
    }
}

TEST(BmpWriter, StopsAtTheFirstFailedOrStalledWrite)
{
    const FramebufferGeometry geometry = kGeometries[0];
    const std::vector<uint8_t> dump = randomDump(requiredDumpSize(geometry));
    for (ssize_t failure : {ssize_t(-1), ssize_t(0)}) {
        for (int failAfter : {0, 1, 2}) {
            ThrottledWriter writer{SIZE_MAX, failAfter, failure};
            EXPECT_FALSE(writeBmp(geometry, dump.data(), [&writer](const iovec* b, int n) { return writer(b, n); }));
            EXPECT_EQ(writer.calls, failAfter + 1) << "result " << failure;
        }
    }
}

} // namespace
