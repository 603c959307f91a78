// The glyphs of an export as the font stores them, without a window: each
// stored coverage value drawn as a square of zoomed pixels, so that the
// bitmaps that ship can be seen beside the 36-pixel preview.
#pragma once

#include "font_glyph_set.h"
#include "preview.h"

#include <cstdint>

namespace glyphsmith {

// Size of the view in window pixels.
constexpr int kStoredViewWidth = 800;
constexpr int kStoredViewHeight = 200;
// Zooms of the view: at least 1, and at most this many window pixels a side
// for each stored pixel, so that small fonts stay readable as text.
constexpr int kLargestStoredZoom = 8;
// Stored pixels between two glyphs and around the view's edge.
constexpr int kStoredGap = 1;

// The zoom at which two lines of `lineHeight` stored pixels fill a view
// `viewHeight` pixels high, from 1 to kLargestStoredZoom.
int storedZoom(int viewHeight, int64_t lineHeight);

// Draws `glyphs` into the white `image` at storedZoom: each glyph's stored
// pixels as they are, value v a square of grey 255 - v (full coverage black),
// glyph after glyph in list order, kStoredGap stored pixels apart, each as
// wide as the larger of its bitmap and its advance. Lines are the font's
// stored line height plus the gap apart; a glyph's rows sit where its yoff
// puts them against the line's baseline, the font's stored ascender below
// the line's top. A glyph that does not fit on the line starts the next; lines below
// the view are left out.
void composeStoredGlyphs(const FontGlyphSet& glyphs, PreviewImage& image);

} // namespace glyphsmith
