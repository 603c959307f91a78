#include "packed_font.h"

#include "ds_bytes.h"
#include "ds_packed_font.h"
#include "ds_rotations.h"

#include <algorithm>

namespace {

constexpr uint32_t kLargestCharacter = 0x10FFFF;
constexpr uint32_t kAnchorBytes = 4;

const uint8_t* tableOrNull(const std::vector<uint8_t>& table)
{
    return table.empty() ? nullptr : table.data();
}

uint64_t bytesFor(uint64_t bits)
{
    return (bits + 7) / 8;
}

bool fail(std::string& problem, const std::string& text)
{
    problem = text;
    return false;
}

bool within(int64_t value, int64_t lowest, int64_t highest)
{
    return value >= lowest && value <= highest;
}

bool inInt16(int64_t value)
{
    return within(value, kPackedSmallestInt16, kPackedLargestInt16);
}

bool checkScalars(const PackedFont& font, std::string& problem)
{
    if (!dsIsRotation(font.rotation) || !within(font.bpp, 1, 8) || !dsIsPackedBpp(uint32_t(font.bpp)) ||
        !within(font.compressed, 0, 1))
        return fail(problem, "rotation, bpp or compressed out of range");
    if (!within(font.zeroRunOrder, 0, DS_PACKED_LARGEST_RUN_ORDER) ||
        !within(font.fullRunOrder, 0, DS_PACKED_LARGEST_RUN_ORDER))
        return fail(problem, "run order out of range");
    if (!within(font.height, 0, kPackedLargestCount) || !inInt16(font.ascender) || !inInt16(font.descender))
        return fail(problem, "font metrics out of range");
    if (!within(font.glyphCount, 0, kPackedLargestCount) || !within(font.rangeCount, 0, kPackedLargestCount) ||
        !within(font.kerningClasses, 0, kPackedLargestCount))
        return fail(problem, "count out of range");
    for (size_t field = 0; field < font.fieldBits.size(); ++field)
        if (!within(font.fieldBits[field], 0, kPackedLargestFieldBits) || !inInt16(font.fieldBase[field]))
            return fail(problem, "record field out of range");
    if (!font.compressed && font.fieldBits[DS_PACKED_IMAGE_BITS] != 0)
        return fail(problem, "image bits in a plain font");
    if (!within(font.kerningEndBits, 0, kPackedLargestFieldBits) ||
        !within(font.kerningValueBits, 0, kPackedLargestValueBits) || !inInt16(font.kerningValueBase))
        return fail(problem, "kerning field out of range");
    return true;
}

// The ranges cover glyphs 0 to glyphCount - 1 in ascending code order.
bool checkRanges(const PackedFont& font, std::string& problem)
{
    if (font.ranges.size() < uint64_t(font.rangeCount) * DS_PACKED_RANGE_BYTES)
        return fail(problem, "ranges too short");
    const uint8_t* lists = font.ranges.data() + font.rangeCount * DS_PACKED_RANGE_BYTES;
    const uint64_t listBytes = font.ranges.size() - uint64_t(font.rangeCount) * DS_PACKED_RANGE_BYTES;
    uint64_t glyphs = 0, sparseCodes = 0, nextCode = 0;
    for (int64_t index = 0; index < font.rangeCount; ++index) {
        const uint8_t* entry = font.ranges.data() + index * DS_PACKED_RANGE_BYTES;
        const uint32_t word = dsLoadLittle32(entry);
        const uint64_t first = word & ((1u << DS_PACKED_CODE_BITS) - 1), count = (word >> DS_PACKED_CODE_BITS) + 1;
        const uint32_t sparse = dsLoadLittle16(entry + 6);
        if (first < nextCode || dsLoadLittle16(entry + 4) != glyphs)
            return fail(problem, "ranges out of order");
        uint64_t last = first + count - 1;
        if (sparse != DS_PACKED_DENSE_RANGE) {
            if (sparse != sparseCodes || (sparseCodes + count) * kPackedSparseCodeBytes > listBytes)
                return fail(problem, "sparse range out of place");
            uint32_t previous = 0;
            for (uint32_t code = 0; code < count; ++code) {
                const uint32_t offset = dsLoadLittle16(lists + (sparseCodes + code) * kPackedSparseCodeBytes);
                if ((code == 0) != (offset == 0) || (code > 0 && offset <= previous))
                    return fail(problem, "sparse codes out of order");
                previous = offset;
            }
            last = first + previous;
            sparseCodes += count;
        }
        if (last > kLargestCharacter)
            return fail(problem, "code beyond U+10FFFF");
        glyphs += count;
        nextCode = last + 1;
    }
    if (glyphs != uint64_t(font.glyphCount) || sparseCodes * kPackedSparseCodeBytes != listBytes)
        return fail(problem, "ranges do not cover the glyphs");
    return true;
}

uint32_t recordField(const PackedFont& font, uint32_t field, uint64_t& bit)
{
    const uint32_t value = dsPackedBits(font.records.data(), bit, uint32_t(font.fieldBits[field]));
    bit += font.fieldBits[field];
    return value;
}

// Every record's image lies where the anchors and the records before it
// say, and within `images`; its kerning classes name existing rows.
bool checkGlyphs(const PackedFont& font, std::string& problem)
{
    uint64_t recordBits = 0;
    for (int64_t bits : font.fieldBits)
        recordBits += uint64_t(bits);
    const uint64_t anchorCount = (uint64_t(font.glyphCount) + DS_PACKED_ANCHOR_GLYPHS - 1) / DS_PACKED_ANCHOR_GLYPHS;
    if (font.records.size() != bytesFor(uint64_t(font.glyphCount) * recordBits) + DS_PACKED_TABLE_SLACK ||
        font.anchors.size() != anchorCount * kAnchorBytes)
        return fail(problem, "records or anchors of the wrong size");
    uint64_t imageBit = 0;
    for (uint64_t glyph = 0; glyph < uint64_t(font.glyphCount); ++glyph) {
        if (glyph % DS_PACKED_ANCHOR_GLYPHS == 0 &&
            dsLoadLittle32(font.anchors.data() + glyph / DS_PACKED_ANCHOR_GLYPHS * kAnchorBytes) != imageBit)
            return fail(problem, "anchor out of place");
        uint64_t bit = glyph * recordBits;
        std::array<int64_t, DS_PACKED_FIELD_COUNT> value{};
        for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field)
            value[field] = font.fieldBase[field] + recordField(font, field, bit);
        const int64_t width = value[DS_PACKED_WIDTH], height = value[DS_PACKED_HEIGHT];
        if (width < 0 || height < 0 || width > kPackedLargestCount || height > kPackedLargestCount ||
            width * height * font.bpp > INT32_MAX)
            return fail(problem, "glyph size out of range");
        if (value[DS_PACKED_LEFT_CLASS] < 0 || value[DS_PACKED_LEFT_CLASS] > font.kerningClasses ||
            value[DS_PACKED_RIGHT_CLASS] < 0 || (font.kerningClasses == 0 && value[DS_PACKED_RIGHT_CLASS] != 0))
            return fail(problem, "kerning class out of range");
        const int64_t imageBits = font.compressed ? value[DS_PACKED_IMAGE_BITS] : width * height * font.bpp;
        if (imageBits < 0)
            return fail(problem, "image size out of range");
        imageBit += uint64_t(imageBits);
        if (imageBit > UINT32_MAX)
            return fail(problem, "images too large");
    }
    if (font.images.size() != (imageBit == 0 ? 0 : bytesFor(imageBit) + DS_PACKED_TABLE_SLACK))
        return fail(problem, "images of the wrong size");
    return true;
}

