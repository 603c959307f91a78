// Text through packed fonts. A glyph's image is decoded a band of stored
// rows at a time into a small buffer on the stack, and each band is blended
// through blendMask as an A8 surface stored in the font's rotation; plain
// 8-bit images are blended straight from the font, as classic fonts are.
#include "ds_surface.h"

#include "ds_packed_font.h"
#include "ds_packed_image.h"
#include "ds_rotations.h"

#include <string.h>

namespace {

// The decoding buffer: whole stored rows while they fit, so that a row may
// repeat the one above across bands, and pieces of longer rows.
constexpr uint32_t kBandBytes = 256;
static_assert(kBandBytes >= 2 * DS_PACKED_REPEAT_ROW_MAX, "a band must hold a row and the row above");

// A logical position held to the int32 range; a glyph pushed there lies
// wholly outside any surface, as it would have at its true position.
int32_t clampPosition(int64_t position)
{
    return position < INT32_MIN ? INT32_MIN : position > INT32_MAX ? INT32_MAX : int32_t(position);
}

// A glyph placed on the target: its upright image's top-left pixel at
// logical (left, top).
struct PlacedImage {
    int64_t left;
    int64_t top;
    int32_t width;    // upright width
    int32_t height;   // upright height
    int32_t rotation; // the font's, which is the target's
};

// The stored rectangle of a glyph image: rows [row, row + rows), columns
// [column, column + columns).
struct StoredPart {
    uint32_t row;
    uint32_t rows;
    uint32_t column;
    uint32_t columns;
};

// The logical rectangle, within the upright image, that `part` of the
// stored image covers: the inverse of dsStoredPosition for each turn.
DsRect logicalPart(const PlacedImage& image, const StoredPart& part)
{
    const int32_t row = int32_t(part.row), rows = int32_t(part.rows);
    const int32_t column = int32_t(part.column), columns = int32_t(part.columns);
    switch (image.rotation) {
    case 90: return DsRect(image.width - row - rows, column, rows, columns);
    case 180: return DsRect(image.width - column - columns, image.height - row - rows, columns, rows);
    case 270: return DsRect(row, image.height - column - columns, rows, columns);
    default: return DsRect(column, row, columns, rows);
    }
}

// Blends the stored `part` of a glyph image whose pixels are at `pixels`,
// `part.columns` bytes a stored row.
int blendPart(DsSurface& target, const PlacedImage& image, const StoredPart& part, const uint8_t* pixels, uint32_t argb)
{
    const DsRect area = logicalPart(image, part);
    const DsSurface mask(area.width, area.height, image.rotation, A8, const_cast<uint8_t*>(pixels), part.columns);
    return target.blendMask(mask, DsRect(0, 0, area.width, area.height), clampPosition(image.left + area.x),
        clampPosition(image.top + area.y), argb, 255);
}

// Decodes the image band by band and blends each band.
int drawDecoded(DsSurface& target, const ds_packed_font_t& font, const DsPackedGlyph& glyph, const PlacedImage& image,
    uint32_t argb)
{
    DsPackedImageDecoder decoder(font, glyph);
    const uint32_t columns = decoder.columns(), rows = decoder.rows();
    uint8_t band[kBandBytes];
    if (columns > kBandBytes) {
        for (uint32_t row = 0; row < rows; ++row)
            for (uint32_t column = 0; column < columns; column += kBandBytes) {
                const uint32_t piece = columns - column < kBandBytes ? columns - column : kBandBytes;
                decoder.decode(band, piece);
                const int result = blendPart(target, image, {row, 1, column, piece}, band, argb);
                if (result != DS_DRAW_OK)
                    return result;
            }
        return DS_DRAW_OK;
    }
    const uint32_t bandRows = kBandBytes / columns;
    uint32_t kept = 0; // rows at the band's start kept from the band before, as the row above
    for (uint32_t row = 0; row < rows;) {
        const uint32_t count = rows - row < bandRows - kept ? rows - row : bandRows - kept;
        uint8_t* const first = band + kept * columns;
        decoder.decode(first, count * columns);
        const int result = blendPart(target, image, {row, count, 0, columns}, first, argb);
        if (result != DS_DRAW_OK)
            return result;
        row += count;
        if (decoder.readsRowAbove()) {
            memmove(band, first + (count - 1) * columns, columns);
            kept = 1;
        }
    }
    return DS_DRAW_OK;
}

int drawGlyph(
    DsSurface& target, const ds_packed_font_t& font, const DsPackedGlyph& glyph, int64_t pen, int64_t y, uint32_t argb)
{
    const PlacedImage image{pen + glyph.xoff, y - glyph.yoff, glyph.width, glyph.height, target.rotation()};
    const DsRect clip = target.logicalClip();
    if (image.left >= int64_t(clip.x) + clip.width || image.top >= int64_t(clip.y) + clip.height ||
        image.left + image.width <= clip.x || image.top + image.height <= clip.y)
        return DS_DRAW_OK; // nothing of it shows: not even decoded
    if (font.bpp == 8 && !font.compressed) {
        const bool turned = dsSwapsSides(image.rotation);
        const uint32_t columns = uint32_t(turned ? glyph.height : glyph.width);
        const uint32_t rows = uint32_t(turned ? glyph.width : glyph.height);
        return blendPart(target, image, {0, rows, 0, columns}, font.images + glyph.imageBit / 8, argb);
    }
    return drawDecoded(target, font, glyph, image, argb);
}

} // namespace

int dsDrawText(DsSurface& target, const ds_packed_font_t& font, int32_t x, int32_t y, const char* utf8, uint32_t argb)
{
    if (!target.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (font.rotation != target.rotation())
        return DS_DRAW_WRONG_ROTATION;
    if (!utf8 || !dsIsPackedBpp(font.bpp))
        return DS_DRAW_OK;
    int result;
    dsWalkPackedText(
        DsPackedReader(font), utf8,
        [&](const DsPackedGlyph& glyph, int64_t pen) {
            if (glyph.width <= 0 || glyph.height <= 0)
                return int(DS_DRAW_OK);
            return drawGlyph(target, font, glyph, x + pen, y, argb);
        },
        result);
    return result;
}

int32_t dsTextWidth(const ds_packed_font_t& font, const char* utf8)
{
    if (!utf8)
        return 0;
    int result;
    return clampPosition(dsWalkPackedText(
        DsPackedReader(font), utf8, [](const DsPackedGlyph&, int64_t) { return 0; }, result));
}
