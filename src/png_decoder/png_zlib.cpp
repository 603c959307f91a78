#include "png_zlib.h"

#include "png_bytes.h"

#include <algorithm>
#include <new>

namespace {

constexpr uint32_t kMethodDeflate = 8;
constexpr uint32_t kLargestWindowInfo = 7;   // CINFO of a 32 KiB window: 2^(7 + 8) bytes
constexpr uint32_t kPresetDictionary = 0x20; // FDICT in FLG
constexpr uint32_t kHeaderCheckDivisor = 31;

constexpr uint32_t kAdlerModulus = 65521; // the largest prime below 2^16
// The most bytes the two sums can take before the modulus without
// overflowing 32 bits: 255 n (n + 1) / 2 + (n + 1) (kAdlerModulus - 1) < 2^32.
constexpr uint64_t kAdlerRun = 5552;

} // namespace

bool zlibHeaderAccepted(uint8_t cmf, uint8_t flg)
{
    return (cmf & 0x0F) == kMethodDeflate && (cmf >> 4) <= kLargestWindowInfo && (flg & kPresetDictionary) == 0 &&
        (uint32_t(cmf) << 8 | flg) % kHeaderCheckDivisor == 0;
}

// Format notes: over n bytes x[0..n-1], a grows by their sum and b by n
// times the a it started from plus the sum of (n - i) x[i]. Taking 16 bytes
// at a time that way gives the compiler independent sums to vectorise
// instead of one long chain of additions.
uint32_t adler32Update(uint32_t adler, const uint8_t* bytes, uint64_t count)
{
    constexpr uint32_t kBlock = 16;
    static_assert(kAdlerRun % kBlock == 0, "a run is made of whole blocks");
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (count > 0) {
        const uint64_t run = std::min(count, kAdlerRun);
        uint64_t i = 0;
        for (; i + kBlock <= run; i += kBlock) {
            uint32_t sum = 0, weighted = 0;
            for (uint32_t k = 0; k < kBlock; ++k) {
                sum += bytes[i + k];
                weighted += (kBlock - k) * bytes[i + k];
            }
            b += kBlock * a + weighted;
            a += sum;
        }
        for (; i < run; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= kAdlerModulus;
        b %= kAdlerModulus;
        bytes += run;
        count -= run;
    }
    return b << 16 | a;
}

void ZlibChecksum::takeRest(bitstream_t& stream)
{
    bitstream_align(&stream);
    while (mTaken < kZlibTrailerBytes) {
        const uint32_t byte = bitstream_extract(&stream, 8);
        if (byte == BITSTREAM_EOF)
            return;
        mBytes[mTaken++] = uint8_t(byte);
    }
}

void ZlibChecksum::take(const uint8_t* data, uint32_t length)
{
    for (uint32_t i = 0; i < length && mTaken < kZlibTrailerBytes; ++i)
        mBytes[mTaken++] = data[i];
}

bool ZlibChecksum::matches() const
{
    return mTaken == kZlibTrailerBytes && pngLoadBig32(mBytes) == mAdler;
}

void PngInflater::start(uint8_t* window, uint64_t space, uint64_t size)
{
    // Without the workspace the inflater decodes the same, only more slowly.
    mWorkspace.reset(new (std::nothrow) inflate_workspace_t);
    mInflater.workspace = mWorkspace.get();
    inflate_process(&mInflater, nullptr);
    mSize = size;
    moveWindow(window, space);
}

void PngInflater::moveWindow(uint8_t* window, uint64_t space)
{
    mInflater.output = window;
    mInflater.output_space = uint32_t(space);
}

PngInflater::Status PngInflater::feed(const uint8_t* data, uint32_t length, Output* output)
{
    if (mStatus == Status::Done)
        mChecksum.take(data, length);
    if (mStatus != Status::NeedInput)
        return mStatus;
    mStream.cur = data;
    mStream.bytes_left = length;
    for (;;) {
        uint8_t* const inflated = mInflater.output;
        const inflate_result_t result = inflate_process(&mInflater, &mStream);
        const uint64_t count = uint64_t(mInflater.output - inflated);
        mChecksum.count(inflated, count);
        if ((output && !output->take(inflated, count)) || result == INFLATE_DATA_ERROR)
            return mStatus = Status::Invalid;
        if (result == INFLATE_NEED_INPUT)
            return mStatus = Status::NeedInput;
        if (result == INFLATE_DONE) {
            mChecksum.takeRest(mStream);
            return mStatus = Status::Done;
        }
        if (!output || mInflater.total == mSize)
            return mStatus = Status::Invalid; // data beyond the image's last scanline
        output->makeRoom(*this);
    }
}

bool PngInflater::complete() const
{
    return mStatus == Status::Done && mInflater.total == mSize && mChecksum.matches();
}
