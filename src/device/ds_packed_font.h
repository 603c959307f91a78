// Reading the tables of a packed font (ds_font.h): a character's glyph,
// its record, the kerning between two glyphs and where its image lies.
// Shared by the text functions and by the tools that lay text out as the
// device does.
#pragma once

#include "ds_bytes.h"
#include "ds_font.h"
#include "ds_utf8.h"

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

// A font's tables with their layout worked out once (for a whole text), so
// that finding a glyph, reading its record and its kerning take a few loads
// each. Bit offsets are 32 bits: a valid font's tables (16-bit counts,
// fields of at most 24 bits) stay far below 2^32 bits.
class DsPackedReader {
public:
    explicit DsPackedReader(const ds_packed_font_t& font);

    const ds_packed_font_t& font() const { return mFont; }

    // Finds the glyph of the Unicode `character`; false when the font has none.
    bool find(uint32_t character, DsPackedGlyph& glyph) const;
    // Reads record `index` (below glyph_count) into `glyph`, its image's
    // position included.
    void read(uint32_t index, DsPackedGlyph& glyph) const;
    // The kerning by which the pen moves before `right` when `left`
    // precedes it: the entry of left's class row that names right's class,
    // 0 when there is none.
    int32_t kerning(const DsPackedGlyph& left, const DsPackedGlyph& right) const;

private:
    // Field `field` of the record that begins at bit `record`.
    __attribute__((always_inline)) int32_t field(uint32_t record, uint32_t field) const
    {
        const uint32_t mask = mMask[field];
        if (mask == 0)
            return mBase[field];
        const uint32_t bit = record + mOffset[field];
        return mBase[field] + int32_t((dsLoadWord(mFont.records + bit / 8) >> (bit % 8)) & mask);
    }
    uint32_t imagesBits(uint32_t first, uint32_t end) const;

    const ds_packed_font_t& mFont;
    uint32_t mRecordBits;                    // bits of a record
    uint32_t mOffset[DS_PACKED_FIELD_COUNT]; // each field's first bit within a record
    uint32_t mMask[DS_PACKED_FIELD_COUNT];   // its value's bits; 0 for a field of no bits, never read
    int32_t mBase[DS_PACKED_FIELD_COUNT];    // its value when its bits are 0
    const uint8_t* mSparseCodes;             // the sparse ranges' code lists
    uint32_t mEndMask;                       // a kerning class's end
    uint32_t mClassMask;                     // an entry's right class
    uint32_t mValueMask;                     // an entry's kerning value
    uint32_t mEntryBits;                     // bits of a kerning entry
    uint32_t mEntriesBit;                    // first bit of the kerning entries
};

// Finds the glyph of the Unicode `character`; false when the font has none.
bool dsFindPackedGlyph(const ds_packed_font_t& font, uint32_t character, DsPackedGlyph& glyph);

// The kerning between `left` and `right` (DsPackedReader::kerning).
int32_t dsPackedKerning(const ds_packed_font_t& font, const DsPackedGlyph& left, const DsPackedGlyph& right);

// Walks the UTF-8 text `utf8` as the text functions place its glyphs:
// characters without a glyph and ill-formed bytes (ds_utf8.h) are skipped;
// before each glyph the pen moves by the kerning between it and the glyph
// before; then visit(glyph, pen) is called with the pen's distance from the
// text's start, and the pen moves by the glyph's advance. A visit that
// returns other than 0 ends the walk; `stop` is its result, else 0.
// Returns the pen's final distance from the start.
template <typename Visit>
int64_t dsWalkPackedText(const DsPackedReader& reader, const char* utf8, Visit&& visit, int& stop)
{
    int64_t pen = 0;
    DsPackedGlyph glyphs[2];
    DsPackedGlyph* glyph = glyphs;
    const DsPackedGlyph* previous = nullptr;
    stop = 0;
    for (const char* at = utf8; *at != 0;) {
        uint32_t character;
        if (!dsNextCharacter(at, character) || !reader.find(character, *glyph))
            continue;
        if (previous)
            pen += reader.kerning(*previous, *glyph);
        stop = visit(*glyph, pen);
        if (stop != 0)
            break;
        pen += glyph->advance;
        previous = glyph;
        glyph = glyph == glyphs ? glyphs + 1 : glyphs;
    }
    return pen;
}

// The same with a function and its context, for callers outside the device
// library.
using DsPackedVisit = int (*)(const DsPackedGlyph& glyph, int64_t pen, void* context);
int64_t dsWalkPackedText(const ds_packed_font_t& font, const char* utf8, DsPackedVisit visit, void* context, int& stop);