// Each left class has a row of entries, their right classes ascending.
bool checkKerning(const PackedFont& font, std::string& problem)
{
    if (font.kerningClasses == 0) {
        if (!font.kerning.empty() || font.kerningEndBits != 0 || font.kerningValueBits != 0 ||
            font.kerningValueBase != 0)
            return fail(problem, "kerning table without classes");
        return true;
    }
    const uint32_t endBits = uint32_t(font.kerningEndBits);
    const uint64_t endsBits = uint64_t(font.kerningClasses) * endBits;
    if (font.kerning.size() < bytesFor(endsBits) + DS_PACKED_TABLE_SLACK)
        return fail(problem, "kerning table too short");
    const uint32_t classBits = uint32_t(font.fieldBits[DS_PACKED_RIGHT_CLASS]);
    const uint64_t entryBits = classBits + uint64_t(font.kerningValueBits);
    const uint8_t* table = font.kerning.data();
    const uint32_t entries = dsPackedBits(table, endsBits - endBits, endBits);
    if (font.kerning.size() != bytesFor(endsBits + uint64_t(entries) * entryBits) + DS_PACKED_TABLE_SLACK)
        return fail(problem, "kerning table of the wrong size");
    uint32_t first = 0;
    for (int64_t row = 0; row < font.kerningClasses; ++row) {
        const uint32_t end = dsPackedBits(table, uint64_t(row) * endBits, endBits);
        if (end <= first)
            return fail(problem, "kerning class without entries");
        // The table's size follows from the last end: an end past it would
        // send the entries' reads past the table.
        if (end > entries)
            return fail(problem, "kerning class past the entries");
        uint32_t previous = 0;
        for (uint32_t entry = first; entry < end; ++entry) {
            const uint32_t rightClass = dsPackedBits(table, endsBits + uint64_t(entry) * entryBits, classBits);
            if (rightClass <= previous)
                return fail(problem, "kerning entries out of order");
            previous = rightClass;
        }
        first = end;
    }
    return true;
}

} // namespace

