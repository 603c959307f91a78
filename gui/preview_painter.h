// Paints the glyph preview onto a device context.
#pragma once

#include "preview.h"

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>

namespace glyphsmith {

// The grey image as a bitmap to draw.
wxBitmap toBitmap(const PreviewImage& image);

// Draws the preview through one image built from cached glyphs, and keeps
// that image for repaints while the list, the canvas size and the font stay
// the same (exposes, dialogs moved over the canvas).
class PreviewPainter {
public:
    // Fills `size` with white and, when a face is loaded, draws the glyphs of
    // `codes` at the preview size. Never throws for FreeType failures: a
    // glyph that cannot be rendered is left out.
    void paint(wxDC& dc, const wxSize& size, FontRasterizer& rasterizer, const CharacterList& codes);

    // Drops every cached glyph and image; call after another face is loaded.
    void forgetFont();

private:
    // Builds `picture` for `codes` on a canvas of `size`.
    void compose(const wxSize& size, FontRasterizer& rasterizer, const CharacterList& codes);

    GlyphCache cache;           // glyphs of the loaded face at the preview size
    wxBitmap picture;           // the last preview drawn
    CharacterList pictureCodes; // the list `picture` shows
    wxSize pictureSize;         // the canvas size `picture` was made for
    bool pictureValid = false;  // `picture` matches the loaded face
};

} // namespace glyphsmith
