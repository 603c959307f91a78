// Surfaces for the drawing tests: owned by the test, filled with seeded noise.
#pragma once

#include "ds_surface.h"
#include "owned_surface.h"

#include <cstdint>
#include <memory>
#include <random>

constexpr uint32_t kSizedModes[] = {
    ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, I8, AI88, A8, RGB565_SWAPPED, ARGB8565};
constexpr int32_t kRotations[] = {0, 90, 180, 270};

// A surface of width x height logical pixels, its buffer noise; I8 and AI88
// surfaces get a palette of `paletteSize` noise entries.
inline SurfacePtr noiseSurface(int32_t width, int32_t height, uint32_t mode, int32_t rotation, std::mt19937& random,
    uint64_t paletteSize = 0, bool paletteHasAlpha = false)
{
    SurfacePtr surface(
        new DsSurface(width, height, &rotation, mode, paletteHasAlpha, paletteSize, dsMalloc, dsFree, 4, 0));
    for (uint64_t i = 0; i < surface->bufferSize(); ++i)
        surface->pixels()[i] = uint8_t(random());
    for (uint64_t i = 0; surface->palette() && i < paletteSize * (paletteHasAlpha ? 4 : 3); ++i)
        surface->palette()[i] = uint8_t(random());
    return surface;
}
