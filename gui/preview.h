// The preview of glyphsmith without a window: where each glyph's cell goes,
// the grey image the glyphs are blended into, and a cache of rendered
// glyphs so that a repaint does not go through FreeType again.
#pragma once

#include "character_list.h"
#include "font_rasterizer.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace glyphsmith {

// Every preview renders at this pixel size, whatever the export height.
constexpr uint32_t kPreviewPixelSize = 36;
// Opacity of every glyph point, out of 255: even full ink stays light grey.
constexpr unsigned kPointAlpha = 80;
constexpr uint8_t kWhite = 255;
// Rows of cells are laid out until their baseline passes the canvas bottom by
// this many line heights; no glyph reaches that far above its baseline, so
// later rows could not show and are not rendered.
constexpr int kHiddenRowMargin = 2;

struct PenPosition {
    int x; // left edge of the cell, where the glyph's pen starts
    int y; // baseline of the cell's row
};

// Lays out square cells of one line height, left to right and then row by
// row: the first baseline is one line height below the top, and a new row
// starts when less than one cell width remains. Glyph advances do not count.
class PreviewLayout {
public:
    PreviewLayout(int canvasWidth, int lineHeight);

    // The pen position of the next cell.
    PenPosition nextCell();

    // True when the row at baseline `y` and every row after it lie wholly
    // below a canvas `canvasHeight` pixels high.
    bool belowCanvas(int y, int canvasHeight) const;

private:
    int mWidth;      // canvas width in pixels
    int mLineHeight; // cell size in pixels
    int64_t mX = 0;  // left edge of the next cell
    int64_t mY;      // baseline of the current row
};

// The result of blending one point of coverage `a` (grey 255 - a, opacity
// kPointAlpha) over `background`.
uint8_t blendPoint(uint8_t background, uint8_t coverage);

// A glyph's coverage image copied out of FreeType, kept across repaints.
struct CachedGlyph {
    uint32_t rows = 0;           // height in pixels
    uint32_t width = 0;          // width in pixels
    int32_t xoff = 0;            // pen position to the left column
    int32_t yoff = 0;            // baseline up to the top row (positive upwards)
    std::vector<uint8_t> pixels; // rows x width coverage bytes, packed row by row
};

// A grey canvas, white at first, that glyphs are blended into point by point.
class PreviewImage {
public:
    // Non-positive sizes give an empty image.
    PreviewImage(int width, int height);

    int width() const { return mWidth; }
    int height() const { return mHeight; }
    uint8_t at(int x, int y) const { return mGrey[size_t(y) * size_t(mWidth) + size_t(x)]; }

    // Blends `glyph` with its pen origin at (x, y): the pixel at row r,
    // column c lands on (x + xoff + c, y - yoff + r). Points outside the
    // canvas are clipped; coverage 0 leaves the canvas as it is.
    void drawGlyph(int x, int y, const CachedGlyph& glyph);

    // Sets the `size` x `size` pixels from (x, y) on to `grey`; the part
    // outside the canvas is clipped.
    void fillSquare(int64_t x, int64_t y, int size, uint8_t grey);

    // Writes the canvas as packed RGB triplets, width x height x 3 bytes.
    void copyRgb(uint8_t* rgb) const;

private:
    int mWidth;                 // pixels per row
    int mHeight;                // rows
    std::vector<uint8_t> mGrey; // one grey level per pixel, row by row
};

// Glyphs rendered at kPreviewPixelSize from the currently loaded face. The
// cache must be cleared whenever another face is loaded.
class GlyphCache {
public:
    // The glyph of `code`, rendered on first use; null when FreeType could
    // not render it (the glyph is then skipped, and not tried again).
    const CachedGlyph* find(FontRasterizer& rasterizer, uint32_t code);
    void clear()
    {
        mGlyphs.clear();
        mFailed.clear();
    }
    size_t size() const { return mGlyphs.size() + mFailed.size(); }

private:
    // Bound on the glyphs kept; beyond it the cache starts afresh.
    static constexpr size_t kMaxEntries = 8192;

    std::unordered_map<uint32_t, CachedGlyph> mGlyphs; // rendered glyphs by code
    std::unordered_set<uint32_t> mFailed;              // codes FreeType failed on
};

// Draws the preview of `codes` into `image` (which must still be white) with
// the rasteriser's face at kPreviewPixelSize. Does nothing without a face or
// when the size cannot be set; a glyph that fails to render is skipped.
void composePreview(FontRasterizer& rasterizer, GlyphCache& cache, const CharacterList& codes, PreviewImage& image);

} // namespace glyphsmith
