// Reading the lines of a raw framebuffer dump, a batch at a time, so that
// only the bytes of the lines converted are ever touched, whatever the pitch.
#pragma once

#include "dump_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DumpGeometry {
    const DumpFormatInfo* format; // layout of every pixel
    uint32_t width;               // pixels per line
    uint32_t height;              // lines
    uint64_t pitch;               // bytes from one line start to the next, at least the row length
    uint64_t offset;              // bytes before the first line
};

// Bytes of one line's pixels: width x bytes per pixel.
uint64_t dumpRowLength(const DumpGeometry& geometry);
// Smallest dump that holds every line: offset + (height - 1) x pitch + row
// length, or UINT64_MAX where that sum would not fit in 64 bits.
uint64_t requiredDumpSize(const DumpGeometry& geometry);

enum class LineCount : uint8_t {
    Whole,    // the dump ends at the end of a line or in its pitch slack
    TooSmall, // not even one line's pixels after the offset
    Ragged,   // the dump ends inside the pixels of a line
};

// The number of lines whose pixels a dump of `size` bytes holds whole, for
// `geometry` without its height: `*lines` is set for LineCount::Whole only.
LineCount countDumpLines(const DumpGeometry& geometry, uint64_t size, uint64_t* lines);

// Bytes of pixels read at once: small against the memory a run may use, and
// large enough that the reads cost little.
constexpr size_t kDumpBatchBytes = 128 * 1024;

// An open dump, read with positioned reads: nothing of it is mapped or
// read beyond what readLines asks for.
class DumpReader {
public:
    DumpReader() = default;
    DumpReader(const DumpReader&) = delete;
    DumpReader& operator=(const DumpReader&) = delete;
    ~DumpReader();

    // Opens the dump with openInputFile: false when it cannot be opened; any
    // other input than a regular file is taken as opened, and measure fails.
    bool open(const std::string& path);
    // Takes the size of the file. Fails for anything but a regular file and
    // for an empty file.
    bool measure();
    uint64_t size() const { return mSize; }
    // Lines per batch for `geometry`: as many as kDumpBatchBytes of pixels
    // hold, at least one.
    static uint32_t linesPerBatch(const DumpGeometry& geometry);
    // Reads lines `first` to `first + count - 1` (count at most
    // linesPerBatch) and points `rows[i]` at the pixels of line first + i,
    // valid until the next call. The pitch slack between the lines is read
    // with them where it is no longer than their pixels (one read costs
    // less than many), and skipped otherwise. False when a read fails or
    // the file has become shorter.
    bool readLines(const DumpGeometry& geometry, uint32_t first, uint32_t count, const uint8_t** rows);

private:
    bool readAt(uint64_t position, size_t length, uint8_t* target) const;

    int mFd = -1;                 // open dump, or -1
    uint64_t mSize = 0;           // its size, once measured
    std::vector<uint8_t> mBuffer; // the bytes of the last batch
};

// What the lines are converted into.
enum class LineLayout : uint8_t {
    Bmp, // the BMP layout of the format (DumpFormatInfo::bmpPixels)
    Rgb, // 8-bit R, G, B, and A for the formats with alpha
};

// The lines of a dump in the layout an output takes, batch by batch.
class DumpLines {
public:
    DumpLines(DumpReader& reader, const DumpGeometry& geometry, LineLayout layout);

    // The most memory the lines of `geometry` in `layout` take at once: a
    // batch as read (with the pitch slack between its lines where that is
    // read along), the same lines converted, and a pointer to each.
    static uint64_t memoryBytes(const DumpGeometry& geometry, LineLayout layout);

    uint32_t linesPerBatch() const { return mLinesPerBatch; }
    // As DumpReader::readLines, in the output's layout.
    bool read(uint32_t first, uint32_t count, const uint8_t** rows);
    // Line `y`, read with the batch it begins, for outputs that take one
    // line at a time in order; null when the read fails.
    const uint8_t* line(uint32_t y);
    // True once a read or line has failed: a writer stopped by a null line
    // or a false read tells from it that the dump, not the output, failed.
    bool failed() const { return mFailed; }

private:
    DumpReader& mReader;
    DumpGeometry mGeometry;
    LineLayout mLayout;
    size_t mConvertedLength;           // bytes of one converted line; 0 when lines are used as read
    uint32_t mLinesPerBatch;           // lines read at once
    std::vector<uint8_t> mConverted;   // converted lines of the batch
    std::vector<const uint8_t*> mRows; // lines of the batch for `line`
    uint32_t mFirst = 0;               // first line of that batch
    uint32_t mCount = 0;               // lines in it
    bool mFailed = false;              // some read of the dump has failed
};
