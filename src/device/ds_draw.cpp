// DsSurface's drawing operations: refusals, clipping and the mapping between
// logical and stored coordinates, done once per call to cut the operation
// into a job and an area for the engine of ds_draw_paths.h.
#include "ds_draw_paths.h"
#include "ds_rotations.h"
#include "ds_surface.h"

namespace {

using ds::Area;
using ds::Job;
using ds::Operation;

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

int64_t smaller(int64_t a, int64_t b)
{
    return a < b ? a : b;
}

int64_t larger(int64_t a, int64_t b)
{
    return a > b ? a : b;
}

Edges intersect(const Edges& a, const Edges& b)
{
    return {larger(a.left, b.left), larger(a.top, b.top), smaller(a.right, b.right), smaller(a.bottom, b.bottom)};
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

// The box of two opposite corners.
Edges boxOf(const DsStoredPosition& a, const DsStoredPosition& b)
{
    return {smaller(a.column, b.column), smaller(a.row, b.row), larger(a.column, b.column) + 1,
        larger(a.row, b.row) + 1};
}

// The stored edges of the non-empty logical rectangle `logical` of
// `surface`, which may lie partly or wholly outside it.
Edges storedEdges(const DsSurface& surface, const Edges& logical)
{
    const int32_t rotation = surface.rotation();
    const int64_t width = surface.logicalWidth(), height = surface.logicalHeight();
    return boxOf(dsStoredPosition(rotation, width, height, logical.left, logical.top),
        dsStoredPosition(rotation, width, height, logical.right - 1, logical.bottom - 1));
}

// The logical edges of the non-empty stored rectangle `stored`.
Edges logicalEdges(const DsSurface& surface, const Edges& stored)
{
    const int32_t rotation = surface.rotation();
    const int64_t width = surface.logicalWidth(), height = surface.logicalHeight();
    return boxOf(logicalPosition(rotation, width, height, stored.left, stored.top),
        logicalPosition(rotation, width, height, stored.right - 1, stored.bottom - 1));
}

DsRect rectOf(const Edges& edges)
{
    return DsRect(int32_t(edges.left), int32_t(edges.top), int32_t(edges.right - edges.left),
        int32_t(edges.bottom - edges.top));
}

// The part of the logical rectangle `area` that lies in the surface's clip,
// in stored coordinates; empty when nothing does.
Edges clippedStored(const DsSurface& surface, const Edges& area)
{
    if (area.isEmpty())
        return {};
    return intersect(storedEdges(surface, area), edgesOf(surface.clip()));
}

// How the indices of an I8 or AI88 surface read: a palette of no entries
// counts as none.
ds::Palette paletteOf(const DsSurface& surface)
{
    const uint32_t mode = surface.colorMode();
    if ((mode != I8 && mode != AI88) || !surface.palette() || surface.paletteSize() == 0)
        return {nullptr, 0, 3};
    return {surface.palette(), surface.paletteSize(), surface.paletteHasAlpha() ? 4u : 3u};
}

uint8_t* storedPixel(const DsSurface& surface, int64_t column, int64_t row)
{
    return surface.pixels() + uint64_t(row) * surface.pitch() + uint64_t(column) * surface.bytesPerPixel();
}

// The value `argb` stores in `mode`; I8 takes the word's low byte as the index.
uint32_t storedValue(uint32_t mode, uint32_t argb)
{
    return mode == I8 ? argb & 0xFF : dsEncodeColor(mode, argb);
}

// True when the source may read as anything but opaque.
bool readsAlpha(const DsSurface& source)
{
    return dsHasAlpha(source.colorMode()) || (source.colorMode() == I8 && source.paletteHasAlpha());
}

Job jobOf(Operation operation, const DsSurface& destination, const DsSurface* source)
{
    return {operation, source ? source->colorMode() : ds::kNoSource, destination.colorMode(),
        source ? paletteOf(*source) : ds::Palette{nullptr, 0, 3}, paletteOf(destination), 255, 0, 0};
}

// Bytes from the stored source pixel `from` to `to`.
ptrdiff_t byteOffset(const DsSurface& source, const DsStoredPosition& from, const DsStoredPosition& to)
{
    return ptrdiff_t((to.column - from.column) * int64_t(source.bytesPerPixel()) +
        (to.row - from.row) * int64_t(source.pitch()));
}

// The stored source pixel that lands on logical destination (x, y).
DsStoredPosition sourcePosition(const DsSurface& source, const DsStoredPosition& at, int64_t dx, int64_t dy)
{
    return dsStoredPosition(
        source.rotation(), source.logicalWidth(), source.logicalHeight(), at.column + dx, at.row + dy);
}

// Runs the job over the non-empty stored rectangle `stored` of the
// destination (inside it and its clip); the source pixel of logical
// destination (x, y) is logical source (x + dx, y + dy).
void run(const Job& job, DsSurface& destination, const DsSurface* source, const Edges& stored, int64_t dx, int64_t dy)
{
    Area area{storedPixel(destination, stored.left, stored.top), ptrdiff_t(destination.pitch()), nullptr, 0, 0,
        uint32_t(stored.right - stored.left), uint32_t(stored.bottom - stored.top)};
    if (source) {
        const int32_t rotation = destination.rotation();
        const int64_t width = destination.logicalWidth(), height = destination.logicalHeight();
        const DsStoredPosition from = sourcePosition(
            *source, logicalPosition(rotation, width, height, stored.left, stored.top), dx, dy);
        const DsStoredPosition right = sourcePosition(
            *source, logicalPosition(rotation, width, height, stored.left + 1, stored.top), dx, dy);
        const DsStoredPosition below = sourcePosition(
            *source, logicalPosition(rotation, width, height, stored.left, stored.top + 1), dx, dy);
        area.source = storedPixel(*source, from.column, from.row);
        area.sourceStep = byteOffset(*source, from, right);
        area.sourcePitch = byteOffset(*source, from, below);
    }
    ds::drawArea(job, area);
}

// Places `sourceArea` of `source` with its top-left pixel at (x, y) on
// `destination`, clips it and runs the job over what is left.
int drawFrom(
    const Job& job, DsSurface& destination, const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y)
{
    const Edges from = intersect(edgesOf(sourceArea), Edges{0, 0, source.logicalWidth(), source.logicalHeight()});
    const int64_t dx = int64_t(sourceArea.x) - x, dy = int64_t(sourceArea.y) - y;
    const Edges stored =
        clippedStored(destination, Edges{from.left - dx, from.top - dy, from.right - dx, from.bottom - dy});
    if (!stored.isEmpty())
        run(job, destination, &source, stored, dx, dy);
    return DS_DRAW_OK;
}

// Runs a job without a source over the logical `area`, clipped.
int drawOver(const Job& job, DsSurface& destination, const DsRect& area)
{
    const Edges stored = clippedStored(destination, edgesOf(area));
    if (!stored.isEmpty())
        run(job, destination, nullptr, stored, 0, 0);
    return DS_DRAW_OK;
}

} // namespace

int32_t DsSurface::logicalWidth() const
{
    return dsSwapsSides(mRotation) ? mHeight : mWidth;
}

int32_t DsSurface::logicalHeight() const
{
    return dsSwapsSides(mRotation) ? mWidth : mHeight;
}

void DsSurface::setClip(const DsRect& area)
{
    const Edges inside = intersect(edgesOf(area), Edges{0, 0, logicalWidth(), logicalHeight()});
    mClip = inside.isEmpty() ? DsRect() : rectOf(storedEdges(*this, inside));
}

DsRect DsSurface::logicalClip() const
{
    return mClip.isEmpty() ? DsRect() : rectOf(logicalEdges(*this, edgesOf(mClip)));
}

int DsSurface::fill(const DsRect& area, uint32_t argb)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    Job job = jobOf(Operation::Fill, *this, nullptr);
    job.value = storedValue(mColorMode, argb);
    return drawOver(job, *this, area);
}

