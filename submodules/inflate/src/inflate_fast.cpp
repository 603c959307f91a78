// The fast loops of the inflate decoder: Huffman blocks decoded through a
// 64-bit bit buffer and the lookup tables of the block's codes, either the
// root tables in the record or, when the caller lent one, the wide tables of
// a workspace (decode_wide_loop).
//
// Entry contract (decode_fast): the record is in STATE_SYMBOL with no window,
// its codes and their root tables are built (codes_in_use), and
// fast_path_usable holds: at least FAST_MIN_INPUT input bytes and
// FAST_MIN_OUTPUT bytes of output space (WIDE_ENTRY_INPUT and WIDE_MIN_OUTPUT
// with a workspace, whose tables the loop builds first if they are not
// there). It decodes literals and matches
// until the block ends (state STATE_HEADER) or either margin runs low (state
// unchanged), hands the unread whole bytes back to the bitstream_t, and
// accounts for its output with advance_output. It returns step_t::CONTINUE,
// or step_t::DATA_ERROR with the same bytes written before the error as the
// bit-by-bit steps would write; the caller then goes on bit by bit exactly
// where the loop stopped, so results and pauses do not depend on whether the
// loop ran.
//
// Margins. Input: a refill loads eight bytes, and the loop keeps FAST_MIN_INPUT bytes
// ahead of it. Bits: a refill leaves at least 56 bits buffered, and one
// literal/length code, its extra bits, a distance code and its extra bits
// take at most 15 + 5 + 15 + 13 = 48. Output: one turn of the loop writes a
// run of literals that fits the buffered bits, or one match of MAX_MATCH
// bytes at most, checked again after the literals.
#include "inflate_internal.h"

#include <cstring>

