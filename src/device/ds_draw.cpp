// DsSurface's drawing operations: refusals, clipping and the mapping between
// logical and stored coordinates, done once per call to cut the operation
// into a job and an area for the engine of ds_draw_paths.h.
#include "ds_compressed.h"
#include "ds_draw_paths.h"
#include "ds_rotations.h"
#include "ds_surface.h"

namespace {

using ds::Area;
using ds::Job;
using ds::Operation;
using ds::paletteOf;

int64_t smaller(int64_t a, int64_t b)
{
    return a < b ? a : b;
}

int64_t larger(int64_t a, int64_t b)
{
    return a > b ? a : b;
}

// The quarter turn of a surface as an index: 0 for 0 degrees (and for an
// angle outside the list, which the library reads as 0), 1 for 90, 2 for
// 180, 3 for 270.
uint32_t turnOf(const DsSurface& surface)
{
    for (uint32_t turn = 1; turn < kDsRotationCount; ++turn)
        if (uint32_t(surface.rotation()) == kDsRotations[turn])
            return turn;
    return 0;
}

// The logical steps that one stored column and one stored row to the right
// and down make, by quarter turn.
struct StoredSteps {
    int8_t columnX, columnY; // one stored column
    int8_t rowX, rowY;       // one stored row
};
constexpr StoredSteps kStoredSteps[4] = {{1, 0, 0, 1}, {0, 1, -1, 0}, {-1, 0, 0, -1}, {0, -1, 1, 0}};

// Where the logical pixels of a surface lie in its buffer: logical (x, y)
// at origin + x * xStep + y * yStep.
struct Frame {
    uint8_t* origin;
    ptrdiff_t xStep;
    ptrdiff_t yStep;
};

Frame frameOf(const DsSurface& surface)
{
    const ptrdiff_t bytes = ptrdiff_t(surface.bytesPerPixel()), pitch = ptrdiff_t(surface.pitch());
    uint8_t* const first = surface.pixels();
    const ptrdiff_t lastColumn = (surface.width() - 1) * bytes, lastRow = (surface.height() - 1) * pitch;
    switch (turnOf(surface)) {
    case 1: return {first + lastRow, -pitch, bytes};
    case 2: return {first + lastRow + lastColumn, -bytes, -pitch};
    case 3: return {first + lastColumn, pitch, -bytes};
    default: return {first, bytes, pitch};
    }
}

// The logical rectangle of the stored rectangle `stored` (inside the surface).
DsRect logicalOf(const DsSurface& surface, const DsRect& stored)
{
    const int32_t columns = surface.width(), rows = surface.height();
    switch (turnOf(surface)) {
    case 1: return DsRect(rows - stored.y - stored.height, stored.x, stored.height, stored.width);
    case 2:
        return DsRect(columns - stored.x - stored.width, rows - stored.y - stored.height, stored.width, stored.height);
    case 3: return DsRect(stored.y, columns - stored.x - stored.width, stored.height, stored.width);
    default: return stored;
    }
}

// The stored position of the first stored pixel of the logical rectangle
// (left, top, width, height) on a surface of `columns` x `rows` stored
// pixels in quarter turn `turn`: the corner from which its stored rows run.
void storedCornerOf(uint32_t turn, int32_t columns, int32_t rows, int64_t left, int64_t top, int64_t width,
    int64_t height, int64_t& column, int64_t& row)
{
    switch (turn) {
    case 1: column = top, row = rows - left - width; break;
    case 2: column = columns - left - width, row = rows - top - height; break;
    case 3: column = columns - top - height, row = left; break;
    default: column = left, row = top; break;
    }
}

// The stored rectangle of the logical rectangle `logical` (inside the surface).
DsRect storedOf(const DsSurface& surface, const DsRect& logical)
{
    const uint32_t turn = turnOf(surface);
    int64_t column, row;
    storedCornerOf(
        turn, surface.width(), surface.height(), logical.x, logical.y, logical.width, logical.height, column, row);
    const bool turned = turn == 1 || turn == 3;
    return DsRect(int32_t(column), int32_t(row), turned ? logical.height : logical.width,
        turned ? logical.width : logical.height);
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

// One axis of a placement: `count` logical destination pixels from
// `first`, on which the source pixels from `sourceFirst` land.
struct Axis {
    int32_t first;
    int32_t count;
    int32_t sourceFirst;
};

// Places the source pixels [start, start + length) of a source `size`
// pixels long so that `start` lands on `position`, and keeps the part that
// lies in the source and in the destination's clip [clipStart, clipStart +
// clipLength), clipStart >= 0. False when nothing is left. The edges may pass
// the int32 range on the way; what is left lies inside both surfaces.
bool placeAxis(
    int32_t start, int32_t length, int32_t size, int32_t position, int32_t clipStart, int32_t clipLength, Axis& axis)
{
    const int64_t shift = int64_t(position) - start;
    const int64_t first = larger(larger(start, 0) + shift, clipStart);
    const int64_t end = smaller(smaller(int64_t(start) + length, size) + shift, int64_t(clipStart) + clipLength);
    if (end <= first)
        return false;
    axis = {int32_t(first), int32_t(end - first), int32_t(first - shift)};
    return true;
}

// The area of the logical rectangle of `columns` and `rows` of the
// destination (inside it and its clip), with the source pixels they give.
Area areaOf(const DsSurface& destination, const DsSurface* source, const Axis& columns, const Axis& rows)
{
    const StoredSteps& steps = kStoredSteps[turnOf(destination)];
    // The logical position of the first stored pixel: the corner from which
    // stored columns and rows run into the rectangle.
    const int32_t x = steps.columnX < 0 || steps.rowX < 0 ? columns.count - 1 : 0;
    const int32_t y = steps.columnY < 0 || steps.rowY < 0 ? rows.count - 1 : 0;
    const bool turned = steps.columnX == 0;
    const Frame frame = frameOf(destination);
    Area area{frame.origin + (columns.first + x) * frame.xStep + (rows.first + y) * frame.yStep,
        ptrdiff_t(destination.pitch()), nullptr, 0, 0, uint32_t(turned ? rows.count : columns.count),
        uint32_t(turned ? columns.count : rows.count)};
    if (source) {
        const Frame from = frameOf(*source);
        area.source = from.origin + (columns.sourceFirst + x) * from.xStep + (rows.sourceFirst + y) * from.yStep;
        area.sourceStep = steps.columnX * from.xStep + steps.columnY * from.yStep;
        area.sourcePitch = steps.rowX * from.xStep + steps.rowY * from.yStep;
    }
    return area;
}

void run(const Job& job, DsSurface& destination, const DsSurface* source, const Axis& columns, const Axis& rows)
{
    ds::drawArea(job, areaOf(destination, source, columns, rows));
}

// Compressed sources ---------------------------------------------------------
//
// The stored rectangle of the source that an operation reads is decoded a
// band of columns at a time (as wide as the decode buffer allows), each band
// from the first row of the block that holds the rectangle's first row, the
// rows above the rectangle decoded only as the state of the next.

// Decodes rows `from` to `to` - 1 of columns [first, first + count) in place
// into `span`, which holds row from - 1's (unless `from` starts a block);
// returns where row `to`'s code starts.
const uint8_t* decodeInPlace(const ds::RowDecoder& decoder, const uint8_t* code, uint32_t from, uint32_t to,
    uint32_t first, uint32_t count, uint8_t* span)
{
    for (uint32_t row = from; row < to; ++row)
        code = ds::decodeRow(decoder, code, first, count, span, span);
    return code;
}

// Source and destination stored in the same quarter turn: each stored row
// of the source is one row of the area, its pixels one after the other. A
// row is decoded into the buffer, over the row above, and drawn at once.
void drawCodedRows(const Job& job, DsSurface& destination, const ds::RowDecoder& decoder, const DsRect& stored,
    const Axis& columns, const Axis& rows, uint8_t* buffer)
{
    const ds::CodedRows& coded = decoder.rows;
    const uint32_t bytes = dsBytesPerPixel(coded.colorMode);
    const uint32_t bandPixels = kDsDecodeBufferBytes / bytes;
    const Area area = areaOf(destination, nullptr, columns, rows);
    const uint32_t destinationBytes = destination.bytesPerPixel();
    const uint32_t top = uint32_t(stored.y), blockTop = top - top % coded.rowsPerBlock;
    for (uint32_t done = 0; done < uint32_t(stored.width); done += bandPixels) {
        const uint32_t first = uint32_t(stored.x) + done;
        const uint32_t count = smaller(bandPixels, uint32_t(stored.width) - done);
        Area row = area;
        row.destination += ptrdiff_t(done) * destinationBytes;
        row.source = buffer;
        row.sourceStep = ptrdiff_t(bytes);
        row.width = count;
        row.height = 1;
        const ds::FastPath fast = ds::findFastPath(job, row);
        const uint8_t* code = decodeInPlace(decoder, ds::blockCode(coded, top), blockTop, top, first, count, buffer);
        for (uint32_t y = 0; y < area.height; ++y, row.destination += area.destinationPitch) {
            code = ds::decodeRow(decoder, code, first, count, buffer, buffer);
            if (fast)
                fast(job, row);
            else
                ds::drawGeneral(job, row);
        }
    }
}

// Stored in different quarter turns: a destination row crosses the source's
// stored rows. Strips of rows of a band are decoded into the buffer, each
// row below the one above it, and each strip is drawn as a surface of its
// own, stored in the source's turn.
void drawCodedStrips(const Job& job, DsSurface& destination, const DsSurface& source, const ds::RowDecoder& decoder,
    const DsRect& stored, const Axis& columns, const Axis& rows, uint8_t* buffer)
{
    const ds::CodedRows& coded = decoder.rows;
    constexpr uint32_t kStripRows = 8; // the fewest rows a strip holds when the band is narrowed for them
    const uint32_t bytes = dsBytesPerPixel(coded.colorMode);
    const uint32_t bandPixels = smaller(uint32_t(stored.width), larger(1, kDsDecodeBufferBytes / (bytes * kStripRows)));
    const uint32_t top = uint32_t(stored.y), bottom = top + uint32_t(stored.height);
    const uint32_t blockTop = top - top % coded.rowsPerBlock;
    for (uint32_t done = 0; done < uint32_t(stored.width); done += bandPixels) {
        const uint32_t first = uint32_t(stored.x) + done;
        const uint32_t count = smaller(bandPixels, uint32_t(stored.width) - done);
        const uint32_t pitch = count * bytes;
        const uint32_t stripRows = kDsDecodeBufferBytes / pitch;
        const uint8_t* code = decodeInPlace(decoder, ds::blockCode(coded, top), blockTop, top, first, count, buffer);
        const uint8_t* above = buffer;
        for (uint32_t row = top; row < bottom; row += stripRows) {
            const uint32_t strip = smaller(stripRows, bottom - row);
            for (uint32_t i = 0; i < strip; ++i) {
                code = ds::decodeRow(decoder, code, first, count, above, buffer + i * pitch);
                above = buffer + i * pitch;
            }
            const DsRect tile = logicalOf(source, DsRect(int32_t(first), int32_t(row), int32_t(count), int32_t(strip)));
            DsSurface pixels(tile.width, tile.height, source.rotation(), coded.colorMode, buffer, pitch);
            run(job, destination, &pixels, {columns.first + (tile.x - columns.sourceFirst), tile.width, 0},
                {rows.first + (tile.y - rows.sourceFirst), tile.height, 0});
        }
    }
}

// Runs the job over `columns` and `rows` from the compressed `source`.
void drawCoded(const Job& job, DsSurface& destination, const DsSurface& source, const Axis& columns, const Axis& rows)
{
    ds::CodedRows coded;
    source.codedRows(coded);
    const ds::RowDecoder decoder = ds::rowDecoder(coded);
    const DsRect stored = storedOf(source, DsRect(columns.sourceFirst, rows.sourceFirst, columns.count, rows.count));
    alignas(4) uint8_t buffer[kDsDecodeBufferBytes];
    if (turnOf(source) == turnOf(destination))
        drawCodedRows(job, destination, decoder, stored, columns, rows, buffer);
    else
        drawCodedStrips(job, destination, source, decoder, stored, columns, rows, buffer);
}

// Places `sourceArea` of `source` with its top-left pixel at (x, y) on
// `destination`, clips it and runs the job over what is left.
int drawFrom(
    const Job& job, DsSurface& destination, const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y)
{
    const DsRect clip = destination.logicalClip();
    Axis columns, rows;
    if (placeAxis(sourceArea.x, sourceArea.width, source.logicalWidth(), x, clip.x, clip.width, columns) &&
        placeAxis(sourceArea.y, sourceArea.height, source.logicalHeight(), y, clip.y, clip.height, rows)) {
        if (source.isCompressed())
            drawCoded(job, destination, source, columns, rows);
        else
            run(job, destination, &source, columns, rows);
    }
    return DS_DRAW_OK;
}

// Runs a job without a source over the logical `area`, clipped.
int drawOver(const Job& job, DsSurface& destination, const DsRect& area)
{
    const DsRect clip = destination.logicalClip();
    Axis columns, rows;
    if (placeAxis(area.x, area.width, INT32_MAX, area.x, clip.x, clip.width, columns) &&
        placeAxis(area.y, area.height, INT32_MAX, area.y, clip.y, clip.height, rows))
        run(job, destination, nullptr, columns, rows);
    return DS_DRAW_OK;
}

// Why `destination` cannot be drawn into, or DS_DRAW_OK: only a surface
// with pixel rows can, which one test tells.
int destinationRefusal(const DsSurface& destination)
{
    if (destination.pixels())
        return DS_DRAW_OK;
    return destination.isCompressed() ? DS_DRAW_READ_ONLY : DS_DRAW_INVALID_SURFACE;
}

} // namespace

ds::Palette ds::paletteOf(const DsSurface& surface)
{
    const uint32_t mode = surface.colorMode();
    if ((mode != I8 && mode != AI88) || !surface.palette() || surface.paletteSize() == 0)
        return {nullptr, 0, 3};
    return {surface.palette(), surface.paletteSize(), surface.paletteHasAlpha() ? 4u : 3u};
}

int ds::prepareMaskTarget(DsSurface& destination, uint32_t argb, MaskTarget& target)
{
    if (const int refusal = destinationRefusal(destination))
        return refusal;
    if (destination.colorMode() == I8)
        return DS_DRAW_UNSUPPORTED_MODES;
    Job job = jobOf(Operation::Mask, destination, nullptr);
    job.sourceMode = A8;
    job.alpha = ds::mulAlpha(ds::alphaOf(argb), 255);
    job.color = argb;
    const DsRect& clip = destination.clip();
    // The fast path depends on the job alone: a mask's pixels are read one
    // after the other, as every fast path reads its source.
    const ds::FastPath fast = ds::findFastPath(job, Area{});
    target = {job, fast ? fast : ds::drawGeneral, destination.pixels(), ptrdiff_t(destination.pitch()),
        destination.bytesPerPixel(), int32_t(turnOf(destination)), destination.width(), destination.height(), clip.x,
        clip.y, int64_t(clip.x) + clip.width, int64_t(clip.y) + clip.height};
    return DS_DRAW_OK;
}

void ds::storedCorner(
    const MaskTarget& target, int64_t left, int64_t top, int32_t width, int32_t height, int64_t& column, int64_t& row)
{
    storedCornerOf(
        uint32_t(target.turn), target.storedWidth, target.storedHeight, left, top, width, height, column, row);
}

void ds::drawStoredMask(
    const MaskTarget& target, int64_t column, int64_t row, const uint8_t* mask, uint32_t columns, uint32_t rows)
{
    const int64_t left = larger(column, target.clipLeft), top = larger(row, target.clipTop);
    const int64_t right = smaller(column + columns, target.clipRight);
    const int64_t bottom = smaller(row + rows, target.clipBottom);
    if (right <= left || bottom <= top)
        return;
    const Area area{target.pixels + top * target.pitch + left * ptrdiff_t(target.bytesPerPixel), target.pitch,
        mask + (top - row) * columns + (left - column), 1, ptrdiff_t(columns), uint32_t(right - left),
        uint32_t(bottom - top)};
    target.draw(target.job, area);
}

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
    Axis columns, rows;
    if (placeAxis(area.x, area.width, INT32_MAX, area.x, 0, logicalWidth(), columns) &&
        placeAxis(area.y, area.height, INT32_MAX, area.y, 0, logicalHeight(), rows))
        mClip = storedOf(*this, DsRect(columns.first, rows.first, columns.count, rows.count));
    else
        mClip = DsRect();
}