int DsSurface::blendFill(const DsRect& area, uint32_t argb, uint8_t opacity)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (mColorMode == I8)
        return DS_DRAW_UNSUPPORTED_MODES;
    const uint32_t alpha = ds::mulAlpha(ds::alphaOf(argb), opacity);
    if (alpha == 0)
        return DS_DRAW_OK;
    // Opaque: every pixel becomes the colour, as a fill stores it.
    if (alpha == 255)
        return fill(area, argb);
    Job job = jobOf(Operation::SolidOver, *this, nullptr);
    job.alpha = alpha;
    job.color = argb;
    return drawOver(job, *this, area);
}

int DsSurface::blit(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y)
{
    if (!isValid() || !source.isValid())
        return DS_DRAW_INVALID_SURFACE;
    const bool sameMode = source.colorMode() == mColorMode;
    if (mColorMode == I8 && !sameMode)
        return DS_DRAW_UNSUPPORTED_MODES;
    return drawFrom(jobOf(sameMode ? Operation::CopyValues : Operation::Copy, *this, &source), *this, source,
        sourceArea, x, y);
}

int DsSurface::blend(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y, uint8_t opacity)
{
    if (source.isValid() && source.colorMode() == A8)
        return blendMask(source, sourceArea, x, y, 0xFF000000u, opacity);
    if (!isValid() || !source.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (mColorMode == I8)
        return DS_DRAW_UNSUPPORTED_MODES;
    if (opacity == 0)
        return DS_DRAW_OK;
    // Every source pixel opaque: each becomes the destination's, as a copy.
    if (opacity == 255 && !readsAlpha(source))
        return blit(source, sourceArea, x, y);
    Job job = jobOf(Operation::Blend, *this, &source);
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
    Job job = jobOf(Operation::Mask, *this, &mask);
    job.alpha = ds::mulAlpha(ds::alphaOf(argb), opacity);
    job.color = argb;
    if (job.alpha == 0)
        return DS_DRAW_OK;
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
        for (int32_t i = 0; i < mClip.width; ++i, pixel += bytes) {
            uint32_t value = 0;
            for (uint32_t b = 0; b < bytes; ++b)
                value |= uint32_t(pixel[b]) << (8 * b);
            if (value == fromValue)
                ds::storeValue(bytes, pixel, toValue);
        }
    }
    return DS_DRAW_OK;
}

