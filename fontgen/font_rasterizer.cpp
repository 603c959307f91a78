#include "font_rasterizer.h"

#include "coverage_bitmap.h"
#include "input_file.h"

#include <cstddef>

namespace {

constexpr int kFixedPointShift = 6; // 26.6 fixed point to whole pixels

int32_t wholePixels(FT_Pos value)
{
    return int32_t(value >> kFixedPointShift);
}

} // namespace

FontRasterizer::FontRasterizer()
{
    if (FT_Init_FreeType(&library) != 0)
        throw FTException("cannot initialize library");
}

FontRasterizer::~FontRasterizer()
{
    unloadFont();
    FT_Done_FreeType(library);
}

void FontRasterizer::loadFont(const std::string& path)
{
    auto file = std::make_unique<InputFile>();
    if (!file->open(path) || !file->readAll())
        throw FTException("cannot load font file");
    file->close();
    FT_Face opened = nullptr;
    if (FT_New_Memory_Face(library, file->data(), FT_Long(file->size()), 0, &opened) != 0)
        throw FTException("cannot load font file");
    unloadFont();
    face = opened;
    fontFile = std::move(file);
}

void FontRasterizer::unloadFont()
{
    if (face)
        FT_Done_Face(face);
    face = nullptr;
    fontFile.reset();
    converted.clear();
}

void FontRasterizer::setPixelSize(uint32_t height)
{
    if (!face || FT_Set_Pixel_Sizes(face, 0, height) != 0)
        throw FTException("cannot set char size");
}

int32_t FontRasterizer::lineHeight() const
{
    return face ? wholePixels(face->size->metrics.height) : 0;
}

SizeMetrics FontRasterizer::sizeMetrics() const
{
    SizeMetrics metrics;
    if (face) {
        metrics.height = face->size->metrics.height;
        metrics.ascender = face->size->metrics.ascender;
        metrics.descender = face->size->metrics.descender;
    }
    return metrics;
}

void FontRasterizer::renderGlyph(uint32_t code, RenderedGlyph& glyph, GlyphRendering rendering)
{
    if (!face)
        throw FTException("cannot load glyph");
    const bool mono = rendering == GlyphRendering::Mono;
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, index, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT) != 0)
        throw FTException("cannot load glyph");
    const FT_GlyphSlot slot = face->glyph;
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        throw FTException("cannot render glyph");
    glyph.bitmap = coverageBitmap(slot->bitmap, converted);
    glyph.xoff = slot->bitmap_left;
    glyph.yoff = slot->bitmap_top;
    glyph.xadvance = wholePixels(slot->advance.x);
    glyph.yadvance = wholePixels(slot->advance.y);
}

bool FontRasterizer::hasCharacter(uint32_t character) const
{
    return face && FT_Get_Char_Index(face, character) != 0;
}

bool FontRasterizer::hasKerning() const
{
    return face && FT_HAS_KERNING(face);
}

int32_t FontRasterizer::kerning(uint32_t left, uint32_t right) const
{
    if (!face)
        return 0;
    const FT_UInt leftIndex = FT_Get_Char_Index(face, left);
    const FT_UInt rightIndex = FT_Get_Char_Index(face, right);
    FT_Vector vector{0, 0};
    FT_Get_Kerning(face, leftIndex, rightIndex, FT_KERNING_DEFAULT, &vector);
    return wholePixels(vector.x);
}
