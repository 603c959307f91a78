// Packed font tables, read in place from flash.
//
// Format notes: `ranges` holds range_count entries (ds_font.h) in ascending
// code order, then the code lists of the sparse ranges: 16-bit offsets from
// the range's first code, ascending, each range's list after the one
// before. `anchors` gives the image offset of glyphs 0, 8, 16, ...; the
// images of the glyphs between follow one another, each w x h x bpp bits in
// a plain font and its record's image-bits field in a compressed one.
#include "ds_packed_font.h"

namespace {

constexpr uint32_t kCodeMask = (1u << DS_PACKED_CODE_BITS) - 1;
// The widest field dsLoadWord's 25 bits after any bit offset hold.
constexpr uint32_t kWidestField = 24;

// The mask of a field `bits` wide, held to the widest a valid font has.
uint32_t fieldMask(uint32_t bits)
{
    return bits == 0 ? 0 : (1u << (bits < kWidestField ? bits : kWidestField)) - 1;
}

// `mask` bits from bit `offset` of a bit-packed table; none read for an
// empty mask.
__attribute__((always_inline)) inline uint32_t bitsAt(const uint8_t* table, uint32_t offset, uint32_t mask)
{
    return mask == 0 ? 0 : (dsLoadWord(table + offset / 8) >> (offset % 8)) & mask;
}

struct Range {
    uint32_t first;       // first code
    uint32_t count;       // codes in the range
    uint32_t glyph;       // number of the first code's glyph
    uint32_t sparseStart; // entry of its first code in the lists, or DS_PACKED_DENSE_RANGE
};

__attribute__((always_inline)) inline uint32_t firstCode(const uint8_t* ranges, uint32_t index)
{
    return dsLoadWord(ranges + index * DS_PACKED_RANGE_BYTES) & kCodeMask;
}

// The last range whose first code is at most `character`; false when none is.
__attribute__((always_inline)) inline bool rangeOf(const ds_packed_font_t& font, uint32_t character, Range& range)
{
    uint32_t low = 0, high = font.range_count; // the answer lies in [low, high)
    if (high == 0 || firstCode(font.ranges, 0) > character)
        return false;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        if (firstCode(font.ranges, middle) <= character)
            low = middle;
        else
            high = middle;
    }
    const uint8_t* entry = font.ranges + low * DS_PACKED_RANGE_BYTES;
    const uint32_t word = dsLoadWord(entry), numbers = dsLoadWord(entry + 4);
    range = {word & kCodeMask, (word >> DS_PACKED_CODE_BITS) + 1, numbers & 0xFFFF, numbers >> 16};
    return true;
}

// The position of `offset` in the code list at `list`, `count` long; false
// when absent.
bool sparseIndex(const uint8_t* list, uint32_t count, uint32_t offset, uint32_t& index)
{
    uint32_t low = 0, high = count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const uint32_t value = dsLoadLittle16(list + middle * 2);
        if (value == offset) {
            index = middle;
            return true;
        }
        if (value < offset)
            low = middle + 1;
        else
            high = middle;
    }
    return false;
}

} // namespace

uint32_t dsPackedRecordBits(const ds_packed_font_t& font)
{
    uint32_t bits = 0;
    for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field)
        bits += font.field_bits[field];
    return bits;
}

DsPackedReader::DsPackedReader(const ds_packed_font_t& font) : mFont(font)
{
    uint32_t bit = 0;
    for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field) {
        mOffset[field] = bit;
        mMask[field] = fieldMask(font.field_bits[field]);
        mBase[field] = font.field_base[field];
        bit += font.field_bits[field];
    }
    mRecordBits = bit;
    mSparseCodes = font.ranges + font.range_count * DS_PACKED_RANGE_BYTES;
    mEndMask = fieldMask(font.kerning_end_bits);
    mClassMask = mMask[DS_PACKED_RIGHT_CLASS];
    mValueMask = fieldMask(font.kerning_value_bits);
    mEntryBits = font.field_bits[DS_PACKED_RIGHT_CLASS] + font.kerning_value_bits;
    mEntriesBit = uint32_t(font.kerning_classes) * font.kerning_end_bits;
}

