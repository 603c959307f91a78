// Resumable raw-Deflate decoder (RFC 1951): bit input, canonical Huffman
// codes decoded one bit at a time, and the block state machine.
//
// The assertions below catch callers' programming errors; they stay active in
// release builds because a wrong call would otherwise corrupt memory.
#undef NDEBUG
#include "streams.h"

#include <cassert>
#include <cstring>

namespace {

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

// Block types of the 2-bit BTYPE field.
enum block_type_t : uint32_t {
    BLOCK_STORED = 0,
    BLOCK_FIXED = 1,
    BLOCK_DYNAMIC = 2,
};

// Result of a step of the state machine that wants the next step run.
constexpr int STEP_CONTINUE = -1;

} // namespace

// Format notes: bits are packed least significant first, so a value of n
// bits is the low n bits of the buffer. At most 24 bits are asked for at once
// so that the buffer, fetched a byte at a time, never overflows 32 bits.
uint32_t bitstream_extract(bitstream_t* stream, uint32_t count)
{
    assert(count <= 24); // literal, so that the failure names the limit itself
    while (stream->bit_count < count) {
        if (stream->bytes_left == 0) {
            return BITSTREAM_EOF;
        }
        stream->bit_buffer |= static_cast<uint32_t>(*stream->cur) << stream->bit_count;
        stream->cur++;
        stream->bytes_left--;
        stream->bit_count += 8;
    }
    uint32_t value = stream->bit_buffer & ((1u << count) - 1);
    stream->bit_buffer >>= count;
    stream->bit_count -= count;
    return value;
}

void bitstream_align(bitstream_t* stream)
{
    uint32_t drop = stream->bit_count % 8;
    stream->bit_buffer >>= drop;
    stream->bit_count -= drop;
}

// Rebuilds the buffer from the input bytes: the n given-back bits and the
// bits still buffered are the last n + bit_count bits before cur. The first
// of those bytes is only partly restored; then up to three whole bytes are
// buffered again, which keeps the buffer within 32 bits.
void bitstream_unread(bitstream_t* stream, uint32_t n)
{
    if (n == 0) {
        return;
    }
    uint32_t t = n + stream->bit_count - 1;
    stream->cur -= t / 8 + 1;
    stream->bytes_left += t / 8;
    stream->bit_buffer = static_cast<uint32_t>(*stream->cur) >> (7 - t % 8);
    stream->bit_count = t % 8 + 1;
    stream->cur++;
    for (int fetched = 0; fetched < 3 && stream->bytes_left != 0; ++fetched) {
        stream->bit_buffer |= static_cast<uint32_t>(*stream->cur) << stream->bit_count;
        stream->cur++;
        stream->bytes_left--;
        stream->bit_count += 8;
    }
}

uint32_t bitstream_bits_left(const bitstream_t* stream)
{
    uint64_t bits = 8ull * stream->bytes_left + stream->bit_count;
    return bits > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bits);
}

