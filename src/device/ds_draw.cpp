// DsSurface's drawing operations: clipping, the mapping between logical and
// stored coordinates, and the cutting of each operation into runs of stored
// rows for the paths of ds_draw_paths.h.
#include "ds_draw_paths.h"
#include "ds_surface.h"

namespace {

using ds::Job;
using ds::Operation;
using ds::Run;

// A rectangle with 64-bit edges: left <= x < right, top <= y < bottom.
struct Edges {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;

    bool isEmpty() const { return right <= left || bottom <= top; }
};

Edges edgesOf(const DsRect& rect)
{
    return {rect.x, rect.y, int64_t(rect.x) + rect.width, int64_t(rect.y) + rect.height};
}

Edges intersect(const Edges& a, const Edges& b)
{
    return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
        a.bottom < b.bottom ? a.bottom : b.bottom};
}

// The logical pixel at stored (column, row): the inverse of dsStoredPosition.
DsStoredPosition logicalPosition(int32_t rotation, int64_t width, int64_t height, int64_t column, int64_t row)
{
    switch (rotation) {
    case 90: return {width - 1 - row, column};
    case 180: return {width - 1 - column, height - 1 - row};
    case 270: return {row, height - 1 - column};
    default: return {column, row};
    }
}

// The logical step that one stored column to the right makes.
DsStoredPosition logicalColumnStep(int32_t rotation)
{
    switch (rotation) {
    case 90: return {0, 1};
    case 180: return {-1, 0};
    case 270: return {0, -1};
    default: return {1, 0};
    }
}

// The stored rectangle of a non-empty logical rectangle inside a surface of
// `width` x `height` logical pixels: the box of two opposite corners.
DsRect storedRect(int32_t rotation, int64_t width, int64_t height, const Edges& logical)
{
    const DsStoredPosition a = dsStoredPosition(rotation, width, height, logical.left, logical.top);
    const DsStoredPosition b = dsStoredPosition(rotation, width, height, logical.right - 1, logical.bottom - 1);
    const int64_t column = a.column < b.column ? a.column : b.column;
    const int64_t row = a.row < b.row ? a.row : b.row;
    const int64_t columns = (a.column < b.column ? b.column - a.column : a.column - b.column) + 1;
    const int64_t rows = (a.row < b.row ? b.row - a.row : a.row - b.row) + 1;
    return DsRect(int32_t(column), int32_t(row), int32_t(columns), int32_t(rows));
}

// The logical rectangle of a non-empty stored rectangle.
DsRect logicalRect(int32_t rotation, int64_t width, int64_t height, const DsRect& stored)
{
    const DsStoredPosition a = logicalPosition(rotation, width, height, stored.x, stored.y);
    const DsStoredPosition b = logicalPosition(
        rotation, width, height, int64_t(stored.x) + stored.width - 1, int64_t(stored.y) + stored.height - 1);
    const int64_t x = a.column < b.column ? a.column : b.column;
    const int64_t y = a.row < b.row ? a.row : b.row;
    const int64_t w = (a.column < b.column ? b.column - a.column : a.column - b.column) + 1;
    const int64_t h = (a.row < b.row ? b.row - a.row : a.row - b.row) + 1;
    return DsRect(int32_t(x), int32_t(y), int32_t(w), int32_t(h));
}

// The stored value `argb` gives in `mode`; I8 takes the word's low byte as
// the index.
uint32_t storedValue(uint32_t mode, uint32_t argb)
{
    return mode == I8 ? argb & 0xFF : dsEncodeColor(mode, argb);
}

bool hasAlpha(uint32_t mode)
{
    return mode == ARGB8888 || mode == ARGB1555 || mode == ARGB4444 || mode == AI88 || mode == A8;
}

uint8_t* storedPixel(const DsSurface& surface, int64_t column, int64_t row)
{
    return surface.pixels() + uint64_t(row) * surface.pitch() + uint64_t(column) * surface.bytesPerPixel();
}

