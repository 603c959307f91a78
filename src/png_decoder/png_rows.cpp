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
    mInflater.start(mInflated.get(), std::min(kInflatedBytes, image.filteredSize), image.filteredSize);
    return true;
}

PngInflater::Status PngRowDecoder::feed(const uint8_t* data, uint32_t length)
{
    return mInflater.feed(data, length, this);
}

bool PngRowDecoder::complete() const
{
    return mInflater.complete();
}

// When the window is full before the image is complete, the history moves
// to the start of the buffer and decoding goes on after it. Matches reach
// back at most kHistoryBytes, so the inflater only needs those bytes just
// before its output; the space after them is never more than the image
// still needs, so that extra data show as a full window.
void PngRowDecoder::makeRoom(PngInflater& inflater)
{
    const uint64_t keep = std::min<uint64_t>(inflater.total(), kHistoryBytes);
    std::memmove(mInflated.get(), inflater.window() - keep, keep);
    inflater.moveWindow(mInflated.get() + keep, std::min(kInflatedBytes - keep, mImage.filteredSize - inflater.total()));
}

// Copies inflated bytes into the scanline being filled, finishing each one
// that becomes complete. False at a filter type above 4.
bool PngRowDecoder::take(const uint8_t* bytes, uint64_t count)
{
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
