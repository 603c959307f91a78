// The glyph image decoder of packed fonts.
//
// Format notes for coded images. Bits are read lowest first from the
// image's first bit on. A run length n is written as an Exp-Golomb code of
// order k (the font's zero_run_order or full_run_order): with m = n + 2^k
// and L the index of m's highest bit, L - k zero bits, a one bit, then the
// L bits of m below its highest bit. Runs of uncovered and of fully covered
// pixels are at least 1 long and write n - 1, except the first run of a row
// of a 1-bit image, which is uncovered, may be empty and writes n.
// In a 1-bit image the runs of a row alternate: uncovered, covered,
// uncovered, ... In deeper images every token starts with its kind: after
// the row's start or a partly covered pixel, 1 for a partly covered pixel,
// 00 for an uncovered run and 01 for a covered run; after a run, 1 for a
// partly covered pixel and 0 for a run of the other kind. A partly covered
// pixel's level follows its kind bit: the level less one in 1 bit for 2-bit
// images, the level in bpp bits otherwise.
#include "ds_packed_image.h"

#include "ds_rotations.h"

#include <string.h>

namespace {

// Longest Exp-Golomb prefix of a valid image: longer runs than 2^16 do not
// fit a row. A longer prefix, or none in the bits read, ends the row.
constexpr uint32_t kLongestPrefix = 16;
constexpr uint32_t kRestOfRow = 0xFFFFFFFFu;

inline uint32_t trailingZeros(uint32_t value)
{
#if defined(__ARM_FEATURE_CLZ) || !defined(__arm__)
    return uint32_t(__builtin_ctz(value));
#else
    // Cortex-M0 has no instruction for it; the compiler would call a helper.
    uint32_t zeros = 0;
    for (; (value & 1) == 0; value >>= 1)
        ++zeros;
    return zeros;
#endif
}

// An order the format allows; with the longest prefix it fits one take.
uint32_t clampOrder(uint32_t order)
{
    return order > DS_PACKED_LARGEST_RUN_ORDER ? DS_PACKED_LARGEST_RUN_ORDER : order;
}

} // namespace

DsPackedImageDecoder::DsPackedImageDecoder(const ds_packed_font_t& font, const DsPackedGlyph& glyph)
{
    const uint32_t width = glyph.width > 0 ? uint32_t(glyph.width) : 0;
    const uint32_t height = glyph.height > 0 ? uint32_t(glyph.height) : 0;
    const bool turned = dsSwapsSides(font.rotation);
    mColumns = turned ? height : width;
    mRows = turned ? width : height;
    mBpp = font.bpp;
    mScale = uint8_t(255 / ((1u << mBpp) - 1));
    mZeroOrder = uint8_t(clampOrder(font.zero_run_order));
    mFullOrder = uint8_t(clampOrder(font.full_run_order));
    mCompressed = font.compressed != 0;
    mRepeats = mCompressed && mColumns <= DS_PACKED_REPEAT_ROW_MAX;
    mNext = font.images + glyph.imageBit / 8;
    mEnd = font.images + (uint64_t(glyph.imageBit) + glyph.imageBits + 7) / 8;
    refill();
    take(glyph.imageBit % 8);
}

// At least 25 bits in the buffer; past the image's end they read 0.
void DsPackedImageDecoder::refill()
{
    while (mBits <= 24) {
        if (mNext < mEnd)
            mBuffer |= uint32_t(*mNext++) << mBits;
        mBits += 8;
    }
}

// The next `bits` (0 to 24) bits; the buffer must hold them.
uint32_t DsPackedImageDecoder::take(uint32_t bits)
{
    const uint32_t value = mBuffer & ((1u << bits) - 1);
    mBuffer >>= bits;
    mBits -= bits;
    return value;
}