// Bits of the images of glyphs `first` to `end` - 1: their image-bits
// fields, or for a plain font their sizes from the width and height fields.
uint32_t DsPackedReader::imagesBits(uint32_t first, uint32_t end) const
{
    uint32_t total = 0;
    uint32_t record = first * mRecordBits;
    if (mFont.compressed) {
        for (uint32_t glyph = first; glyph < end; ++glyph, record += mRecordBits)
            total += uint32_t(field(record, DS_PACKED_IMAGE_BITS));
        return total;
    }
    for (uint32_t glyph = first; glyph < end; ++glyph, record += mRecordBits)
        total += uint32_t(field(record, DS_PACKED_WIDTH)) * uint32_t(field(record, DS_PACKED_HEIGHT));
    return total * mFont.bpp;
}

void DsPackedReader::read(uint32_t index, DsPackedGlyph& glyph) const
{
    const uint32_t record = index * mRecordBits;
    glyph.index = index;
    glyph.width = field(record, DS_PACKED_WIDTH);
    glyph.height = field(record, DS_PACKED_HEIGHT);
    glyph.xoff = field(record, DS_PACKED_XOFF);
    glyph.yoff = field(record, DS_PACKED_YOFF);
    glyph.advance = field(record, DS_PACKED_ADVANCE);
    glyph.leftClass = uint32_t(field(record, DS_PACKED_LEFT_CLASS));
    glyph.rightClass = uint32_t(field(record, DS_PACKED_RIGHT_CLASS));
    glyph.imageBits = mFont.compressed ? uint32_t(field(record, DS_PACKED_IMAGE_BITS))
                                       : uint32_t(glyph.width) * uint32_t(glyph.height) * mFont.bpp;
    const uint32_t anchor = index / DS_PACKED_ANCHOR_GLYPHS;
    glyph.imageBit = dsLoadWord(mFont.anchors + anchor * 4) + imagesBits(anchor * DS_PACKED_ANCHOR_GLYPHS, index);
}

bool DsPackedReader::find(uint32_t character, DsPackedGlyph& glyph) const
{
    Range range;
    if (!rangeOf(mFont, character, range))
        return false;
    uint32_t position = character - range.first;
    if (range.sparseStart == DS_PACKED_DENSE_RANGE) {
        if (position >= range.count)
            return false;
    } else if (!sparseIndex(mSparseCodes + range.sparseStart * 2, range.count, position, position)) {
        return false;
    }
    read(range.glyph + position, glyph);
    return true;
}

int32_t DsPackedReader::kerning(const DsPackedGlyph& left, const DsPackedGlyph& right) const
{
    const uint32_t leftClass = left.leftClass, rightClass = right.rightClass;
    if (!mFont.kerning || leftClass == 0 || rightClass == 0 || leftClass > mFont.kerning_classes)
        return 0;
    // Left class c's entries are those from the end of class c - 1's to its
    // own, right classes ascending: a binary search.
    const uint8_t* table = mFont.kerning;
    const uint32_t endBits = mFont.kerning_end_bits;
    uint32_t low = leftClass == 1 ? 0 : bitsAt(table, (leftClass - 2) * endBits, mEndMask);
    uint32_t high = bitsAt(table, (leftClass - 1) * endBits, mEndMask);
    const uint32_t classBits = mFont.field_bits[DS_PACKED_RIGHT_CLASS];
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const uint32_t bit = mEntriesBit + middle * mEntryBits;
        const uint32_t entryClass = bitsAt(table, bit, mClassMask);
        if (entryClass == rightClass)
            return mFont.kerning_value_base + int32_t(bitsAt(table, bit + classBits, mValueMask));
        if (entryClass < rightClass)
            low = middle + 1;
        else
            high = middle;
    }
    return 0;
}

bool dsFindPackedGlyph(const ds_packed_font_t& font, uint32_t character, DsPackedGlyph& glyph)
{
    return DsPackedReader(font).find(character, glyph);
}

int32_t dsPackedKerning(const ds_packed_font_t& font, const DsPackedGlyph& left, const DsPackedGlyph& right)
{
    return DsPackedReader(font).kerning(left, right);
}

int64_t dsWalkPackedText(const ds_packed_font_t& font, const char* utf8, DsPackedVisit visit, void* context, int& stop)
{
    return dsWalkPackedText(
        DsPackedReader(font), utf8, [&](const DsPackedGlyph& glyph, int64_t pen) { return visit(glyph, pen, context); },
        stop);
}
