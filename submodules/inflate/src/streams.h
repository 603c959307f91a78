// Resumable decoder for raw Deflate data (RFC 1951).
//
// The decoder allocates nothing: the whole state of a stream lives in one
// caller-owned inflate_t, input arrives through a caller-owned bitstream_t,
// and decoded bytes go to an output area the caller supplies. A call that
// stops for lack of input or of output space resumes exactly where it stopped,
// even inside a Huffman code or a stored block split between input pieces.
//
// Use:
//     inflate_t inf = {};              // window null: the output is the history
//     inflate_process(&inf, nullptr);  // reset
//     inf.output = area; inf.output_space = size;
//     bitstream_t in = {};
//     for each piece: in.cur = piece; in.bytes_left = piece_size;
//                     result = inflate_process(&inf, &in);
//                     stop unless result is INFLATE_DONE or INFLATE_NEED_INPUT
//
// While at least 16 input bytes and 258 bytes of output space remain (24 and
// 262 with a workspace, whose loop reads further ahead), and there is no
// window, literals and matches are decoded through a 64-bit bit buffer and
// small root lookup tables. Near the end of either, the whole
// unread bytes go back to the bitstream_t and decoding goes on bit by bit,
// so results, result codes and every pause are the same as bit by bit alone.
//
// A caller that can spare INFLATE_WORKSPACE_BYTES more may lend the record an
// inflate_workspace_t (set workspace before the reset, as the window): the
// table-driven path then decodes through wider tables kept there, built once
// per dynamic block, which decode most literals two at a time. The results,
// the bytes written and every pause stay the same; only the speed changes.
//
// Without a window a match reads the bytes just before the output pointer,
// so the last INFLATE_MAX_DISTANCE bytes decoded (all of them, when fewer)
// must stand right before output whenever a call starts. Between calls the
// caller may move them, with output, elsewhere, for instance to the start
// of a small buffer once its space has run out: the decoder keeps no other
// pointer into the output area.
//
// The record holds pointers into itself (the tables in use, the next code
// length), so it must stay where it is from the reset to the end of the stream.
#pragma once

#include <cstdint>

// Format limits of RFC 1951.
constexpr uint16_t INFLATE_MAX_BITS = 15;          // maximum bits in a code
constexpr uint16_t INFLATE_MAX_LITERALS = 286;     // literal/length symbols a header may declare
constexpr uint16_t INFLATE_MAX_DISTANCES = 30;     // distance symbols a header may declare
constexpr uint16_t INFLATE_CODE_LENGTH_CODES = 19; // symbols of the code-length code
constexpr uint16_t INFLATE_FIXED_LITERALS = 288;   // literal/length symbols of the fixed code
constexpr uint32_t INFLATE_MAX_DISTANCE = 32768;   // farthest a match may reach back

// Index widths of the root lookup tables of the fast path: codes up to these
// lengths decode with one lookup, longer ones through the canonical code.
// Nine bits hold every fixed literal/length code and most dynamic ones.
constexpr uint32_t INFLATE_LITERAL_ROOT_BITS = 9;
constexpr uint32_t INFLATE_DISTANCE_ROOT_BITS = 6;

// Index widths of the wider tables of a workspace. Eleven bits hold nearly
// every literal/length code of real data and, for most pairs of short
// literal codes, both codes at once; ten bits hold nearly every distance
// code. Longer codes decode through the canonical code.
constexpr uint32_t INFLATE_WIDE_LITERAL_BITS = 11;
constexpr uint32_t INFLATE_WIDE_DISTANCE_BITS = 10;

// Result of bitstream_extract when the input runs out.
constexpr uint32_t BITSTREAM_EOF = 0xFFFFFFFFu;

// Results of huffman_decode besides a symbol.
constexpr int HUFFMAN_NO_CODE = -1;    // no code matches, or the table is empty
constexpr int HUFFMAN_NEED_INPUT = -2; // the input ran out; nothing was consumed

// Results of inflate_process.
enum inflate_result_t {
    INFLATE_DONE = 0,        // the last block is complete; later calls return this at once
    INFLATE_NEED_INPUT = 1,  // the input ran out; call again with more input
    INFLATE_OUTPUT_FULL = 2, // no output space while bytes remain; call again with more space
    INFLATE_DATA_ERROR = 3,  // the data break the format; reset before using the record again
};

// Input cursor. A new stream starts with all fields zero; for each further
// piece of input set cur and bytes_left and keep the two bit fields, which
// carry bits across the boundary between pieces.
struct bitstream_t {
    const uint8_t* cur;  // next unread input byte
    uint32_t bytes_left; // number of input bytes from cur on
    uint32_t bit_buffer; // bits fetched but not yet consumed; the oldest is bit 0
    uint32_t bit_count;  // number of valid bits in bit_buffer
};

// Canonical Huffman code as counts and symbols. Never owns its arrays.
struct huffman_t {
    uint16_t max_length; // longest code length handled; 0 for an empty table
    uint16_t* counts;    // counts[L]: symbols with an L-bit code; counts[0]: symbols without one
    uint16_t* symbols;   // used symbols ordered by code length, then by value
};

// Root lookup tables of one block's codes, indexed by the next input bits
// (first bit in bit 0). The code length is in the low four bits of an entry,
// and an entry is 0 where no code of at most the index width matches. A
// literal/length entry also carries the literal, or the base and extra-bit
// count of a match length; a distance entry is symbol << 4 | code length.
struct inflate_root_tables_t {
    uint16_t literal[1u << INFLATE_LITERAL_ROOT_BITS];   // literal/length code
    uint16_t distance[1u << INFLATE_DISTANCE_ROOT_BITS]; // distance code
};