DsRect DsSurface::logicalClip() const
{
    return mClip.isEmpty() ? DsRect() : logicalOf(*this, mClip);
}

int DsSurface::fill(const DsRect& area, uint32_t argb)
{
    if (const int refusal = destinationRefusal(*this))
        return refusal;
    Job job = jobOf(Operation::Fill, *this, nullptr);
    job.value = storedValue(mColorMode, argb);
    return drawOver(job, *this, area);
}

int DsSurface::blendFill(const DsRect& area, uint32_t argb, uint8_t opacity)
{
    if (const int refusal = destinationRefusal(*this))
        return refusal;
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
    if (const int refusal = destinationRefusal(*this))
        return refusal;
    if (!source.isValid())
        return DS_DRAW_INVALID_SURFACE;
    const bool sameMode = source.colorMode() == mColorMode;
    if (mColorMode == I8 && !sameMode)
        return DS_DRAW_UNSUPPORTED_MODES;
    return drawFrom(
        jobOf(sameMode ? Operation::CopyValues : Operation::Copy, *this, &source), *this, source, sourceArea, x, y);
}

int DsSurface::blend(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y, uint8_t opacity)
{
    if (source.isValid() && source.colorMode() == A8)
        return blendMask(source, sourceArea, x, y, 0xFF000000u, opacity);
    if (const int refusal = destinationRefusal(*this))
        return refusal;
    if (!source.isValid())
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
    if (const int refusal = destinationRefusal(*this))
        return refusal;
    if (!mask.isValid())
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
    if (const int refusal = destinationRefusal(*this))
        return refusal;
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
    if (const int refusal = destinationRefusal(*this))
        return refusal;
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
    if (const int refusal = destinationRefusal(*this))
        return refusal;
    if (!mask.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!dsHasAlpha(mColorMode) || mask.colorMode() != A8)
        return DS_DRAW_UNSUPPORTED_MODES;
    return drawFrom(jobOf(Operation::ReplaceAlpha, *this, &mask), *this, mask, mask.logicalArea(), x, y);
}

