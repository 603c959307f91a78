#include "ds_surface.h"

#include "ds_bytes.h"
#include "ds_compressed.h"
#include "ds_pixels.h"
#include "ds_rotations.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Only the palette modes carry a palette buffer.
bool hasPalette(uint32_t colorMode)
{
    return colorMode == I8 || colorMode == AI88;
}

} // namespace

void* dsMalloc(uint64_t size)
{
    return malloc(size_t(size));
}

void dsFree(void* block)
{
    free(block);
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
    if (dsSwapsSides(mRotation)) {
        mWidth = height;
        mHeight = width;
    }
    mClip = DsRect(0, 0, mWidth, mHeight);
    mReserve = (reserve + 3) & ~uint64_t(3);
    if (reserve > kMaxReserve || !allocateBuffers())
        makeEmpty();
}

DsSurface::DsSurface(
    int32_t width, int32_t height, int32_t rotation, uint32_t colorMode, uint8_t* pixels, uint32_t pitch)
    : mAllocator(nullptr), mFree(nullptr), mRotation(rotation), mWidth(width), mHeight(height), mColorMode(colorMode),
      mAlignment(1), mPaletteHasAlpha(0), mPaletteSize(0)
{
    if (dsSwapsSides(rotation)) {
        mWidth = height;
        mHeight = width;
    }
    mClip = DsRect(0, 0, mWidth, mHeight);
    mBytesPerPixel = dsBytesPerPixel(colorMode);
    if (!pixels || mBytesPerPixel == 0 || width < 1 || height < 1 || !dsIsRotation(rotation) ||
        pitch < uint64_t(mWidth) * mBytesPerPixel) {
        makeEmpty();
        return;
    }
    mPitch = pitch;
    mPitchPixels = pitch / mBytesPerPixel;
    mPixels = pixels;
}

DsSurface::DsSurface(int32_t width, int32_t height, int32_t rotation, uint32_t colorMode, uint8_t* pixels,
    uint32_t pitch, uint64_t bufferBytes)
    : DsSurface(width, height, rotation, colorMode, pixels, pitch)
{
    if (mPixels && uint64_t(mHeight) * mPitch > bufferBytes)
        makeEmpty();
}

uint32_t dsPackedPitch(int32_t width, int32_t height, int32_t rotation, uint32_t colorMode)
{
    const uint64_t rowBytes = uint64_t(dsSwapsSides(rotation) ? height : width) * dsBytesPerPixel(colorMode);
    if (width < 1 || height < 1 || !dsIsRotation(rotation) || rowBytes > UINT32_MAX)
        return 0;
    return uint32_t(rowBytes);
}

// The file's width and height are those of the stored rows. A compressed
// file's surface keeps its code instead of pixel rows.
DsSurface::DsSurface(const DsSurfaceFile& file)
    : DsSurface(int32_t(dsSwapsSides(file.rotation) ? file.height : file.width),
          int32_t(dsSwapsSides(file.rotation) ? file.width : file.height), file.rotation, file.colorMode,
          const_cast<uint8_t*>(file.isCompressed() ? file.code : file.rows), file.pitch)
{
    if (!mPixels || !file.isCompressed())
        return;
    // No pixel rows: no pitch and no buffer, so that what reads rows reads none.
    mPixels = nullptr;
    mPitch = 0;
    mPitchPixels = 0;
    if (!file.blocks || file.rowsPerBlock < 1 || file.rowsPerBlock > file.height)
        return;
    mCode = file.code;
    mBlocks = file.blocks;
    mCodeBytes = file.codeBytes;
    mRowsPerBlock = file.rowsPerBlock;
}

bool DsSurface::codedRows(ds::CodedRows& rows) const
{
    if (!mCode)
        return false;
    rows = {mColorMode, uint32_t(mWidth), uint32_t(mHeight), mRowsPerBlock, mBlocks, mCode, mCodeBytes};
    return true;
}