// Wider lookup tables of the fast path, lent to a record by its caller. Each
// 32-bit entry carries a whole literal, pair of literals, match length base
// with its extra-bit count, or distance base with its extra-bit count; the
// layout belongs to the decoder. The caller neither fills nor reads it, and
// one workspace serves one stream at a time.
struct inflate_workspace_t {
    uint32_t literal[1u << INFLATE_WIDE_LITERAL_BITS];   // literal/length code of the block
    uint32_t distance[1u << INFLATE_WIDE_DISTANCE_BITS]; // distance code of the block
};

// 12 KiB: too much for the record, little beside an image being decoded.
constexpr uint32_t INFLATE_WORKSPACE_BYTES = 12 * 1024;
static_assert(sizeof(inflate_workspace_t) == INFLATE_WORKSPACE_BYTES, "the workspace has its documented size");

// State of one stream.
struct inflate_t {
    uint16_t state;     // resume point (a state_t of the decoder)
    uint8_t last_block; // BFINAL of the block being decoded
    int16_t symbol;     // by state: the literal waiting for space, the length symbol minus 257, the
                        // distance symbol, the repeat code (16 to 18), or while the code-length code's
                        // lengths are read the index of the next one in their stored order
    uint16_t counter;   // code-length code lengths, then code lengths, still to read
    uint16_t length;    // bytes still to copy: of a stored block (its LEN), or of a match
    uint16_t distance;  // distance of the match being copied
    uint16_t literals;  // HLIT: literal/length code lengths of the dynamic block
    uint16_t distances; // HDIST: distance code lengths of the dynamic block
    const huffman_t* literal_table_in_use;            // fixed literal/length table or first_table
    const huffman_t* distance_table_in_use;           // fixed distance table or distance_table
    uint16_t code_counts[INFLATE_MAX_BITS + 1];       // code-length code, then literal/length code
    uint16_t code_symbols[INFLATE_MAX_LITERALS];      // symbols of the same two codes
    uint16_t distance_counts[INFLATE_MAX_BITS + 1];   // counts of the distance code
    uint16_t distance_symbols[INFLATE_MAX_DISTANCES]; // symbols of the distance code
    union {
        uint16_t code_lengths[INFLATE_MAX_LITERALS + INFLATE_MAX_DISTANCES]; // HLIT + HDIST lengths
        inflate_root_tables_t root_tables; // the block's codes once built; the lengths are done then
    };
    uint16_t* next_length;                      // next slot of code_lengths to fill
    huffman_t first_table;                      // code-length code, then literal/length code
    huffman_t distance_table;                   // over distance_counts and distance_symbols
    uint8_t* copy_source;                       // read position of a match
    uint8_t* window;                            // circular window, or null for no window
    uint32_t window_size;                       // bytes in the window
    uint8_t* window_position;                   // next byte of the window to write
    uint8_t* output;                            // where the next decoded byte goes
    uint32_t output_space;                      // bytes that may still be written at output
    uint32_t total;                             // bytes decoded since the reset
    inflate_workspace_t* workspace;             // wider fast-path tables lent by the caller, or null
    const inflate_workspace_t* built_workspace; // the workspace holding this block's tables, or null
};

// The whole state of a stream, kept small enough for a stack or a static.
static_assert(sizeof(inflate_t) < 2048, "inflate_t must stay under 2 KiB");

// Takes the next count bits (0 to 24) and returns them with the first bit of
// the stream in bit 0. Returns BITSTREAM_EOF when the input runs out first:
// the bytes fetched until then stay in the bit buffer and no bit is consumed.
uint32_t bitstream_extract(bitstream_t* stream, uint32_t count);

// Drops the bits left of a partly consumed byte, so that the next whole byte
// starts on a byte boundary of the input.
void bitstream_align(bitstream_t* stream);

// Gives the last n consumed bits back to the stream. The bytes they came from
// must still be readable just before cur, contiguous with it.
void bitstream_unread(bitstream_t* stream, uint32_t n);

// Bits still available: 8 * bytes_left + bit_count, at most 0xFFFFFFFF.
uint32_t bitstream_bits_left(const bitstream_t* stream);

// Builds the canonical code of n code lengths (each at most max_length, which
// is at most INFLATE_MAX_BITS) into the arrays of table: counts needs
// max_length + 1 entries, symbols one per non-zero length. Returns 0 for a
// complete code or for no code at all, a positive number (the codes missing)
// for an incomplete code, and a negative number for an over-subscribed code,
// whose symbols are then left unfilled.
int huffman_build(huffman_t* table, const uint16_t* lengths, uint16_t n, uint16_t max_length);

// Decodes one symbol. Returns the symbol (0 or more), HUFFMAN_NO_CODE when no
// code of up to max_length bits matches, or HUFFMAN_NEED_INPUT when the input
// ran out; then no bit is consumed and the bytes fetched stay buffered.
int huffman_decode(const huffman_t* table, bitstream_t* stream);

// With a null stream: resets the record for a new stream and returns
// INFLATE_DONE. Set window and window_size (at least INFLATE_MAX_DISTANCE for
// arbitrary data) before the reset for window mode, workspace before it for
// the wider tables (it must then stay valid until the stream ends), and
// output and output_space after it. With a stream: decodes as far as input and output
// space allow and returns one of the inflate_result_t values.
inflate_result_t inflate_process(inflate_t* inflater, bitstream_t* stream);
