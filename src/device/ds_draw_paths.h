// The drawing engine behind DsSurface's operations. Not part of the
// library's interface: pixpack's conversion and the tests use it too.
//
// An operation is cut once, per call, into a Job (what to do, chosen once)
// and an Area (which pixels: rows of the destination in stored order and the
// source pixels that land on them). It is then done either by a fast path,
// a function for one (operation, source mode, destination mode) from the
// table in ds_draw_fast.cpp, or by the general path of ds_draw_general.cpp:
// per-mode fetchers turn spans of stored pixels into 0xAARRGGBB words, one
// combine step per operation works on the words, and a per-mode storer
// writes them back. A fast path writes exactly the general path's bytes.
#pragma once

#include "ds_pixels.h"

#include <stddef.h>
#include <stdint.h>

class DsSurface;

namespace ds {

// Pixels the general path converts at a time. A span of the source's
// colours and one of the destination's sit on the stack.
constexpr uint32_t kSpanPixels = 64;

// The source mode of the operations without a source (Fill, SolidOver).
constexpr uint32_t kNoSource = 0xFF;

// What an operation does with its pixels.
enum class Operation : uint8_t {
    Fill,         // stores `value` in every pixel (no source)
    Copy,         // the source colour converted to the destination's mode
    CopyValues,   // stored values copied (same mode: indices stay indices)
    Blend,        // source-over, the source alpha times `alpha` (the opacity)
    Mask,         // source-over of `color`, its alpha times the source's (A8) alpha
    SolidOver,    // source-over of `color` with alpha `alpha` (no source)
    ReplaceAlpha, // the destination's alpha becomes the source's (A8) alpha
};

// One operation, fixed for all its pixels.
struct Job {
    Operation operation;
    uint32_t sourceMode;        // DsColorMode, or kNoSource
    uint32_t destinationMode;   // DsColorMode
    Palette sourcePalette;      // how the source's indices read
    Palette destinationPalette; // how the destination's indices read (Blend, Mask, SolidOver)
    uint32_t alpha;             // Blend: the opacity; Mask and SolidOver: color's alpha times the opacity
    uint32_t color;             // Mask and SolidOver: the colour drawn
    uint32_t value;             // Fill: the stored value
};

// The pixels an operation touches: `height` rows of `width` destination
// pixels, left to right in stored order, and the source pixel that lands on
// each (any step: the surfaces may be stored in different rotations).
struct Area {
    uint8_t* destination;       // first pixel of the first row
    ptrdiff_t destinationPitch; // bytes from one row to the next
    const uint8_t* source;      // the source pixel that lands on it; null without a source
    ptrdiff_t sourceStep;       // bytes from one source pixel to the next along a row
    ptrdiff_t sourcePitch;      // bytes from the first source pixel of a row to that of the next
    uint32_t width;             // pixels of a row, at least 1
    uint32_t height;            // rows, at least 1
};

// How the indices of a surface read: its palette for I8 and AI88 when it has
// one of at least one entry, else none.
Palette paletteOf(const DsSurface& surface);

// Does the job by a fast path when one fits, else by the general path.
void drawArea(const Job& job, const Area& area);

// The general path alone.
void drawGeneral(const Job& job, const Area& area);

// A step between fetch and store, once per row: `apply` changes the row's
// colours in place (pixpack's dithering).
struct RowFilter {
    void (*apply)(void* context, uint32_t* colours, uint32_t count);
    void* context;
};

// Copy jobs by the general path, with `filter` (unless null) applied to
// every row: the caller's `row` holds area.width colours, so that each row
// is one span.
void convertArea(const Job& job, const Area& area, uint32_t* row, const RowFilter* filter);

// A fast path: the whole area, for one job.
using FastPath = void (*)(const Job& job, const Area& area);

// The fast path for the job over the area, or null when none fits.
FastPath findFastPath(const Job& job, const Area& area);

// Text's way into the engine: one colour drawn through many A8 masks stored
// in the destination's own rotation, so that a mask's stored rows land on the
// destination's stored rows. Prepared once for a whole text; each mask then
// costs a clip and a call, and draws exactly what blendMask draws.
struct MaskTarget {
    Job job;
    void (*draw)(const Job& job, const Area& area); // the fast path of the job, or the general path
    uint8_t* pixels;
    ptrdiff_t pitch;
    uint32_t bytesPerPixel;
    int32_t turn;        // the destination's quarter turn, 0 to 3
    int32_t storedWidth; // its stored size
    int32_t storedHeight;
    int64_t clipLeft, clipTop;     // its clip, in stored coordinates
    int64_t clipRight, clipBottom; // (exclusive)
};

// Prepares `target` for drawing `argb` into `destination` at full opacity.
// Returns what blendMask would refuse the destination with, else
// DS_DRAW_OK; `target.job.alpha` is 0 when nothing would show.
int prepareMaskTarget(DsSurface& destination, uint32_t argb, MaskTarget& target);

// The stored position, on the target, of the stored pixel (0, 0) of an
// image `width` x `height` (upright) whose upright top-left pixel lies at
// logical (left, top), both images stored in the target's rotation.
void storedCorner(
    const MaskTarget& target, int64_t left, int64_t top, int32_t width, int32_t height, int64_t& column, int64_t& row);

// Draws the stored mask of `columns` x `rows` coverage bytes at `mask`
// (`columns` a row) with its first pixel on the stored (column, row) of the
// target, clipped.
void drawStoredMask(
    const MaskTarget& target, int64_t column, int64_t row, const uint8_t* mask, uint32_t columns, uint32_t rows);

#ifdef DS_DRAW_FAST_PATH_SWITCH
// Turns the fast paths off (false) or on, so that the tests can take the
// general path as the oracle of the fast ones. On by default. Built only
// into the tests' copy of the library, never into a firmware.
void setFastPaths(bool enabled);
#endif

} // namespace ds
