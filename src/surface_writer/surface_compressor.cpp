#include "surface_compressor.h"

#include "ds_bytes.h"
#include "ds_compressed.h"
#include "ds_rotations.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

using ds::FieldLayout;

// How a row's pixels may be coded from each one on: the longest run of
// each kind that starts there (0 where a kind cannot start).
struct Reach {
    uint32_t fill;     // pixels equal to this one
    uint32_t above;    // pixels equal to the row above's
    uint32_t residual; // pixels whose residuals against the row above fit in the widest residual
};

constexpr uint32_t kWidestCode = 3; // the code of the widest residual width

// What a residual run costs the decoder beyond its bytes (setting up its
// widths and its bits, a hundred instructions or so), weighed as bytes: a
// residual run of a pixel or two that saves a byte or two against a copy
// costs a device more than it saves.
constexpr uint64_t kResidualRunWeight = 1;

// The code (index into kResidualBits) of the narrowest residual width that
// holds `difference` for a field of `width` bits, or kWidestCode + 1 when
// none does.
uint32_t residualCode(int32_t difference, uint32_t width)
{
    for (uint32_t code = 0; code <= kWidestCode; ++code) {
        const uint32_t bits = ds::kResidualBits[code];
        if (bits >= width || (bits == 0 && difference == 0) ||
            (bits > 0 && difference >= -int32_t(1u << (bits - 1)) && difference < int32_t(1u << (bits - 1))))
            return code;
    }
    return kWidestCode + 1;
}

// The signed difference of each field of `value` and `above`, from the low
// fields up.
void fieldDifferences(const FieldLayout& layout, uint32_t value, uint32_t above, int32_t* differences)
{
    uint32_t shift = 0;
    for (uint32_t field = 0; field < layout.count; ++field) {
        const uint32_t width = layout.bits[field], mask = (1u << width) - 1;
        int32_t difference = int32_t(((value >> shift) - (above >> shift)) & mask);
        if (width > 1 && difference >= int32_t(1u << (width - 1)))
            difference -= int32_t(1u << width);
        differences[field] = difference;
        shift += width;
    }
}

// One row's pixels as stored values, and the coding of the row.
class RowCoder {
public:
    RowCoder(uint32_t colorMode, uint32_t width)
        : mLayout(ds::fieldLayout(colorMode)), mBytes(dsBytesPerPixel(colorMode)), mWidth(width), mValues(width),
          mAbove(width), mReach(width + 1), mCodes(size_t(width) * 4), mCost(width + 1), mChoice(width + 1)
    {
    }

    // Appends the code of `row` to `code`; `above` is the row above, or
    // null for the first row of a block.
    void code(const uint8_t* row, const uint8_t* above, std::vector<uint8_t>& code);

private:
    struct Choice {
        uint8_t kind;
        uint8_t descriptor; // a residual run's field widths
        uint32_t length;
    };

    uint32_t load(const uint8_t* pixel) const;
    void measureReach(bool hasAbove);
    void consider(uint32_t at, uint32_t kind, uint32_t length, uint64_t payload, uint8_t descriptor = 0);
    void considerResiduals(uint32_t at, uint32_t left);
    void shortestPath(bool hasAbove);
    void emit(uint32_t at, const Choice& choice, const uint8_t* row, std::vector<uint8_t>& code) const;
    void emitResiduals(uint32_t at, const Choice& choice, std::vector<uint8_t>& code) const;

    FieldLayout mLayout;
    uint32_t mBytes;
    uint32_t mWidth;
    std::vector<uint32_t> mValues; // the row's stored values
    std::vector<uint32_t> mAbove;  // the row above's
    std::vector<Reach> mReach;
    std::vector<uint8_t> mCodes;   // the residual width code of each field of each pixel, 4 a pixel
    std::vector<uint64_t> mCost;   // fewest bytes that code the pixels before each position
    std::vector<Choice> mChoice;   // the run that ends at each position on that path
};

uint32_t RowCoder::load(const uint8_t* pixel) const
{
    if (mLayout.highByteFirst)
        return uint32_t(pixel[0]) << 8 | pixel[1];
    uint32_t value = 0;
    for (uint32_t i = 0; i < mBytes; ++i)
        value |= uint32_t(pixel[i]) << (8 * i);
    return value;
}

