// The glyph image decoder of packed fonts.
//
// Format notes for coded 1-, 2- and 8-bit images (4-bit ones take the span
// code, at the end). Bits are read lowest first from the
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
// Runs this long are filled by memset; shorter ones byte by byte, which
// costs less than the call.
constexpr uint32_t kShortRun = 16;

#define DS_HOT __attribute__((always_inline)) inline

DS_HOT uint32_t trailingZeros(uint32_t value)
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

using Bits = DsPackedBits;
using Token = DsPackedToken;

// The next 25 bits or more, the next one lowest: one word from the
// table, whose DS_PACKED_TABLE_SLACK bytes keep the load inside it.
DS_HOT uint32_t peek(const Bits& bits)
{
    return bits.position < bits.limit ? dsLoadWord(bits.table + bits.position / 8) >> (bits.position % 8) : 0;
}

DS_HOT void consume(Bits& bits, uint32_t count)
{
    bits.position += count;
}

// A run length's Exp-Golomb code of order `order`; kRestOfRow for a prefix
// no valid image has.
DS_HOT uint32_t runLength(Bits& bits, uint32_t order)
{
    const uint32_t zeros = trailingZeros(peek(bits) | 1u << 24);
    if (zeros > kLongestPrefix)
        return kRestOfRow;
    consume(bits, zeros + 1);
    const uint32_t length = zeros + order;
    const uint32_t value = peek(bits) & ((1u << length) - 1);
    consume(bits, length);
    return ((1u << length) | value) - (1u << order);
}

DS_HOT uint8_t* fill(uint8_t* out, uint32_t length, uint8_t value)
{
    if (length >= kShortRun) {
        memset(out, value, length);
        return out + length;
    }
    // Through a volatile pointer: the compiler would turn a plain loop back
    // into a call of memset.
    volatile uint8_t* pixel = out;
    for (; length > 0; --length)
        *pixel++ = value;
    return out + (pixel - out);
}

// What a token gives: `length` pixels of coverage `value`.
struct Run {
    uint32_t length;
    uint8_t value;
};

// The bit code of 1-, 2- and 8-bit images (format notes at the top).
struct BitCode {
    // Partly covered pixels come one token at a time.
    DS_HOT void literals(Bits&, uint8_t*&, uint8_t*) const { }

    bool mono;          // 1 bit: runs only, alternating
    uint32_t zeroOrder; // Exp-Golomb orders of the two kinds of runs
    uint32_t fullOrder;
    uint32_t literalBits; // bits of a partly covered pixel's level
    uint32_t literalBias; // added to them: 1 for 2-bit images
    uint32_t scale;       // coverage of level 1

    DS_HOT bool repeats(Bits& bits) const
    {
        const bool repeated = (peek(bits) & 1) != 0;
        consume(bits, 1);
        return repeated;
    }

    DS_HOT Run run(Bits& bits, bool full, bool first) const
    {
        const uint32_t length = runLength(bits, full ? fullOrder : zeroOrder);
        return {first || length == kRestOfRow ? length : length + 1, uint8_t(full ? 255 : 0)};
    }

    DS_HOT Run next(Bits& bits, Token& last) const
    {
        if (mono) {
            const bool first = last == Token::RowStart, full = last == Token::Zero;
            last = full ? Token::Full : Token::Zero;
            return run(bits, full, first);
        }
        const uint32_t word = peek(bits);
        if ((word & 1) != 0) {
            const uint32_t level = (word >> 1 & ((1u << literalBits) - 1)) + literalBias;
            consume(bits, 1 + literalBits);
            last = Token::Literal;
            return {1, uint8_t(level * scale)};
        }
        bool full;
        if (last == Token::RowStart || last == Token::Literal) {
            full = (word & 2) != 0;
            consume(bits, 2);
        } else {
            full = last == Token::Zero;
            consume(bits, 1);
        }
        last = full ? Token::Full : Token::Zero;
        return run(bits, full, false);
    }
};

// Copies a repeated row from the one above; short rows without a call.
DS_HOT void copyRow(uint8_t* out, uint32_t columns)
{
    if (columns >= kShortRun) {
        memcpy(out, out - columns, columns);
        return;
    }
    volatile uint8_t* pixel = out;
    for (uint32_t i = 0; i < columns; ++i)
        pixel[i] = out[int32_t(i) - int32_t(columns)];
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
    mReadsRowAbove = mCompressed && mColumns <= DS_PACKED_REPEAT_ROW_MAX;
    const uint64_t limit = uint64_t(glyph.imageBit) + glyph.imageBits;
    mBits = {font.images, glyph.imageBit, limit > UINT32_MAX ? UINT32_MAX : uint32_t(limit)};
}

