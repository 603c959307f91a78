// The quarter turns in which the library stores surfaces and fonts: the one
// list that the tools check an angle against and that a font is written in.
#pragma once

#include <array>
#include <cstdint>

// Degrees, upright first.
constexpr std::array<uint32_t, 4> kDsRotations = {0, 90, 180, 270};
