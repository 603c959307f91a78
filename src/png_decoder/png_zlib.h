// The zlib wrapper (RFC 1950) around the Deflate data of a PNG image: two
// header bytes before them and the Adler-32 of the inflated bytes after
// them, either of which may be split across IDAT chunks.
#pragma once

#include "streams.h"

#include <cstdint>

constexpr uint32_t kZlibHeaderBytes = 2;  // CMF and FLG
constexpr uint32_t kZlibTrailerBytes = 4; // the Adler-32, most significant byte first
constexpr uint32_t kAdler32Start = 1;     // the Adler-32 of no bytes

// True for a header that zlib accepts for PNG image data: compression
// method 8 (Deflate), a window of at most 32 KiB, no preset dictionary (PNG
// has none to give) and check bits that make CMF * 256 + FLG a multiple of 31.
// The window size is not held against the distances: 32 KiB of history are
// always kept.
bool zlibHeaderAccepted(uint8_t cmf, uint8_t flg);

// Adler-32 over `count` bytes, continuing from `adler`.
uint32_t adler32Update(uint32_t adler, const uint8_t* bytes, uint64_t count);

// The Adler-32 of a stream: counted over the inflated bytes, and compared
// with the four bytes that follow the end of the Deflate data, gathered from
// wherever they fall. Bytes after them are passed over, as zlib's readers
// do with data after the end of the stream.
class ZlibChecksum {
public:
    // Counts inflated bytes.
    void count(const uint8_t* bytes, uint64_t length) { mAdler = adler32Update(mAdler, bytes, length); }

    // At the end of the Deflate data: drops the bits left of the last byte
    // and takes the whole bytes still buffered and the rest of the input.
    void takeRest(bitstream_t& stream);

    // Takes bytes of image data that come after the end of the Deflate data.
    void take(const uint8_t* data, uint32_t length);

    // True when all four bytes are in and spell the Adler-32 counted.
    bool matches() const;

private:
    uint32_t mAdler = kAdler32Start;        // of the bytes counted so far
    uint8_t mBytes[kZlibTrailerBytes] = {}; // the stream's own Adler-32
    uint32_t mTaken = 0;                    // bytes of mBytes taken
};
