#include "ds_rect.h"

#include <float.h>

namespace {

constexpr int64_t kLowest = INT32_MIN;
constexpr int64_t kHighest = INT32_MAX;

int64_t clampEdge(int64_t edge)
{
    return edge < kLowest ? kLowest : edge > kHighest ? kHighest : edge;
}

// The exclusive right (or bottom) edge of a non-empty extent, held to INT32_MAX.
int64_t endOf(int32_t start, int32_t extent)
{
    return clampEdge(int64_t(start) + extent);
}

// The rectangle from edges in 64 bits: each edge clamped to the int32 range,
// the extent cut to what an int32 holds (and to 0 when the edges cross).
DsRect rectFromEdges(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    left = clampEdge(left);
    top = clampEdge(top);
    right = clampEdge(right);
    bottom = clampEdge(bottom);
    const int64_t width = right > left ? right - left : 0;
    const int64_t height = bottom > top ? bottom - top : 0;
    return DsRect(int32_t(left), int32_t(top), int32_t(width > kHighest ? kHighest : width),
        int32_t(height > kHighest ? kHighest : height));
}

bool isNan(float value)
{
    return value != value;
}

bool isInfinite(float value)
{
    return value > FLT_MAX || value < -FLT_MAX;
}

// The right (or bottom) edge of a float extent: an infinite extent reaches
// infinity from any start, even minus infinity.
float floatEnd(float start, float extent)
{
    return isInfinite(extent) ? extent : start + extent;
}

// How a float edge becomes an integer edge.
enum class Rounding {
    Down,    // towards minus infinity, as floorf
    Up,      // towards plus infinity, as ceilf
    Nearest, // to the nearest integer, halves away from zero, as roundf
};

// A float edge that is not NaN as an int32 edge, rounded by `rounding` and
// clamped to the int32 range. Every float of magnitude 2^23 or more is a
// whole number and every one inside the int32 range converts exactly, so
// only the fraction of a smaller one needs a decision, and that fraction
// (the edge less its truncation) is exact in float: the C maths library is
// not needed, which spares a firmware linking it.
int64_t integerEdge(float edge, Rounding rounding)
{
    constexpr float kTwoTo31 = 2147483648.0f;
    if (edge <= -kTwoTo31)
        return kLowest;
    if (edge >= kTwoTo31)
        return kHighest;
    const int32_t truncated = int32_t(edge);
    const float fraction = edge - float(truncated);
    switch (rounding) {
    case Rounding::Down: return int64_t(truncated) - (fraction < 0 ? 1 : 0);
    case Rounding::Up: return int64_t(truncated) + (fraction > 0 ? 1 : 0);
    case Rounding::Nearest: return int64_t(truncated) + (fraction >= 0.5f ? 1 : fraction <= -0.5f ? -1 : 0);
    }
    return truncated;
}

float smaller(float a, float b)
{
    return a < b ? a : b;
}

float larger(float a, float b)
{
    return a > b ? a : b;
}

// The float rectangle between the edges; DsFRect() when it covers nothing.
DS_FRECT_RESULT DsFRect floatFromEdges(float left, float top, float right, float bottom)
{
    const DsFRect rect(left, top, right - left, bottom - top);
    return rect.isEmpty() ? DsFRect() : rect;
}

} // namespace

bool DsRect::contains(int32_t px, int32_t py) const
{
    return !isEmpty() && px >= x && py >= y && px < endOf(x, width) && py < endOf(y, height);
}

bool DsRect::contains(const DsRect& other) const
{
    return !isEmpty() && !other.isEmpty() && other.x >= x && other.y >= y &&
        endOf(other.x, other.width) <= endOf(x, width) && endOf(other.y, other.height) <= endOf(y, height);
}

