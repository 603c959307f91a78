#include "dump_reader.h"

#include "input_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>

uint64_t dumpRowLength(const DumpGeometry& geometry)
{
    return uint64_t(geometry.width) * geometry.format->bytesPerPixel;
}

uint64_t requiredDumpSize(const DumpGeometry& geometry)
{
    uint64_t size = 0;
    if (__builtin_mul_overflow(uint64_t(geometry.height - 1), geometry.pitch, &size) ||
        __builtin_add_overflow(size, geometry.offset, &size) ||
        __builtin_add_overflow(size, dumpRowLength(geometry), &size))
        return UINT64_MAX;
    return size;
}

LineCount countDumpLines(const DumpGeometry& geometry, uint64_t size, uint64_t* lines)
{
    const uint64_t rowLength = dumpRowLength(geometry);
    if (size < geometry.offset || size - geometry.offset < rowLength)
        return LineCount::TooSmall;
    const uint64_t bytes = size - geometry.offset;
    const uint64_t tail = bytes % geometry.pitch; // bytes of the line after the last whole pitch
    if (tail != 0 && tail < rowLength)
        return LineCount::Ragged;
    *lines = bytes / geometry.pitch + (tail != 0 ? 1 : 0);
    return LineCount::Whole;
}

DumpReader::~DumpReader()
{
    if (mFd >= 0)
        ::close(mFd);
}

bool DumpReader::open(const std::string& path)
{
    return openInputFile(path, mFd);
}

bool DumpReader::measure()
{
    struct stat status { };
    if (mFd < 0 || ::fstat(mFd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return false; // a folder or device has no size to take
    mSize = uint64_t(status.st_size);
    return true;
}

uint32_t DumpReader::linesPerBatch(const DumpGeometry& geometry)
{
    const uint64_t lines = kDumpBatchBytes / dumpRowLength(geometry);
    return uint32_t(std::clamp<uint64_t>(lines, 1, geometry.height));
}

bool DumpReader::readAt(uint64_t position, size_t length, uint8_t* target) const
{
    for (size_t done = 0; done < length;) {
        const ssize_t got = ::pread(mFd, target + done, length - done, off_t(position + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

bool DumpReader::readLines(const DumpGeometry& geometry, uint32_t first, uint32_t count, const uint8_t** rows)
{
    assert(count >= 1 && count <= linesPerBatch(geometry) && first + uint64_t(count) <= geometry.height);
    const uint64_t rowLength = dumpRowLength(geometry);
    const uint64_t start = geometry.offset + uint64_t(first) * geometry.pitch;
    if (geometry.pitch - rowLength <= rowLength) {
        const uint64_t span = uint64_t(count - 1) * geometry.pitch + rowLength;
        mBuffer.resize(size_t(span));
        if (!readAt(start, size_t(span), mBuffer.data()))
            return false;
        for (uint32_t i = 0; i < count; ++i)
            rows[i] = mBuffer.data() + uint64_t(i) * geometry.pitch;
        return true;
    }
    mBuffer.resize(size_t(uint64_t(count) * rowLength));
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* row = mBuffer.data() + uint64_t(i) * rowLength;
        if (!readAt(start + uint64_t(i) * geometry.pitch, size_t(rowLength), row))
            return false;
        rows[i] = row;
    }
    return true;
}

namespace {

// Bytes of one line in `layout`, or 0 when the dump's own bytes are that layout.
size_t convertedLength(const DumpGeometry& geometry, LineLayout layout)
{
    const DumpFormatInfo& format = *geometry.format;
    if (layout == LineLayout::Rgb)
        return size_t(geometry.width) * (format.hasAlpha ? 4 : 3);
    if (format.bmpCopiesBytes)
        return 0;
    switch (format.bmpPixels) {
    case BmpPixels::Rgb565: return size_t(geometry.width) * 2;
    case BmpPixels::Bgr24: return size_t(geometry.width) * 3;
    case BmpPixels::Bgrx32:
    case BmpPixels::Bgra32: return size_t(geometry.width) * 4;
    }
    return 0;
}

} // namespace

uint64_t DumpLines::memoryBytes(const DumpGeometry& geometry, LineLayout layout)
{
    const uint64_t lines = DumpReader::linesPerBatch(geometry);
    const uint64_t rowLength = dumpRowLength(geometry);
    const uint64_t slack = geometry.pitch - rowLength;
    const uint64_t read = lines * rowLength + (slack <= rowLength ? (lines - 1) * slack : 0);
    return read + lines * (convertedLength(geometry, layout) + sizeof(const uint8_t*));
}

DumpLines::DumpLines(DumpReader& reader, const DumpGeometry& geometry, LineLayout layout)
    : mReader(reader), mGeometry(geometry), mLayout(layout), mConvertedLength(convertedLength(geometry, layout)),
      mLinesPerBatch(DumpReader::linesPerBatch(geometry)), mRows(mLinesPerBatch)
{
}

bool DumpLines::read(uint32_t first, uint32_t count, const uint8_t** rows)
{
    if (!mReader.readLines(mGeometry, first, count, rows)) {
        mFailed = true;
        return false;
    }
    if (mConvertedLength == 0)
        return true;
    mConverted.resize(mConvertedLength * count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* target = mConverted.data() + mConvertedLength * i;
        if (mLayout == LineLayout::Rgb)
            dumpRowToRgb(mGeometry.format->format, rows[i], mGeometry.width, target);
        else
            dumpRowToBmp(mGeometry.format->format, rows[i], mGeometry.width, target);
        rows[i] = target;
    }
    return true;
}

const uint8_t* DumpLines::line(uint32_t y)
{
    if (y < mFirst || y - mFirst >= mCount) {
        mFirst = y;
        mCount = std::min(mLinesPerBatch, mGeometry.height - y);
        if (!read(mFirst, mCount, mRows.data())) {
            mCount = 0;
            return nullptr;
        }
    }
    return mRows[y - mFirst];
}
