// The zlib wrapper (RFC 1950) around the Deflate data of a PNG image: two
// header bytes before them and the Adler-32 of the inflated bytes after
// them, either of which may be split across IDAT chunks; and the stream that
// inflates those data for both of the decoder's strategies.
#pragma once

#include "streams.h"

#include <cstdint>
#include <memory>

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
    // Adds `length` inflated bytes to the Adler-32 counted so far.
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

// The image data's Deflate stream from the first IDAT chunk to the last: the
// inflater, its input cursor kept across chunks, and the Adler-32 after the
// data. Both decoding strategies feed their image data through it: the one
// that inflates the whole image into place, and the row decoder, whose small
// window of output it lets make room as it fills.
class PngInflater {
public:
    enum class Status {
        NeedInput, // every byte given was used; more image data may follow
        Done,      // the Deflate data have ended; later bytes go to the Adler-32
        Invalid,   // a Deflate error, more data than the image holds, or output refused
    };

    // Where the inflated bytes go beyond the window the inflater writes.
    class Output {
    public:
        // Takes the `count` bytes just inflated at `bytes`; false makes the
        // stream Invalid.
        virtual bool take(const uint8_t* bytes, uint64_t count) = 0;
        // Called when the window is full before the image is complete: points
        // the inflater at more space with moveOutput.
        virtual void makeRoom(PngInflater& inflater) = 0;

    protected:
        ~Output() = default;
    };

    PngInflater() = default;
    PngInflater(const PngInflater&) = delete;
    PngInflater& operator=(const PngInflater&) = delete;

    // Starts a stream that inflates to `size` bytes in all, the first of
    // them into the `space` bytes at `window`. The inflater record points
    // into itself, so it stays where it was started.
    void start(uint8_t* window, uint64_t space, uint64_t size);

    // Inflates the next piece of the Deflate data (the zlib header already
    // taken off), handing each run of output to `output` when it is not null;
    // without one, a full window ends the stream as Invalid. Once Done has
    // been returned, later pieces are taken as the Adler-32 and Done is
    // returned again; once Invalid has been, it is returned again and nothing
    // is read.
    Status feed(const uint8_t* data, uint32_t length, Output* output);

    // True when the Deflate data inflated to exactly `size` bytes and were
    // followed by their Adler-32.
    bool complete() const;

    uint64_t total() const { return mInflater.total; } // bytes inflated so far
    uint8_t* window() const { return mInflater.output; } // where the next byte goes
    // Where the inflated bytes go from now on: `space` bytes at `window`,
    // the last INFLATE_MAX_DISTANCE bytes inflated lying just before it.
    void moveWindow(uint8_t* window, uint64_t space);

private:
    inflate_t mInflater{};                           // the image's Deflate stream
    bitstream_t mStream{};                           // its input cursor, kept across IDAT chunks
    std::unique_ptr<inflate_workspace_t> mWorkspace; // the inflater's wider tables; null if none could be had
    uint64_t mSize = 0;                              // bytes the image data inflate to
    ZlibChecksum mChecksum;                          // the Adler-32, counted and as the data give it
    Status mStatus = Status::NeedInput;              // result of the last feed
};