void RowCoder::measureReach(bool hasAbove)
{
    mReach[mWidth] = {0, 0, 0};
    for (uint32_t x = mWidth; x-- > 0;) {
        const Reach& next = mReach[x + 1];
        Reach& reach = mReach[x];
        int32_t differences[4] = {};
        fieldDifferences(mLayout, mValues[x], mAbove[x], differences);
        bool fits = hasAbove;
        for (uint32_t field = 0; field < mLayout.count; ++field) {
            mCodes[size_t(x) * 4 + field] = uint8_t(residualCode(differences[field], mLayout.bits[field]));
            fits = fits && mCodes[size_t(x) * 4 + field] <= kWidestCode;
        }
        reach.fill = x + 1 < mWidth && mValues[x + 1] == mValues[x] ? next.fill + 1 : 1;
        reach.above = hasAbove && mValues[x] == mAbove[x] ? next.above + 1 : 0;
        reach.residual = fits ? next.residual + 1 : 0;
    }
}

void RowCoder::consider(uint32_t at, uint32_t kind, uint32_t length, uint64_t payload, uint8_t descriptor)
{
    const uint64_t opening = kind == ds::kRunRest || length <= ds::kShortRun ? 1 : 2;
    const uint64_t cost = mCost[at] + opening + payload;
    if (cost < mCost[at + length]) {
        mCost[at + length] = cost;
        mChoice[at + length] = {uint8_t(kind), descriptor, length};
    }
}

// Residual runs of every length they reach, each with the narrowest widths
// that hold all its pixels.
void RowCoder::considerResiduals(uint32_t at, uint32_t left)
{
    uint32_t codes[4] = {};
    const uint32_t longest = std::min(mReach[at].residual, left);
    for (uint32_t length = 1; length <= longest; ++length) {
        uint32_t bits = 0, descriptor = 0;
        for (uint32_t field = 0; field < mLayout.count; ++field) {
            codes[field] = std::max<uint32_t>(codes[field], mCodes[size_t(at + length - 1) * 4 + field]);
            bits += ds::kResidualBits[codes[field]];
            descriptor |= codes[field] << (2 * field);
        }
        consider(at, ds::kRunResidual, length, kResidualRunWeight + 1 + (uint64_t(length) * bits + 7) / 8,
            uint8_t(descriptor));
    }
}

// The cheapest runs for the row: copies of every length that fits in one
// byte, fills and copies of the row above at the longest they reach and at
// the longest that fits in one byte, residual runs at every length.
void RowCoder::shortestPath(bool hasAbove)
{
    std::fill(mCost.begin(), mCost.end(), std::numeric_limits<uint64_t>::max());
    mCost[0] = 0;
    for (uint32_t x = 0; x < mWidth; ++x) {
        const uint32_t left = std::min(mWidth - x, ds::kLongestRun);
        for (uint32_t length = 1; length <= std::min(left, ds::kShortRun); ++length)
            consider(x, ds::kRunCopy, length, uint64_t(length) * mBytes);
        const Reach& reach = mReach[x];
        for (uint32_t length : {std::min(reach.fill, left), std::min({reach.fill, left, ds::kShortRun})})
            consider(x, ds::kRunFill, length, mBytes);
        if (!hasAbove)
            continue;
        if (reach.above == mWidth - x)
            consider(x, ds::kRunRest, mWidth - x, 0);
        for (uint32_t length : {std::min(reach.above, left), std::min({reach.above, left, ds::kShortRun})})
            if (length > 0)
                consider(x, ds::kRunAbove, length, 0);
        considerResiduals(x, left);
    }
}

void RowCoder::emit(uint32_t at, const Choice& choice, const uint8_t* row, std::vector<uint8_t>& code) const
{
    const uint32_t length = choice.length;
    if (choice.kind == ds::kRunRest)
        code.push_back(uint8_t(ds::kRunRest << ds::kRunKindShift));
    else if (length > ds::kShortRun)
        code.insert(code.end(), {uint8_t(choice.kind << ds::kRunKindShift), uint8_t(length - ds::kLongRun)});
    else
        code.push_back(uint8_t(choice.kind << ds::kRunKindShift | length));
    const uint8_t* pixels = row + size_t(at) * mBytes;
    if (choice.kind == ds::kRunCopy)
        code.insert(code.end(), pixels, pixels + size_t(length) * mBytes);
    else if (choice.kind == ds::kRunFill)
        code.insert(code.end(), pixels, pixels + mBytes);
    else if (choice.kind == ds::kRunResidual)
        emitResiduals(at, choice, code);
}