int DsSurface::replaceAlpha(uint8_t alpha)
{
    if (!isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!dsHasAlpha(mColorMode))
        return DS_DRAW_UNSUPPORTED_MODES;
    if (mClip.isEmpty())
        return DS_DRAW_OK;
    // The alpha of one A8 pixel, read again and again (steps of 0).
    const uint8_t value = alpha;
    Job job = jobOf(Operation::ReplaceAlpha, *this, nullptr);
    job.sourceMode = A8;
    const Area area{storedPixel(*this, mClip.x, mClip.y), ptrdiff_t(mPitch), &value, 0, 0, uint32_t(mClip.width),
        uint32_t(mClip.height)};
    ds::drawGeneral(job, area);
    return DS_DRAW_OK;
}

int DsSurface::replaceAlpha(const DsSurface& mask, int32_t x, int32_t y)
{
    if (!isValid() || !mask.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!dsHasAlpha(mColorMode) || mask.colorMode() != A8)
        return DS_DRAW_UNSUPPORTED_MODES;
    const DsRect whole(0, 0, mask.logicalWidth(), mask.logicalHeight());
    return drawFrom(jobOf(Operation::ReplaceAlpha, *this, &mask), *this, mask, whole, x, y);
}

uint32_t DsSurface::pixel(int32_t x, int32_t y) const
{
    if (!isValid() || x < 0 || y < 0 || x >= logicalWidth() || y >= logicalHeight())
        return 0;
    const DsStoredPosition at = dsStoredPosition(mRotation, logicalWidth(), logicalHeight(), x, y);
    return ds::readPixel(mColorMode, storedPixel(*this, at.column, at.row), paletteOf(*this));
}

void DsSurface::setPixel(int32_t x, int32_t y, uint32_t argb)
{
    if (!isValid() || !logicalClip().contains(x, y))
        return;
    const DsStoredPosition at = dsStoredPosition(mRotation, logicalWidth(), logicalHeight(), x, y);
    ds::storeValue(bytesPerPixel(), storedPixel(*this, at.column, at.row), storedValue(mColorMode, argb));
}
