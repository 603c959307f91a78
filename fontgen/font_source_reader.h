// Reads a generated bitmap-font source back into the tables that the device
// library holds once the source is compiled. Only the text that
// font_source_text writes is accepted, so every byte of a generated font can
// be checked without a compiler; the liberties are a "(char)" cast before
// preceding codes in the kerning arrays and the text of the comment lines
// after the include line, which is not looked at. Free of FreeType.
#pragma once

#include "font_source_format.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One glyph record of one rotation, as ds_bitmap_font_char_t holds it.
struct BitmapGlyph {
    uint32_t width = 0;          // .w: width of the upright image in pixels
    uint32_t height = 0;         // .h: height of the upright image in pixels
    int32_t xoff = 0;            // .xoff: pen position to the image's left column
    int32_t yoff = 0;            // .yoff: baseline up to the image's top row
    int32_t xadvance = 0;        // .xadvance: pen advance to the next glyph
    KerningPairs kerning;        // the kerning table as the device walks it: up to its first 0
    std::vector<uint8_t> pixels; // the rotation's pixel array (the turned image); empty for nullptr
};

// One font record, as ds_bitmap_font_t holds it for one rotation.
struct BitmapFont {
    uint32_t height = 0;   // .height: baseline-to-baseline distance in pixels
    int32_t ascender = 0;  // .ascender: baseline up to the top of the tallest glyphs
    int32_t descender = 0; // .descender: baseline to the lowest glyph bottom
    std::array<std::optional<BitmapGlyph>, kLargestFontCode + 1> chars; // empty where the record says nullptr
};

// A whole generated source.
struct GeneratedFont {
    std::string name;                                        // the sanitized font name
    std::array<BitmapFont, kFontRotations.size()> rotations; // in the order of kFontRotations
    std::vector<uint32_t> written; // the rotations the source holds, ascending; the others are empty
};

// Position of `rotation` in kFontRotations; kFontRotations.size() for an
// angle that is not one of them.
size_t fontRotationIndex(uint32_t rotation);

// Parses the generated source `text` into `font`. Returns false when the text
// departs from the generated format anywhere (a value outside its field's
// type included), with `errorLine` set to the 1-based line where it departs;
// `font` is then unspecified.
bool readFontSource(std::string_view text, GeneratedFont& font, uint32_t& errorLine);