void RowCoder::emitResiduals(uint32_t at, const Choice& choice, std::vector<uint8_t>& code) const
{
    code.push_back(choice.descriptor);
    uint64_t buffer = 0;
    uint32_t held = 0;
    for (uint32_t x = at; x < at + choice.length; ++x) {
        int32_t differences[4] = {};
        fieldDifferences(mLayout, mValues[x], mAbove[x], differences);
        for (uint32_t field = 0; field < mLayout.count; ++field) {
            const uint32_t bits = ds::kResidualBits[choice.descriptor >> (2 * field) & 3];
            buffer |= uint64_t(uint32_t(differences[field]) & ((1u << bits) - 1)) << held;
            held += bits;
        }
        for (; held >= 8; held -= 8, buffer >>= 8)
            code.push_back(uint8_t(buffer));
    }
    if (held > 0)
        code.push_back(uint8_t(buffer));
}

void RowCoder::code(const uint8_t* row, const uint8_t* above, std::vector<uint8_t>& code)
{
    for (uint32_t x = 0; x < mWidth; ++x) {
        mValues[x] = load(row + size_t(x) * mBytes);
        mAbove[x] = above ? load(above + size_t(x) * mBytes) : 0;
    }
    measureReach(above != nullptr);
    shortestPath(above != nullptr);
    std::vector<Choice> runs;
    for (uint32_t x = mWidth; x > 0; x -= mChoice[x].length)
        runs.push_back(mChoice[x]);
    uint32_t at = 0;
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        emit(at, *run, row, code);
        at += run->length;
    }
}

void storeWord(std::vector<uint8_t>& file, size_t offset, uint32_t value)
{
    dsStoreLittle32(file.data() + offset, value);
}

} // namespace

std::vector<uint8_t> dsCompressSurface(const DsSurface& surface, int32_t angle)
{
    const DsSurface::TurnedFile turned = surface.turnedFile(angle);
    const uint32_t width = dsLoadLittle32(turned.header + kDsSurfaceFileWidthWord);
    const uint32_t height = turned.rowCount;
    const uint32_t blocks = (height + kDsCompressedRowsPerBlock - 1) / kDsCompressedRowsPerBlock;
    const size_t tableBytes = size_t(blocks) * 4;
    std::vector<uint8_t> file(kDsCompressedHeaderBytes + tableBytes);
    std::memcpy(file.data(), turned.header, kDsSurfaceFileHeaderBytes);
    storeWord(file, kDsSurfaceFileColorModeWord, surface.colorMode() | kDsCompressedFlag);
    storeWord(file, kDsSurfaceFilePitchWord, uint32_t(uint64_t(width) * surface.bytesPerPixel()));
    storeWord(file, kDsSurfaceFileRowsPerBlockWord, std::min(kDsCompressedRowsPerBlock, height));
    std::vector<uint8_t> rows(2 * size_t(turned.pitch)), code;
    RowCoder coder(surface.colorMode(), width);
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t* current = rows.data() + (row % 2) * turned.pitch;
        const uint8_t* above = rows.data() + ((row + 1) % 2) * turned.pitch;
        surface.copyTurnedRows(angle, row, 1, current);
        const bool blockStart = row % kDsCompressedRowsPerBlock == 0;
        if (blockStart)
            storeWord(file, kDsCompressedHeaderBytes + 4 * (row / kDsCompressedRowsPerBlock), uint32_t(code.size()));
        coder.code(current, blockStart ? nullptr : above, code);
        if (code.size() > UINT32_MAX)
            return {};
    }
    storeWord(file, kDsSurfaceFileCodeBytesWord, uint32_t(code.size()));
    file.insert(file.end(), code.begin(), code.end());
    file.resize((file.size() + 3) & ~size_t(3), 0);
    return file;
}
