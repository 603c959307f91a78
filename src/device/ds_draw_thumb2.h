// The fast paths that matter most on a Cortex-M4 or M7 (text, and images
// with alpha, on an RGB565 display in either byte order), written out in Thumb-2 with the DSP
// extension's instructions (uxtb16, uxtab16, bfi): the compiler's code for
// the same loops in ds_draw_fast.cpp takes about a fifth more instructions.
// They write exactly the bytes of those loops; the device test
// (bench/device) holds them to the general path on the emulated Cortex-M4.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(__thumb2__) && defined(__ARM_FEATURE_SIMD32)
#define DS_DRAW_THUMB2 1
#else
#define DS_DRAW_THUMB2 0
#endif

namespace ds {

// An area for a Thumb-2 loop, in memory the loop updates row by row: its
// row pointers and row count advance as it goes. The offsets are part of the
// loops' code.
struct Thumb2Rows {
    uint8_t* destination;       // 0: first RGB565 pixel of the row
    const uint8_t* source;      // 4: first source pixel (A8 coverage or ARGB8888) of the row
    uint32_t width;             // 8: pixels of a row, at least 1
    uint32_t height;            // 12: rows left, at least 1
    ptrdiff_t destinationPitch; // 16
    ptrdiff_t sourcePitch;      // 20
    uint32_t redBlue;           // 24: mask: the colour's red and blue lanes
    uint32_t green;             // 28: mask: the colour's green
    uint32_t parameter;         // 32: mask: the colour as stored; blend: the opacity times 257
};

} // namespace ds

#if DS_DRAW_THUMB2
namespace ds {
// The opaque colour through A8 coverage onto RGB565, or RGB565_SWAPPED.
void thumb2MaskRgb565(Thumb2Rows* rows);
void thumb2MaskRgb565Swapped(Thumb2Rows* rows);
// ARGB8888 over RGB565, or RGB565_SWAPPED, at opacity 255.
void thumb2BlendRgb565(Thumb2Rows* rows);
void thumb2BlendRgb565Swapped(Thumb2Rows* rows);
// The same at an opacity of 1 to 254.
void thumb2BlendRgb565Opacity(Thumb2Rows* rows);
void thumb2BlendRgb565SwappedOpacity(Thumb2Rows* rows);
} // namespace ds
#endif
