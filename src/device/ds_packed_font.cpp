// Packed font tables, read in place from flash.
//
// Format notes: `ranges` holds range_count entries (ds_font.h) in ascending
// code order, then the code lists of the sparse ranges: 16-bit offsets from
// the range's first code, ascending, each range's list after the one before. `anchors` gives the image
// offset of glyphs 0, 8, 16, ...; the images of the glyphs between follow
// one another, each w x h x bpp bits in a plain font and its record's
// image-bits field in a compressed one.
#include "ds_packed_font.h"

#include "ds_utf8.h"

namespace {

constexpr uint32_t kCodeMask = (1u << DS_PACKED_CODE_BITS) - 1;

struct Range {
    uint32_t first;       // first code
    uint32_t count;       // codes in the range
    uint32_t glyph;       // number of the first code's glyph
    uint32_t sparseStart; // entry of its first code in the lists, or DS_PACKED_DENSE_RANGE
};

Range readRange(const ds_packed_font_t& font, uint32_t index)
{
    const uint8_t* entry = font.ranges + index * DS_PACKED_RANGE_BYTES;
    const uint32_t word = dsLoadWord(entry), numbers = dsLoadWord(entry + 4);
    return {word & kCodeMask, (word >> DS_PACKED_CODE_BITS) + 1, numbers & 0xFFFF, numbers >> 16};
}

// The last range whose first code is at most `character`; false when none is.
bool rangeOf(const ds_packed_font_t& font, uint32_t character, Range& range)
{
    uint32_t low = 0, high = font.range_count; // the answer lies in [low, high)
    if (high == 0 || readRange(font, 0).first > character)
        return false;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        if (readRange(font, middle).first <= character)
            low = middle;
        else
            high = middle;
    }
    range = readRange(font, low);
    return true;
}

// The position of `offset` in a sparse range's list; false when absent.
bool sparseIndex(const ds_packed_font_t& font, const Range& range, uint32_t offset, uint32_t& index)
{
    const uint8_t* list = font.ranges + font.range_count * DS_PACKED_RANGE_BYTES + range.sparseStart * 2;
    uint32_t low = 0, high = range.count;
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

__attribute__((always_inline)) inline int32_t fieldValue(const ds_packed_font_t& font, uint32_t field, uint64_t& bit)
{
    const uint32_t bits = font.field_bits[field];
    const uint32_t value = dsPackedBits(font.records, bit, bits);
    bit += bits;
    return int32_t(font.field_base[field]) + int32_t(value);
}

// The record of glyph `index` without its image's position.
void readRecord(const ds_packed_font_t& font, uint32_t index, uint32_t recordBits, DsPackedGlyph& glyph)
{
    uint64_t bit = uint64_t(index) * recordBits;
    glyph.index = index;
    glyph.width = fieldValue(font, DS_PACKED_WIDTH, bit);
    glyph.height = fieldValue(font, DS_PACKED_HEIGHT, bit);
    glyph.xoff = fieldValue(font, DS_PACKED_XOFF, bit);
    glyph.yoff = fieldValue(font, DS_PACKED_YOFF, bit);
    glyph.advance = fieldValue(font, DS_PACKED_ADVANCE, bit);
    const int32_t imageBits = fieldValue(font, DS_PACKED_IMAGE_BITS, bit);
    glyph.leftClass = uint32_t(fieldValue(font, DS_PACKED_LEFT_CLASS, bit));
    glyph.rightClass = uint32_t(fieldValue(font, DS_PACKED_RIGHT_CLASS, bit));
    glyph.imageBits = font.compressed ? uint32_t(imageBits) : uint32_t(glyph.width * glyph.height) * font.bpp;
}

// Bits of the images of glyphs `first` to `end` - 1: their image-bits fields,
// or for a plain font their sizes from the width and height fields.
uint32_t imagesBits(const ds_packed_font_t& font, uint32_t first, uint32_t end, uint32_t recordBits)
{
    uint32_t total = 0;
    if (font.compressed) {
        const uint32_t offset = font.field_bits[DS_PACKED_WIDTH] + font.field_bits[DS_PACKED_HEIGHT] +
            font.field_bits[DS_PACKED_XOFF] + font.field_bits[DS_PACKED_YOFF] + font.field_bits[DS_PACKED_ADVANCE];
        for (uint32_t glyph = first; glyph < end; ++glyph)
            total += font.field_base[DS_PACKED_IMAGE_BITS] +
                dsPackedBits(
                    font.records, uint64_t(glyph) * recordBits + offset, font.field_bits[DS_PACKED_IMAGE_BITS]);
        return total;
    }
    const uint32_t widthBits = font.field_bits[DS_PACKED_WIDTH], heightBits = font.field_bits[DS_PACKED_HEIGHT];
    for (uint32_t glyph = first; glyph < end; ++glyph) {
        const uint64_t bit = uint64_t(glyph) * recordBits;
        const uint32_t width = font.field_base[DS_PACKED_WIDTH] + dsPackedBits(font.records, bit, widthBits);
        const uint32_t height =
            font.field_base[DS_PACKED_HEIGHT] + dsPackedBits(font.records, bit + widthBits, heightBits);
        total += width * height * font.bpp;
    }
    return total;
}

} // namespace

