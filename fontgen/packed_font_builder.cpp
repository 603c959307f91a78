#include "packed_font_builder.h"

#include "ds_bytes.h"
#include "font_source_format.h"
#include "packed_image_coder.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

namespace {

constexpr int64_t kPixelsPerUnit = 64; // 26.6 fixed point
// A run of consecutive codes this long or longer gets a range entry of its
// own (8 bytes); shorter ones go into a sparse range at 2 bytes a code.
constexpr uint32_t kDenseRunLength = 4;
constexpr uint32_t kLargestSparseSpan = 0xFFFF; // a sparse code's 16-bit offset

// A glyph ready to be packed: quantised and without uncovered borders.
struct LevelGlyph {
    uint32_t width = 0;
    uint32_t rows = 0;
    int32_t xoff = 0;
    int32_t yoff = 0;
    int32_t advance = 0;
    std::vector<uint8_t> levels; // rows x width, upright, top row first
    uint32_t leftClass = 0;      // kerning classes, 0 for none
    uint32_t rightClass = 0;
};

[[noreturn]] void tooLarge(const std::string& what)
{
    throw std::runtime_error("the glyphs do not fit a packed font: " + what);
}

uint32_t bitLength(uint64_t value)
{
    uint32_t bits = 0;
    while (value >> bits)
        ++bits;
    return bits;
}

bool rowHasInk(const std::vector<uint8_t>& levels, uint32_t width, uint32_t row, uint32_t left, uint32_t right)
{
    const auto first = levels.begin() + ptrdiff_t(size_t(row) * width);
    return std::any_of(first + left, first + right, [](uint8_t level) { return level != 0; });
}

bool columnHasInk(const std::vector<uint8_t>& levels, uint32_t width, uint32_t column, uint32_t top, uint32_t bottom)
{
    for (uint32_t row = top; row < bottom; ++row)
        if (levels[size_t(row) * width + column] != 0)
            return true;
    return false;
}

LevelGlyph levelGlyph(const FontGlyph& glyph, uint32_t bpp)
{
    LevelGlyph level;
    level.advance = glyph.xadvance;
    std::vector<uint8_t> levels(glyph.pixels.size());
    std::transform(glyph.pixels.begin(), glyph.pixels.end(), levels.begin(),
        [bpp](uint8_t coverage) { return coverageLevel(coverage, bpp); });
    uint32_t top = 0, bottom = glyph.rows, left = 0, right = glyph.width;
    while (top < bottom && !rowHasInk(levels, glyph.width, top, left, right))
        ++top;
    while (bottom > top && !rowHasInk(levels, glyph.width, bottom - 1, left, right))
        --bottom;
    if (top == bottom)
        return level; // no ink at this depth: no image, and no offsets to keep
    while (!columnHasInk(levels, glyph.width, left, top, bottom))
        ++left;
    while (!columnHasInk(levels, glyph.width, right - 1, top, bottom))
        --right;
    level.width = right - left;
    level.rows = bottom - top;
    level.xoff = glyph.xoff + int32_t(left);
    level.yoff = glyph.yoff - int32_t(top);
    for (uint32_t row = top; row < bottom; ++row) {
        const auto first = levels.begin() + ptrdiff_t(size_t(row) * glyph.width);
        level.levels.insert(level.levels.end(), first + left, first + right);
    }
    return level;
}

// The range table of `characters` (ascending, distinct): runs of at least
// kDenseRunLength consecutive codes become dense ranges, the codes between
// them sparse ones.
class RangeTable {
public:
    void add(const std::vector<uint32_t>& characters)
    {
        for (size_t start = 0; start < characters.size();) {
            size_t end = start + 1;
            while (end < characters.size() && characters[end] == characters[end - 1] + 1)
                ++end;
            if (end - start >= kDenseRunLength) {
                flushSparse();
                for (size_t at = start; at < end; at += kPackedLargestRange)
                    addDense(characters[at], uint32_t(std::min<size_t>(end - at, kPackedLargestRange)));
            } else {
                addSparseRun(characters.data() + start, uint32_t(end - start));
            }
            start = end;
        }
        flushSparse();
    }