uint32_t DsPackedImageDecoder::runLength(uint32_t order)
{
    refill();
    const uint32_t zeros = trailingZeros(mBuffer | 1u << 24);
    if (zeros > kLongestPrefix)
        return kRestOfRow;
    take(zeros + 1);
    refill();
    const uint32_t bits = zeros + order;
    return ((1u << bits) | take(bits)) - (1u << order);
}

// Decodes the next token of the row: a run of `length` pixels of coverage
// `value`, or one partly covered pixel (length 1).
void DsPackedImageDecoder::nextToken(uint8_t& value, uint32_t& length)
{
    if (mBpp == 1) {
        const bool first = mLast == Token::RowStart;
        mLast = mLast == Token::Zero ? Token::Full : Token::Zero;
        value = mLast == Token::Full ? 255 : 0;
        const uint32_t run = runLength(mLast == Token::Full ? mFullOrder : mZeroOrder);
        length = first || run == kRestOfRow ? run : run + 1;
        return;
    }
    refill();
    if ((mBuffer & 1) != 0) {
        const uint32_t bits = mBpp == 2 ? 1 : mBpp;
        const uint32_t level = (mBuffer >> 1 & ((1u << bits) - 1)) + (mBpp == 2 ? 1 : 0);
        take(1 + bits);
        value = uint8_t(level * mScale);
        length = 1;
        mLast = Token::Literal;
        return;
    }
    if (mLast == Token::RowStart || mLast == Token::Literal) {
        mLast = (mBuffer & 2) != 0 ? Token::Full : Token::Zero;
        take(2);
    } else {
        mLast = mLast == Token::Zero ? Token::Full : Token::Zero;
        take(1);
    }
    value = mLast == Token::Full ? 255 : 0;
    const uint32_t run = runLength(mLast == Token::Full ? mFullOrder : mZeroOrder);
    length = run == kRestOfRow ? run : run + 1;
}

// At the start of a row: reads its repeat bit, if it has one, and for a
// repeated row copies the row above to `out`. True when it did. A call that
// breaks decode's contract (less than a row to write) repeats nothing.
bool DsPackedImageDecoder::startRow(uint8_t* out, uint32_t count)
{
    mLast = Token::RowStart;
    if (!mRepeats || mRow == 0 || count < mColumns)
        return false;
    refill();
    if (take(1) == 0)
        return false;
    memmove(out, out - mColumns, mColumns);
    ++mRow;
    return true;
}

void DsPackedImageDecoder::decodeCoded(uint8_t* out, uint32_t count)
{
    while (count > 0) {
        if (mColumn == 0 && startRow(out, count)) {
            out += mColumns;
            count -= mColumns;
            continue;
        }
        const uint32_t span = count < mColumns - mColumn ? count : mColumns - mColumn;
        uint8_t* const end = out + span;
        const uint32_t pending = mPending < span ? mPending : span;
        memset(out, mPendingValue, pending);
        mPending -= pending;
        out += pending;
        while (out < end) {
            uint8_t value;
            uint32_t length;
            nextToken(value, length);
            if (length == 1) {
                *out++ = value;
                continue;
            }
            const uint32_t room = uint32_t(end - out);
            if (length > room) {
                mPending = length - room;
                mPendingValue = value;
                length = room;
            }
            memset(out, value, length);
            out += length;
        }
        count -= span;
        mColumn += span;
        if (mColumn == mColumns) {
            mColumn = 0;
            ++mRow;
            mPending = 0; // a run never crosses a row's end
        }
    }
}

void DsPackedImageDecoder::decodePlain(uint8_t* out, uint32_t count)
{
    const uint32_t mask = (1u << mBpp) - 1;
    for (uint8_t* const end = out + count; out < end; ++out) {
        if (mBits < mBpp)
            refill();
        *out = uint8_t((mBuffer & mask) * mScale);
        mBuffer >>= mBpp;
        mBits -= mBpp;
    }
}

void DsPackedImageDecoder::decode(uint8_t* out, uint32_t count)
{
    if (mCompressed)
        decodeCoded(out, count);
    else
        decodePlain(out, count);
}