// Format notes on the state kept between calls: a call may end inside a
// row (a piece of a long row) and inside a run, whose rest is written first
// by the next call; tokens never cross a row's end, so the rest of a run
// there is dropped (only a damaged image has one).
template <typename Code>
void DsPackedImageDecoder::decodeTokens(uint8_t* out, uint32_t count, Code code)
{
    Bits bits = mBits;
    Token last = mLast;
    uint32_t column = mColumn, row = mRow, pending = mPending;
    const uint32_t columns = mColumns;
    uint8_t* const end = out + count;
    while (out < end) {
        if (column == 0) {
            last = Token::RowStart;
            if (mReadsRowAbove && row > 0 && uint32_t(end - out) >= columns && code.repeats(bits)) {
                copyRow(out, columns);
                out += columns;
                ++row;
                continue;
            }
        }
        // The tokens of this row that fall before `end`.
        uint8_t* const stop = uint32_t(end - out) < columns - column ? end : out + (columns - column);
        uint8_t* const start = out;
        const uint32_t waiting = pending < uint32_t(stop - out) ? pending : uint32_t(stop - out);
        out = fill(out, waiting, mPendingValue);
        pending -= waiting;
        while (out < stop) {
            code.literals(bits, out, stop);
            if (out == stop)
                break;
            Run run = code.next(bits, last);
            if (run.length == 1) {
                *out++ = run.value;
                continue;
            }
            const uint32_t room = uint32_t(stop - out);
            if (run.length > room) {
                pending = run.length - room;
                mPendingValue = run.value;
                run.length = room;
            }
            out = fill(out, run.length, run.value);
        }
        column += uint32_t(out - start);
        if (column == columns) {
            column = 0;
            ++row;
            pending = 0;
        }
    }
    mBits = bits;
    mLast = last;
    mColumn = column;
    mRow = row;
    mPending = pending;
}

void DsPackedImageDecoder::decodePlain(uint8_t* out, uint32_t count)
{
    Bits bits = mBits;
    const uint32_t bpp = mBpp, mask = (1u << bpp) - 1, scale = mScale, perPeek = 24 / bpp;
    for (uint8_t* const end = out + count; out < end;) {
        uint32_t word = peek(bits);
        const uint32_t levels = uint32_t(end - out) < perPeek ? uint32_t(end - out) : perPeek;
        for (uint32_t i = 0; i < levels; ++i, word >>= bpp)
            *out++ = uint8_t((word & mask) * scale);
        consume(bits, levels * bpp);
    }
    mBits = bits;
}

void DsPackedImageDecoder::decode(uint8_t* out, uint32_t count)
{
    if (!mCompressed) {
        decodePlain(out, count);
    } else if (mBpp == 4) {
        decodeSpans(out, count);
    } else {
        const uint32_t literalBits = mBpp == 2 ? 1 : mBpp;
        decodeTokens(out, count, BitCode{mBpp == 1, mZeroOrder, mFullOrder, literalBits, mBpp == 2 ? 1u : 0u, mScale});
    }
}

namespace {

// The whole nibbles of a peek's 25 bits.
constexpr uint32_t kNibblesPerPeek = 6;
// The skip of the token that ends an image.
constexpr uint32_t kRestOfImage = 0xFFFFFFFFu;

// Four levels from the low 16 bits of `word`, lowest first, as coverage:
// each nibble spread to a byte and times 17 (15 x 17 = 255 stays in its
// byte), stored with one word store.
DS_HOT void writeFourLevels(uint8_t* out, uint32_t word)
{
    uint32_t bytes = (word & 0xFF) | (word & 0xFF00) << 8;
    bytes = ((bytes & 0x000F000Fu) | (bytes & 0x00F000F0u) << 4) * 17;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(out, &bytes, 4);
#else
    for (uint32_t i = 0; i < 4; ++i, bytes >>= 8)
        out[i] = uint8_t(bytes);
#endif
}

// `count` (0 to 6) levels from the nibbles of `word`, lowest first.
DS_HOT void writeLevels(uint8_t* out, uint32_t word, uint32_t count)
{
    if (count >= 4) {
        writeFourLevels(out, word);
        out += 4;
        word >>= 16;
        count -= 4;
    }
    switch (count) {
    case 3: out[2] = uint8_t((word >> 8 & 0xF) * 17); [[fallthrough]];
    case 2: out[1] = uint8_t((word >> 4 & 0xF) * 17); [[fallthrough]];
    case 1: out[0] = uint8_t((word & 0xF) * 17); [[fallthrough]];
    default: break;
    }
}

// `count` levels from the reader, a peek at a time.
DS_HOT uint8_t* readLevels(Bits& bits, uint8_t* out, uint32_t count)
{
    while (count > 0) {
        const uint32_t length = count < kNibblesPerPeek ? count : kNibblesPerPeek;
        writeLevels(out, peek(bits), length);
        consume(bits, length * 4);
        out += length;
        count -= length;
    }
    return out;
}

// Copies `length` pixels from `columns` before them: a word at a time when
// the row above is that far back, so that a word never reads pixels it
// writes.
DS_HOT void copyAbove(uint8_t* out, uint32_t length, uint32_t columns)
{
    const uint8_t* from = out - columns;
    if (columns >= 4)
        for (; length >= 4; length -= 4, out += 4, from += 4) {
            uint32_t word;
            memcpy(&word, from, 4);
            memcpy(out, &word, 4);
        }
    // Through a volatile pointer: the compiler would turn a plain loop into
    // a call of memmove.
    volatile uint8_t* pixel = out;
    for (uint32_t i = 0; i < length; ++i)
        pixel[i] = from[i];
}

} // namespace

