#include "ds_surface.h"

#include <cstdlib>
#include <cstring>

namespace {

// Bytes per pixel, indexed by colour mode; modes 6 and 8 have no pixel size.
constexpr uint8_t kBytesPerPixel[] = {4, 3, 2, 2, 2, 1, 0, 2, 0, 1};
constexpr uint32_t kColorModeCount = sizeof(kBytesPerPixel);

constexpr uint64_t kSurfaceHeaderBytes = 20; // five 32-bit words

// Only the palette modes carry a palette buffer.
bool hasPalette(uint32_t colorMode)
{
    return colorMode == I8 || colorMode == AI88;
}

void storeLittleEndian32(uint8_t* destination, uint32_t value)
{
    destination[0] = uint8_t(value);
    destination[1] = uint8_t(value >> 8);
    destination[2] = uint8_t(value >> 16);
    destination[3] = uint8_t(value >> 24);
}

} // namespace

uint32_t dsBytesPerPixel(uint32_t colorMode)
{
    return colorMode < kColorModeCount ? kBytesPerPixel[colorMode] : 0;
}

void* dsMalloc(uint64_t size)
{
    return std::malloc(size_t(size));
}

void dsFree(void* block)
{
    std::free(block);
}

uint64_t dsPitch(uint64_t pixels, uint64_t bytesPerPixel, uint64_t alignment)
{
    if (pixels == 0 || bytesPerPixel == 0 || alignment == 0)
        return 0;
    uint64_t alignmentPart = alignment;
    uint64_t pixelPart = bytesPerPixel;
    while (alignmentPart % 2 == 0 && pixelPart % 2 == 0) {
        alignmentPart /= 2;
        pixelPart /= 2;
    }
    uint64_t multiple = 0;
    uint64_t rowBytes = 0;
    if (__builtin_mul_overflow(alignment, pixelPart, &multiple) ||
        __builtin_mul_overflow(pixels, bytesPerPixel, &rowBytes))
        return 0;
    const uint64_t remainder = rowBytes % multiple;
    uint64_t pitch = rowBytes;
    if (remainder != 0 && __builtin_add_overflow(rowBytes, multiple - remainder, &pitch))
        return 0;
    return pitch;
}

DsSurface::DsSurface(int32_t width, int32_t height, const int32_t* rotation, uint32_t colorMode, bool paletteHasAlpha,
    uint64_t paletteSize, DsAllocator allocator, DsFree free, uint32_t alignment, uint64_t reserve)
    : mAllocator(allocator), mFree(free), mRotation(rotation ? *rotation : 0), mWidth(width), mHeight(height),
      mColorMode(colorMode), mAlignment(alignment), mPaletteHasAlpha(paletteHasAlpha ? 1 : 0), mPaletteSize(paletteSize)
{
    if (mRotation == 90 || mRotation == 270) {
        mWidth = height;
        mHeight = width;
    }
    mClip = DsRect(0, 0, mWidth, mHeight);
    mReserve = (reserve + 3) & ~uint64_t(3);
    if (reserve > kMaxReserve || !allocateBuffers())
        makeEmpty();
}

// Sets the geometry and takes both buffers from the allocator. False when the
// surface cannot be built; nothing is left allocated then.
bool DsSurface::allocateBuffers()
{
    mBytesPerPixel = dsBytesPerPixel(mColorMode);
    if (mBytesPerPixel == 0 || mWidth < 1 || mHeight < 1 || mAlignment > kMaxAlignment ||
        mPaletteSize > kMaxPaletteSize || !mAllocator)
        return false;
    mPitch = dsPitch(uint64_t(mWidth), mBytesPerPixel, mAlignment);
    uint64_t rowBytes = 0;
    uint64_t bufferBytes = 0;
    if (mPitch == 0 || __builtin_mul_overflow(uint64_t(mHeight), mPitch, &rowBytes) ||
        __builtin_add_overflow(rowBytes, mReserve, &bufferBytes))
        return false;
    mPitchPixels = mPitch / mBytesPerPixel;
    mPixels = static_cast<uint8_t*>(mAllocator(bufferBytes));
    if (!mPixels)
        return false;
    if (hasPalette(mColorMode) && mPaletteSize > 0) {
        mPalette = static_cast<uint8_t*>(mAllocator((3 + mPaletteHasAlpha) * mPaletteSize));
        if (!mPalette) {
            if (mFree)
                mFree(mPixels);
            mPixels = nullptr;
            return false;
        }
    }
    return true;
}

void DsSurface::makeEmpty()
{
    mPixels = nullptr;
    mPalette = nullptr;
    mReserve = 0;
    mPitch = 0;
    mPitchPixels = 0;
}

