// Text through packed fonts. A glyph's image is decoded a band of stored
// rows at a time into a small buffer on the stack, and each band is drawn as
// an A8 mask stored in the target's rotation (the font's), as blendMask
// draws it; plain 8-bit images are drawn straight from the font.
#include "ds_surface.h"

#include "ds_draw_paths.h"
#include "ds_packed_font.h"
#include "ds_packed_image.h"
#include "ds_rotations.h"

#include <string.h>

namespace {

// The decoding buffer: whole stored rows while they fit, so that a row may
// repeat the one above across bands, and pieces of longer rows. A glyph of
// text up to about 32 pixels fits it whole.
constexpr uint32_t kBandBytes = 1024;
static_assert(kBandBytes >= 2 * DS_PACKED_REPEAT_ROW_MAX, "a band must hold a row and the row above");

// A logical position held to the int32 range; a glyph pushed there lies
// wholly outside any surface, as it would have at its true position.
int32_t clampPosition(int64_t position)
{
    return position < INT32_MIN ? INT32_MIN : position > INT32_MAX ? INT32_MAX : int32_t(position);
}

// A glyph's stored image placed on the target: stored pixel (0, 0) on the
// target's stored (column, row).
struct PlacedImage {
    int64_t column;
    int64_t row;
    uint32_t columns; // pixels of a stored row
    uint32_t rows;    // stored rows
};

// Decodes the image band by band and draws each band.
void drawDecoded(const ds::MaskTarget& target, const ds_packed_font_t& font, const DsPackedGlyph& glyph,
    const PlacedImage& image)
{
    DsPackedImageDecoder decoder(font, glyph);
    const uint32_t columns = image.columns, rows = image.rows;
    alignas(4) uint8_t band[kBandBytes];
    if (columns > kBandBytes) {
        for (uint32_t row = 0; row < rows; ++row)
            for (uint32_t column = 0; column < columns; column += kBandBytes) {
                const uint32_t piece = columns - column < kBandBytes ? columns - column : kBandBytes;
                decoder.decode(band, piece);
                ds::drawStoredMask(target, image.column + column, image.row + row, band, piece, 1);
            }
        return;
    }
    const uint32_t bandRows = kBandBytes / columns;
    uint32_t kept = 0; // rows at the band's start kept from the band before, as the row above
    for (uint32_t row = 0; row < rows;) {
        const uint32_t count = rows - row < bandRows - kept ? rows - row : bandRows - kept;
        uint8_t* const first = band + kept * columns;
        decoder.decode(first, count * columns);
        ds::drawStoredMask(target, image.column, image.row + row, first, columns, count);
        row += count;
        if (row < rows && decoder.readsRowAbove()) {
            memmove(band, first + (count - 1) * columns, columns);
            kept = 1;
        }
    }
}

// Draws a glyph whose upright image's top-left pixel lies at logical
// (left, top), unless nothing of it shows.
void drawGlyph(const ds::MaskTarget& target, const ds_packed_font_t& font, const DsPackedGlyph& glyph, int64_t left,
    int64_t top)
{
    const bool turned = dsSwapsSides(font.rotation);
    PlacedImage image{0, 0, uint32_t(turned ? glyph.height : glyph.width), uint32_t(turned ? glyph.width : glyph.height)};
    ds::storedCorner(target, left, top, glyph.width, glyph.height, image.column, image.row);
    if (image.column >= target.clipRight || image.row >= target.clipBottom ||
        image.column + image.columns <= target.clipLeft || image.row + image.rows <= target.clipTop)
        return; // not even decoded
    if (font.bpp == 8 && !font.compressed)
        ds::drawStoredMask(target, image.column, image.row, font.images + glyph.imageBit / 8, image.columns, image.rows);
    else
        drawDecoded(target, font, glyph, image);
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
    ds::MaskTarget mask;
    if (const int refusal = ds::prepareMaskTarget(target, argb, mask))
        return refusal;
    if (mask.job.alpha == 0)
        return DS_DRAW_OK;
    int result;
    dsWalkPackedText(
        DsPackedReader(font), utf8,
        [&](const DsPackedGlyph& glyph, int64_t pen) {
            if (glyph.width > 0 && glyph.height > 0)
                drawGlyph(mask, font, glyph, x + pen + glyph.xoff, int64_t(y) - glyph.yoff);
            return 0;
        },
        result);
    return DS_DRAW_OK;
}

int32_t dsTextWidth(const ds_packed_font_t& font, const char* utf8)
{
    if (!utf8)
        return 0;
    int result;
    return clampPosition(dsWalkPackedText(
        DsPackedReader(font), utf8, [](const DsPackedGlyph&, int64_t) { return 0; }, result));
}