// Cuts the job over the logical destination rectangle `area` (inside the
// destination and its clip) into runs; the source pixel of logical
// destination (x, y) is logical source (x + dx, y + dy).
void runJob(const Job& job, DsSurface& destination, const DsSurface& source, const Edges& area, int64_t dx, int64_t dy)
{
    const int32_t rotation = destination.rotation();
    const int64_t width = destination.logicalWidth(), height = destination.logicalHeight();
    const int64_t sourceWidth = source.logicalWidth(), sourceHeight = source.logicalHeight();
    const DsRect stored = storedRect(rotation, width, height, area);
    const DsStoredPosition step = logicalColumnStep(rotation);
    for (int64_t row = stored.y; row < int64_t(stored.y) + stored.height; ++row) {
        const DsStoredPosition at = logicalPosition(rotation, width, height, stored.x, row);
        const DsStoredPosition from =
            dsStoredPosition(source.rotation(), sourceWidth, sourceHeight, at.column + dx, at.row + dy);
        const DsStoredPosition next = dsStoredPosition(
            source.rotation(), sourceWidth, sourceHeight, at.column + dx + step.column, at.row + dy + step.row);
        const ptrdiff_t sourceStep = ptrdiff_t((next.column - from.column) * int64_t(source.bytesPerPixel()) +
            (next.row - from.row) * int64_t(source.pitch()));
        const Run run{storedPixel(destination, stored.x, row), storedPixel(source, from.column, from.row), sourceStep,
            uint32_t(stored.width)};
        if (!ds::fastRun(job, run))
            ds::generalRun(job, run);
    }
}

// Places `sourceArea` of `source` with its top-left pixel at (x, y) on
// `destination`, clips it and runs the job over what is left.
int drawFrom(
    const Job& job, DsSurface& destination, const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y)
{
    const Edges sourceBounds{0, 0, source.logicalWidth(), source.logicalHeight()};
    const Edges from = intersect(edgesOf(sourceArea), sourceBounds);
    if (sourceArea.isEmpty() || from.isEmpty())
        return DS_DRAW_OK;
    const int64_t dx = int64_t(sourceArea.x) - x, dy = int64_t(sourceArea.y) - y;
    const Edges placed{from.left - dx, from.top - dy, from.right - dx, from.bottom - dy};
    const DsRect clip = destination.logicalClip();
    const Edges area = intersect(placed, edgesOf(clip));
    if (clip.isEmpty() || area.isEmpty())
        return DS_DRAW_OK;
    runJob(job, destination, source, area, dx, dy);
    return DS_DRAW_OK;
}

Job jobBetween(Operation operation, const DsSurface& destination, const DsSurface& source)
{
    return {operation, ds::pixelReaderOf(source), ds::pixelReaderOf(destination), source.bytesPerPixel(),
        destination.bytesPerPixel(), 255, 0};
}

} // namespace

int32_t DsSurface::logicalWidth() const
{
    return mRotation == 90 || mRotation == 270 ? mHeight : mWidth;
}

int32_t DsSurface::logicalHeight() const
{
    return mRotation == 90 || mRotation == 270 ? mWidth : mHeight;
}

void DsSurface::setClip(const DsRect& area)
{
    const Edges inside = intersect(edgesOf(area), Edges{0, 0, logicalWidth(), logicalHeight()});
    if (area.isEmpty() || inside.isEmpty()) {
        mClip = DsRect();
        return;
    }
    mClip = storedRect(mRotation, logicalWidth(), logicalHeight(), inside);
}

DsRect DsSurface::logicalClip() const
{
    if (mClip.isEmpty())
        return DsRect();
    return logicalRect(mRotation, logicalWidth(), logicalHeight(), mClip);
}

int DsSurface::fill(const DsRect& area, uint32_t argb)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    const DsRect clip = logicalClip();
    const Edges inside = intersect(edgesOf(area), edgesOf(clip));
    if (area.isEmpty() || clip.isEmpty() || inside.isEmpty())
        return DS_DRAW_OK;
    const DsRect stored = storedRect(mRotation, logicalWidth(), logicalHeight(), inside);
    const uint32_t value = storedValue(mColorMode, argb);
    for (int64_t row = stored.y; row < int64_t(stored.y) + stored.height; ++row) {
        uint8_t* first = storedPixel(*this, stored.x, row);
        if (!ds::fastFill(mColorMode, first, value, uint32_t(stored.width)))
            ds::generalFill(bytesPerPixel(), first, value, uint32_t(stored.width));
    }
    return DS_DRAW_OK;
}

