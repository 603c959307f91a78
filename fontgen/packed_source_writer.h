// Writes a rendered glyph set out as a packed font's source and header.
#pragma once

#include "packed_font_builder.h"
#include "packed_glyphs.h"

#include <string>
#include <vector>

// The comment lines of a packed export with fallback fonts: one naming
// each fallback font, then one per run of consecutive characters taken from
// one of them ("U+F000-U+F005 from 'icons.ttf'"). None without fallbacks.
std::vector<std::string> packedNotes(const PackedGlyphSet& glyphs, const std::vector<std::string>& fallbackNames);

// Writes <outputDir><name>.cpp and .h: the packed font of `glyphs` in the
// rotations of `options`, as writeFontSource writes a classic font (both
// files or neither). Returns the path of the file that could not be written,
// or an empty text. Throws std::runtime_error as buildPackedFonts does.
std::string writePackedFontSource(const PackedGlyphSet& glyphs, const PackedFontOptions& options,
    const std::string& name, const std::string& outputDir, const std::vector<std::string>& fallbackNames = {});
