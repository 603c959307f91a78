// DsFRect's integer rectangles against the C maths library: enclosingRect
// and roundedRect must give what floorf, ceilf and roundf give, clamped to
// the int32 range, for every float a field can hold.
#include "ds_rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The edge as the maths library rounds it, clamped to the int32 range.
int64_t libmEdge(float edge, float (*round)(float))
{
    const double value = double(round(edge));
    if (value <= double(INT32_MIN))
        return INT32_MIN;
    if (value >= double(INT32_MAX))
        return INT32_MAX;
    return int64_t(value);
}

float libmEnd(float start, float extent)
{
    return std::isinf(extent) ? extent : start + extent;
}

bool libmEmpty(const DsFRect& r)
{
    if (std::isnan(r.x) || std::isnan(r.y) || std::isnan(r.width) || std::isnan(r.height) || !(r.width > 0) ||
        !(r.height > 0))
        return true;
    return !(libmEnd(r.x, r.width) > r.x) || !(libmEnd(r.y, r.height) > r.y);
}

DsRect fromEdges(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    const int64_t width = right > left ? right - left : 0, height = bottom > top ? bottom - top : 0;
    return DsRect(int32_t(left), int32_t(top), int32_t(std::min<int64_t>(width, INT32_MAX)),
        int32_t(std::min<int64_t>(height, INT32_MAX)));
}

DsRect libmEnclosing(const DsFRect& r)
{
    if (libmEmpty(r))
        return DsRect();
    return fromEdges(libmEdge(r.x, floorf), libmEdge(r.y, floorf), libmEdge(libmEnd(r.x, r.width), ceilf),
        libmEdge(libmEnd(r.y, r.height), ceilf));
}

DsRect libmRounded(const DsFRect& r)
{
    if (libmEmpty(r))
        return DsRect();
    return fromEdges(libmEdge(r.x, roundf), libmEdge(r.y, roundf), libmEdge(libmEnd(r.x, r.width), roundf),
        libmEdge(libmEnd(r.y, r.height), roundf));
}

void expectLikeLibm(const DsFRect& r)
{
    EXPECT_EQ(r.isEmpty(), libmEmpty(r)) << r.x << " " << r.y << " " << r.width << " " << r.height;
    EXPECT_EQ(r.enclosingRect(), libmEnclosing(r)) << r.x << " " << r.y << " " << r.width << " " << r.height;
    EXPECT_EQ(r.roundedRect(), libmRounded(r)) << r.x << " " << r.y << " " << r.width << " " << r.height;
}

// Floats where rounding decides something: halves and their neighbours, the
// last fractions (2^23), the int32 limits and what lies just beyond them,
// the smallest and largest floats, zeros and infinities.
std::vector<float> edgeCases()
{
    std::vector<float> values = {0.0f, 1e-45f, 1e-38f, 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.5f, 3.5f, 0.49999997f,
        0.50000006f, 1.4999999f, 8388607.5f, 8388608.0f, 8388609.0f, 16777216.0f, 2147483520.0f, 2147483648.0f,
        2147483904.0f, 3e9f, 1e30f, std::numeric_limits<float>::max(), kInf};
    const size_t count = values.size();
    for (size_t i = 0; i < count; ++i) {
        values.push_back(-values[i]);
        values.push_back(std::nextafter(values[i], 0.0f));
        values.push_back(std::nextafter(values[i], kInf));
        values.push_back(-std::nextafter(values[i], 0.0f));
    }
    values.push_back(std::nanf(""));
    return values;
}

TEST(FloatRectangleRounding, EdgeCasesGiveWhatTheMathsLibraryGives)
{
    const std::vector<float> values = edgeCases();
    for (float x : values)
        for (float width : values) {
            expectLikeLibm(DsFRect(x, 0.5f, width, 1.0f));
            expectLikeLibm(DsFRect(-0.5f, x, 2.0f, width));
        }
}

// Random bit patterns cover every exponent; small quarters and halves with
// a few units of noise cover the fractions that layout code meets.
TEST(FloatRectangleRounding, RandomFloatsGiveWhatTheMathsLibraryGives)
{
    std::mt19937 random(20240527);
    const auto anyFloat = [&random] {
        const uint32_t bits = uint32_t(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    const auto nearHalf = [&random] {
        const float quarters = float(int32_t(random() % 4001) - 2000) / 4.0f;
        return std::nextafter(quarters, (random() & 1) ? kInf : -kInf) * ((random() & 2) ? 1.0f : 1.0000001f);
    };
    for (int i = 0; i < 200000; ++i) {
        const bool wide = (i & 1) != 0;
        expectLikeLibm(wide ? DsFRect(anyFloat(), anyFloat(), anyFloat(), anyFloat())
                            : DsFRect(nearHalf(), nearHalf(), nearHalf(), nearHalf()));
        if (HasFailure())
            return;
    }
}

} // namespace
