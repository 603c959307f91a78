#include "preview_painter.h"

#include <wx/brush.h>
#include <wx/image.h>
#include <wx/pen.h>

namespace glyphsmith {

wxBitmap toBitmap(const PreviewImage& image)
{
    wxImage rgb(image.width(), image.height(), false);
    image.copyRgb(rgb.GetData());
    return wxBitmap(rgb);
}

void PreviewPainter::paint(wxDC& dc, const wxSize& size, FontRasterizer& rasterizer, const CharacterList& codes)
{
    if (!rasterizer.hasFont() || size.x <= 0 || size.y <= 0) {
        dc.SetPen(wxPen(*wxWHITE, 1, wxPENSTYLE_SOLID));
        dc.SetBrush(wxBrush(*wxWHITE, wxBRUSHSTYLE_SOLID));
        dc.DrawRectangle(0, 0, size.x, size.y);
        return;
    }
    if (!pictureValid || size != pictureSize || codes != pictureCodes)
        compose(size, rasterizer, codes);
    // The picture covers the whole canvas, white background included.
    dc.DrawBitmap(picture, 0, 0);
}

void PreviewPainter::forgetFont()
{
    cache.clear();
    pictureValid = false;
}

void PreviewPainter::compose(const wxSize& size, FontRasterizer& rasterizer, const CharacterList& codes)
{
    PreviewImage image(size.x, size.y);
    composePreview(rasterizer, cache, codes, image);
    picture = toBitmap(image);
    pictureCodes = codes;
    pictureSize = size;
    pictureValid = true;
}

} // namespace glyphsmith