DsRect DsRect::intersected(const DsRect& other) const
{
    if (isEmpty() || other.isEmpty())
        return DsRect();
    const int64_t left = x > other.x ? x : other.x;
    const int64_t top = y > other.y ? y : other.y;
    const int64_t right = endOf(x, width) < endOf(other.x, other.width) ? endOf(x, width) : endOf(other.x, other.width);
    const int64_t bottom =
        endOf(y, height) < endOf(other.y, other.height) ? endOf(y, height) : endOf(other.y, other.height);
    if (right <= left || bottom <= top)
        return DsRect();
    return rectFromEdges(left, top, right, bottom);
}

DsRect DsRect::united(const DsRect& other) const
{
    if (isEmpty())
        return other.isEmpty() ? DsRect() : other;
    if (other.isEmpty())
        return *this;
    const int64_t left = x < other.x ? x : other.x;
    const int64_t top = y < other.y ? y : other.y;
    const int64_t right = endOf(x, width) > endOf(other.x, other.width) ? endOf(x, width) : endOf(other.x, other.width);
    const int64_t bottom =
        endOf(y, height) > endOf(other.y, other.height) ? endOf(y, height) : endOf(other.y, other.height);
    return rectFromEdges(left, top, right, bottom);
}

DsRect DsRect::translated(int32_t dx, int32_t dy) const
{
    const int64_t left = int64_t(x) + dx;
    const int64_t top = int64_t(y) + dy;
    const int64_t right = left + (width > 0 ? width : 0);
    const int64_t bottom = top + (height > 0 ? height : 0);
    DsRect moved = rectFromEdges(left, top, right, bottom);
    // An empty rectangle stays as empty as it was: its extents are kept.
    if (width <= 0)
        moved.width = width;
    if (height <= 0)
        moved.height = height;
    return moved;
}

bool DsFRect::isEmpty() const
{
    if (isNan(x) || isNan(y) || isNan(width) || isNan(height) || !(width > 0) || !(height > 0))
        return true;
    return !(floatEnd(x, width) > x) || !(floatEnd(y, height) > y);
}

bool DsFRect::contains(float px, float py) const
{
    return !isEmpty() && px >= x && py >= y && px < floatEnd(x, width) && py < floatEnd(y, height);
}

bool DsFRect::contains(const DsFRect& other) const
{
    return !isEmpty() && !other.isEmpty() && other.x >= x && other.y >= y &&
        floatEnd(other.x, other.width) <= floatEnd(x, width) && floatEnd(other.y, other.height) <= floatEnd(y, height);
}

DsFRect DsFRect::intersected(const DsFRect& other) const
{
    if (isEmpty() || other.isEmpty())
        return DsFRect();
    return floatFromEdges(larger(x, other.x), larger(y, other.y),
        smaller(floatEnd(x, width), floatEnd(other.x, other.width)),
        smaller(floatEnd(y, height), floatEnd(other.y, other.height)));
}

DsFRect DsFRect::united(const DsFRect& other) const
{
    if (isEmpty())
        return other.isEmpty() ? DsFRect() : other;
    if (other.isEmpty())
        return *this;
    return floatFromEdges(smaller(x, other.x), smaller(y, other.y),
        larger(floatEnd(x, width), floatEnd(other.x, other.width)),
        larger(floatEnd(y, height), floatEnd(other.y, other.height)));
}

DsFRect DsFRect::translated(float dx, float dy) const
{
    if (isEmpty())
        return DsFRect();
    const DsFRect moved(x + dx, y + dy, width, height);
    return moved.isEmpty() ? DsFRect() : moved;
}

DsRect DsFRect::enclosingRect() const
{
    if (isEmpty())
        return DsRect();
    return rectFromEdges(integerEdge(x, Rounding::Down), integerEdge(y, Rounding::Down),
        integerEdge(floatEnd(x, width), Rounding::Up), integerEdge(floatEnd(y, height), Rounding::Up));
}

DsRect DsFRect::roundedRect() const
{
    if (isEmpty())
        return DsRect();
    return rectFromEdges(integerEdge(x, Rounding::Nearest), integerEdge(y, Rounding::Nearest),
        integerEdge(floatEnd(x, width), Rounding::Nearest), integerEdge(floatEnd(y, height), Rounding::Nearest));
}