ds_packed_font_t devicePackedFont(const PackedFont& font)
{
    ds_packed_font_t device{};
    device.rotation = uint16_t(font.rotation);
    device.bpp = uint8_t(font.bpp);
    device.compressed = uint8_t(font.compressed);
    device.height = uint16_t(font.height);
    device.ascender = int16_t(font.ascender);
    device.descender = int16_t(font.descender);
    device.glyph_count = uint16_t(font.glyphCount);
    device.range_count = uint16_t(font.rangeCount);
    device.zero_run_order = uint8_t(font.zeroRunOrder);
    device.full_run_order = uint8_t(font.fullRunOrder);
    for (size_t field = 0; field < font.fieldBits.size(); ++field) {
        device.field_bits[field] = uint8_t(font.fieldBits[field]);
        device.field_base[field] = int16_t(font.fieldBase[field]);
    }
    device.kerning_classes = uint16_t(font.kerningClasses);
    device.kerning_end_bits = uint8_t(font.kerningEndBits);
    device.kerning_value_bits = uint8_t(font.kerningValueBits);
    device.kerning_value_base = int16_t(font.kerningValueBase);
    device.ranges = tableOrNull(font.ranges);
    device.records = tableOrNull(font.records);
    device.anchors = tableOrNull(font.anchors);
    device.images = tableOrNull(font.images);
    device.kerning = tableOrNull(font.kerning);
    return device;
}

bool checkPackedFont(const PackedFont& font, std::string& problem)
{
    if (!checkScalars(font, problem))
        return false;
    if (font.glyphCount == 0) {
        if (font.rangeCount != 0 || !font.ranges.empty() || !font.records.empty() || !font.anchors.empty() ||
            !font.images.empty())
            return fail(problem, "tables without glyphs");
        return checkKerning(font, problem);
    }
    return checkRanges(font, problem) && checkGlyphs(font, problem) && checkKerning(font, problem);
}