    uint32_t rangeCount() const { return uint32_t(mEntries.size() / DS_PACKED_RANGE_BYTES); }

    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> table = mEntries;
        for (uint32_t offset : mSparseCodes) {
            table.push_back(uint8_t(offset));
            table.push_back(uint8_t(offset >> 8));
        }
        return table;
    }

private:
    void addEntry(uint32_t first, uint32_t count, uint32_t sparseStart)
    {
        if (rangeCount() >= kPackedLargestCount || mGlyphs > kPackedLargestCount)
            tooLarge("more than 65535 ranges or glyphs");
        uint8_t entry[DS_PACKED_RANGE_BYTES];
        dsStoreLittle32(entry, first | (count - 1) << DS_PACKED_CODE_BITS);
        dsStoreLittle16(entry + 4, mGlyphs);
        dsStoreLittle16(entry + 6, sparseStart);
        mEntries.insert(mEntries.end(), entry, entry + sizeof entry);
        mGlyphs += count;
    }

    void addDense(uint32_t first, uint32_t count) { addEntry(first, count, DS_PACKED_DENSE_RANGE); }

    void addSparseRun(const uint32_t* codes, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            if (!mPending.empty() &&
                (codes[i] - mPending.front() > kLargestSparseSpan || mPending.size() == kPackedLargestRange))
                flushSparse();
            mPending.push_back(codes[i]);
        }
        ++mPendingRuns;
    }

    // The pending codes as a sparse range; one run of them as a dense one.
    void flushSparse()
    {
        if (mPending.empty())
            return;
        const bool consecutive = mPending.back() - mPending.front() + 1 == mPending.size();
        if (consecutive || mPendingRuns <= 1) {
            addDense(mPending.front(), uint32_t(mPending.size()));
        } else {
            if (mSparseCodes.size() + mPending.size() >= kPackedLargestCount)
                tooLarge("more than 65534 codes in sparse ranges");
            addEntry(mPending.front(), uint32_t(mPending.size()), uint32_t(mSparseCodes.size()));
            for (uint32_t code : mPending)
                mSparseCodes.push_back(code - mPending.front());
        }
        mPending.clear();
        mPendingRuns = 0;
    }

    std::vector<uint8_t> mEntries;      // range entries so far
    std::vector<uint32_t> mSparseCodes; // offsets of the sparse ranges' codes, in order
    std::vector<uint32_t> mPending;     // codes waiting for their sparse range
    uint32_t mPendingRuns = 0;          // runs of consecutive codes among them
    uint32_t mGlyphs = 0;               // glyphs the entries so far cover
};

// Kerning as classes: rows[c - 1] holds left class c's entries (right
// class, delta), right classes ascending.
struct KerningClasses {
    std::vector<std::vector<std::pair<uint32_t, int32_t>>> rows;
    uint32_t rightClasses = 0;
};

// Numbers the distinct non-empty keys 1, 2, ... in the order they first
// appear; an empty key is class 0.
template <typename Key>
std::vector<uint32_t> classesOf(const std::vector<Key>& keys)
{
    std::map<Key, uint32_t> numbers;
    std::vector<uint32_t> classes(keys.size(), 0);
    for (size_t i = 0; i < keys.size(); ++i)
        if (!keys[i].empty())
            classes[i] = numbers.emplace(keys[i], uint32_t(numbers.size() + 1)).first->second;
    return classes;
}