uint32_t DsSurface::pixel(int32_t x, int32_t y) const
{
    if (!isValid() || x < 0 || y < 0 || x >= logicalWidth() || y >= logicalHeight())
        return 0;
    if (mCode) {
        ds::CodedRows coded;
        codedRows(coded);
        const DsStoredPosition at = dsStoredPosition(mRotation, logicalWidth(), logicalHeight(), x, y);
        const uint32_t column = uint32_t(at.column), row = uint32_t(at.row);
        uint8_t stored[4];
        decodeInPlace(
            ds::rowDecoder(coded), ds::blockCode(coded, row), row - row % mRowsPerBlock, row + 1, column, 1, stored);
        return ds::readPixel(mColorMode, stored, paletteOf(*this));
    }
    const Frame frame = frameOf(*this);
    return ds::readPixel(mColorMode, frame.origin + x * frame.xStep + y * frame.yStep, paletteOf(*this));
}

void DsSurface::setPixel(int32_t x, int32_t y, uint32_t argb)
{
    if (destinationRefusal(*this) != DS_DRAW_OK || !logicalClip().contains(x, y))
        return;
    const Frame frame = frameOf(*this);
    ds::storeValue(bytesPerPixel(), frame.origin + x * frame.xStep + y * frame.yStep, storedValue(mColorMode, argb));
}
