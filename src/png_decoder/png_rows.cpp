#include "png_rows.h"

#include "png_unfilter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Inflated bytes kept before the output: the farthest a Deflate match reaches.
constexpr uint64_t kHistoryBytes = INFLATE_MAX_DISTANCE;
// Room for new output after the history; any size works, larger ones move
// the history less often.
constexpr uint64_t kBatchBytes = 32768;
constexpr uint64_t kInflatedBytes = kHistoryBytes + kBatchBytes;

} // namespace

bool PngRowDecoder::start(const PngRowImage& image, const PngRowTarget& target)
{
    mImage = image;
    mTarget = target;
    mFilterBytes = pngFilterBytesPerPixel(image.bitsPerPixel);
    mSurfaceBytes = pngConvertedBytesPerPixel(image.format);
    const uint64_t scanline = pngWidestScanline(image.passes, image.bitsPerPixel) + 1;
    mInflated.reset(new (std::nothrow) uint8_t[kInflatedBytes]);
    mScanlines.reset(new (std::nothrow) uint8_t[2 * scanline]);
    if (!mInflated || !mScanlines)
        return false;
    mCurrent = mScanlines.get();
    mPrevious = mCurrent + scanline;
    // The first pass holds the top-left pixel, so it is never empty.
    mScanlineBytes = pngScanlineBytes(image.passes.pass[0].width, image.bitsPerPixel);
    // Without the workspace the inflater decodes the same, only more slowly.
    mWorkspace.reset(new (std::nothrow) inflate_workspace_t);
    mInflater.workspace = mWorkspace.get();
    inflate_process(&mInflater, nullptr);
    mInflater.output = mInflated.get();
    mInflater.output_space = uint32_t(std::min(kInflatedBytes, image.filteredSize));
    return true;
}

// When the output space runs out before the image is complete, the history
// moves to the start of the buffer and decoding goes on after it.
PngRowDecoder::Status PngRowDecoder::feed(const uint8_t* data, uint32_t length)
{
    if (mStatus == Status::Done)
        mChecksum.take(data, length);
    if (mStatus != Status::NeedInput)
        return mStatus;
    mStream.cur = data;
    mStream.bytes_left = length;
    for (;;) {
        uint8_t* const output = mInflater.output;
        const inflate_result_t result = inflate_process(&mInflater, &mStream);
        if (!takeBytes(output, uint64_t(mInflater.output - output)) || result == INFLATE_DATA_ERROR)
            return mStatus = Status::Invalid;
        if (result == INFLATE_NEED_INPUT)
            return mStatus = Status::NeedInput;
        if (result == INFLATE_DONE) {
            mChecksum.takeRest(mStream);
            return mStatus = Status::Done;
        }
        if (mInflater.total == mImage.filteredSize)
            return mStatus = Status::Invalid; // data beyond the image's last scanline
        makeRoom();
    }
}

bool PngRowDecoder::complete() const
{
    return mStatus == Status::Done && mInflater.total == mImage.filteredSize && mChecksum.matches();
}

// Matches reach back through the output pointer at most kHistoryBytes, so
// the inflater only needs those bytes just before its output: they move to
// the start of the buffer, and the space after them is never more than the
// image still needs, so that extra data show as a full output.
void PngRowDecoder::makeRoom()
{
    const uint64_t keep = std::min<uint64_t>(mInflater.total, kHistoryBytes);
    std::memmove(mInflated.get(), mInflater.output - keep, keep);
    mInflater.output = mInflated.get() + keep;
    mInflater.output_space = uint32_t(std::min(kInflatedBytes - keep, mImage.filteredSize - mInflater.total));
}

// Counts inflated bytes into the Adler-32 and copies them into the scanline
// being filled, finishing each one that becomes complete. False at a filter
// type above 4.
bool PngRowDecoder::takeBytes(const uint8_t* bytes, uint64_t count)
{
    mChecksum.count(bytes, count);
    while (count > 0 && mPass < mImage.passes.count) {
        const uint64_t n = std::min(mScanlineBytes + 1 - mFilled, count);
        std::memcpy(mCurrent + mFilled, bytes, size_t(n));
        mFilled += n;
        bytes += n;
        count -= n;
        if (mFilled == mScanlineBytes + 1 && !finishScanline())
            return false;
    }
    return true;
}

// Unfilters the complete scanline and converts its pixels into their image
// positions: scanline j of a pass is image row y0 + j * dy, and its pixel i
// image column x0 + i * dx.
bool PngRowDecoder::finishScanline()
{
    const PngPass& pass = mImage.passes.pass[mPass];
    uint8_t* const scanline = mCurrent + 1;
    if (!pngUnfilterScanline(scanline, mRow == 0 ? nullptr : mPrevious + 1, mScanlineBytes, mFilterBytes, mCurrent[0]))
        return false;
    const uint64_t y = pass.y0 + uint64_t(mRow) * pass.dy;
    uint8_t* const out = mTarget.pixels + y * mTarget.pitch + uint64_t(pass.x0) * mSurfaceBytes;
    pngConvertPixels(mImage.format, scanline, pass.width, out, uint64_t(pass.dx) * mSurfaceBytes);
    std::swap(mCurrent, mPrevious);
    nextScanline();
    return true;
}

// Moves on to the next scanline, across the passes too small to have any.
void PngRowDecoder::nextScanline()
{
    mFilled = 0;
    if (++mRow < mImage.passes.pass[mPass].height)
        return;
    mRow = 0;
    const PngPasses& passes = mImage.passes;
    do
        ++mPass;
    while (mPass < passes.count && (passes.pass[mPass].width == 0 || passes.pass[mPass].height == 0));
    if (mPass < passes.count)
        mScanlineBytes = pngScanlineBytes(passes.pass[mPass].width, mImage.bitsPerPixel);
}
