#include "preview.h"

#include <algorithm>

namespace glyphsmith {

PreviewLayout::PreviewLayout(int canvasWidth, int cellSize) : mWidth(canvasWidth), mLineHeight(cellSize), mY(cellSize)
{
}

PenPosition PreviewLayout::nextCell()
{
    if (mWidth - mX < mLineHeight) {
        mX = 0;
        mY += mLineHeight;
    }
    const PenPosition position{int(mX), int(mY)};
    mX += mLineHeight;
    return position;
}

bool PreviewLayout::belowCanvas(int rowBaseline, int canvasHeight) const
{
    const int64_t margin = int64_t(kHiddenRowMargin) * std::max(mLineHeight, 0);
    return int64_t(rowBaseline) >= int64_t(canvasHeight) + margin;
}

uint8_t blendPoint(uint8_t background, uint8_t coverage)
{
    const unsigned grey = kWhite - coverage;
    const unsigned mixed = grey * kPointAlpha + unsigned(background) * (kWhite - kPointAlpha);
    return uint8_t((mixed + kWhite / 2) / kWhite);
}

PreviewImage::PreviewImage(int width, int height)
    : mWidth(width > 0 && height > 0 ? width : 0), mHeight(width > 0 && height > 0 ? height : 0),
      mGrey(size_t(mWidth) * size_t(mHeight), kWhite)
{
}

void PreviewImage::drawGlyph(int x, int y, const CachedGlyph& glyph)
{
    // 64-bit positions: offsets from a hostile font cannot overflow.
    const int64_t left = int64_t(x) + glyph.xoff;
    const int64_t top = int64_t(y) - glyph.yoff;
    for (uint32_t r = 0; r < glyph.rows; ++r) {
        const int64_t py = top + r;
        if (py < 0 || py >= mHeight)
            continue;
        const uint8_t* source = &glyph.pixels[size_t(r) * glyph.width];
        uint8_t* target = &mGrey[size_t(py) * size_t(mWidth)];
        const int64_t firstColumn = std::max<int64_t>(0, -left);
        const int64_t endColumn = std::min<int64_t>(glyph.width, int64_t(mWidth) - left);
        for (int64_t c = firstColumn; c < endColumn; ++c)
            if (source[c] != 0)
                target[left + c] = blendPoint(target[left + c], source[c]);
    }
}

void PreviewImage::fillSquare(int64_t x, int64_t y, int size, uint8_t grey)
{
    const int64_t top = std::max<int64_t>(y, 0), bottom = std::min<int64_t>(y + size, mHeight);
    const int64_t left = std::max<int64_t>(x, 0), right = std::min<int64_t>(x + size, mWidth);
    for (int64_t row = top; row < bottom; ++row)
        for (int64_t column = left; column < right; ++column)
            mGrey[size_t(row) * size_t(mWidth) + size_t(column)] = grey;
}

void PreviewImage::copyRgb(uint8_t* rgb) const
{
    for (const uint8_t grey : mGrey) {
        *rgb++ = grey;
        *rgb++ = grey;
        *rgb++ = grey;
    }
}

const CachedGlyph* GlyphCache::find(FontRasterizer& rasterizer, uint32_t code)
{
    const auto hit = mGlyphs.find(code);
    if (hit != mGlyphs.end())
        return &hit->second;
    if (mFailed.count(code) != 0)
        return nullptr;
    if (size() >= kMaxEntries)
        clear();
    RenderedGlyph rendered;
    try {
        rasterizer.renderGlyph(code, rendered);
    } catch (const FTException&) {
        mFailed.insert(code);
        return nullptr;
    }
    CachedGlyph& glyph = mGlyphs[code];
    glyph.xoff = rendered.xoff;
    glyph.yoff = rendered.yoff;
    if (rendered.bitmap.buffer == nullptr)
        return &glyph;
    glyph.rows = rendered.bitmap.rows;
    glyph.width = rendered.bitmap.width;
    glyph.pixels.resize(size_t(glyph.rows) * glyph.width);
    for (uint32_t r = 0; r < glyph.rows; ++r) {
        const uint8_t* row = rendered.bitmap.buffer + ptrdiff_t(r) * rendered.bitmap.pitch;
        std::copy(row, row + glyph.width, glyph.pixels.begin() + ptrdiff_t(r) * glyph.width);
    }
    return &glyph;
}

void composePreview(FontRasterizer& rasterizer, GlyphCache& cache, const CharacterList& codes, PreviewImage& image)
{
    if (!rasterizer.hasFont())
        return;
    try {
        rasterizer.setPixelSize(kPreviewPixelSize);
    } catch (const FTException&) {
        return;
    }
    PreviewLayout layout(image.width(), rasterizer.lineHeight());
    for (const uint32_t code : codes) {
        const PenPosition pen = layout.nextCell();
        if (layout.belowCanvas(pen.y, image.height()))
            return;
        if (const CachedGlyph* glyph = cache.find(rasterizer, code))
            image.drawGlyph(pen.x, pen.y, *glyph);
    }
}

} // namespace glyphsmith
