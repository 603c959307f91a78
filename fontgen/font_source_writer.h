// Writes a rendered glyph set out as the bitmap-font source and header.
#pragma once

#include "font_glyph_set.h"
#include "font_source_text.h"

#include <functional>
#include <string>
#include <vector>

class OutputFile;

// Writes <outputDir><name>.cpp and <outputDir><name>.h, the bitmap font of
// `glyphs` in `rotations`, with comment lines naming what remapped slots
// show and `fallbackNames`, the fallback fonts. `name` must already be sanitized
// (sanitizeFontName); `outputDir` is a prefix and should end with '/'. Both
// files replace their old versions only once both are complete; two paths
// that lead to one file are refused (the header's path is returned). Returns
// the path of the file that could not be created or written, leaving neither
// file changed, or an empty text on success.
std::string writeFontSource(const FontGlyphSet& glyphs, const std::string& name, const std::string& outputDir,
    const std::vector<std::string>& fallbackNames = {}, const FontRotations& rotations = allFontRotations());

// Writes the two files of any font export as writeFontSource does:
// `writeSource` writes the source's text into the file it is given, then
// `header` is the header's.
std::string writeFontFiles(const std::string& name, const std::string& outputDir,
    const std::function<void(OutputFile&)>& writeSource, const std::string& header);