// Writes what is left of the token the counters hold, up to `end`, and
// keeps the rest in them. `copyFrom` is the address of the first pixel
// whose row above lies in the buffer (UINTPTR_MAX for none).
uint8_t* DsPackedImageDecoder::finishSpan(uint8_t* out, uint8_t* end, uintptr_t copyFrom)
{
    uint32_t room = uint32_t(end - out);
    uint32_t length = mSkip < room ? mSkip : room;
    out += length;
    mSkip -= length;
    room -= length;
    length = mLevels < room ? mLevels : room;
    out = readLevels(mBits, out, length);
    mLevels -= length;
    room -= length;
    length = mFulls < room ? mFulls : room;
    out = fill(out, length, 255);
    mFulls -= length;
    room -= length;
    length = mCopies < room ? mCopies : room;
    if (uintptr_t(out) >= copyFrom)
        copyAbove(out, length, mColumns);
    out += length;
    mCopies -= length;
    return out;
}

// Format notes on the span code (ds_font.h): a token is a skip, then levels,
// or a run of fully covered pixels, or a run copied from the row above. The
// pixels are zeroed first, so skipped ones cost nothing. Tokens that fit
// before `end` are written straight away; one that does not is held in the
// counters and finished by the next call; a token that would pass the
// image's end is cut there. Copies in the first row, or in rows too long to
// keep the row above, read as uncovered (only a damaged image has them).
void DsPackedImageDecoder::decodeSpans(uint8_t* out, uint32_t count)
{
    memset(out, 0, count);
    uint8_t* const end = out + count;
    const uint32_t columns = mColumns;
    // Pixels from here on have their row above in the buffer: the rows
    // decoded before this call end right before `out`.
    const uintptr_t copyFrom = !mReadsRowAbove ? UINTPTR_MAX
                               : mDone >= columns ? uintptr_t(out)
                                                  : uintptr_t(out) + (columns - mDone);
    mDone += count;
    if ((mSkip | mLevels | mFulls | mCopies) != 0)
        out = finishSpan(out, end, copyFrom);
    Bits bits = mBits;
    while (out < end) {
        const uint32_t word = peek(bits);
        const uint32_t kind = word & 0xF, room = uint32_t(end - out);
        if (kind < DS_PACKED_SPAN_LONG_SKIP) {
            const uint32_t levels = word >> 4 & 0xF;
            if (kind + levels - 1 >= room) { // the end of the image, or a token that does not fit
                consume(bits, 8);
                mSkip = kind + levels == 0 ? kRestOfImage : kind;
                mLevels = levels;
                break;
            }
            out += kind;
            if (levels <= 4) {
                writeLevels(out, word >> 8, levels);
                consume(bits, 8 + levels * 4);
                out += levels;
            } else {
                // The first four from this peek, the rest from the next ones.
                writeFourLevels(out, word >> 8);
                consume(bits, 24);
                out = readLevels(bits, out + 4, levels - 4);
            }
            continue;
        }
        if (kind == DS_PACKED_SPAN_LONG_SKIP) {
            const uint32_t skip = (word >> 4 & 0xFF) + DS_PACKED_SPAN_LONG_SKIP, levels = word >> 12 & 0xF;
            consume(bits, 16);
            if (skip + levels > room) {
                mSkip = skip;
                mLevels = levels;
                break;
            }
            out = readLevels(bits, out + skip, levels);
            continue;
        }
        consume(bits, 8);
        if (kind == DS_PACKED_SPAN_FULLS) {
            const uint32_t length = (word >> 4 & 0xF) + DS_PACKED_SPAN_SHORTEST_FULLS;
            if (length > room) {
                mFulls = length;
                break;
            }
            out = fill(out, length, 255);
            continue;
        }
        const uint32_t length = (word >> 4 & 0xF) + 1;
        if (length > room) {
            mCopies = length;
            break;
        }
        if (uintptr_t(out) >= copyFrom)
            copyAbove(out, length, columns);
        out += length;
    }
    mBits = bits;
    if (out < end)
        finishSpan(out, end, copyFrom);
}