uint64_t DsSurface::bufferSize() const
{
    return uint64_t(mHeight) * mPitch + mReserve;
}

bool DsSurface::resizePalette(uint64_t entries)
{
    if (!mPalette || !mAllocator || !mFree || entries == 0 || entries > kMaxPaletteSize)
        return false;
    const uint64_t entryBytes = 3 + mPaletteHasAlpha;
    auto* palette = static_cast<uint8_t*>(mAllocator(entries * entryBytes));
    if (!palette)
        return false;
    std::memcpy(palette, mPalette, size_t((entries < mPaletteSize ? entries : mPaletteSize) * entryBytes));
    mFree(mPalette);
    mPalette = palette;
    mPaletteSize = entries;
    return true;
}

void DsSurface::release()
{
    if (!mFree)
        return;
    if (mPalette)
        mFree(mPalette);
    if (mPixels)
        mFree(mPixels);
    makeEmpty();
}

bool DsSurface::rotate(int32_t angle)
{
    if ((angle != 90 && angle != 180 && angle != 270) || !mAllocator || !mFree || !mPixels)
        return true;
    const bool quarterTurn = angle != 180;
    const int32_t newWidth = quarterTurn ? mHeight : mWidth;
    const int32_t newHeight = quarterTurn ? mWidth : mHeight;
    const uint64_t newPitch = dsPitch(uint64_t(newWidth), mBytesPerPixel, mAlignment);
    uint64_t newSize = 0;
    if (newPitch == 0 || __builtin_mul_overflow(uint64_t(newHeight), newPitch, &newSize))
        return false;
    auto* target = static_cast<uint8_t*>(mAllocator(newSize));
    if (!target)
        return false;
    copyRotated(target, newPitch, angle);
    mFree(mPixels);
    mPixels = target;
    mReserve = 0;
    mRotation = int32_t(((int64_t(mRotation) + angle) % 360 + 360) % 360);
    mWidth = newWidth;
    mHeight = newHeight;
    mClip = DsRect(0, 0, mWidth, mHeight);
    mPitch = newPitch;
    mPitchPixels = newPitch / mBytesPerPixel;
    return true;
}

// Fills `target` (rows of targetPitch bytes) with the stored pixels turned by
// `angle`: new pixel (row i, column j) comes from
//   90: old (row j, column W-1-i)   180: old (row H-1-i, column W-1-j)
//   270: old (row H-1-j, column i)
// where W and H are the old stored width and height.
void DsSurface::copyRotated(uint8_t* target, uint64_t targetPitch, int32_t angle) const
{
    const int64_t oldWidth = mWidth;
    const int64_t oldHeight = mHeight;
    const int64_t newWidth = angle == 180 ? oldWidth : oldHeight;
    const int64_t newHeight = angle == 180 ? oldHeight : oldWidth;
    const size_t pixelBytes = size_t(mBytesPerPixel);
    for (int64_t i = 0; i < newHeight; ++i) {
        uint8_t* row = target + uint64_t(i) * targetPitch;
        for (int64_t j = 0; j < newWidth; ++j) {
            int64_t sourceRow = j;
            int64_t sourceColumn = oldWidth - 1 - i;
            if (angle == 180) {
                sourceRow = oldHeight - 1 - i;
                sourceColumn = oldWidth - 1 - j;
            } else if (angle == 270) {
                sourceRow = oldHeight - 1 - j;
                sourceColumn = i;
            }
            const uint8_t* source = mPixels + uint64_t(sourceRow) * mPitch + uint64_t(sourceColumn) * pixelBytes;
            std::memcpy(row + uint64_t(j) * pixelBytes, source, pixelBytes);
        }
    }
}

uint64_t DsSurface::serialize(uint8_t* destination) const
{
    const uint64_t rowBytes = uint64_t(mHeight) * mPitch;
    const uint64_t fileSize = (rowBytes + kSurfaceHeaderBytes + 3) & ~uint64_t(3);
    if (!destination)
        return fileSize;
    storeLittleEndian32(destination, uint32_t(mRotation));
    storeLittleEndian32(destination + 4, mColorMode);
    storeLittleEndian32(destination + 8, uint32_t(mWidth));
    storeLittleEndian32(destination + 12, uint32_t(mHeight));
    storeLittleEndian32(destination + 16, uint32_t(mPitch));
    if (rowBytes > 0)
        std::memcpy(destination + kSurfaceHeaderBytes, mPixels, size_t(rowBytes));
    const uint64_t written = kSurfaceHeaderBytes + rowBytes;
    std::memset(destination + written, 0, size_t(fileSize - written));
    return fileSize;
}