uint32_t dsPackedRecordBits(const ds_packed_font_t& font)
{
    uint32_t bits = 0;
    for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field)
        bits += font.field_bits[field];
    return bits;
}

void dsReadPackedGlyph(const ds_packed_font_t& font, uint32_t index, DsPackedGlyph& glyph)
{
    const uint32_t recordBits = dsPackedRecordBits(font);
    const uint32_t anchor = index / DS_PACKED_ANCHOR_GLYPHS;
    readRecord(font, index, recordBits, glyph);
    glyph.imageBit =
        dsLoadWord(font.anchors + anchor * 4) + imagesBits(font, anchor * DS_PACKED_ANCHOR_GLYPHS, index, recordBits);
}

bool dsFindPackedGlyph(const ds_packed_font_t& font, uint32_t character, DsPackedGlyph& glyph)
{
    Range range;
    if (!rangeOf(font, character, range))
        return false;
    const uint32_t offset = character - range.first;
    uint32_t position = offset;
    if (range.sparseStart == DS_PACKED_DENSE_RANGE) {
        if (offset >= range.count)
            return false;
    } else if (!sparseIndex(font, range, offset, position)) {
        return false;
    }
    dsReadPackedGlyph(font, range.glyph + position, glyph);
    return true;
}

int32_t dsPackedKerning(const ds_packed_font_t& font, const DsPackedGlyph& left, const DsPackedGlyph& right)
{
    if (!font.kerning || left.leftClass == 0 || right.rightClass == 0 || left.leftClass > font.kerning_classes)
        return 0;
    // Left class c's entries are those from the end of class c - 1's to its own.
    const uint32_t endBits = font.kerning_end_bits;
    const uint32_t first =
        left.leftClass == 1 ? 0 : dsPackedBits(font.kerning, (left.leftClass - 2) * endBits, endBits);
    const uint32_t end = dsPackedBits(font.kerning, (left.leftClass - 1) * endBits, endBits);
    const uint32_t classBits = font.field_bits[DS_PACKED_RIGHT_CLASS];
    const uint32_t entryBits = classBits + font.kerning_value_bits;
    const uint64_t entries = uint64_t(font.kerning_classes) * endBits;
    for (uint32_t entry = first; entry < end; ++entry) {
        const uint64_t bit = entries + uint64_t(entry) * entryBits;
        const uint32_t rightClass = dsPackedBits(font.kerning, bit, classBits);
        if (rightClass == right.rightClass)
            return font.kerning_value_base +
                int32_t(dsPackedBits(font.kerning, bit + classBits, font.kerning_value_bits));
        if (rightClass > right.rightClass)
            break;
    }
    return 0;
}

int64_t dsWalkPackedText(const ds_packed_font_t& font, const char* utf8, DsPackedVisit visit, void* context, int& stop)
{
    int64_t pen = 0;
    DsPackedGlyph previous{};
    bool hasPrevious = false;
    stop = 0;
    for (const char* at = utf8; *at != 0;) {
        uint32_t character;
        DsPackedGlyph glyph;
        if (!dsNextCharacter(at, character) || !dsFindPackedGlyph(font, character, glyph))
            continue;
        if (hasPrevious)
            pen += dsPackedKerning(font, previous, glyph);
        stop = visit(glyph, pen, context);
        if (stop != 0)
            break;
        pen += glyph.advance;
        previous = glyph;
        hasPrevious = true;
    }
    return pen;
}
