// Conversion of FreeType's glyph bitmaps to top-down 8-bit coverage.
#pragma once

#include "font_rasterizer.h"

#include <cstdint>
#include <vector>

// A view of `source` as 8-bit coverage. Top-down 8-bit grey with 256 levels
// is viewed in place; 1-bit mono, 2- and 4-bit grey, other grey level counts
// and bottom-up (negative pitch) bitmaps are converted into `converted`,
// which the view then points into. An image without pixels gives a null
// buffer and zero size. Throws FTException "cannot render glyph" for pixel
// modes without coverage (colour, sub-pixel) and for rows shorter than the
// width needs.
GlyphBitmap coverageBitmap(const FT_Bitmap& source, std::vector<uint8_t>& converted);