int DsSurface::blit(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y)
{
    if (!isValid() || !source.isValid())
        return DS_DRAW_INVALID_SURFACE;
    const bool sameMode = source.colorMode() == mColorMode;
    if (mColorMode == I8 && !sameMode)
        return DS_DRAW_UNSUPPORTED_MODES;
    return drawFrom(
        jobBetween(sameMode ? Operation::CopyValues : Operation::Copy, *this, source), *this, source, sourceArea, x, y);
}

int DsSurface::blend(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y, uint8_t opacity)
{
    if (source.isValid() && source.colorMode() == A8)
        return blendMask(source, sourceArea, x, y, 0xFF000000u, opacity);
    if (!isValid() || !source.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (mColorMode == I8)
        return DS_DRAW_UNSUPPORTED_MODES;
    Job job = jobBetween(Operation::Blend, *this, source);
    job.alpha = opacity;
    return drawFrom(job, *this, source, sourceArea, x, y);
}

int DsSurface::blendMask(
    const DsSurface& mask, const DsRect& sourceArea, int32_t x, int32_t y, uint32_t argb, uint8_t opacity)
{
    if (!isValid() || !mask.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (mColorMode == I8 || mask.colorMode() != A8)
        return DS_DRAW_UNSUPPORTED_MODES;
    Job job = jobBetween(Operation::Mask, *this, mask);
    job.alpha = ds::mulAlpha(ds::alphaOf(argb), opacity);
    job.color = argb;
    return drawFrom(job, *this, mask, sourceArea, x, y);
}

int DsSurface::replaceColor(uint32_t from, uint32_t to)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    const uint32_t fromValue = storedValue(mColorMode, from), toValue = storedValue(mColorMode, to);
    const uint32_t bytes = bytesPerPixel();
    for (int64_t row = mClip.y; row < int64_t(mClip.y) + mClip.height; ++row) {
        uint8_t* pixel = storedPixel(*this, mClip.x, row);
        for (int32_t i = 0; i < mClip.width; ++i, pixel += bytes)
            if (ds::loadValue(bytes, pixel) == fromValue)
                ds::storeValue(bytes, pixel, toValue);
    }
    return DS_DRAW_OK;
}

int DsSurface::replaceAlpha(uint8_t alpha)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!hasAlpha(mColorMode))
        return DS_DRAW_UNSUPPORTED_MODES;
    // A fill of every pixel with an opaque A8 mask of the alpha, one pixel
    // read again and again (a source step of 0).
    uint8_t value = alpha;
    const DsSurface mask(1, 1, 0, A8, &value, 1);
    const Job job = jobBetween(Operation::ReplaceAlpha, *this, mask);
    for (int64_t row = mClip.y; row < int64_t(mClip.y) + mClip.height; ++row)
        ds::generalRun(job, Run{storedPixel(*this, mClip.x, row), &value, 0, uint32_t(mClip.width)});
    return DS_DRAW_OK;
}

int DsSurface::replaceAlpha(const DsSurface& mask, int32_t x, int32_t y)
{
    if (!isValid() || !mask.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!hasAlpha(mColorMode) || mask.colorMode() != A8)
        return DS_DRAW_UNSUPPORTED_MODES;
    const DsRect whole(0, 0, mask.logicalWidth(), mask.logicalHeight());
    return drawFrom(jobBetween(Operation::ReplaceAlpha, *this, mask), *this, mask, whole, x, y);
}

uint32_t DsSurface::pixel(int32_t x, int32_t y) const
{
    if (!isValid() || x < 0 || y < 0 || x >= logicalWidth() || y >= logicalHeight())
        return 0;
    const DsStoredPosition at = dsStoredPosition(mRotation, logicalWidth(), logicalHeight(), x, y);
    return ds::readArgb(ds::pixelReaderOf(*this), storedPixel(*this, at.column, at.row));
}

void DsSurface::setPixel(int32_t x, int32_t y, uint32_t argb)
{
    if (!isValid() || !logicalClip().contains(x, y))
        return;
    const DsStoredPosition at = dsStoredPosition(mRotation, logicalWidth(), logicalHeight(), x, y);
    ds::storeValue(bytesPerPixel(), storedPixel(*this, at.column, at.row), storedValue(mColorMode, argb));
}
