// Stored pixels of each sized colour mode, read as 0xAARRGGBB words and
// written from stored values. The mode is a template argument, so that a
// loop over the pixels of one mode decides nothing per pixel; readPixel is
// the one rule by which every operation, DsSurface::pixel and the tools see
// the colour of a stored pixel.
#pragma once

#include "ds_blend.h"
#include "ds_bytes.h"
#include "ds_color.h"

#include <stdint.h>

namespace ds {

// How the indices of an I8 or AI88 surface read.
struct Palette {
    const uint8_t* entries; // B, G, R[, A] per entry; null: indices read as grey levels
    uint32_t size;          // entries
    uint32_t entryBytes;    // 3, or 4 with alpha
};

// The colour of index `index`: its palette entry (opaque unless the entry
// has alpha), opaque black past the palette, the grey level without one.
DS_ALWAYS_INLINE uint32_t indexColor(const Palette& palette, uint32_t index)
{
    if (!palette.entries)
        return greyArgb(0xFF, index);
    if (index >= palette.size)
        return 0xFF000000u;
    const uint8_t* entry = palette.entries + index * palette.entryBytes;
    return makeArgb(palette.entryBytes == 4 ? entry[3] : 0xFF, entry[2], entry[1], entry[0]);
}

// The stored value at `pixel`, its bytes little-endian from the low one up.
template <uint32_t Mode>
DS_ALWAYS_INLINE uint32_t loadStored(const uint8_t* pixel)
{
    constexpr uint32_t bytes = dsBytesPerPixel(Mode);
    static_assert(bytes > 0, "a mode with a pixel size");
    if constexpr (bytes == 1)
        return pixel[0];
    else if constexpr (bytes == 2)
        return dsLoadLittle16(pixel);
    else if constexpr (bytes == 3)
        return dsLoadLittle24(pixel);
    else
        return dsLoadLittle32(pixel);
}

template <uint32_t Mode>
DS_ALWAYS_INLINE void storeStored(uint8_t* pixel, uint32_t value)
{
    constexpr uint32_t bytes = dsBytesPerPixel(Mode);
    static_assert(bytes > 0, "a mode with a pixel size");
    if constexpr (bytes == 1)
        pixel[0] = uint8_t(value);
    else if constexpr (bytes == 2)
        dsStoreLittle16(pixel, value);
    else if constexpr (bytes == 3)
        dsStoreLittle24(pixel, value);
    else
        dsStoreLittle32(pixel, value);
}

// The colour of the stored pixel at `pixel`. I8 and AI88 read their index
// through `palette`; AI88 keeps its own alpha whatever the entry holds.
template <uint32_t Mode>
DS_ALWAYS_INLINE uint32_t readPixel(const uint8_t* pixel, const Palette& palette)
{
    if constexpr (Mode == I8)
        return indexColor(palette, pixel[0]);
    else if constexpr (Mode == AI88)
        return (indexColor(palette, pixel[0]) & 0xFFFFFF) | uint32_t(pixel[1]) << 24;
    else
        return dsDecodeColor(Mode, loadStored<Mode>(pixel));
}

// readPixel for a mode known only at run time (a mode with a pixel size).
uint32_t readPixel(uint32_t mode, const uint8_t* pixel, const Palette& palette);

// Stores the value `value` in a pixel of `bytes` bytes (1 to 4).
void storeValue(uint32_t bytes, uint8_t* pixel, uint32_t value);

} // namespace ds
