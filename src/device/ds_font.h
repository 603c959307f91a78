// Bitmap fonts of the Corvane graphics library: constant tables compiled
// into an application, as glyphsmith and glyphsmith_cli generate them.
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

#endif
