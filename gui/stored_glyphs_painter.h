// Paints the glyphs of the export as the font stores them, zoomed, onto a
// device context: the view beside the 36-pixel preview.
#pragma once

#include "font_glyph_set.h"
#include "font_rasterizer.h"

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>

#include <cstdint>
#include <optional>

namespace glyphsmith {

// Renders the slots at the export height only when the slots, the height,
// the view's size or the font have changed, and keeps the picture for
// repaints.
class StoredGlyphsPainter {
public:
    // Paints `size` white and, when a face is loaded and `height` holds an
    // exportable height, the glyphs of `slots` rendered at that height as
    // the export renders them (composeStoredGlyphs). A FreeType failure
    // leaves the view white.
    void paint(wxDC& dc, const wxSize& size, FontRasterizer& rasterizer, const GlyphSlots& slots,
        std::optional<uint32_t> height);

    // Drops the picture; call after another face is loaded.
    void forgetFont();

private:
    bool shows(const wxSize& size, const GlyphSlots& slots, std::optional<uint32_t> height) const;

    wxBitmap picture;                      // the last view drawn
    GlyphSlots pictureSlots;               // the slots it shows
    std::optional<uint32_t> pictureHeight; // the height it shows them at, if any
    wxSize pictureSize;                    // the view size it was made for
    bool pictureValid = false;             // `picture` matches the loaded face
};

} // namespace glyphsmith
