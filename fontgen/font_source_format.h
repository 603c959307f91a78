// The pieces of text a generated bitmap-font source is made of, shared by the
// code that writes it (font_source_text) and the code that reads it back
// (font_source_reader), so that the format is defined once. Free of FreeType.
//
// A source file is, in this order:
//   the include line;
//   when any slot shows another character than its own code or comes from a
//   fallback font: comment lines saying so, and an empty line;
//   per glyph: its two kerning arrays (when it kerns), its four pixel arrays
//   (when it has ink) and its four records, rotations 0, 90, 180, 270;
//   the four font records, rotations 0, 90, 180, 270.
#pragma once

#include "character_list.h"
#include "ds_rotations.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// One kerning entry of a glyph: when the character `prev` precedes it, the
// glyph moves `delta` pixels.
struct KerningPair {
    uint8_t prev; // code of the preceding character, 1 to 255
    int8_t delta; // horizontal offset in pixels, clamped to the field
};
using KerningPairs = std::vector<KerningPair>;

// The four rotations every font is emitted in, in the order written.
constexpr std::array<uint32_t, kDsRotationCount> kFontRotations = {
    kDsRotations[0], kDsRotations[1], kDsRotations[2], kDsRotations[3]};

// Lines of a glyph's pixel array and values on each line, for an image of
// `width` x `rows` pixels: the quarter turns write the columns as lines.
struct PixelArrayShape {
    uint32_t lines;  // lines of the array
    uint32_t values; // pixel values on each line
};

constexpr PixelArrayShape pixelArrayShape(uint32_t rotation, uint32_t width, uint32_t rows)
{
    return dsSwapsSides(rotation) ? PixelArrayShape{width, rows} : PixelArrayShape{rows, width};
}

// Walks an upright image as one rotation stores it: `shape.lines` lines of
// `shape.values` pixels, pixel k of line l at offset start + l * lineStep +
// k * valueStep. 90 turns the image counter-clockwise (its rightmost column
// becomes the first line), 180 upside down, 270 clockwise.
struct RotatedWalk {
    PixelArrayShape shape; // lines of the rotated image and pixels per line
    ptrdiff_t start;       // offset of the first pixel written
    ptrdiff_t lineStep;    // offset from one line to the next
    ptrdiff_t valueStep;   // offset from one pixel of a line to the next
};

constexpr RotatedWalk rotatedWalk(uint32_t width, uint32_t rows, ptrdiff_t pitch, uint32_t rotation)
{
    const PixelArrayShape shape = pixelArrayShape(rotation, width, rows);
    const ptrdiff_t lastRow = ptrdiff_t(rows) - 1;
    const ptrdiff_t lastColumn = ptrdiff_t(width) - 1;
    switch (rotation) {
    case 90: return {shape, lastColumn, -1, pitch};
    case 180: return {shape, lastRow * pitch + lastColumn, -pitch, -1};
    case 270: return {shape, lastRow * pitch, 1, -pitch};
    default: return {shape, 0, pitch, 1};
    }
}

namespace font_text {

constexpr std::string_view kHeaderSuffix = ".h"; // the header's name is the font name and this

// The include line: "#include <" name ".h" ">" and an empty line.
constexpr std::string_view kIncludeStart = "#include <";
constexpr std::string_view kIncludeEnd = ">\n\n";

// Comment lines after the include line: one per fallback font, then one per
// run of slots that show consecutive characters from one font, such as
// "// 0xC0-0xFF: U+0410-U+044F" or "// 0x80: U+F000 from 'icons.ttf'".
constexpr std::string_view kCommentStart = "// ";
constexpr std::string_view kFallbackNote = "fallback font '";
constexpr std::string_view kCodePrefix = "0x";
constexpr std::string_view kCharacterPrefix = "U+";
constexpr std::string_view kRangeDash = "-";
constexpr std::string_view kSlotSeparator = ": ";
constexpr std::string_view kFromFont = " from '";
constexpr std::string_view kQuoteEnd = "'";

// Names of a glyph's arrays and records: "char_" code, then a suffix.
constexpr std::string_view kGlyphPrefix = "char_";
constexpr std::string_view kKerningPrevSuffix = "_ktp";
constexpr std::string_view kKerningDeltaSuffix = "_ktd";
constexpr std::string_view kPixelsSuffix = "_pixels_"; // followed by the rotation
constexpr char kNameSeparator = '_';                   // between a record's code and rotation

// Kerning arrays, one line each: type, name, entries, then the terminating 0.
constexpr std::string_view kKerningPrevType = "static const char ";
constexpr std::string_view kKerningDeltaType = "static const int8_t ";
constexpr std::string_view kArrayStart = "[] = {";
constexpr std::string_view kEntrySeparator = ", "; // after every entry and every pixel value
constexpr std::string_view kKerningEnd = "0};\n";
// A preceding code from 128 to 255 is written with this cast, as a plain
// char array cannot otherwise hold it where char is signed.
constexpr std::string_view kCharCast = "(char)";

// Pixel arrays: type, name, "[] = {" and a newline, one line of "0xAB, "
// values per line of the turned image, then "};" and an empty line.
constexpr std::string_view kPixelArrayType = "static const uint8_t ";
constexpr std::string_view kPixelValuePrefix = "0x";
constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr char kLineEnd = '\n';
constexpr std::string_view kPixelArrayEnd = "};\n\n";

// Glyph records: type, name, then one field per line.
constexpr std::string_view kGlyphRecordType = "static const ds_bitmap_font_char_t ";
constexpr std::string_view kGlyphRecordStart = " = \n{\n";
constexpr std::string_view kWidthField = ".w = ";
constexpr std::string_view kHeightField = ".h = ";
constexpr std::string_view kXoffField = ".xoff = ";
constexpr std::string_view kYoffField = ".yoff = ";
constexpr std::string_view kXadvanceField = ".xadvance = ";
constexpr std::string_view kKerningPrevField = ".kerning_table_prev = ";
constexpr std::string_view kKerningDeltaField = ".kerning_table_delta = ";
constexpr std::string_view kPixelsField = ".pixels = ";
constexpr std::string_view kFieldEnd = ",\n"; // after every field but the last
constexpr std::string_view kNull = "nullptr";
constexpr std::string_view kGlyphRecordEnd = "};\n\n\n";

// Font records: two empty lines, the declaration, the metrics, then one
// line per code 0 to 255: "&" and the glyph record's name, or "nullptr".
constexpr std::string_view kFontRecordStart = "\n\nconst ds_bitmap_font_t font_";
constexpr std::string_view kFontRecordOpen = " = {\n";
constexpr std::string_view kFontHeightField = ".height = ";
constexpr std::string_view kAscenderField = ".ascender = ";
constexpr std::string_view kDescenderField = ".descender = ";
constexpr std::string_view kCharsStart = ".chars = {\n";
constexpr std::string_view kAddressOf = "&";
constexpr std::string_view kFontRecordEnd = "}\n};\n";

} // namespace font_text
