// Integer rectangle of the surface library.
#pragma once

#include <cstdint>

// Common base of the library's rectangles (integer and float). The surface
// code only stores rectangles; the region geometry lives elsewhere.
class DsRegion { };

class DsRect : public DsRegion {
public:
    DsRect() = default;
    DsRect(int32_t left, int32_t top, int32_t w, int32_t h) : x(left), y(top), width(w), height(h) { }

    bool operator==(const DsRect& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }

    int32_t x = 0;      // left column
    int32_t y = 0;      // top row
    int32_t width = 0;  // columns covered
    int32_t height = 0; // rows covered
};
