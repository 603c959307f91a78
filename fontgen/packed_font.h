// A packed font of one rotation as the tools hold it: the members of
// ds_packed_font_t and the bytes of the tables they point at. Made by the
// exporter (packed_font_builder.h), written as source text and read back
// (packed_source_text.h), and drawn through the device library. Free of
// FreeType.
#pragma once

#include "ds_font.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Every number is held as int64_t, whatever its member's type; checkPackedFont
// says whether each fits.
struct PackedFont {
    int64_t rotation = 0;
    int64_t bpp = 0;
    int64_t compressed = 0;
    int64_t height = 0;
    int64_t ascender = 0;
    int64_t descender = 0;
    int64_t glyphCount = 0;
    int64_t rangeCount = 0;
    int64_t zeroRunOrder = 0;
    int64_t fullRunOrder = 0;
    std::array<int64_t, DS_PACKED_FIELD_COUNT> fieldBits{};
    std::array<int64_t, DS_PACKED_FIELD_COUNT> fieldBase{};
    int64_t kerningClasses = 0;
    int64_t kerningEndBits = 0;
    int64_t kerningValueBits = 0;
    int64_t kerningValueBase = 0;
    std::vector<uint8_t> ranges; // each table empty where the font's pointer is null
    std::vector<uint8_t> records;
    std::vector<uint8_t> anchors;
    std::vector<uint8_t> images;
    std::vector<uint8_t> kerning;
};

// Bytes of a sparse range's code offset.
constexpr uint32_t kPackedSparseCodeBytes = 2;
// The widest record field or kerning end (what dsPackedBits reads), and the
// widest kerning value (its base is 16 bits).
constexpr uint32_t kPackedLargestFieldBits = 24;
constexpr uint32_t kPackedLargestValueBits = 16;
// The range of the members held in int16_t: the metrics and the bases.
constexpr int64_t kPackedSmallestInt16 = -0x8000;
constexpr int64_t kPackedLargestInt16 = 0x7FFF;
// The largest count of glyphs, ranges, kerning classes or sparse codes: the
// format's numbers are 16 bits.
constexpr uint32_t kPackedLargestCount = 0xFFFF;
// The most codes one range entry holds: its count less one fills the bits
// above the first code.
constexpr uint32_t kPackedLargestRange = 1u << (32 - DS_PACKED_CODE_BITS);

// `font` as the device holds it: pointers into its tables, null for empty
// ones. Valid while `font` lives unchanged.
ds_packed_font_t devicePackedFont(const PackedFont& font);

// Whether `font` keeps every rule of the format that the device library
// relies on, so that drawing with it reads only within its tables; false
// with the first rule broken in `problem`.
bool checkPackedFont(const PackedFont& font, std::string& problem);