namespace {

// Canonical code construction shared by huffman_build and the compile-time
// fixed tables; see huffman_build for the contract.
//
// Format notes: codes of one length are consecutive integers, shorter codes
// come first, and within one length the symbols are in increasing order, so
// the counts of each length and the symbols in that order define the code.
// "left" counts the codes still unused at each length; below zero the lengths
// ask for more codes than exist.
constexpr int build_canonical_code(huffman_t* table, const uint16_t* lengths, uint16_t n,
                                   uint16_t max_length)
{
    assert(max_length <= INFLATE_MAX_BITS);
    table->max_length = max_length;
    for (uint16_t len = 0; len <= max_length; ++len) {
        table->counts[len] = 0;
    }
    for (uint16_t symbol = 0; symbol < n; ++symbol) {
        assert(lengths[symbol] <= max_length);
        table->counts[lengths[symbol]]++;
    }
    if (table->counts[0] == n) {
        table->max_length = 0; // no code: every decode fails at once
        return 0;
    }
    int left = 1;
    for (uint16_t len = 1; len <= max_length; ++len) {
        left = 2 * left - table->counts[len];
        if (left < 0) {
            return left;
        }
    }
    uint16_t offsets[INFLATE_MAX_BITS + 1] = {};
    for (uint16_t len = 1; len < max_length; ++len) {
        offsets[len + 1] = offsets[len] + table->counts[len];
    }
    for (uint16_t symbol = 0; symbol < n; ++symbol) {
        if (lengths[symbol] != 0) {
            table->symbols[offsets[lengths[symbol]]++] = symbol;
        }
    }
    return left;
}

// Arrays of the two fixed codes (RFC 1951 section 3.2.6).
struct fixed_code_arrays_t {
    uint16_t literal_counts[INFLATE_MAX_BITS + 1];     // counts of the literal/length code
    uint16_t literal_symbols[INFLATE_FIXED_LITERALS];  // its symbols in code order
    uint16_t distance_counts[INFLATE_MAX_BITS + 1];    // counts of the distance code
    uint16_t distance_symbols[INFLATE_MAX_DISTANCES];  // its symbols in code order
};

constexpr fixed_code_arrays_t make_fixed_code_arrays()
{
    fixed_code_arrays_t arrays = {};
    uint16_t lengths[INFLATE_FIXED_LITERALS] = {};
    for (uint16_t symbol = 0; symbol < INFLATE_FIXED_LITERALS; ++symbol) {
        lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
    }
    huffman_t literal = {0, arrays.literal_counts, arrays.literal_symbols};
    build_canonical_code(&literal, lengths, INFLATE_FIXED_LITERALS, INFLATE_MAX_BITS);
    for (uint16_t symbol = 0; symbol < INFLATE_MAX_DISTANCES; ++symbol) {
        lengths[symbol] = 5;
    }
    huffman_t distance = {0, arrays.distance_counts, arrays.distance_symbols};
    build_canonical_code(&distance, lengths, INFLATE_MAX_DISTANCES, INFLATE_MAX_BITS);
    return arrays;
}

static_assert(make_fixed_code_arrays().literal_counts[7] == 24 &&
                  make_fixed_code_arrays().literal_counts[8] == 152 &&
                  make_fixed_code_arrays().literal_counts[9] == 112 &&
                  make_fixed_code_arrays().literal_symbols[0] == 256 &&
                  make_fixed_code_arrays().distance_counts[5] == 30,
              "fixed codes must be built at compile time");

// Constant-initialised from the compile-time builder: no code runs at start
// and nothing writes them afterwards.
fixed_code_arrays_t fixed_arrays = make_fixed_code_arrays();
const huffman_t FIXED_LITERAL_TABLE = {INFLATE_MAX_BITS, fixed_arrays.literal_counts,
                                       fixed_arrays.literal_symbols};
const huffman_t FIXED_DISTANCE_TABLE = {INFLATE_MAX_BITS, fixed_arrays.distance_counts,
                                        fixed_arrays.distance_symbols};

// Order in which the code-length code lengths are stored (RFC 1951 3.2.7).
constexpr uint16_t CODE_LENGTH_ORDER[INFLATE_CODE_LENGTH_CODES] = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bases and extra bits of length symbols 257 to 285 (RFC 1951 3.2.5).
constexpr uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint16_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// Bases and extra bits of distance symbols 0 to 29.
constexpr uint16_t DISTANCE_BASE[INFLATE_MAX_DISTANCES] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint16_t DISTANCE_EXTRA[INFLATE_MAX_DISTANCES] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,
                                                            4, 4, 5, 5, 6, 6, 7,  7,  8,  8,
                                                            9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr uint16_t END_OF_BLOCK = 256;      // literal/length symbol that ends a block
constexpr uint16_t FIRST_LENGTH_SYMBOL = 257;
constexpr uint16_t LAST_LENGTH_SYMBOL = 285;
constexpr uint16_t FIRST_REPEAT_SYMBOL = 16; // code-length symbols 16 to 18 repeat

// Layout of a literal/length root entry, which carries everything the fast
// path needs, so that a literal or a match length costs one lookup:
//   bits 0-3   code length (0 where no code of at most the index width matches:
//              the whole entry is 0 then)
//   bits 4-6   extra bits of a match length (0 to 5), or one of the kinds below
//   bit 7      set for a literal
//   bits 8-15  the literal byte, or the match length base minus 3 (0 to 255)
constexpr uint32_t ROOT_LENGTH_MASK = 0xF;
constexpr uint32_t ROOT_EXTRA_SHIFT = 4;
constexpr uint32_t ROOT_EXTRA_MASK = 0x7;
constexpr uint32_t ROOT_LITERAL_FLAG = 0x80;
constexpr uint32_t ROOT_VALUE_SHIFT = 8;
constexpr uint32_t ROOT_KIND_END_OF_BLOCK = 6; // in the extra-bits field: symbol 256
constexpr uint32_t ROOT_KIND_INVALID = 7;      // in the extra-bits field: symbols 286 and 287
constexpr uint32_t MIN_MATCH = 3;

// Layout of a distance root entry: symbol << ROOT_SYMBOL_SHIFT | code length.
constexpr uint32_t ROOT_SYMBOL_SHIFT = 4;

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

using root_entry_maker_t = uint16_t (*)(uint32_t symbol, uint32_t length);

constexpr uint32_t reverse_bits(uint32_t code, uint32_t length)
{
    uint32_t reversed = 0;
    for (uint32_t i = 0; i < length; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
}

// Fills the 2^root_bits entries of root from a built canonical code. Every
// index whose low bits begin with a code of at most root_bits bits gets the
// entry make_entry gives that code; the rest stay 0, to be decoded through
// the counts and symbols.
//
// Format notes: the input delivers a Huffman code most significant bit
// first, so the code's bits appear reversed in the buffer's low bits; a code
// of L bits fills every 2^L-th entry from its reversed value on.
constexpr void build_root_table(const huffman_t* table, uint16_t* root, uint32_t root_bits,
                                root_entry_maker_t make_entry)
{
    const uint32_t size = 1u << root_bits;
    for (uint32_t i = 0; i < size; ++i) {
        root[i] = 0;
    }
    uint32_t code = 0;  // canonical code of the next symbol
    uint32_t index = 0; // index of that symbol in table->symbols
    for (uint32_t len = 1; len <= table->max_length && len <= root_bits; ++len) {
        for (uint32_t k = 0; k < table->counts[len]; ++k, ++code, ++index) {
            const uint16_t entry = make_entry(table->symbols[index], len);
            for (uint32_t i = reverse_bits(code, len); i < size; i += 1u << len) {
                root[i] = entry;
            }
        }
        code <<= 1;
    }
}

constexpr inflate_root_tables_t make_fixed_root_tables()
{
    fixed_code_arrays_t arrays = make_fixed_code_arrays();
    const huffman_t literal = {INFLATE_MAX_BITS, arrays.literal_counts, arrays.literal_symbols};
    const huffman_t distance = {INFLATE_MAX_BITS, arrays.distance_counts, arrays.distance_symbols};
    inflate_root_tables_t roots = {};
    build_root_table(&literal, roots.literal, INFLATE_LITERAL_ROOT_BITS, literal_root_entry);
    build_root_table(&distance, roots.distance, INFLATE_DISTANCE_ROOT_BITS, distance_root_entry);
    return roots;
}

// Root tables of the fixed codes, built by the compiler. Codes 0000000,
// 11000111, 111111111 and 0000001 are symbols 256, 287, 255 and 257, found at
// their bit-reversed indices; distance codes 30 and 31 do not exist, so their
// entries are empty.
constexpr inflate_root_tables_t FIXED_ROOT_TABLES = make_fixed_root_tables();
static_assert(FIXED_ROOT_TABLES.literal[0] == (ROOT_KIND_END_OF_BLOCK << ROOT_EXTRA_SHIFT | 7) &&
                  FIXED_ROOT_TABLES.literal[0xE3] == (ROOT_KIND_INVALID << ROOT_EXTRA_SHIFT | 8) &&
                  FIXED_ROOT_TABLES.literal[0x1FF] == (255 << ROOT_VALUE_SHIFT | ROOT_LITERAL_FLAG | 9) &&
                  FIXED_ROOT_TABLES.literal[0x40] == 7 &&
                  FIXED_ROOT_TABLES.distance[0] == (0 << ROOT_SYMBOL_SHIFT | 5) &&
                  FIXED_ROOT_TABLES.distance[0x1F] == 0,
              "fixed root tables must be built at compile time");

void fetch_byte(bitstream_t* stream)
{
    stream->bit_buffer |= static_cast<uint32_t>(*stream->cur) << stream->bit_count;
    stream->cur++;
    stream->bytes_left--;
    stream->bit_count += 8;
}

} // namespace

int huffman_build(huffman_t* table, const uint16_t* lengths, uint16_t n, uint16_t max_length)
{
    return build_canonical_code(table, lengths, n, max_length);
}

// Format notes: Huffman codes are packed starting with their most significant
// bit, so the code is assembled bit by bit, and at each length the codes of
// that length are the integers first .. first + counts[L] - 1.
//
// The bits are only looked at until a code matches; they are consumed then,
// so running out of input leaves the stream as it was apart from the bytes
// moved into the buffer. That keeps a code split between two pieces of input
// decodable without reading the first piece again.
int huffman_decode(const huffman_t* table, bitstream_t* stream)
{
    int code = 0;  // bits of the code so far
    int first = 0; // first code of the current length
    int index = 0; // index of that first code's symbol
    for (uint32_t len = 1; len <= table->max_length; ++len) {
        if (len > stream->bit_count) {
            if (stream->bytes_left == 0) {
                return HUFFMAN_NEED_INPUT;
            }
            fetch_byte(stream);
        }
        code |= (stream->bit_buffer >> (len - 1)) & 1;
        int count = table->counts[len];
        if (static_cast<uint16_t>(code - first) < count) {
            stream->bit_buffer >>= len;
            stream->bit_count -= len;
            return table->symbols[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return HUFFMAN_NO_CODE;
}

namespace {

uint32_t least(uint32_t a, uint32_t b)
{
    return a < b ? a : b;
}

// Counts decoded bytes. The count stops at its maximum instead of wrapping, so
// that the distance check stays sound on streams longer than 4 GiB.
void add_total(inflate_t* inflater, uint32_t n)
{
    inflater->total = n > UINT32_MAX - inflater->total ? UINT32_MAX : inflater->total + n;
}

// Appends n bytes to the window, which has room for them before its end.
void write_window(inflate_t* inflater, const uint8_t* bytes, uint32_t n)
{
    memcpy(inflater->window_position, bytes, n);
    inflater->window_position += n;
    if (inflater->window_position == inflater->window + inflater->window_size) {
        inflater->window_position = inflater->window;
    }
}

uint32_t window_room(const inflate_t* inflater)
{
    return static_cast<uint32_t>(inflater->window + inflater->window_size - inflater->window_position);
}

// bitstream_extract for the extra bits of a length or distance, most of
// which have none: taking no bits cannot fail and needs no call.
inline uint32_t extract_extra_bits(bitstream_t* stream, uint32_t count)
{
    return count == 0 ? 0 : bitstream_extract(stream, count);
}

int step_header(inflate_t* inflater, bitstream_t* stream)
{
    if (inflater->last_block) {
        return INFLATE_DONE;
    }
    uint32_t bits = bitstream_extract(stream, 3);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    switch (bits >> 1) {
    case BLOCK_STORED:
        bitstream_align(stream);
        inflater->state = STATE_STORED_LENGTH;
        break;
    case BLOCK_FIXED:
        inflater->literal_table_in_use = &FIXED_LITERAL_TABLE;
        inflater->distance_table_in_use = &FIXED_DISTANCE_TABLE;
        inflater->state = STATE_SYMBOL;
        break;
    case BLOCK_DYNAMIC:
        inflater->literal_table_in_use = &inflater->first_table;
        inflater->distance_table_in_use = &inflater->distance_table;
        inflater->state = STATE_DYNAMIC_HEADER;
        break;
    default:
        return INFLATE_DATA_ERROR;
    }
    inflater->last_block = bits & 1;
    return STEP_CONTINUE;
}

int step_stored_length(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 16);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    inflater->length = static_cast<uint16_t>(bits);
    inflater->state = STATE_STORED_CHECK;
    return STEP_CONTINUE;
}

// Format notes: NLEN is the one's complement of LEN, a check on the header.
int step_stored_check(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 16);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    if (inflater->length != (~bits & 0xFFFFu)) {
        return INFLATE_DATA_ERROR;
    }
    inflater->state = STATE_STORED_COPY;
    return STEP_CONTINUE;
}

// Copies the stored bytes straight from the input. The bit buffer is empty
// here: a successful step leaves at most 13 bits buffered, the alignment
// leaves whole bytes of them, and LEN and NLEN take the next 32 bits.
int step_stored_copy(inflate_t* inflater, bitstream_t* stream)
{
    while (inflater->length > 0) {
        if (stream->bytes_left == 0) {
            return INFLATE_NEED_INPUT;
        }
        if (inflater->output_space == 0) {
            return INFLATE_OUTPUT_FULL;
        }
        uint32_t n = least(least(inflater->length, stream->bytes_left), inflater->output_space);
        if (inflater->window != nullptr) {
            n = least(n, window_room(inflater));
            write_window(inflater, stream->cur, n);
        }
        memcpy(inflater->output, stream->cur, n);
        inflater->output += n;
        inflater->output_space -= n;
        stream->cur += n;
        stream->bytes_left -= n;
        inflater->length = static_cast<uint16_t>(inflater->length - n);
        add_total(inflater, n);
    }
    inflater->state = STATE_HEADER;
    return STEP_CONTINUE;
}

// The steps of one literal or match. Each step that completes calls the next
// one directly, and step_symbol loops over whole symbols, so the dispatcher
// is not passed in between; they are inlined into that loop. A step that must
// pause still leaves its own state behind, so the record resumes exactly as
// if every step had been dispatched on its own.
#define ALWAYS_INLINE __attribute__((always_inline))
int step_length_extra(inflate_t* inflater, bitstream_t* stream);
int step_distance_symbol(inflate_t* inflater, bitstream_t* stream);
int step_distance_extra(inflate_t* inflater, bitstream_t* stream);
int step_literal(inflate_t* inflater);
int step_match_copy(inflate_t* inflater);
bool fast_path_usable(const inflate_t* inflater, const bitstream_t* stream);

// Decodes symbols of a Huffman block until the block ends, a step pauses or
// fails, or the fast path becomes usable again; literals and matches go
// through their steps without the dispatcher in between.
int step_symbol(inflate_t* inflater, bitstream_t* stream)
{
    int result = STEP_CONTINUE;
    while (result == STEP_CONTINUE && !fast_path_usable(inflater, stream)) {
        const int symbol = huffman_decode(inflater->literal_table_in_use, stream);
        if (symbol == HUFFMAN_NEED_INPUT) {
            return INFLATE_NEED_INPUT;
        }
        if (symbol < 0 || symbol > LAST_LENGTH_SYMBOL) {
            return INFLATE_DATA_ERROR;
        }
        if (symbol == END_OF_BLOCK) {
            inflater->state = STATE_HEADER;
            return STEP_CONTINUE;
        }
        if (symbol < END_OF_BLOCK) {
            inflater->symbol = static_cast<int16_t>(symbol);
            inflater->state = STATE_LITERAL;
            result = step_literal(inflater);
        } else {
            inflater->symbol = static_cast<int16_t>(symbol - FIRST_LENGTH_SYMBOL);
            inflater->state = STATE_LENGTH_EXTRA;
            result = step_length_extra(inflater, stream);
        }
    }
    return result;
}

inline ALWAYS_INLINE int step_length_extra(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = extract_extra_bits(stream, LENGTH_EXTRA[inflater->symbol]);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    inflater->length = static_cast<uint16_t>(LENGTH_BASE[inflater->symbol] + bits);
    inflater->state = STATE_DISTANCE_SYMBOL;
    return step_distance_symbol(inflater, stream);
}

inline ALWAYS_INLINE int step_distance_symbol(inflate_t* inflater, bitstream_t* stream)
{
    int symbol = huffman_decode(inflater->distance_table_in_use, stream);
    if (symbol == HUFFMAN_NEED_INPUT) {
        return INFLATE_NEED_INPUT;
    }
    if (symbol < 0 || symbol >= INFLATE_MAX_DISTANCES) {
        return INFLATE_DATA_ERROR;
    }
    inflater->symbol = static_cast<int16_t>(symbol);
    inflater->state = STATE_DISTANCE_EXTRA;
    return step_distance_extra(inflater, stream);
}

// A match may only reach back into bytes already decoded, and with a window
// only as far as the window holds, so that it never reads outside either.
inline ALWAYS_INLINE int step_distance_extra(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = extract_extra_bits(stream, DISTANCE_EXTRA[inflater->symbol]);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    uint32_t distance = DISTANCE_BASE[inflater->symbol] + bits;
    if (distance > inflater->total) {
        return INFLATE_DATA_ERROR;
    }
    if (inflater->window != nullptr && distance > inflater->window_size) {
        return INFLATE_DATA_ERROR;
    }
    inflater->distance = static_cast<uint16_t>(distance);
    inflater->state = STATE_MATCH_COPY;
    return step_match_copy(inflater);
}

inline ALWAYS_INLINE int step_literal(inflate_t* inflater)
{
    if (inflater->output_space == 0) {
        return INFLATE_OUTPUT_FULL;
    }
    uint8_t literal = static_cast<uint8_t>(inflater->symbol);
    *inflater->output++ = literal;
    inflater->output_space--;
    if (inflater->window != nullptr) {
        write_window(inflater, &literal, 1);
    }
    add_total(inflater, 1);
    inflater->state = STATE_SYMBOL;
    return STEP_CONTINUE;
}

// Copies the match from the output area itself, which holds everything
// decoded since the reset. Byte by byte, so that a distance shorter than the
// length repeats the pattern.
int copy_match_from_output(inflate_t* inflater)
{
    while (inflater->length > 0) {
        if (inflater->output_space == 0) {
            return INFLATE_OUTPUT_FULL;
        }
        uint32_t n = least(inflater->length, inflater->output_space);
        uint8_t* to = inflater->output;
        const uint8_t* from = to - inflater->distance;
        for (uint32_t i = 0; i < n; ++i) {
            to[i] = from[i];
        }
        inflater->output += n;
        inflater->output_space -= n;
        inflater->length = static_cast<uint16_t>(inflater->length - n);
        add_total(inflater, n);
    }
    inflater->state = STATE_SYMBOL;
    return STEP_CONTINUE;
}

// Copies the match from the circular window to the output and the window.
// The source is found again from the window position on every call, so a
// copy resumed after the output area moved reads the same bytes.
int copy_match_from_window(inflate_t* inflater)
{
    uint32_t position = static_cast<uint32_t>(inflater->window_position - inflater->window);
    uint32_t source = position >= inflater->distance
                          ? position - inflater->distance
                          : position + inflater->window_size - inflater->distance;
    while (inflater->length > 0) {
        if (inflater->output_space == 0) {
            return INFLATE_OUTPUT_FULL;
        }
        uint32_t n = least(least(inflater->length, inflater->output_space),
                           least(inflater->window_size - source, inflater->window_size - position));
        inflater->copy_source = inflater->window + source;
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t byte = inflater->copy_source[i];
            inflater->output[i] = byte;
            inflater->window_position[i] = byte;
        }
        inflater->output += n;
        inflater->output_space -= n;
        inflater->length = static_cast<uint16_t>(inflater->length - n);
        add_total(inflater, n);
        source = (source + n) % inflater->window_size;
        position = (position + n) % inflater->window_size;
        inflater->window_position = inflater->window + position;
    }
    inflater->state = STATE_SYMBOL;
    return STEP_CONTINUE;
}

inline ALWAYS_INLINE int step_match_copy(inflate_t* inflater)
{
    return inflater->window != nullptr ? copy_match_from_window(inflater) : copy_match_from_output(inflater);
}

// Format notes: HLIT may declare up to 288 literal/length codes and HDIST up
// to 32 distance codes, but symbols 286, 287, 30 and 31 never occur in valid
// data, so such headers are refused.
int step_dynamic_header(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 14);
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    uint16_t literals = static_cast<uint16_t>((bits & 0x1F) + 257);
    uint16_t distances = static_cast<uint16_t>(((bits >> 5) & 0x1F) + 1);
    if (literals > INFLATE_MAX_LITERALS || distances > INFLATE_MAX_DISTANCES) {
        return INFLATE_DATA_ERROR;
    }
    inflater->length = literals;
    inflater->distance = distances;
    inflater->counter = static_cast<uint16_t>((bits >> 10) + 4);
    inflater->symbol = 0;
    inflater->state = STATE_CODE_LENGTH_LENGTHS;
    return STEP_CONTINUE;
}

// Format notes: the code-length code may be incomplete; a code it lacks is
// simply never seen, or seen as an undecodable bit sequence.
int step_code_length_lengths(inflate_t* inflater, bitstream_t* stream)
{
    while (inflater->counter > 0) {
        uint32_t bits = bitstream_extract(stream, 3);
        if (bits == BITSTREAM_EOF) {
            return INFLATE_NEED_INPUT;
        }
        inflater->code_lengths[CODE_LENGTH_ORDER[inflater->symbol]] = static_cast<uint16_t>(bits);
        inflater->symbol++;
        inflater->counter--;
    }
    for (int i = inflater->symbol; i < INFLATE_CODE_LENGTH_CODES; ++i) {
        inflater->code_lengths[CODE_LENGTH_ORDER[i]] = 0;
    }
    if (huffman_build(&inflater->first_table, inflater->code_lengths, INFLATE_CODE_LENGTH_CODES,
                      INFLATE_MAX_BITS) < 0) {
        return INFLATE_DATA_ERROR;
    }
    inflater->counter = static_cast<uint16_t>(inflater->length + inflater->distance);
    inflater->next_length = inflater->code_lengths;
    inflater->state = STATE_CODE_LENGTHS;
    return STEP_CONTINUE;
}

int step_code_lengths(inflate_t* inflater, bitstream_t* stream)
{
    int symbol = huffman_decode(&inflater->first_table, stream);
    if (symbol == HUFFMAN_NEED_INPUT) {
        return INFLATE_NEED_INPUT;
    }
    if (symbol < 0) {
        return INFLATE_DATA_ERROR;
    }
    if (symbol >= FIRST_REPEAT_SYMBOL) {
        inflater->symbol = static_cast<int16_t>(symbol);
        inflater->state = STATE_REPEAT;
        return STEP_CONTINUE;
    }
    *inflater->next_length++ = static_cast<uint16_t>(symbol);
    inflater->counter--;
    inflater->state = inflater->counter == 0 ? STATE_BUILD_TABLES : STATE_CODE_LENGTHS;
    return STEP_CONTINUE;
}

// Format notes: code 16 repeats the previous length 3 to 6 times, 17 repeats
// a zero 3 to 10 times and 18 repeats a zero 11 to 138 times. A repeat may
// cross from the literal/length lengths into the distance lengths, but not
// past their end.
int step_repeat(inflate_t* inflater, bitstream_t* stream)
{
    uint16_t value = 0;
    uint32_t bits = 0;
    uint32_t count = 0;
    switch (inflater->symbol) {
    case 16:
        if (inflater->next_length == inflater->code_lengths) {
            return INFLATE_DATA_ERROR;
        }
        value = inflater->next_length[-1];
        bits = bitstream_extract(stream, 2);
        count = 3 + bits;
        break;
    case 17:
        bits = bitstream_extract(stream, 3);
        count = 3 + bits;
        break;
    case 18:
        bits = bitstream_extract(stream, 7);
        count = 11 + bits;
        break;
    default:
        return INFLATE_DATA_ERROR;
    }
    if (bits == BITSTREAM_EOF) {
        return INFLATE_NEED_INPUT;
    }
    if (count > inflater->counter) {
        return INFLATE_DATA_ERROR;
    }
    for (uint32_t i = 0; i < count; ++i) {
        *inflater->next_length++ = value;
    }
    inflater->counter = static_cast<uint16_t>(inflater->counter - count);
    inflater->state = inflater->counter > 0 ? STATE_CODE_LENGTHS : STATE_BUILD_TABLES;
    return STEP_CONTINUE;
}

// An incomplete literal/length or distance code is only allowed in the one
// form RFC 1951 permits: a single code of one bit (or no code at all).
bool usable_code(int built, const huffman_t* table, uint16_t n)
{
    if (built < 0) {
        return false;
    }
    return built == 0 || table->counts[0] + table->counts[1] == n;
}

int step_build_tables(inflate_t* inflater)
{
    uint16_t literals = inflater->length;
    uint16_t distances = inflater->distance;
    if (inflater->code_lengths[END_OF_BLOCK] == 0) {
        return INFLATE_DATA_ERROR;
    }
    int built = huffman_build(&inflater->first_table, inflater->code_lengths, literals, INFLATE_MAX_BITS);
    if (!usable_code(built, &inflater->first_table, literals)) {
        return INFLATE_DATA_ERROR;
    }
    built = huffman_build(&inflater->distance_table, inflater->code_lengths + literals, distances,
                          INFLATE_MAX_BITS);
    if (!usable_code(built, &inflater->distance_table, distances)) {
        return INFLATE_DATA_ERROR;
    }
    // The code lengths are no longer needed: the root tables take their place.
    build_root_table(&inflater->first_table, inflater->root_tables.literal, INFLATE_LITERAL_ROOT_BITS,
                     literal_root_entry);
    build_root_table(&inflater->distance_table, inflater->root_tables.distance, INFLATE_DISTANCE_ROOT_BITS,
                     distance_root_entry);
    inflater->state = STATE_SYMBOL;
    return STEP_CONTINUE;
}

// Fast path: Huffman blocks decoded through a 64-bit buffer and the root
// tables while enough input and output space remain that no symbol can run
// out of either.
//
// Input: a refill loads eight bytes, and the loop keeps FAST_MIN_INPUT bytes
// ahead of it. Bits: a refill leaves at least 56 bits buffered, and one
// literal/length code, its extra bits, a distance code and its extra bits
// take at most 15 + 5 + 15 + 13 = 48. Output: one turn of the loop writes a
// run of literals that fits the buffered bits, or one match of MAX_MATCH
// bytes at most, checked again after the literals.
constexpr uint32_t FAST_MIN_INPUT = 16;
constexpr uint32_t MAX_MATCH = 258;
constexpr uint32_t FAST_MIN_OUTPUT = MAX_MATCH;
static_assert(FAST_MIN_INPUT - 7 >= 8, "a second refill after the first must stay within the input");

// The 64-bit bit buffer of the fast path.
struct fast_bits_t {
    uint64_t bits;      // buffered bits, the oldest in bit 0; above count: bits of the byte at in
    uint32_t count;     // number of valid bits
    const uint8_t* in;  // next input byte not yet counted in the buffer
};

// The codes of the block being decoded with their root tables.
struct fast_codes_t {
    const huffman_t* literal;     // literal/length code
    const uint16_t* literal_root; // its root table
    const huffman_t* distance;    // distance code
    const uint16_t* distance_root; // its root table
};

bool fast_path_usable(const inflate_t* inflater, const bitstream_t* stream)
{
    return stream->bytes_left >= FAST_MIN_INPUT && inflater->output_space >= FAST_MIN_OUTPUT &&
           inflater->window == nullptr;
}

fast_codes_t codes_in_use(const inflate_t* inflater)
{
    if (inflater->literal_table_in_use == &FIXED_LITERAL_TABLE) {
        return {&FIXED_LITERAL_TABLE, FIXED_ROOT_TABLES.literal, &FIXED_DISTANCE_TABLE,
                FIXED_ROOT_TABLES.distance};
    }
    return {&inflater->first_table, inflater->root_tables.literal, &inflater->distance_table,
            inflater->root_tables.distance};
}

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
    for (uint32_t i = 0; i < n; ++i) {
        to[i] = from[i];
    }
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
    for (; i + n <= length; i += n) {
        copy_block<n>(out + i, from + i);
    }
    if (i < length) {
        copy_block<n>(out + length - n, from + length - n);
    }
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
inline int decode_match(const fast_codes_t& codes, uint32_t entry, uint64_t history, fast_bits_t* f,
                        uint8_t** out)
{
    const uint32_t extra = (entry >> ROOT_EXTRA_SHIFT) & ROOT_EXTRA_MASK;
    const uint32_t length = (entry >> ROOT_VALUE_SHIFT) + MIN_MATCH + take_bits(f, extra);
    const int code = next_distance_symbol(codes, f);
    if (code < 0) {
        return INFLATE_DATA_ERROR;
    }
    const uint32_t distance = DISTANCE_BASE[code] + take_bits(f, DISTANCE_EXTRA[code]);
    if (distance > history) {
        return INFLATE_DATA_ERROR;
    }
    copy_match_fast(*out, distance, length);
    *out += length;
    return STEP_CONTINUE;
}

// Writes the literals that follow the first one of a refill for as long as
// the root table gives literals and the buffer holds enough bits to look up.
// Returns the root entry of the code that ended the run, not yet consumed,
// or 0 when the bits ran low.
inline uint32_t write_further_literals(const fast_codes_t& codes, fast_bits_t* f, uint8_t** out)
{
    while (f->count >= INFLATE_LITERAL_ROOT_BITS) {
        const uint32_t entry = codes.literal_root[f->bits & LITERAL_ROOT_MASK];
        if ((entry & ROOT_LITERAL_FLAG) == 0) {
            return entry;
        }
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
// Returns STEP_CONTINUE or INFLATE_DATA_ERROR, with the same bytes written
// before the error as the bit-by-bit steps would write. Compiled once per
// instruction set below; see decode_fast.
inline ALWAYS_INLINE int decode_fast_loop(inflate_t* inflater, bitstream_t* stream)
{
    const fast_codes_t codes = codes_in_use(inflater);
    fast_bits_t f = {stream->bit_buffer, stream->bit_count, stream->cur};
    const uint8_t* const in_end = stream->cur + stream->bytes_left;
    uint8_t* out = inflater->output;
    uint8_t* const out_begin = out;
    uint8_t* const out_end = out + inflater->output_space;
    const uint64_t total_before = inflater->total;
    int result = STEP_CONTINUE;
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
            if (entry == 0 || out_end - out < FAST_MIN_OUTPUT) {
                continue;
            }
            refill(&f);
            take_bits(&f, entry & ROOT_LENGTH_MASK);
        }
        const uint32_t kind = (entry >> ROOT_EXTRA_SHIFT) & ROOT_EXTRA_MASK;
        if (kind == ROOT_KIND_END_OF_BLOCK) {
            inflater->state = STATE_HEADER;
            break;
        }
        if (kind == ROOT_KIND_INVALID) {
            result = INFLATE_DATA_ERROR;
            break;
        }
        result = decode_match(codes, entry, total_before + static_cast<uint64_t>(out - out_begin), &f, &out);
        if (result != STEP_CONTINUE) {
            break;
        }
    }
    hand_back(stream, &f);
    const uint32_t produced = static_cast<uint32_t>(out - out_begin);
    inflater->output = out;
    inflater->output_space -= produced;
    add_total(inflater, produced);
    return result;
}

__attribute__((noinline)) int decode_fast_portable(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_loop(inflater, stream);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same loop with BMI2's shifts, which take their count from any register
// and leave the flags alone: the chain from one code to the next gets shorter.
__attribute__((noinline, target("bmi2"))) int decode_fast_bmi2(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_loop(inflater, stream);
}

bool cpu_has_bmi2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2");
}

// The table-driven loop for this processor. Both versions are kept out of
// line so that the bit-by-bit loop that calls them stays compact.
int decode_fast(inflate_t* inflater, bitstream_t* stream)
{
    static const bool bmi2 = cpu_has_bmi2();
    return bmi2 ? decode_fast_bmi2(inflater, stream) : decode_fast_portable(inflater, stream);
}
#else
int decode_fast(inflate_t* inflater, bitstream_t* stream)
{
    return decode_fast_portable(inflater, stream);
}
#endif

int run_step(inflate_t* inflater, bitstream_t* stream)
{
    switch (inflater->state) {
    case STATE_HEADER: return step_header(inflater, stream);
    case STATE_STORED_LENGTH: return step_stored_length(inflater, stream);
    case STATE_STORED_CHECK: return step_stored_check(inflater, stream);
    case STATE_STORED_COPY: return step_stored_copy(inflater, stream);
    case STATE_SYMBOL:
        return fast_path_usable(inflater, stream) ? decode_fast(inflater, stream) : step_symbol(inflater, stream);
    case STATE_LENGTH_EXTRA: return step_length_extra(inflater, stream);
    case STATE_DISTANCE_SYMBOL: return step_distance_symbol(inflater, stream);
    case STATE_DISTANCE_EXTRA: return step_distance_extra(inflater, stream);
    case STATE_LITERAL: return step_literal(inflater);
    case STATE_MATCH_COPY: return step_match_copy(inflater);
    case STATE_DYNAMIC_HEADER: return step_dynamic_header(inflater, stream);
    case STATE_CODE_LENGTH_LENGTHS: return step_code_length_lengths(inflater, stream);
    case STATE_CODE_LENGTHS: return step_code_lengths(inflater, stream);
    case STATE_REPEAT: return step_repeat(inflater, stream);
    case STATE_BUILD_TABLES: return step_build_tables(inflater);
    default: return INFLATE_DATA_ERROR;
    }
}

void reset(inflate_t* inflater)
{
    assert(inflater->window == nullptr || inflater->window_size > 0);
    inflater->first_table = {0, inflater->code_counts, inflater->code_symbols};
    inflater->distance_table = {0, inflater->distance_counts, inflater->distance_symbols};
    inflater->state = STATE_HEADER;
    inflater->last_block = 0;
    inflater->window_position = inflater->window;
    inflater->total = 0;
}

} // namespace

// Runs the state machine until it needs input or output space, finishes or
// meets corrupt data. Every step either completes and moves to the next state
// or returns without changing the state, so a repeated call resumes it.
// Corrupt data leave the record failed until the next reset.
inflate_result_t inflate_process(inflate_t* inflater, bitstream_t* stream)
{
    if (stream == nullptr) {
        reset(inflater);
        return INFLATE_DONE;
    }
    for (;;) {
        int result = run_step(inflater, stream);
        if (result == INFLATE_DATA_ERROR) {
            inflater->state = STATE_FAILED;
        }
        if (result != STEP_CONTINUE) {
            return static_cast<inflate_result_t>(result);
        }
    }
}
