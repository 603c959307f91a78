// The quarter turns in which the library stores surfaces and fonts: the one
// list that the tools check an angle against and that a font is written in.
#pragma once

#include <stdint.h>

// Degrees, upright first.
constexpr uint32_t kDsRotationCount = 4;
constexpr uint32_t kDsRotations[kDsRotationCount] = {0, 90, 180, 270};

// True for an angle of that list.
constexpr bool dsIsRotation(int64_t angle)
{
    return angle == 0 || angle == 90 || angle == 180 || angle == 270;
}

// True for the turns that exchange the stored rows' width and height.
constexpr bool dsSwapsSides(int64_t angle)
{
    return angle == 90 || angle == 270;
}
