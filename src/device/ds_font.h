// Bitmap fonts of the Corvane graphics library: constant tables compiled
// into an application, as glyphsmith and glyphsmith_cli generate them, in
// the classic format (ds_bitmap_font_t) or the packed one (ds_packed_font_t).
#ifndef DS_FONT_H
#define DS_FONT_H

#include <stdint.h>

// One glyph. The pixels are 8-bit coverage (0 no ink, 255 full ink), `w`
// values per row and `h` rows for the upright font; the 90 and 270 degree
// fonts store the turned image, `h` values per row and `w` rows.
typedef struct ds_bitmap_font_char_t {
    uint16_t w;                        // width of the upright image in pixels
    uint16_t h;                        // height of the upright image in pixels
    int16_t xoff;                      // pen position to the image's left column
    int16_t yoff;                      // baseline up to the image's top row
    int16_t xadvance;                  // pen advance to the next glyph
    const char* kerning_table_prev;    // preceding codes that kern, 0-terminated; or null
    const int8_t* kerning_table_delta; // pixel offset for each entry of kerning_table_prev
    const uint8_t* pixels;             // coverage image; null for a glyph without ink
} ds_bitmap_font_char_t;

// One font in one rotation.
typedef struct ds_bitmap_font_t {
    uint16_t height;                         // baseline-to-baseline distance in pixels
    int16_t ascender;                        // baseline up to the top of the tallest glyphs
    int16_t descender;                       // baseline to the lowest glyph bottom, negative
    const ds_bitmap_font_char_t* chars[256]; // glyph of each code, null where there is none
} ds_bitmap_font_t;

// Packed fonts (glyphsmith_cli --bpp): one rotation, 1, 2, 4 or 8 bits of
// coverage per pixel, plain or compressed, glyphs for any Unicode
// characters. The tables are byte arrays whose layout the README describes
// under "The packed format"; the numbers below are part of that layout.

// Fields of a glyph record, in their order; each is field_bits[field] bits
// wide and reads as field_base[field] plus its unsigned value.
enum ds_packed_field_t {
    DS_PACKED_WIDTH = 0,      // width of the upright image in pixels
    DS_PACKED_HEIGHT = 1,     // height of the upright image in pixels
    DS_PACKED_XOFF = 2,       // pen position to the image's left column
    DS_PACKED_YOFF = 3,       // baseline up to the image's top row
    DS_PACKED_ADVANCE = 4,    // pen advance to the next glyph
    DS_PACKED_IMAGE_BITS = 5, // bits of the coded image (0 bits wide in a plain font)
    DS_PACKED_LEFT_CLASS = 6, // kerning class as the left glyph of a pair, 0 for none
    DS_PACKED_RIGHT_CLASS = 7 // kerning class as the right glyph of a pair, 0 for none
};
#define DS_PACKED_FIELD_COUNT 8

// `anchors` holds the image offset of every DS_PACKED_ANCHOR_GLYPHS-th glyph.
#define DS_PACKED_ANCHOR_GLYPHS 8
// Stored rows of a coded image up to this many pixels may repeat, or copy
// from, the row above.
#define DS_PACKED_REPEAT_ROW_MAX 128
// A range entry: a 32-bit word (first code in its low DS_PACKED_CODE_BITS
// bits, the count less one above them), the first glyph's number and the
// sparse-list start, 16 bits each; DS_PACKED_DENSE_RANGE for consecutive codes.
#define DS_PACKED_RANGE_BYTES 8
#define DS_PACKED_CODE_BITS 21
#define DS_PACKED_DENSE_RANGE 0xFFFF
// The largest Exp-Golomb order of a run code (zero_run_order, full_run_order).
#define DS_PACKED_LARGEST_RUN_ORDER 7
// The span code of compressed 4-bit images: the image's pixels, row after
// row, as one sequence of tokens, each led by a nibble. 0 to 12 skip that
// many uncovered pixels, DS_PACKED_SPAN_LONG_SKIP skips 13 plus the next two
// nibbles; then a nibble counts the levels that follow, one nibble each
// (0: none; skip and count both 0: the rest of the image is uncovered).
// DS_PACKED_SPAN_FULLS and DS_PACKED_SPAN_COPY take one nibble: that many
// fully covered pixels beyond the shortest run, or pixels copied from the
// row above beyond one.
#define DS_PACKED_SPAN_LONG_SKIP 13 // 13 to 268 uncovered pixels, then a count
#define DS_PACKED_SPAN_FULLS 14     // 2 to 17 fully covered pixels
#define DS_PACKED_SPAN_COPY 15      // 1 to 16 pixels, each the one a row above
#define DS_PACKED_SPAN_SHORTEST_FULLS 2
#define DS_PACKED_SPAN_LEVELS_MAX 15
// Zero bytes that end the bit-packed tables (records, images, kerning), so
// that any field or the next bits of an image are read with one 32-bit load.
#define DS_PACKED_TABLE_SLACK 3

// One font in one rotation. Glyphs are numbered in ascending code order.
typedef struct ds_packed_font_t {
    uint16_t rotation;                         // quarter turn the images are stored in: 0, 90, 180, 270
    uint8_t bpp;                               // coverage bits per pixel: 1, 2, 4 or 8
    uint8_t compressed;                        // 1: images coded in runs and literals; 0: plain bits
    uint16_t height;                           // baseline-to-baseline distance in pixels
    int16_t ascender;                          // baseline up to the top of the tallest glyphs
    int16_t descender;                         // baseline to the lowest glyph bottom, negative
    uint16_t glyph_count;                      // glyphs in the font
    uint16_t range_count;                      // entries of `ranges`
    uint8_t zero_run_order;                    // Exp-Golomb order of runs of uncovered pixels
    uint8_t full_run_order;                    // Exp-Golomb order of runs of fully covered pixels
    uint8_t field_bits[DS_PACKED_FIELD_COUNT]; // width of each record field; a record is their sum
    int16_t field_base[DS_PACKED_FIELD_COUNT]; // value of each field whose bits are all 0
    uint16_t kerning_classes;                  // left classes that have kerning entries
    uint8_t kerning_end_bits;                  // width of a left class's end in `kerning`
    uint8_t kerning_value_bits;                // width of an entry's kerning value
    int16_t kerning_value_base;                // kerning value whose bits are all 0
    const uint8_t* ranges;                     // code ranges, then the codes of the sparse ones
    const uint8_t* records;                    // glyph records, bit-packed
    const uint8_t* anchors;                    // 32-bit image offsets, in bits
    const uint8_t* images;                     // the glyph images, one bit stream; null when none has ink
    const uint8_t* kerning;                    // kerning classes' entries, bit-packed; null without kerning
} ds_packed_font_t;

#endif