KerningClasses kerningClasses(const std::vector<PackedKerningPair>& pairs, std::vector<LevelGlyph>& glyphs)
{
    using Entries = std::vector<std::pair<uint32_t, int32_t>>;
    std::vector<Entries> asLeft(glyphs.size()), asRight(glyphs.size());
    for (const PackedKerningPair& pair : pairs) {
        asLeft[pair.left].push_back({pair.right, pair.delta});
        asRight[pair.right].push_back({pair.left, pair.delta});
    }
    const std::vector<uint32_t> left = classesOf(asLeft), right = classesOf(asRight);
    KerningClasses classes;
    for (size_t glyph = 0; glyph < glyphs.size(); ++glyph) {
        glyphs[glyph].leftClass = left[glyph];
        glyphs[glyph].rightClass = right[glyph];
        classes.rightClasses = std::max(classes.rightClasses, right[glyph]);
        if (left[glyph] > classes.rows.size()) {
            // The first glyph of its class: its pairs, by right class.
            std::map<uint32_t, int32_t> row;
            for (const auto& [other, delta] : asLeft[glyph])
                row[right[other]] = delta;
            classes.rows.emplace_back(row.begin(), row.end());
        }
    }
    if (classes.rows.size() > kPackedLargestCount || classes.rightClasses > kPackedLargestCount)
        tooLarge("more than 65535 kerning classes");
    return classes;
}

void setKerningTable(PackedFont& font, const KerningClasses& classes)
{
    if (classes.rows.empty())
        return;
    int32_t lowest = INT32_MAX, highest = INT32_MIN;
    uint32_t entries = 0;
    for (const auto& row : classes.rows) {
        entries += uint32_t(row.size());
        for (const auto& entry : row) {
            lowest = std::min(lowest, entry.second);
            highest = std::max(highest, entry.second);
        }
    }
    if (lowest < kPackedSmallestInt16 || highest > kPackedLargestInt16)
        tooLarge("a kerning value beyond 16 bits");
    font.kerningClasses = int64_t(classes.rows.size());
    font.kerningEndBits = bitLength(entries);
    font.kerningValueBase = lowest;
    font.kerningValueBits = bitLength(uint32_t(highest - lowest));
    BitWriter table;
    uint32_t end = 0;
    for (const auto& row : classes.rows)
        table.put(end += uint32_t(row.size()), uint32_t(font.kerningEndBits));
    for (const auto& row : classes.rows)
        for (const auto& [rightClass, delta] : row) {
            table.put(rightClass, uint32_t(font.fieldBits[DS_PACKED_RIGHT_CLASS]));
            table.put(uint32_t(delta - lowest), uint32_t(font.kerningValueBits));
        }
    font.kerning = table.bytes();
    font.kerning.resize(font.kerning.size() + DS_PACKED_TABLE_SLACK, 0);
}

LevelImage turnedImage(const LevelGlyph& glyph, uint32_t rotation)
{
    const RotatedWalk walk = rotatedWalk(glyph.width, glyph.rows, ptrdiff_t(glyph.width), rotation);
    LevelImage image{walk.shape.values, walk.shape.lines, {}};
    image.levels.reserve(glyph.levels.size());
    for (uint32_t line = 0; line < walk.shape.lines; ++line)
        for (uint32_t value = 0; value < walk.shape.values; ++value)
            image.levels.push_back(
                glyph.levels[size_t(walk.start + ptrdiff_t(line) * walk.lineStep + ptrdiff_t(value) * walk.valueStep)]);
    return image;
}

// The images of one rotation, their anchors and each one's length in bits.
void setImages(PackedFont& font, const std::vector<LevelGlyph>& glyphs, std::vector<uint64_t>& imageBits)
{
    std::vector<LevelImage> images;
    for (const LevelGlyph& glyph : glyphs)
        images.push_back(turnedImage(glyph, uint32_t(font.rotation)));
    const uint32_t bpp = uint32_t(font.bpp);
    const RunOrders orders = font.compressed ? bestRunOrders(images, bpp) : RunOrders{};
    font.zeroRunOrder = orders.zero;
    font.fullRunOrder = orders.full;
    BitWriter stream;
    for (size_t glyph = 0; glyph < images.size(); ++glyph) {
        if (glyph % DS_PACKED_ANCHOR_GLYPHS == 0) {
            if (stream.bitCount() > UINT32_MAX)
                tooLarge("images beyond 4 Gbit");
            font.anchors.resize(font.anchors.size() + 4);
            dsStoreLittle32(font.anchors.data() + font.anchors.size() - 4, uint32_t(stream.bitCount()));
        }
        const uint64_t start = stream.bitCount();
        if (font.compressed)
            appendCodedImage(stream, images[glyph], bpp, orders);
        else
            appendPlainImage(stream, images[glyph], bpp);
        imageBits.push_back(stream.bitCount() - start);
    }
    font.images = stream.bytes();
    if (!font.images.empty())
        font.images.resize(font.images.size() + DS_PACKED_TABLE_SLACK, 0);
}

