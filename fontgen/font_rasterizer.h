// Glyph rasteriser over FreeType 2, shared by glyphsmith and glyphsmith_cli.
//
// One FontRasterizer owns a FreeType library instance and at most one open
// face. It renders one character code at a time into an 8-bit coverage
// bitmap and reports the face's size metrics and kerning.
#pragma once

#include "character_list.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class InputFile;

// A FreeType failure, carrying one of a few fixed messages ("cannot load
// glyph", ...); FreeType's error code is not kept.
class FTException : public std::exception {
public:
    explicit FTException(const char* message) : mMessage(message) { }
    ~FTException() override = default;
    const char* what() const noexcept override { return mMessage.c_str(); }

private:
    std::string mMessage; // own copy of the message text
};

// Non-owning view of a rendered glyph image. Pixels are always one byte of
// 8-bit coverage each (0 no ink, 255 full ink), whatever pixel mode FreeType
// produced; the pixel at row r (0 = top), column c (0 = left) is
// buffer[r * pitch + c].
struct GlyphBitmap {
    uint32_t rows = 0;               // height in pixels
    uint32_t width = 0;              // width in pixels
    int32_t pitch = 0;               // bytes from one row to the next, never below width
    const uint8_t* buffer = nullptr; // top-left pixel; null when the glyph has no ink
};

// One rendered glyph. The bitmap stays valid only until the next
// renderGlyph, setPixelSize, loadFont, unloadFont or the rasteriser's end.
struct RenderedGlyph {
    GlyphBitmap bitmap;   // coverage image
    int32_t xoff = 0;     // pen position to the bitmap's left column, pixels
    int32_t yoff = 0;     // baseline up to the bitmap's top row, pixels (positive upwards)
    int32_t xadvance = 0; // horizontal advance in whole pixels, rounded down
    int32_t yadvance = 0; // vertical advance in whole pixels, rounded down
};

// The face's metrics at the current pixel size, in 26.6 fixed point.
struct SizeMetrics {
    int64_t height = 0;    // baseline-to-baseline distance
    int64_t ascender = 0;  // baseline up to the top of the tallest glyphs
    int64_t descender = 0; // baseline to the bottom of the lowest glyphs, normally negative
};

// How renderGlyph renders: anti-aliased 8-bit coverage, or FreeType's
// monochrome rendering with its monochrome hinting (coverage 0 or 255), as
// a 1-bit font must look.
enum class GlyphRendering { Grey, Mono };

class FontRasterizer {
public:
    // Creates the FreeType library; throws FTException "cannot initialize library".
    FontRasterizer();
    ~FontRasterizer();
    FontRasterizer(const FontRasterizer&) = delete;
    FontRasterizer& operator=(const FontRasterizer&) = delete;

    // Opens face 0 of the font file at `path`, releasing the face open
    // before. The file is read whole first, without waiting on a FIFO or
    // device (openInputFile), which is refused like a file FreeType cannot
    // read. Throws "cannot load font file"; the previous face then stays
    // open and current.
    void loadFont(const std::string& path);
    void unloadFont();
    bool hasFont() const { return face != nullptr; }

    // Sets the pixel height (width follows the height). Throws "cannot set
    // char size", also when no face is open.
    void setPixelSize(uint32_t height);

    // Line spacing at the current size in whole pixels (rounded down); 0
    // without a face.
    int32_t lineHeight() const;

    // Size metrics at the current size; all zero without a face.
    SizeMetrics sizeMetrics() const;

    // Renders `code` (a code the face lacks renders its missing-glyph) and
    // fills `glyph`. Throws "cannot load glyph" or "cannot render glyph";
    // the face and its size stay as they were.
    void renderGlyph(uint32_t code, RenderedGlyph& glyph, GlyphRendering rendering = GlyphRendering::Grey);

    // Whether the face maps `character` to a glyph of its own (not its
    // missing-glyph); false without a face.
    bool hasCharacter(uint32_t character) const;

    // Whether the face has kerning pairs for kerning() to find.
    bool hasKerning() const;

    // Horizontal kerning in whole pixels (rounded down) when `right` follows
    // `left`, both looked up by their full codes. 0 without a face.
    int32_t kerning(uint32_t left, uint32_t right) const;

private:
    FT_Library library = nullptr;        // FreeType instance, lives as long as the object
    FT_Face face = nullptr;              // the open face, or null
    std::unique_ptr<InputFile> fontFile; // the bytes of the open face's file, which FreeType reads in place
    std::vector<uint8_t> converted;      // pixels of the last glyph that needed conversion
};
