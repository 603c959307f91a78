// Pieces shared by the parts of the decoder: the resumable state machine
// with the careful path that decodes bit by bit (streams.cpp), the
// table-driven fast loop (inflate_fast.cpp) and the codes and tables they
// read (huffman_tables.cpp). Not part of the interface.
#pragma once

#include "streams.h"

#include <cstdint>

namespace inflate_detail {

// Resume points of inflate_process, kept in inflate_t::state.
enum state_t : uint16_t {
    STATE_HEADER = 0,               // block header
    STATE_STORED_LENGTH = 1,        // LEN of a stored block
    STATE_STORED_CHECK = 2,         // NLEN of a stored block
    STATE_STORED_COPY = 3,          // bytes of a stored block
    STATE_SYMBOL = 4,               // literal/length symbol
    STATE_LENGTH_EXTRA = 5,         // extra bits of a match length
    STATE_DISTANCE_SYMBOL = 6,      // distance symbol
    STATE_DISTANCE_EXTRA = 7,       // extra bits of a match distance
    STATE_LITERAL = 8,              // literal waiting for output space
    STATE_MATCH_COPY = 9,           // match being copied
    STATE_DYNAMIC_HEADER = 10,      // HLIT, HDIST and HCLEN
    STATE_CODE_LENGTH_LENGTHS = 11, // lengths of the code-length code
    STATE_CODE_LENGTHS = 12,        // literal/length and distance code lengths
    STATE_REPEAT = 13,              // extra bits of a repeat code 16, 17 or 18
    STATE_BUILD_TABLES = 14,        // the block's own codes
    STATE_FAILED = 15,              // the data were found corrupt; only a reset leaves this
};

// What a step of the state machine leads to: the next step, or a result
// that ends the call (converted to inflate_result_t in one place).
enum class step_t {
    CONTINUE,    // run the step of the new state
    DONE,        // INFLATE_DONE
    NEED_INPUT,  // INFLATE_NEED_INPUT
    OUTPUT_FULL, // INFLATE_OUTPUT_FULL
    DATA_ERROR,  // INFLATE_DATA_ERROR
};

// Bases and extra bits of length symbols 257 to 285 (RFC 1951 3.2.5).
inline constexpr uint16_t LENGTH_BASE[29] = {
    3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint16_t LENGTH_EXTRA[29] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// Bases and extra bits of distance symbols 0 to 29.
inline constexpr uint16_t DISTANCE_BASE[INFLATE_MAX_DISTANCES] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr uint16_t DISTANCE_EXTRA[INFLATE_MAX_DISTANCES] = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

inline constexpr uint16_t END_OF_BLOCK = 256; // literal/length symbol that ends a block
inline constexpr uint16_t FIRST_LENGTH_SYMBOL = 257;
inline constexpr uint16_t LAST_LENGTH_SYMBOL = 285;
inline constexpr uint32_t MAX_MATCH = 258; // longest match a length code gives

// Layout of a literal/length root entry, which carries everything the fast
// path needs, so that a literal or a match length costs one lookup:
//   bits 0-3   code length (0 where no code of at most the index width matches:
//              the whole entry is 0 then)
//   bits 4-6   extra bits of a match length (0 to 5), or one of the kinds below
//   bit 7      set for a literal
//   bits 8-15  the literal byte, or the match length base minus 3 (0 to 255)
inline constexpr uint32_t ROOT_LENGTH_MASK = 0xF;
inline constexpr uint32_t ROOT_EXTRA_SHIFT = 4;
inline constexpr uint32_t ROOT_EXTRA_MASK = 0x7;
inline constexpr uint32_t ROOT_LITERAL_FLAG = 0x80;
inline constexpr uint32_t ROOT_VALUE_SHIFT = 8;
inline constexpr uint32_t ROOT_KIND_END_OF_BLOCK = 6; // in the extra-bits field: symbol 256
inline constexpr uint32_t ROOT_KIND_INVALID = 7;      // in the extra-bits field: symbols 286 and 287
inline constexpr uint32_t MIN_MATCH = 3;

// Layout of a distance root entry: symbol << ROOT_SYMBOL_SHIFT | code length.
inline constexpr uint32_t ROOT_SYMBOL_SHIFT = 4;

// Literal/length root entry of symbol with a code of length bits.
constexpr uint16_t literal_root_entry(uint32_t symbol, uint32_t length)
{
    uint32_t entry = length;
    if (symbol < END_OF_BLOCK) {
        entry |= ROOT_LITERAL_FLAG | symbol << ROOT_VALUE_SHIFT;
    } else if (symbol == END_OF_BLOCK) {
        entry |= ROOT_KIND_END_OF_BLOCK << ROOT_EXTRA_SHIFT;
    } else if (symbol > LAST_LENGTH_SYMBOL) {
        entry |= ROOT_KIND_INVALID << ROOT_EXTRA_SHIFT;
    } else {
        const uint32_t index = symbol - FIRST_LENGTH_SYMBOL;
        entry |= static_cast<uint32_t>(LENGTH_EXTRA[index]) << ROOT_EXTRA_SHIFT |
            static_cast<uint32_t>(LENGTH_BASE[index] - MIN_MATCH) << ROOT_VALUE_SHIFT;
    }
    return static_cast<uint16_t>(entry);
}

constexpr uint16_t distance_root_entry(uint32_t symbol, uint32_t length)
{
    return static_cast<uint16_t>(symbol << ROOT_SYMBOL_SHIFT | length);
}

// Layout of a wide literal/length entry (the tables of a workspace), which
// carries a literal, two literals, or a match length with its extra bits
// counted in, so that most turns of the fast loop cost one lookup:
//   bits 0-7    bits the entry consumes: both codes of a pair of literals, or
//               the code and the extra bits of a match length; 0 for an
//               exceptional entry
//   bits 8-11   code length of a match length code: where its extra bits start
//   bit 12      a literal, or with bit 13 a pair of them
//   bit 13      a second literal follows the first
//   bit 14      exceptional: a code longer than the index, bits that match no
//               code, the end of the block or symbols 286 and 287, all decoded
//               through the canonical code
//   bits 16-23  the literal (the first of a pair); bits 24-31 the second
//               literal of a pair, or the literal again
//   bits 16-24  the match length base (3 to 258)
// A wide distance entry has the same bits 0-11 and 14, and the distance base
// (1 to 24577) in bits 16-31.
inline constexpr uint32_t WIDE_CONSUMED_MASK = 0xFF;
inline constexpr uint32_t WIDE_CODE_LENGTH_SHIFT = 8;
inline constexpr uint32_t WIDE_LITERAL = 1u << 12;
inline constexpr uint32_t WIDE_PAIR_SHIFT = 13;
inline constexpr uint32_t WIDE_PAIR = 1u << WIDE_PAIR_SHIFT;
inline constexpr uint32_t WIDE_EXCEPTIONAL = 1u << 14;
inline constexpr uint32_t WIDE_VALUE_SHIFT = 16;
inline constexpr uint32_t WIDE_SECOND_LITERAL_SHIFT = 24;
inline constexpr uint32_t WIDE_BYTE_MASK = 0xFF;

// Wide literal/length entry of symbol with a code of length bits; length 0
// for a symbol whose code is consumed already.
constexpr uint32_t wide_literal_entry(uint32_t symbol, uint32_t length)
{
    if (symbol < END_OF_BLOCK)
        return length | WIDE_LITERAL | symbol << WIDE_VALUE_SHIFT | symbol << WIDE_SECOND_LITERAL_SHIFT;
    if (symbol == END_OF_BLOCK || symbol > LAST_LENGTH_SYMBOL)
        return WIDE_EXCEPTIONAL;
    const uint32_t index = symbol - FIRST_LENGTH_SYMBOL;
    return (length + LENGTH_EXTRA[index]) | length << WIDE_CODE_LENGTH_SHIFT |
        static_cast<uint32_t>(LENGTH_BASE[index]) << WIDE_VALUE_SHIFT;
}

// Wide distance entry of symbol (below INFLATE_MAX_DISTANCES) with a code of
// length bits; the two symbols beyond are exceptional.
constexpr uint32_t wide_distance_entry(uint32_t symbol, uint32_t length)
{
    if (symbol >= INFLATE_MAX_DISTANCES)
        return WIDE_EXCEPTIONAL;
    return (length + DISTANCE_EXTRA[symbol]) | length << WIDE_CODE_LENGTH_SHIFT |
        static_cast<uint32_t>(DISTANCE_BASE[symbol]) << WIDE_VALUE_SHIFT;
}

// The i-th of length bits of code, counted from the most significant,
// becomes bit i: Huffman codes arrive most significant bit first.
constexpr uint32_t reverse_bits(uint32_t code, uint32_t length)
{
    uint32_t reversed = 0;
    for (uint32_t i = 0; i < length; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
}

// Fills the 2^bits entries of table from a built canonical code. Every index
// whose low bits begin with a code of at most `bits` bits gets the entry
// make_entry gives that code; the rest get `other`, to be decoded through the
// counts and symbols.
//
// Format notes: the input delivers a Huffman code most significant bit
// first, so the code's bits appear reversed in the buffer's low bits; a code
// of L bits fills every 2^L-th entry from its reversed value on.
template <typename entry_t>
constexpr void build_lookup_table(
    const huffman_t* code, entry_t* table, uint32_t bits, entry_t (*make_entry)(uint32_t, uint32_t), entry_t other)
{
    const uint32_t size = 1u << bits;
    for (uint32_t i = 0; i < size; ++i)
        table[i] = other;
    uint32_t next_code = 0; // canonical code of the next symbol
    uint32_t index = 0;     // index of that symbol in code->symbols
    for (uint32_t len = 1; len <= code->max_length && len <= bits; ++len) {
        for (uint32_t k = 0; k < code->counts[len]; ++k, ++next_code, ++index) {
            const entry_t entry = make_entry(code->symbols[index], len);
            for (uint32_t i = reverse_bits(next_code, len); i < size; i += 1u << len)
                table[i] = entry;
        }
        next_code <<= 1;
    }
}

// The two fixed codes of RFC 1951 section 3.2.6, built by the compiler.
extern const huffman_t FIXED_LITERAL_TABLE;
extern const huffman_t FIXED_DISTANCE_TABLE;

// Builds the root tables of the record's own codes (first_table and
// distance_table) over its code lengths, which are no longer needed, and
// marks the workspace's wide tables as those of an earlier block.
void build_root_tables(inflate_t* inflater);

// The codes of the block being decoded with their root tables.
struct fast_codes_t {
    const huffman_t* literal;      // literal/length code
    const uint16_t* literal_root;  // its root table
    const huffman_t* distance;     // distance code
    const uint16_t* distance_root; // its root table
};

inline uint32_t least(uint32_t a, uint32_t b)
{
    return a < b ? a : b;
}

// The fixed codes or the block's own ones, whichever the block uses.
fast_codes_t codes_in_use(const inflate_t* inflater);

// The codes of the block being decoded with their wide tables.
struct wide_codes_t {
    const huffman_t* literal;       // literal/length code
    const uint32_t* literal_table;  // its wide table
    const huffman_t* distance;      // distance code
    const uint32_t* distance_table; // its wide table
};

// The wide tables of the codes in use: the fixed ones, built by the compiler,
// or those of the block's own codes in the record's workspace, which are
// built there first unless the workspace holds them already.
wide_codes_t wide_codes_in_use(inflate_t* inflater);

// Accounts for n bytes written at the output: moves the output on, takes the
// space and counts the total, which stops at its maximum instead of
// wrapping, so that the distance check stays sound past 4 GiB.
void advance_output(inflate_t* inflater, uint32_t n);

// True when the fast loop may run: no window, and enough input and output
// space that no symbol can run out of either.
bool fast_path_usable(const inflate_t* inflater, const bitstream_t* stream);

// The fast loop; its contract heads inflate_fast.cpp.
step_t decode_fast(inflate_t* inflater, bitstream_t* stream);

// Which compiled variant of the fast loop runs: the best one the processor
// can run (BMI2 where it has it), or the plain one, which the tests force so
// that both run on every machine.
enum class fast_variant_t {
    BEST,
    PORTABLE,
};
void force_fast_variant(fast_variant_t variant);

} // namespace inflate_detail
