// Text through the generated bitmap fonts: each glyph's coverage image is a
// read-only A8 surface stored in the target's rotation, blended with the
// text colour.
#include "ds_surface.h"

#include "ds_font.h"
#include "ds_rotations.h"

namespace {

// A logical position held to the int32 range; a glyph pushed there lies
// wholly outside any surface, as it would have at its true position.
int32_t clampPosition(int64_t position)
{
    return position < INT32_MIN ? INT32_MIN : position > INT32_MAX ? INT32_MAX : int32_t(position);
}

int32_t normalRotation(int32_t rotation)
{
    return dsIsRotation(rotation) ? rotation : 0;
}

// Blends one glyph's image with its top-left pixel at logical (left, top).
int drawGlyph(DsSurface& target, const ds_bitmap_font_char_t& glyph, int64_t left, int64_t top, uint32_t argb)
{
    const int32_t rotation = normalRotation(target.rotation());
    // The font's rows are turned like the target's: `h` values a row at 90 and 270.
    const uint32_t rowBytes = dsSwapsSides(rotation) ? glyph.h : glyph.w;
    const DsSurface image(glyph.w, glyph.h, rotation, A8, const_cast<uint8_t*>(glyph.pixels), rowBytes);
    return target.blendMask(image, DsRect(0, 0, glyph.w, glyph.h), clampPosition(left), clampPosition(top), argb, 255);
}

} // namespace

int32_t dsKerningDelta(const ds_bitmap_font_char_t& glyph, uint8_t previous)
{
    if (!glyph.kerning_table_prev || !glyph.kerning_table_delta)
        return 0;
    for (uint32_t i = 0; glyph.kerning_table_prev[i] != 0; ++i)
        if (uint8_t(glyph.kerning_table_prev[i]) == previous)
            return glyph.kerning_table_delta[i];
    return 0;
}

int dsDrawText(DsSurface& target, const ds_bitmap_font_t& font, int32_t x, int32_t y, const char* text, uint32_t argb)
{
    if (!target.isValid())
        return DS_DRAW_INVALID_SURFACE;
    if (!text)
        return DS_DRAW_OK;
    int64_t pen = x;
    uint8_t previous = 0;
    for (const char* at = text; *at != 0; ++at) {
        const uint8_t code = uint8_t(*at);
        const ds_bitmap_font_char_t* glyph = font.chars[code];
        if (!glyph)
            continue;
        if (previous != 0)
            pen += dsKerningDelta(*glyph, previous);
        if (glyph->pixels && glyph->w > 0 && glyph->h > 0) {
            const int result = drawGlyph(target, *glyph, pen + glyph->xoff, int64_t(y) - glyph->yoff, argb);
            if (result != DS_DRAW_OK)
                return result;
        }
        pen += glyph->xadvance;
        previous = code;
    }
    return DS_DRAW_OK;
}
