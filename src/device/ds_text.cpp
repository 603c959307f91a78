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

// Walks the glyphs of `text` as the pen meets them: `visit(glyph, pen)` for
// each, with the pen already moved by the kerning. Returns the pen's final
// distance from its start; stops at the first result of `visit` that is not
// DS_DRAW_OK, which it leaves in `failure`.
template <typename Visit>
int64_t walkText(const ds_bitmap_font_t& font, const char* text, Visit visit, int& failure)
{
    int64_t pen = 0;
    uint8_t previous = 0;
    failure = DS_DRAW_OK;
    for (const char* at = text; *at != 0; ++at) {
        const uint8_t code = uint8_t(*at);
        const ds_bitmap_font_char_t* glyph = font.chars[code];
        if (!glyph)
            continue;
        if (previous != 0)
            pen += dsKerningDelta(*glyph, previous);
        failure = visit(*glyph, pen);
        if (failure != DS_DRAW_OK)
            break;
        pen += glyph->xadvance;
        previous = code;
    }
    return pen;
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
    int result;
    walkText(
        font, text,
        [&](const ds_bitmap_font_char_t& glyph, int64_t pen) {
            if (!glyph.pixels || glyph.w == 0 || glyph.h == 0)
                return int(DS_DRAW_OK);
            return drawGlyph(target, glyph, x + pen + glyph.xoff, int64_t(y) - glyph.yoff, argb);
        },
        result);
    return result;
}

int32_t dsTextWidth(const ds_bitmap_font_t& font, const char* text)
{
    if (!text)
        return 0;
    int result;
    return clampPosition(walkText(
        font, text, [](const ds_bitmap_font_char_t&, int64_t) { return int(DS_DRAW_OK); }, result));
}
