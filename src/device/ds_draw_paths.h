// The drawing engine behind DsSurface's operations, shared by the general
// path (ds_draw_general.cpp) and the fast paths (ds_draw_fast.cpp). Not part
// of the library's interface: the tests include it to compare the two paths.
//
// Every operation is cut into runs: a run is `count` pixels of one stored
// row of the destination, left to right in stored order, and the source
// pixels that land on them, which start at `source` and lie `sourceStep`
// bytes apart (the pixel size when both surfaces are stored in the same
// rotation, a pitch or a negative step when the pixels turn on the way).
#pragma once

#include "ds_blend.h"
#include "ds_color.h"

#include <stddef.h>
#include <stdint.h>

class DsSurface;

namespace ds {

// Pixels the general path converts at a time; two spans of ARGB words sit
// on the stack.
constexpr uint32_t kSpanPixels = 64;

// How a surface's stored pixels read as 0xAARRGGBB words.
struct PixelReader {
    uint32_t mode;          // DsColorMode
    const uint8_t* palette; // I8/AI88 palette entries (B, G, R[, A]); null reads indices as grey levels
    uint32_t paletteSize;   // entries
    uint32_t entryBytes;    // 3, or 4 with alpha
};

PixelReader pixelReaderOf(const DsSurface& surface);

// The colour of the stored pixel at `pixel`.
uint32_t readArgb(const PixelReader& reader, const uint8_t* pixel);

// Stored values of `bytes` bytes (1 to 4), little-endian, at any alignment.
uint32_t loadValue(uint32_t bytes, const uint8_t* pixel);
void storeValue(uint32_t bytes, uint8_t* pixel, uint32_t value);

// What a run does with its source pixels.
enum class Operation : uint8_t {
    Copy,         // converts the source colour to the destination's mode
    CopyValues,   // copies stored values (same mode: indices stay indices)
    Blend,        // source-over, the source alpha times opacity
    Mask,         // source-over of `color`, its alpha times the source's alpha
    ReplaceAlpha, // the destination's alpha becomes the source's
};

// One operation between two surfaces, fixed for all its runs.
struct Job {
    Operation operation;
    PixelReader source;      // how the source reads
    PixelReader destination; // how the destination reads (Blend, Mask)
    uint32_t sourceBytes;    // source pixel size
    uint32_t destinationBytes;
    uint32_t alpha; // Blend: the opacity; Mask: color's alpha times the opacity
    uint32_t color; // Mask: the colour blended
};

struct Run {
    uint8_t* destination;  // first destination pixel; the others follow at destinationBytes
    const uint8_t* source; // the source pixel that lands on it
    ptrdiff_t sourceStep;  // bytes from one source pixel to the next
    uint32_t count;        // pixels, at least 1
};

// Does `run` by the general path: fetch a span to ARGB words, combine, store.
void generalRun(const Job& job, const Run& run);

// Does `run` by a fast path when one fits the job (and fast paths are on);
// false, touching nothing, when none does. A fast path writes exactly the
// bytes the general path writes.
bool fastRun(const Job& job, const Run& run);

// Fills `count` pixels from `destination` with the stored value `value`.
void generalFill(uint32_t bytes, uint8_t* destination, uint32_t value, uint32_t count);
bool fastFill(uint32_t mode, uint8_t* destination, uint32_t value, uint32_t count);

// Turns the fast paths off (false) or on, so that the tests can take the
// general path as the oracle of the fast ones. On by default.
void setFastPaths(bool enabled);
bool fastPathsEnabled();

} // namespace ds
