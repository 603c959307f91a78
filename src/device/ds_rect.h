// Rectangles of the surface library: DsRect (integer pixels) and DsFRect
// (float, for layout), both regions.
//
// A rectangle covers the columns x to x + width - 1 and the rows y to
// y + height - 1; it is empty when its width or height is 0 or less. Edges
// are computed in 64 bits: a rectangle whose right or bottom edge would pass
// INT32_MAX ends at INT32_MAX (its width or height is cut), never wraps.
#pragma once

#include <stdint.h>

// GCC 10.1 changed, for C++17 and later on ARM with hardware floating point,
// how a class of floats with an empty base (DsFRect) is passed in
// registers, and notes that change wherever such a value is passed or
// returned. The functions that return a DsFRect pass it as the base
// procedure call standard does, in memory, which every compiler version
// agrees on: neither the library's build nor a caller's prints the note.
#if defined(__arm__) && defined(__ARM_PCS_VFP)
#define DS_FRECT_RESULT __attribute__((pcs("aapcs")))
#else
#define DS_FRECT_RESULT
#endif

// Common base of the library's rectangles.
class DsRegion { };

class DsRect : public DsRegion {
public:
    DsRect() = default;
    DsRect(int32_t left, int32_t top, int32_t w, int32_t h) : x(left), y(top), width(w), height(h) { }

    bool operator==(const DsRect& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
    bool operator!=(const DsRect& other) const { return !(*this == other); }

    bool isEmpty() const { return width <= 0 || height <= 0; }

    // Whether the pixel (px, py) lies inside; never for an empty rectangle.
    bool contains(int32_t px, int32_t py) const;

    // Whether every pixel of `other` lies inside; false when either is empty.
    bool contains(const DsRect& other) const;

    // The pixels both cover; DsRect() (0, 0, 0, 0) when they share none.
    DsRect intersected(const DsRect& other) const;

    // The smallest rectangle holding both; an empty operand counts as
    // nothing, so two empty rectangles unite to DsRect().
    DsRect united(const DsRect& other) const;

    // Moved by (dx, dy). Edges that would pass the int32 range are clamped
    // to it and the width or height cut to what still fits.
    DsRect translated(int32_t dx, int32_t dy) const;

    int32_t x = 0;      // left column
    int32_t y = 0;      // top row
    int32_t width = 0;  // columns covered
    int32_t height = 0; // rows covered
};

// A rectangle in float coordinates, covering x <= px < x + width and
// y <= py < y + height. One with a NaN field, or a width or height that is
// not greater than 0, is empty; infinite edges are allowed.
class DsFRect : public DsRegion {
public:
    DsFRect() = default;
    DsFRect(float left, float top, float w, float h) : x(left), y(top), width(w), height(h) { }

    bool operator==(const DsFRect& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
    bool operator!=(const DsFRect& other) const { return !(*this == other); }

    bool isEmpty() const;
    bool contains(float px, float py) const;
    bool contains(const DsFRect& other) const;
    DsFRect intersected(const DsFRect& other) const DS_FRECT_RESULT;
    DsFRect united(const DsFRect& other) const DS_FRECT_RESULT;
    DsFRect translated(float dx, float dy) const DS_FRECT_RESULT;

    // The smallest integer rectangle holding this one: left and top rounded
    // down, right and bottom up, each clamped to the int32 range. DsRect()
    // for an empty rectangle.
    DsRect enclosingRect() const;

    // Each edge rounded to the nearest integer (halves away from zero) and
    // clamped to the int32 range. DsRect() for an empty rectangle.
    DsRect roundedRect() const;

    float x = 0;      // left edge
    float y = 0;      // top edge
    float width = 0;  // extent to the right
    float height = 0; // extent downwards
};
