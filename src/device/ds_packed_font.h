// Reading the tables of a packed font (ds_font.h): a character's glyph,
// its record, the kerning between two glyphs and where its image lies.
// Shared by the text functions and by the tools that lay text out as the
// device does.
#pragma once

#include "ds_bytes.h"
#include "ds_font.h"

#include <stdint.h>
#include <string.h>

// One glyph as its record describes it.
struct DsPackedGlyph {
    uint32_t index;      // its number: glyphs are numbered in ascending code order
    int32_t width;       // width of the upright image in pixels
    int32_t height;      // height of the upright image in pixels
    int32_t xoff;        // pen position to the image's left column
    int32_t yoff;        // baseline up to the image's top row
    int32_t advance;     // pen advance to the next glyph
    uint32_t leftClass;  // kerning class as the left glyph of a pair, 0 for none
    uint32_t rightClass; // kerning class as the right glyph of a pair, 0 for none
    uint32_t imageBit;   // offset of its image in the font's `images`, in bits
    uint32_t imageBits;  // length of its image in bits
};

// True for the coverage depths a packed font may have: 1, 2, 4 and 8 bits.
constexpr bool dsIsPackedBpp(uint32_t bpp)
{
    return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8;
}

// Bits of one glyph record: the sum of the field widths.
uint32_t dsPackedRecordBits(const ds_packed_font_t& font);

// A little-endian 32-bit word at any alignment: one load where the
// processor's byte order is the format's (as on every Cortex-M built for
// little-endian), byte by byte elsewhere.
__attribute__((always_inline)) inline uint32_t dsLoadWord(const uint8_t* bytes)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t word;
    memcpy(&word, bytes, 4);
    return word;
#else
    return dsLoadLittle32(bytes);
#endif
}

// A field of a bit-packed table: `bits` (0 to 24) bits from bit `offset`
// on, lowest bit first. The table must hold 3 bytes past the field's first
// byte, as every bit-packed table of the format does; a field of no bits,
// which may begin where the table's bits end, reads nothing.
__attribute__((always_inline)) inline uint32_t dsPackedBits(const uint8_t* table, uint64_t offset, uint32_t bits)
{
    if (bits == 0)
        return 0;
    return (dsLoadWord(table + offset / 8) >> (offset % 8)) & ((1u << bits) - 1);
}

// Reads record `index` (below glyph_count) into `glyph`, its image's
// position included.
void dsReadPackedGlyph(const ds_packed_font_t& font, uint32_t index, DsPackedGlyph& glyph);

// Finds the glyph of the Unicode `character`; false when the font has none.
bool dsFindPackedGlyph(const ds_packed_font_t& font, uint32_t character, DsPackedGlyph& glyph);

// The kerning by which the pen moves before `right` when `left` precedes
// it: the entry of left's class row that names right's class, 0 when there
// is none.
int32_t dsPackedKerning(const ds_packed_font_t& font, const DsPackedGlyph& left, const DsPackedGlyph& right);

// Walks the UTF-8 text `utf8` as the text functions place its glyphs:
// characters without a glyph and ill-formed bytes (ds_utf8.h) are skipped;
// before each glyph the pen moves by the kerning between it and the glyph
// before; then visit(glyph, pen, context) is called with the pen's distance
// from the text's start, and the pen moves by the glyph's advance. A visit
// that returns other than 0 ends the walk; `stop` is its result, else 0.
// Returns the pen's final distance from the start.
using DsPackedVisit = int (*)(const DsPackedGlyph& glyph, int64_t pen, void* context);
int64_t dsWalkPackedText(const ds_packed_font_t& font, const char* utf8, DsPackedVisit visit, void* context, int& stop);
