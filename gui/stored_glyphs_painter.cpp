#include "stored_glyphs_painter.h"

#include "preview_painter.h"
#include "stored_glyphs.h"

#include <algorithm>

namespace glyphsmith {

bool StoredGlyphsPainter::shows(const wxSize& size, const GlyphSlots& slots, std::optional<uint32_t> height) const
{
    const auto sameSlot = [](const GlyphSlot& a, const GlyphSlot& b) {
        return a.code == b.code && a.character == b.character;
    };
    return pictureValid && size == pictureSize && height == pictureHeight &&
        std::equal(slots.begin(), slots.end(), pictureSlots.begin(), pictureSlots.end(), sameSlot);
}

void StoredGlyphsPainter::paint(
    wxDC& dc, const wxSize& size, FontRasterizer& rasterizer, const GlyphSlots& slots, std::optional<uint32_t> height)
{
    if (size.x <= 0 || size.y <= 0)
        return;
    if (!shows(size, slots, height)) {
        PreviewImage image(size.x, size.y);
        if (rasterizer.hasFont() && height) {
            try {
                composeStoredGlyphs(renderFontGlyphs(FontSources{&rasterizer}, *height, slots), image);
            } catch (const FTException&) {
                image = PreviewImage(size.x, size.y);
            }
        }
        picture = toBitmap(image);
        pictureSlots = slots;
        pictureHeight = height;
        pictureSize = size;
        pictureValid = true;
    }
    dc.DrawBitmap(picture, 0, 0);
}

void StoredGlyphsPainter::forgetFont()
{
    pictureValid = false;
}

} // namespace glyphsmith