// The field values of every glyph, then each field's base and width.
void setRecords(PackedFont& font, const std::vector<LevelGlyph>& glyphs, const std::vector<uint64_t>& imageBits)
{
    std::vector<std::array<int64_t, DS_PACKED_FIELD_COUNT>> values;
    for (size_t glyph = 0; glyph < glyphs.size(); ++glyph) {
        const LevelGlyph& g = glyphs[glyph];
        values.push_back({g.width, g.rows, g.xoff, g.yoff, g.advance, font.compressed ? int64_t(imageBits[glyph]) : 0,
            g.leftClass, g.rightClass});
    }
    for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field) {
        int64_t lowest = 0, highest = 0;
        for (size_t glyph = 0; glyph < values.size(); ++glyph) {
            lowest = glyph == 0 ? values[glyph][field] : std::min(lowest, values[glyph][field]);
            highest = glyph == 0 ? values[glyph][field] : std::max(highest, values[glyph][field]);
        }
        // Sizes, lengths and classes count from 0; offsets from their least.
        const bool signedField = field == DS_PACKED_XOFF || field == DS_PACKED_YOFF || field == DS_PACKED_ADVANCE;
        const int64_t base = signedField ? lowest : 0;
        if (base < kPackedSmallestInt16 || base > kPackedLargestInt16 ||
            bitLength(uint64_t(highest - base)) > kPackedLargestFieldBits)
            tooLarge("a glyph's size, offset or image is too large");
        font.fieldBase[field] = base;
        font.fieldBits[field] = bitLength(uint64_t(highest - base));
    }
    BitWriter records;
    for (const auto& glyph : values)
        for (uint32_t field = 0; field < DS_PACKED_FIELD_COUNT; ++field)
            records.put(uint32_t(glyph[field] - font.fieldBase[field]), uint32_t(font.fieldBits[field]));
    font.records = records.bytes();
    font.records.resize(font.records.size() + DS_PACKED_TABLE_SLACK, 0);
}

} // namespace

uint8_t coverageLevel(uint8_t coverage, uint32_t bpp)
{
    const uint32_t largest = (1u << bpp) - 1;
    return uint8_t((coverage * largest + 127) / 255);
}

std::vector<PackedFont> buildPackedFonts(const PackedGlyphSet& set, const PackedFontOptions& options)
{
    if (set.glyphs.size() > kPackedLargestCount)
        tooLarge("more than 65535 glyphs");
    std::vector<LevelGlyph> glyphs;
    std::vector<uint32_t> characters;
    for (const FontGlyph& glyph : set.glyphs) {
        glyphs.push_back(levelGlyph(glyph, options.bpp));
        characters.push_back(glyph.character);
    }
    const KerningClasses classes = kerningClasses(set.pairs, glyphs);
    RangeTable ranges;
    ranges.add(characters);
    std::vector<PackedFont> fonts;
    for (uint32_t rotation : options.rotations) {
        PackedFont font;
        font.rotation = rotation;
        font.bpp = options.bpp;
        font.compressed = options.compressed ? 1 : 0;
        font.height = set.metrics.height / kPixelsPerUnit;
        font.ascender = set.metrics.ascender / kPixelsPerUnit;
        font.descender = set.metrics.descender / kPixelsPerUnit;
        font.glyphCount = int64_t(glyphs.size());
        if (!glyphs.empty()) {
            font.rangeCount = ranges.rangeCount();
            font.ranges = ranges.bytes();
            std::vector<uint64_t> imageBits;
            setImages(font, glyphs, imageBits);
            setRecords(font, glyphs, imageBits);
            setKerningTable(font, classes);
        }
        fonts.push_back(std::move(font));
    }
    return fonts;
}