namespace {

// The surface file at `data`, or one without rows, which makes an invalid
// surface, when the bytes are not a surface file the surface can read.
DsSurfaceFile readableFileOrNone(const uint8_t* data, uint64_t size)
{
    DsSurfaceFile file{};
    if (dsReadSurfaceFile(data, size, file) != SURFACE_FILE_OK)
        file = DsSurfaceFile{};
    return file;
}

} // namespace

DsSurface::DsSurface(const uint8_t* fileBytes, uint64_t size) : DsSurface(readableFileOrNone(fileBytes, size))
{
}

bool DsSurface::usePalette(const uint8_t* palette, uint16_t entries, bool hasAlpha)
{
    if (!isValid() || mAllocator || mFree || !hasPalette(mColorMode) || (!palette && entries > 0))
        return false;
    mPalette = const_cast<uint8_t*>(palette);
    mPaletteSize = entries;
    mPaletteHasAlpha = hasAlpha ? 1 : 0;
    return true;
}

// Sets the geometry and takes both buffers from the allocator. False when the
// surface cannot be built; nothing is left allocated then.
bool DsSurface::allocateBuffers()
{
    mBytesPerPixel = dsBytesPerPixel(mColorMode);
    if (mBytesPerPixel == 0 || mWidth < 1 || mHeight < 1 || !dsIsRotation(mRotation) || mAlignment > kMaxAlignment ||
        mPaletteSize > kMaxPaletteSize || !mAllocator)
        return false;
    mPitch = dsPitch(uint64_t(mWidth), mBytesPerPixel, mAlignment);
    uint64_t rowBytes = 0;
    uint64_t bufferBytes = 0;
    if (mPitch == 0 || mPitch > kMaxPitch || __builtin_mul_overflow(uint64_t(mHeight), mPitch, &rowBytes) ||
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
    memcpy(palette, mPalette, size_t((entries < mPaletteSize ? entries : mPaletteSize) * entryBytes));
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
    if (mCode)
        return false;
    if (angle == 0 || !dsIsRotation(angle) || !mAllocator || !mFree || !mPixels)
        return true;
    const int32_t newWidth = dsSwapsSides(angle) ? mHeight : mWidth;
    const int32_t newHeight = dsSwapsSides(angle) ? mWidth : mHeight;
    const uint64_t newPitch = dsPitch(uint64_t(newWidth), mBytesPerPixel, mAlignment);
    uint64_t newSize = 0;
    if (newPitch == 0 || newPitch > kMaxPitch || __builtin_mul_overflow(uint64_t(newHeight), newPitch, &newSize))
        return false;
    auto* target = static_cast<uint8_t*>(mAllocator(newSize));
    if (!target)
        return false;
    copyRotated(target, newPitch, angle, 0, newHeight);
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

// Fills `target` (rows of targetPitch bytes) with rows firstRow to firstRow +
// rowCount - 1 of the stored pixels turned by `angle`: new pixel (row i,
// column j) comes from
//   90: old (row j, column W-1-i)   180: old (row H-1-i, column W-1-j)
//   270: old (row H-1-j, column i)
// where W and H are the old stored width and height.
void DsSurface::copyRotated(
    uint8_t* target, uint64_t targetPitch, int32_t angle, int64_t firstRow, int64_t rowCount) const
{
    const int64_t oldWidth = mWidth;
    const int64_t oldHeight = mHeight;
    const int64_t newWidth = dsSwapsSides(angle) ? oldHeight : oldWidth;
    const size_t pixelBytes = size_t(mBytesPerPixel);
    for (int64_t i = firstRow; i < firstRow + rowCount; ++i) {
        uint8_t* row = target + uint64_t(i - firstRow) * targetPitch;
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
            memcpy(row + uint64_t(j) * pixelBytes, source, pixelBytes);
        }
    }
}

uint64_t dsSurfaceFileSize(uint64_t rowBytes)
{
    return (rowBytes + kDsSurfaceFileHeaderBytes + 3) & ~uint64_t(3);
}

namespace {

// The rest of a compressed file, its header's five words read into `file`
// and found sound: the two words of its own, the block table and the code,
// which must end the file but for the zeros up to a multiple of 4.
int readCompressedFile(const uint8_t* data, uint64_t size, DsSurfaceFile& file)
{
    if (size < kDsCompressedHeaderBytes || file.pitch != uint64_t(file.width) * dsBytesPerPixel(file.colorMode))
        return SURFACE_FILE_INVALID;
    file.rowsPerBlock = dsLoadLittle32(data + kDsSurfaceFileRowsPerBlockWord);
    file.codeBytes = dsLoadLittle32(data + kDsSurfaceFileCodeBytesWord);
    if (file.rowsPerBlock < 1 || file.rowsPerBlock > file.height)
        return SURFACE_FILE_INVALID;
    const uint64_t tableBytes = 4 * ((uint64_t(file.height) + file.rowsPerBlock - 1) / file.rowsPerBlock);
    if (size != ((kDsCompressedHeaderBytes + tableBytes + file.codeBytes + 3) & ~uint64_t(3)))
        return SURFACE_FILE_INVALID;
    file.rows = nullptr;
    file.blocks = data + kDsCompressedHeaderBytes;
    file.code = file.blocks + tableBytes;
    const ds::CodedRows rows = {
        file.colorMode, file.width, file.height, file.rowsPerBlock, file.blocks, file.code, file.codeBytes};
    if (!ds::checkCodedRows(rows)) {
        file.code = nullptr;
        return SURFACE_FILE_INVALID;
    }
    return SURFACE_FILE_OK;
}

} // namespace

int dsReadSurfaceFile(const uint8_t* data, uint64_t size, DsSurfaceFile& file)
{
    file = DsSurfaceFile{};
    if (!data || size < kDsSurfaceFileHeaderBytes)
        return SURFACE_FILE_INVALID;
    file.rotation = int32_t(dsLoadLittle32(data + kDsSurfaceFileRotationWord));
    const uint32_t modeWord = dsLoadLittle32(data + kDsSurfaceFileColorModeWord);
    file.colorMode = modeWord & ~kDsCompressedFlag;
    file.width = dsLoadLittle32(data + kDsSurfaceFileWidthWord);
    file.height = dsLoadLittle32(data + kDsSurfaceFileHeightWord);
    file.pitch = dsLoadLittle32(data + kDsSurfaceFilePitchWord);
    file.rows = data + kDsSurfaceFileHeaderBytes;
    if (!dsIsRotation(file.rotation))
        return SURFACE_FILE_INVALID;
    const uint32_t bytesPerPixel = dsBytesPerPixel(file.colorMode);
    if (bytesPerPixel == 0)
        return SURFACE_FILE_UNSUPPORTED_MODE;
    constexpr uint32_t kLargestDimension = 0x7FFFFFFF; // the surface's fields are signed 32-bit
    if (file.width < 1 || file.height < 1 || file.width > kLargestDimension || file.height > kLargestDimension ||
        file.pitch < uint64_t(file.width) * bytesPerPixel)
        return SURFACE_FILE_INVALID;
    if ((modeWord & kDsCompressedFlag) != 0)
        return readCompressedFile(data, size, file);
    if (size != dsSurfaceFileSize(uint64_t(file.height) * file.pitch))
        return SURFACE_FILE_INVALID;
    return SURFACE_FILE_OK;
}

DsColor dsPixelColor(uint32_t colorMode, const uint8_t* pixel)
{
    const uint32_t argb = ds::readPixel(colorMode, pixel, ds::Palette{nullptr, 0, 3});
    return {
        uint8_t(ds::redOf(argb)), uint8_t(ds::greenOf(argb)), uint8_t(ds::blueOf(argb)), uint8_t(ds::alphaOf(argb))};
}

DsStoredPosition dsStoredPosition(int32_t rotation, int64_t width, int64_t height, int64_t x, int64_t y)
{
    switch (rotation) {
    case 90: return {y, width - 1 - x};
    case 180: return {width - 1 - x, height - 1 - y};
    case 270: return {height - 1 - y, x};
    default: return {x, y};
    }
}
