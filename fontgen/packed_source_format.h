// The source text of a packed font export, shared by the code that writes
// it (packed_source_text) and the code that reads it back
// (packed_source_reader), so that the format is defined once. Free of
// FreeType.
//
// A packed source file is, in this order, with one empty line between any
// two blocks:
//   the include line and an empty line;
//   when the export used fallback fonts: comment lines saying which
//   characters came from which, and an empty line;
//   the tables, each a block "static const uint8_t packed_<kind>_<R>[] = {",
//   lines of up to 16 "0xAB, " values and "};", where R is the first
//   rotation whose table of that kind holds these bytes: a later rotation
//   with the same bytes points at the same array; empty tables are not
//   written (their pointer is nullptr);
//   one block per rotation: "const ds_packed_font_t font_<name>_<R> = {",
//   the members one a line (".rotation = 0,"), "};".
#pragma once

#include "packed_font.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace packed_text {

constexpr std::string_view kFontType = "ds_packed_font_t";
constexpr std::string_view kTableType = "static const uint8_t ";
constexpr std::string_view kTablePrefix = "packed_"; // then the kind, '_' and the rotation
constexpr std::string_view kTableOpen = "[] = {";
constexpr std::string_view kValuePrefix = "0x";
constexpr std::string_view kValueEnd = ", ";
constexpr uint32_t kValuesPerLine = 16;
constexpr std::string_view kFontStart = "const ds_packed_font_t font_";
constexpr std::string_view kFontOpen = " = {";
constexpr std::string_view kBlockEnd = "};";
constexpr std::string_view kFieldStart = ".";
constexpr std::string_view kFieldSeparator = " = ";
constexpr std::string_view kFieldEnd = ",";
constexpr std::string_view kListOpen = "{";
constexpr std::string_view kListClose = "}";
constexpr std::string_view kListSeparator = ", ";
constexpr std::string_view kNull = "nullptr";
constexpr char kNameSeparator = '_';

// A number member of ds_packed_font_t and where PackedFont holds it.
struct NumberField {
    std::string_view name;
    int64_t PackedFont::*value;
};

// The number members before the lists, in declaration order.
constexpr std::array<NumberField, 10> kLeadingNumbers = {{
    {"rotation", &PackedFont::rotation},
    {"bpp", &PackedFont::bpp},
    {"compressed", &PackedFont::compressed},
    {"height", &PackedFont::height},
    {"ascender", &PackedFont::ascender},
    {"descender", &PackedFont::descender},
    {"glyph_count", &PackedFont::glyphCount},
    {"range_count", &PackedFont::rangeCount},
    {"zero_run_order", &PackedFont::zeroRunOrder},
    {"full_run_order", &PackedFont::fullRunOrder},
}};

// The two lists, one entry per record field.
struct ListField {
    std::string_view name;
    std::array<int64_t, DS_PACKED_FIELD_COUNT> PackedFont::*values;
};
constexpr std::array<ListField, 2> kLists = {{
    {"field_bits", &PackedFont::fieldBits},
    {"field_base", &PackedFont::fieldBase},
}};

// The number members after the lists.
constexpr std::array<NumberField, 4> kTrailingNumbers = {{
    {"kerning_classes", &PackedFont::kerningClasses},
    {"kerning_end_bits", &PackedFont::kerningEndBits},
    {"kerning_value_bits", &PackedFont::kerningValueBits},
    {"kerning_value_base", &PackedFont::kerningValueBase},
}};

// The table members, last, in declaration order; each names its kind of
// array ("packed_ranges_0").
struct TableField {
    std::string_view name;
    std::vector<uint8_t> PackedFont::*table;
};
constexpr std::array<TableField, 5> kTables = {{
    {"ranges", &PackedFont::ranges},
    {"records", &PackedFont::records},
    {"anchors", &PackedFont::anchors},
    {"images", &PackedFont::images},
    {"kerning", &PackedFont::kerning},
}};

} // namespace packed_text
