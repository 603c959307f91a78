// Blend arithmetic of the surface library: source-over with straight
// (non-premultiplied) alpha in exact integer rounding. Every drawing path
// blends with these functions, or (the fast paths) with lane-parallel forms
// of them that the tests hold to the same bytes.
//
// With the source colour Cs and alpha As (already multiplied by the
// operation's opacity), the destination colour Cd and alpha Ad, all 0..255:
//   sa  = As                                  (0: the destination is kept as stored)
//   da  = round(Ad * (255 - sa) / 255)        the destination's share
//   A   = sa + da                             (never above 255)
//   C   = round((Cs * sa + Cd * da) / A)      for each of red, green and blue
// round(n / d) is floor((2n + d) / 2d), i.e. halves up. Over an opaque
// destination (Ad = 255), da = 255 - sa, A = 255 and
// C = round((Cs * sa + Cd * (255 - sa)) / 255), the classic formula.
// Products of alphas (source alpha times opacity, coverage times colour
// alpha) are round(a * b / 255) too.
//
// An A8 destination holds coverage, not colour: drawn over, it keeps the
// larger of the two alphas (their union), so glyph images that touch do not
// darken where they meet.
#pragma once

#include "ds_color.h"

#include <stdint.h>

namespace ds {

// round(value / 255) for value in 0 .. 255 * 255, without a division.
DS_ALWAYS_INLINE constexpr uint32_t div255(uint32_t value)
{
    return (value + 128 + ((value + 128) >> 8)) >> 8;
}

// round(a * b / 255) for a and b in 0..255.
DS_ALWAYS_INLINE constexpr uint32_t mulAlpha(uint32_t a, uint32_t b)
{
    return div255(a * b);
}

// mulAlpha(a, b) from a and b * 257: one multiply-add and a shift, exact for
// every pair of alphas.
DS_ALWAYS_INLINE constexpr uint32_t mulAlpha257(uint32_t a, uint32_t b257)
{
    return (a * b257 + 32896) >> 16;
}

// round(numerator / denominator), halves up; denominator 1..255.
DS_ALWAYS_INLINE constexpr uint32_t divRound(uint32_t numerator, uint32_t denominator)
{
    return (2 * numerator + denominator) / (2 * denominator);
}

// One colour channel over an opaque destination with source alpha sa.
DS_ALWAYS_INLINE constexpr uint32_t overOpaqueChannel(uint32_t source, uint32_t destination, uint32_t sa)
{
    return div255(source * sa + destination * (255 - sa));
}

// The colour `source` (its alpha ignored) with alpha sa over the opaque
// colour `destination`; the result is opaque.
DS_ALWAYS_INLINE constexpr uint32_t overOpaque(uint32_t source, uint32_t destination, uint32_t sa)
{
    return makeArgb(0xFF, overOpaqueChannel(redOf(source), redOf(destination), sa),
        overOpaqueChannel(greenOf(source), greenOf(destination), sa),
        overOpaqueChannel(blueOf(source), blueOf(destination), sa));
}

// The colour `source` (its alpha ignored) with alpha sa (1..255) over
// `destination` with its own alpha, by the formula above.
constexpr uint32_t over(uint32_t source, uint32_t destination, uint32_t sa)
{
    const uint32_t da = mulAlpha(alphaOf(destination), 255 - sa);
    const uint32_t a = sa + da;
    if (da == 255 - sa)
        return overOpaque(source, destination, sa);
    return makeArgb(a, divRound(redOf(source) * sa + redOf(destination) * da, a),
        divRound(greenOf(source) * sa + greenOf(destination) * da, a),
        divRound(blueOf(source) * sa + blueOf(destination) * da, a));
}

// Coverage sa drawn over the coverage of an A8 destination, da.
DS_ALWAYS_INLINE constexpr uint32_t coverageUnion(uint32_t sa, uint32_t da)
{
    return sa > da ? sa : da;
}

} // namespace ds
