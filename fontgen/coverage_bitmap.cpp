#include "coverage_bitmap.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint8_t kFullCoverage = 255; // the coverage of a fully inked pixel
constexpr unsigned kMonoLevels = 2;    // levels of FT_PIXEL_MODE_MONO
constexpr unsigned kGray2Levels = 4;   // levels of FT_PIXEL_MODE_GRAY2
constexpr unsigned kGray4Levels = 16;  // levels of FT_PIXEL_MODE_GRAY4
constexpr short kGrayLevels = 256;     // levels of FT_PIXEL_MODE_GRAY as rendered from outlines

// The value of pixel `column` in a row of packed samples of `bits` bits,
// the leftmost pixel in the most significant bits, scaled to 0-255.
uint8_t packedCoverage(const uint8_t* row, uint32_t column, unsigned bits, unsigned levels)
{
    const unsigned perByte = 8 / bits;
    const unsigned shift = 8 - bits * (column % perByte + 1);
    const unsigned sample = (row[column / perByte] >> shift) & ((1u << bits) - 1);
    return uint8_t(sample * kFullCoverage / (levels - 1));
}

// One pixel of a FreeType bitmap row as 8-bit coverage; false for pixel
// modes that carry no coverage (colour and sub-pixel images).
bool coverageAt(const FT_Bitmap& source, const uint8_t* row, uint32_t column, uint8_t& value)
{
    switch (source.pixel_mode) {
    case FT_PIXEL_MODE_MONO: value = packedCoverage(row, column, 1, kMonoLevels); return true;
    case FT_PIXEL_MODE_GRAY2: value = packedCoverage(row, column, 2, kGray2Levels); return true;
    case FT_PIXEL_MODE_GRAY4: value = packedCoverage(row, column, 4, kGray4Levels); return true;
    case FT_PIXEL_MODE_GRAY:
        value = source.num_grays > 1 && source.num_grays != kGrayLevels
            ? uint8_t(unsigned(row[column]) * kFullCoverage / unsigned(source.num_grays - 1))
            : row[column];
        return true;
    default: return false;
    }
}

// Bytes that one row of `source` needs at the least for its pixel mode.
size_t minimumRowBytes(const FT_Bitmap& source)
{
    const size_t width = source.width;
    switch (source.pixel_mode) {
    case FT_PIXEL_MODE_MONO: return (width + 7) / 8;
    case FT_PIXEL_MODE_GRAY2: return (width + 3) / 4;
    case FT_PIXEL_MODE_GRAY4: return (width + 1) / 2;
    default: return width;
    }
}

} // namespace

// Format notes: FreeType hands out 8-bit grey for outline glyphs, but
// embedded bitmap strikes may come as 1-bit mono or 2/4-bit grey, and a
// negative pitch means the rows are stored bottom-up from `buffer`. Plain
// top-down 8-bit grey with 256 levels is passed through as it is; anything
// else is copied into `converted` as top-down 8-bit coverage. An image
// without pixels (a space) has a null buffer.
GlyphBitmap coverageBitmap(const FT_Bitmap& source, std::vector<uint8_t>& converted)
{
    GlyphBitmap view;
    if (source.rows == 0 || source.width == 0 || !source.buffer)
        return view;
    view.rows = source.rows;
    view.width = source.width;
    const bool plainGray = source.pixel_mode == FT_PIXEL_MODE_GRAY && source.num_grays == kGrayLevels;
    if (plainGray && source.pitch >= 0 && uint32_t(source.pitch) >= source.width) {
        view.pitch = source.pitch;
        view.buffer = source.buffer;
        return view;
    }
    const size_t rowBytes = size_t(source.pitch < 0 ? -int64_t(source.pitch) : source.pitch);
    if (rowBytes < minimumRowBytes(source) || source.width > uint32_t(INT32_MAX))
        throw FTException("cannot render glyph");
    converted.assign(size_t(source.rows) * source.width, 0);
    for (uint32_t r = 0; r < source.rows; ++r) {
        const size_t stored = source.pitch < 0 ? size_t(source.rows - 1 - r) : r;
        const uint8_t* row = source.buffer + stored * rowBytes;
        for (uint32_t c = 0; c < source.width; ++c)
            if (!coverageAt(source, row, c, converted[size_t(r) * source.width + c]))
                throw FTException("cannot render glyph");
    }
    view.pitch = int32_t(source.width);
    view.buffer = converted.data();
    return view;
}
