// Writing surface files on the build machine: the header and the rows of a
// surface, upright or turned a batch of rows at a time. Not part of the device
// library, which only reads surface files.
#include "ds_bytes.h"
#include "ds_rotations.h"
#include "ds_surface.h"

#include <string.h>

namespace {

void writeHeader(uint8_t* header, uint32_t rotation, uint32_t colorMode, int32_t width, int32_t height, uint64_t pitch)
{
    dsStoreLittle32(header + kDsSurfaceFileRotationWord, rotation);
    dsStoreLittle32(header + kDsSurfaceFileColorModeWord, colorMode);
    dsStoreLittle32(header + kDsSurfaceFileWidthWord, uint32_t(width));
    dsStoreLittle32(header + kDsSurfaceFileHeightWord, uint32_t(height));
    dsStoreLittle32(header + kDsSurfaceFilePitchWord, uint32_t(pitch));
}

} // namespace

DsSurface::TurnedFile DsSurface::turnedFile(int32_t angle) const
{
    if (!dsIsRotation(angle))
        angle = 0;
    const int32_t width = dsSwapsSides(angle) ? mHeight : mWidth;
    const int32_t height = dsSwapsSides(angle) ? mWidth : mHeight;
    TurnedFile file{};
    file.rowCount = uint32_t(height);
    file.pitch = angle == 0 ? mPitch : dsPitch(uint64_t(width), mBytesPerPixel, mAlignment);
    writeHeader(file.header, uint32_t(((int64_t(mRotation) + angle) % 360 + 360) % 360), mColorMode, width, height,
        file.pitch);
    const uint64_t rowBytes = uint64_t(height) * file.pitch;
    file.tailBytes = uint32_t(dsSurfaceFileSize(rowBytes) - kDsSurfaceFileHeaderBytes - rowBytes);
    return file;
}

void DsSurface::copyTurnedRows(int32_t angle, uint32_t firstRow, uint32_t count, uint8_t* target) const
{
    const TurnedFile file = turnedFile(angle);
    memset(target, 0, size_t(uint64_t(count) * file.pitch));
    if (!mPixels)
        return;
    if (angle == 0 || !dsIsRotation(angle)) {
        for (uint32_t row = 0; row < count; ++row)
            memcpy(target + uint64_t(row) * file.pitch, mPixels + uint64_t(firstRow + row) * mPitch,
                size_t(uint64_t(mWidth) * mBytesPerPixel));
        return;
    }
    copyRotated(target, file.pitch, angle, firstRow, count);
}

DsSurfaceFilePieces DsSurface::filePieces() const
{
    DsSurfaceFilePieces pieces{};
    writeHeader(pieces.header, uint32_t(mRotation), mColorMode, mWidth, mHeight, mPitch);
    pieces.rows = mPixels;
    pieces.rowBytes = uint64_t(mHeight) * mPitch;
    pieces.tailBytes = uint32_t(dsSurfaceFileSize(pieces.rowBytes) - kDsSurfaceFileHeaderBytes - pieces.rowBytes);
    return pieces;
}

uint64_t DsSurface::serialize(uint8_t* destination) const
{
    const DsSurfaceFilePieces pieces = filePieces();
    const uint64_t fileSize = dsSurfaceFileSize(pieces.rowBytes);
    if (!destination)
        return fileSize;
    memcpy(destination, pieces.header, kDsSurfaceFileHeaderBytes);
    if (pieces.rowBytes > 0)
        memcpy(destination + kDsSurfaceFileHeaderBytes, pieces.rows, size_t(pieces.rowBytes));
    memset(destination + kDsSurfaceFileHeaderBytes + pieces.rowBytes, 0, pieces.tailBytes);
    return fileSize;
}