namespace inflate_detail {
namespace {

constexpr uint32_t FAST_MIN_INPUT = 16;
constexpr uint32_t FAST_MIN_OUTPUT = MAX_MATCH;
static_assert(FAST_MIN_INPUT - 7 >= 8, "a second refill after the first must stay within the input");

// The 64-bit bit buffer of the fast path.
struct fast_bits_t {
    uint64_t bits;     // buffered bits, the oldest in bit 0; above count: bits of the byte at in
    uint32_t count;    // number of valid bits
    const uint8_t* in; // next input byte not yet counted in the buffer
};

inline uint64_t load_little_endian_64(const uint8_t* bytes)
{
    uint64_t word;
    memcpy(&word, bytes, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// Tops the buffer up to 56 to 63 bits with one unaligned load, counting only
// the whole bytes that fit. The part of the next byte that also lands in the
// buffer is loaded again, at the same place, by the next refill.
inline void refill(fast_bits_t* f)
{
    f->bits |= load_little_endian_64(f->in) << f->count;
    f->in += (63 - f->count) >> 3;
    f->count |= 56;
}

inline uint32_t take_bits(fast_bits_t* f, uint32_t n)
{
    const uint32_t value = static_cast<uint32_t>(f->bits & ((1ull << n) - 1));
    f->bits >>= n;
    f->count -= n;
    return value;
}

// huffman_decode over the 64-bit buffer, which holds at least 15 bits: for
// codes longer than the root table's index, and for bits that match no code.
int decode_through_counts(const huffman_t* table, fast_bits_t* f)
{
    int code = 0;
    int first = 0;
    int index = 0;
    for (uint32_t len = 1; len <= table->max_length; ++len) {
        code |= static_cast<int>((f->bits >> (len - 1)) & 1);
        const int count = table->counts[len];
        if (static_cast<uint16_t>(code - first) < count) {
            take_bits(f, len);
            return table->symbols[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return HUFFMAN_NO_CODE;
}

inline void copy_bytes(uint8_t* to, const uint8_t* from, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        to[i] = from[i];
}

// Moves n (2, 4, 8 or 16) bytes through a register: the source is read whole
// before anything is written.
template <uint32_t n>
inline void copy_block(uint8_t* to, const uint8_t* from)
{
    uint8_t block[n];
    memcpy(block, from, n);
    memcpy(to, block, n);
}

// Copies length bytes in n-byte blocks from distance bytes back, where
// distance and length are at least n. Each block reads only bytes written
// before it, and the last one is moved back to end with the match, so that
// nothing is written past the end.
template <uint32_t n>
inline void copy_in_blocks(uint8_t* out, uint32_t distance, uint32_t length)
{
    const uint8_t* from = out - distance;
    uint32_t i = 0;
    for (; i + n <= length; i += n)
        copy_block<n>(out + i, from + i);
    if (i < length)
        copy_block<n>(out + length - n, from + length - n);
}

// For a distance of 2 to 7: the fewest whole repetitions of the pattern that
// span at least 8 bytes, in bytes.
constexpr uint8_t PATTERN_SPAN[8] = {0, 0, 8, 9, 8, 10, 12, 14};

// Copies a match of 3 to MAX_MATCH bytes from distance bytes back, writing
// nothing past its end. A distance shorter than the length repeats the
// pattern of distance bytes: below 8, its first repetitions are written byte
// by byte until a whole number of them spans 8 bytes or more, and the rest
// is copied in blocks from that many bytes back, which holds the same bytes.
inline void copy_match_fast(uint8_t* out, uint32_t distance, uint32_t length)
{
    const uint8_t* from = out - distance;
    if (distance >= 16 && length >= 16) {
        copy_in_blocks<16>(out, distance, length);
    } else if (distance >= 8 && length >= 8) {
        copy_in_blocks<8>(out, distance, length);
    } else if (distance >= 8) {
        if (length >= 4) { // 4 to 7 bytes: two quads, overlapping
            copy_block<4>(out, from);
            copy_block<4>(out + length - 4, from + length - 4);
        } else {
            copy_block<2>(out, from);
            out[2] = from[2];
        }
    } else if (distance == 1) {
        memset(out, *from, length);
    } else {
        const uint32_t period = PATTERN_SPAN[distance];
        if (length < period + 8) {
            copy_bytes(out, from, length);
        } else {
            copy_bytes(out, from, period);
            copy_in_blocks<8>(out + period, period, length - period);
        }
    }
}

constexpr uint32_t LITERAL_ROOT_MASK = (1u << INFLATE_LITERAL_ROOT_BITS) - 1;
constexpr uint32_t DISTANCE_ROOT_MASK = (1u << INFLATE_DISTANCE_ROOT_BITS) - 1;

// Literals after the first one of a refill are decoded while the buffer
// still holds a whole root index of valid bits and the root table gives
// literals. Each takes at least one bit, so one refill writes at most 64
// literals, which stays within the FAST_MIN_OUTPUT bytes of space.
static_assert(64 <= FAST_MIN_OUTPUT, "the literals of one refill must fit the output margin");

// Decodes and consumes the next literal/length code and returns its root
// entry. A code longer than the root index, found through the canonical code,
// gets an entry of code length 0, as its bits are consumed already; bits that
// match no code get the entry of an invalid symbol.
inline uint32_t next_literal_entry(const fast_codes_t& codes, fast_bits_t* f)
{
    const uint32_t entry = codes.literal_root[f->bits & LITERAL_ROOT_MASK];
    if (entry == 0) {
        const int symbol = decode_through_counts(codes.literal, f);
        return symbol < 0 ? ROOT_KIND_INVALID << ROOT_EXTRA_SHIFT
                          : literal_root_entry(static_cast<uint32_t>(symbol), 0);
    }
    take_bits(f, entry & ROOT_LENGTH_MASK);
    return entry;
}

// Decodes and consumes a distance code; returns its symbol or HUFFMAN_NO_CODE.
inline int next_distance_symbol(const fast_codes_t& codes, fast_bits_t* f)
{
    const uint32_t entry = codes.distance_root[f->bits & DISTANCE_ROOT_MASK];
    if (entry == 0) {
        const int symbol = decode_through_counts(codes.distance, f);
        return symbol < INFLATE_MAX_DISTANCES ? symbol : HUFFMAN_NO_CODE;
    }
    take_bits(f, entry & ROOT_LENGTH_MASK);
    return static_cast<int>(entry >> ROOT_SYMBOL_SHIFT);
}

// Decodes the rest of a match whose length entry has been read and copies
// it. `history` is the number of bytes decoded before out.
inline step_t decode_match(const fast_codes_t& codes, uint32_t entry, uint64_t history, fast_bits_t* f, uint8_t** out)
{
    const uint32_t extra = (entry >> ROOT_EXTRA_SHIFT) & ROOT_EXTRA_MASK;
    const uint32_t length = (entry >> ROOT_VALUE_SHIFT) + MIN_MATCH + take_bits(f, extra);
    const int code = next_distance_symbol(codes, f);
    if (code < 0)
        return step_t::DATA_ERROR;
    const uint32_t distance = DISTANCE_BASE[code] + take_bits(f, DISTANCE_EXTRA[code]);
    if (distance > history)
        return step_t::DATA_ERROR;
    copy_match_fast(*out, distance, length);
    *out += length;
    return step_t::CONTINUE;
}

// Writes the literals that follow the first one of a refill for as long as
// the root table gives literals and the buffer holds enough bits to look up.
// Returns the root entry of the code that ended the run, not yet consumed,
// or 0 when the bits ran low.
inline uint32_t write_further_literals(const fast_codes_t& codes, fast_bits_t* f, uint8_t** out)
{
    while (f->count >= INFLATE_LITERAL_ROOT_BITS) {
        const uint32_t entry = codes.literal_root[f->bits & LITERAL_ROOT_MASK];
        if ((entry & ROOT_LITERAL_FLAG) == 0)
            return entry;
        // A literal entry has no extra-bit field, so its low six bits are
        // its code length: the shift needs no masking of its own.
        f->bits >>= entry & 63;
        f->count -= entry & ROOT_LENGTH_MASK;
        *(*out)++ = static_cast<uint8_t>(entry >> ROOT_VALUE_SHIFT);
    }
    return 0;
}

// Gives the whole unread bytes of the 64-bit buffer back to the input. Bits
// that came from an earlier piece of input (buffered on entry, at most 32)
// cannot go back there and stay in the stream's buffer.
void hand_back(bitstream_t* stream, fast_bits_t* f)
{
    const uint32_t fetched = static_cast<uint32_t>(f->in - stream->cur);
    const uint32_t whole = least(f->count / 8, fetched);
    f->in -= whole;
    f->count -= 8 * whole;
    stream->bytes_left -= static_cast<uint32_t>(f->in - stream->cur);
    stream->cur = f->in;
    stream->bit_buffer = static_cast<uint32_t>(f->bits & ((1ull << f->count) - 1));
    stream->bit_count = f->count;
}

// Decodes literals and matches of the current Huffman block while at least
// FAST_MIN_INPUT input bytes and FAST_MIN_OUTPUT bytes of output space
// remain. Stops at the end of the block (state STATE_HEADER) or when either
// runs low (state unchanged), with the unread whole bytes handed back.
// Returns step_t::CONTINUE or step_t::DATA_ERROR, with the same bytes written
// before the error as the bit-by-bit steps would write. Compiled once per
// instruction set below; see decode_fast.
inline __attribute__((always_inline)) step_t decode_fast_loop(inflate_t* inflater, bitstream_t* stream)
{
    const fast_codes_t codes = codes_in_use(inflater);
    fast_bits_t f = {stream->bit_buffer, stream->bit_count, stream->cur};
    const uint8_t* const in_end = stream->cur + stream->bytes_left;
    uint8_t* out = inflater->output;
    uint8_t* const out_begin = out;
    uint8_t* const out_end = out + inflater->output_space;
    const uint64_t total_before = inflater->total;
    step_t result = step_t::CONTINUE;
    while (in_end - f.in >= FAST_MIN_INPUT && out_end - out >= FAST_MIN_OUTPUT) {
        refill(&f);
        uint32_t entry = next_literal_entry(codes, &f);
        if (entry & ROOT_LITERAL_FLAG) {
            *out++ = static_cast<uint8_t>(entry >> ROOT_VALUE_SHIFT);
            entry = write_further_literals(codes, &f, &out);
            // A length or end code found after the literals is decoded at
            // once, without looking it up again, where a second refill and
            // the longest match still fit: the check above left at least
            // FAST_MIN_INPUT - 7 bytes after the first refill.
            if (entry == 0 || out_end - out < FAST_MIN_OUTPUT)
                continue;
            refill(&f);
            take_bits(&f, entry & ROOT_LENGTH_MASK);
        }
        const uint32_t kind = (entry >> ROOT_EXTRA_SHIFT) & ROOT_EXTRA_MASK;
        if (kind == ROOT_KIND_END_OF_BLOCK) {
            inflater->state = STATE_HEADER;
            break;
        }
        if (kind == ROOT_KIND_INVALID) {
            result = step_t::DATA_ERROR;
            break;
        }
        result = decode_match(codes, entry, total_before + static_cast<uint64_t>(out - out_begin), &f, &out);
        if (result != step_t::CONTINUE)
            break;
    }
    hand_back(stream, &f);
    advance_output(inflater, static_cast<uint32_t>(out - out_begin));
    return result;
}

// Margins of the wide loop. One turn refills at most twice (before a
// distance and after it) and writes at most two pairs of literals and a
// match, or three pairs of literals; the refill before the first turn needs
// eight more input bytes on entry.
constexpr uint32_t WIDE_MIN_INPUT = 16;
constexpr uint32_t WIDE_ENTRY_INPUT = WIDE_MIN_INPUT + 8;
constexpr uint32_t WIDE_MIN_OUTPUT = MAX_MATCH + 4;
constexpr uint32_t WIDE_LITERAL_MASK = (1u << INFLATE_WIDE_LITERAL_BITS) - 1;
constexpr uint32_t WIDE_DISTANCE_MASK = (1u << INFLATE_WIDE_DISTANCE_BITS) - 1;

// Bits of a wide turn: a refill leaves 56 or more. Three literal entries and
// a lookup take 3 * 11 + 11; two literal entries, a match length code of up
// to 15 bits with 5 extra bits and a distance lookup take 22 + 20 + 10, after
// which the buffer is refilled; a distance of 15 + 13 bits and a lookup take 39.
static_assert(4 * INFLATE_WIDE_LITERAL_BITS <= 56 &&
        2 * INFLATE_WIDE_LITERAL_BITS + INFLATE_MAX_BITS + 5 + INFLATE_WIDE_DISTANCE_BITS <= 56 &&
        INFLATE_MAX_BITS + 13 + INFLATE_WIDE_LITERAL_BITS <= 56,
    "a wide turn must fit the bits of its refills");

inline void consume(fast_bits_t* f, uint32_t n)
{
    f->bits >>= n;
    f->count -= n;
}

// Writes the literal or the pair of literals of a wide entry and consumes
// its codes. Both stores go to bytes being decoded: the second one writes the
// first byte again when the entry holds a single literal.
inline void write_wide_literals(uint32_t entry, fast_bits_t* f, uint8_t** out)
{
    const uint32_t pair = (entry >> WIDE_PAIR_SHIFT) & 1;
    consume(f, entry & WIDE_CONSUMED_MASK);
    (*out)[0] = static_cast<uint8_t>(entry >> WIDE_VALUE_SHIFT);
    (*out)[pair] = static_cast<uint8_t>(entry >> WIDE_SECOND_LITERAL_SHIFT);
    *out += 1 + pair;
}

// Consumes a match length or distance entry, code and extra bits at once,
// and returns its base plus the value of the extra bits.
inline uint32_t take_wide_value(uint32_t entry, fast_bits_t* f)
{
    const uint64_t bits = f->bits;
    const uint32_t used = entry & WIDE_CONSUMED_MASK;
    consume(f, used);
    const uint32_t code_length = (entry >> WIDE_CODE_LENGTH_SHIFT) & ROOT_LENGTH_MASK;
    return (entry >> WIDE_VALUE_SHIFT) + (static_cast<uint32_t>(bits & ((1ull << used) - 1)) >> code_length);
}

// Decodes a distance from its wide entry, looked up before the last refill.
// Returns 0, which is no distance, for bits that match no distance code.
inline uint32_t take_wide_distance(const wide_codes_t& codes, uint32_t entry, fast_bits_t* f)
{
    if (entry & WIDE_EXCEPTIONAL) {
        const int symbol = decode_through_counts(codes.distance, f);
        if (symbol < 0 || symbol >= INFLATE_MAX_DISTANCES)
            return 0;
        entry = wide_distance_entry(static_cast<uint32_t>(symbol), 0);
    }
    return take_wide_value(entry, f);
}

inline uint32_t load_little_endian_32(const uint8_t* bytes)
{
    uint32_t word;
    memcpy(&word, bytes, sizeof word);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    return word;
}

inline void store_little_endian_32(uint8_t* bytes, uint32_t word)
{
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    memcpy(bytes, &word, sizeof word);
}

// Matches of 3 to 8 bytes from 8 or more bytes back, most matches of image
// data, are copied by copy_short_match.
constexpr uint32_t SHORT_MATCH_MIN_DISTANCE = 8;
constexpr uint32_t SHORT_MATCH_MAX_LENGTH = 8;

// Copies a match of MIN_MATCH to SHORT_MATCH_MAX_LENGTH bytes from at least
// SHORT_MATCH_MIN_DISTANCE bytes back, which it does not overlap, with two
// 4-byte stores and no branch, as match lengths of image data follow no
// pattern a branch could predict: bytes 0 to 3 and the last four. A match of
// 3 bytes stores both at bytes -1 to 2 instead, writing the byte before it
// (decoded already, as the distance shows) again as it is.
inline void copy_short_match(uint8_t* out, const uint8_t* from, uint32_t length)
{
    const uint32_t three = length == MIN_MATCH;
    const uint32_t if_three = 0u - three; // all ones for a match of 3 bytes
    const uint32_t head = load_little_endian_32(from);
    const uint32_t tail = load_little_endian_32(from + ((length - 4) & ~if_three));
    const uint32_t with_byte_before = head << 8 | out[-1];
    store_little_endian_32(out - three, head ^ ((head ^ with_byte_before) & if_three));
    store_little_endian_32(out + length - 4, tail ^ ((tail ^ with_byte_before) & if_three));
}

// What decode_wide_loop does after an exceptional entry.
enum class exception_t {
    LITERAL,      // a literal was written
    MATCH,        // a match length code was decoded into the entry
    END_OF_BLOCK, // the block ended
    DATA_ERROR,   // bits that match no code, or symbol 286 or 287
};

// Decodes through the canonical code what an exceptional literal/length
// entry stands for: writes a literal, or turns *entry into the entry of a
// match length whose code is consumed already.
inline exception_t decode_exceptional(const wide_codes_t& codes, uint32_t* entry, fast_bits_t* f, uint8_t** out)
{
    const int symbol = decode_through_counts(codes.literal, f);
    if (symbol == END_OF_BLOCK)
        return exception_t::END_OF_BLOCK;
    if (symbol < 0 || symbol > LAST_LENGTH_SYMBOL)
        return exception_t::DATA_ERROR;
    if (symbol < END_OF_BLOCK) {
        *(*out)++ = static_cast<uint8_t>(symbol);
        return exception_t::LITERAL;
    }
    *entry = wide_literal_entry(static_cast<uint32_t>(symbol), 0);
    return exception_t::MATCH;
}

// The loop of decode_fast_loop through a workspace's wide tables, under the
// same contract with the wide margins. Each turn starts refilled, with the
// entry of the next code looked up: up to three literal entries are written
// before the next refill; otherwise the match length follows the literals at
// once, and the next entry is looked up before the match is copied, so that
// the lookup and the copy overlap.
inline __attribute__((always_inline)) step_t decode_wide_loop(inflate_t* inflater, bitstream_t* stream)
{
    const wide_codes_t codes = wide_codes_in_use(inflater);
    fast_bits_t f = {stream->bit_buffer, stream->bit_count, stream->cur};
    const uint8_t* const in_end = stream->cur + stream->bytes_left;
    uint8_t* out = inflater->output;
    uint8_t* const out_begin = out;
    uint8_t* const out_end = out + inflater->output_space;
    const uint64_t total_before = inflater->total;
    step_t result = step_t::CONTINUE;
    refill(&f);
    uint32_t entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
    do {
        if (entry & WIDE_LITERAL) {
            write_wide_literals(entry, &f, &out);
            entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
            if (entry & WIDE_LITERAL) {
                write_wide_literals(entry, &f, &out);
                entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
                if (entry & WIDE_LITERAL) {
                    write_wide_literals(entry, &f, &out);
                    entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
                    refill(&f);
                    continue;
                }
            }
        }
        if (entry & WIDE_EXCEPTIONAL) {
            const exception_t exception = decode_exceptional(codes, &entry, &f, &out);
            if (exception == exception_t::LITERAL) {
                entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
                refill(&f);
                continue;
            }
            if (exception == exception_t::END_OF_BLOCK)
                inflater->state = STATE_HEADER;
            else if (exception == exception_t::DATA_ERROR)
                result = step_t::DATA_ERROR;
            if (exception != exception_t::MATCH)
                break;
        }
        const uint32_t length = take_wide_value(entry, &f);
        const uint32_t distance_entry = codes.distance_table[f.bits & WIDE_DISTANCE_MASK];
        refill(&f);
        const uint32_t distance = take_wide_distance(codes, distance_entry, &f);
        if (distance - 1ull >= total_before + static_cast<uint64_t>(out - out_begin)) {
            result = step_t::DATA_ERROR;
            break;
        }
        entry = codes.literal_table[f.bits & WIDE_LITERAL_MASK];
        refill(&f);
        if (distance >= SHORT_MATCH_MIN_DISTANCE && length <= SHORT_MATCH_MAX_LENGTH)
            copy_short_match(out, out - distance, length);
        else
            copy_match_fast(out, distance, length);
        out += length;
    } while (in_end - f.in >= WIDE_MIN_INPUT && out_end - out >= WIDE_MIN_OUTPUT);
    hand_back(stream, &f);
    advance_output(inflater, static_cast<uint32_t>(out - out_begin));
    return result;
}

__attribute__((noinline)) step_t decode_fast_portable(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_loop(inflater, stream);
}

__attribute__((noinline)) step_t decode_wide_portable(inflate_t* inflater, bitstream_t* stream)
{
    return decode_wide_loop(inflater, stream);
}

fast_variant_t forced_variant = fast_variant_t::BEST;

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same loop with BMI2's shifts, which take their count from any register
// and leave the flags alone: the chain from one code to the next gets shorter.
__attribute__((noinline, target("bmi2"))) step_t decode_fast_bmi2(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_loop(inflater, stream);
}

__attribute__((noinline, target("bmi2"))) step_t decode_wide_bmi2(inflate_t* inflater, bitstream_t* stream)
{
    return decode_wide_loop(inflater, stream);
}

bool cpu_has_bmi2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2");
}

bool use_bmi2()
{
    static const bool bmi2 = cpu_has_bmi2();
    return bmi2 && forced_variant == fast_variant_t::BEST;
}
#else
step_t decode_fast_bmi2(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_portable(inflater, stream);
}

step_t decode_wide_bmi2(inflate_t* inflater, bitstream_t* stream)
{
    return decode_wide_portable(inflater, stream);
}

bool use_bmi2()
{
    return false;
}
#endif

} // namespace

bool fast_path_usable(const inflate_t* inflater, const bitstream_t* stream)
{
    if (inflater->window != nullptr)
        return false;
    if (inflater->workspace != nullptr)
        return stream->bytes_left >= WIDE_ENTRY_INPUT && inflater->output_space >= WIDE_MIN_OUTPUT;
    return stream->bytes_left >= FAST_MIN_INPUT && inflater->output_space >= FAST_MIN_OUTPUT;
}

// Every version is kept out of line so that the bit-by-bit loop that calls
// them stays compact.
step_t decode_fast(inflate_t* inflater, bitstream_t* stream)
{
    if (inflater->workspace != nullptr)
        return use_bmi2() ? decode_wide_bmi2(inflater, stream) : decode_wide_portable(inflater, stream);
    return use_bmi2() ? decode_fast_bmi2(inflater, stream) : decode_fast_portable(inflater, stream);
}

void force_fast_variant(fast_variant_t variant)
{
    forced_variant = variant;
}

} // namespace inflate_detail
