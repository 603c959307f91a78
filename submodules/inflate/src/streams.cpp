// Resumable raw-Deflate decoder (RFC 1951): bit input, canonical Huffman
// codes decoded one bit at a time, and the block state machine. The codes
// and their lookup tables are built in huffman_tables.cpp.
//
// The assertions below catch callers' programming errors; they stay active in
// release builds because a wrong call would otherwise corrupt memory.
#undef NDEBUG
#include "inflate_internal.h"

#include <cassert>
#include <cstring>

using namespace inflate_detail;

namespace {

// Block types of the 2-bit BTYPE field.
enum block_type_t : uint32_t {
    BLOCK_STORED = 0,
    BLOCK_FIXED = 1,
    BLOCK_DYNAMIC = 2,
};

// Order in which the code-length code lengths are stored (RFC 1951 3.2.7).
constexpr uint16_t CODE_LENGTH_ORDER[INFLATE_CODE_LENGTH_CODES] = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

constexpr uint16_t FIRST_REPEAT_SYMBOL = 16; // code-length symbols 16 to 18 repeat

void fetch_byte(bitstream_t* stream)
{
    stream->bit_buffer |= static_cast<uint32_t>(*stream->cur) << stream->bit_count;
    stream->cur++;
    stream->bytes_left--;
    stream->bit_count += 8;
}

} // namespace

// Format notes: bits are packed least significant first, so a value of n
// bits is the low n bits of the buffer. At most 24 bits are asked for at once
// so that the buffer, fetched a byte at a time, never overflows 32 bits.
uint32_t bitstream_extract(bitstream_t* stream, uint32_t count)
{
    assert(count <= 24); // literal, so that the failure names the limit itself
    while (stream->bit_count < count) {
        if (stream->bytes_left == 0)
            return BITSTREAM_EOF;
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
    if (n == 0)
        return;
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
            if (stream->bytes_left == 0)
                return HUFFMAN_NEED_INPUT;
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

// Appends n bytes to the window, which has room for them before its end.
void write_window(inflate_t* inflater, const uint8_t* bytes, uint32_t n)
{
    memcpy(inflater->window_position, bytes, n);
    inflater->window_position += n;
    if (inflater->window_position == inflater->window + inflater->window_size)
        inflater->window_position = inflater->window;
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

step_t step_header(inflate_t* inflater, bitstream_t* stream)
{
    if (inflater->last_block)
        return step_t::DONE;
    uint32_t bits = bitstream_extract(stream, 3);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
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
    default: return step_t::DATA_ERROR;
    }
    inflater->last_block = bits & 1;
    return step_t::CONTINUE;
}

step_t step_stored_length(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 16);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    inflater->length = static_cast<uint16_t>(bits);
    inflater->state = STATE_STORED_CHECK;
    return step_t::CONTINUE;
}

// Format notes: NLEN is the one's complement of LEN, a check on the header.
step_t step_stored_check(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 16);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    if (inflater->length != (~bits & 0xFFFFu))
        return step_t::DATA_ERROR;
    inflater->state = STATE_STORED_COPY;
    return step_t::CONTINUE;
}

// Copies the stored bytes straight from the input. The bit buffer is empty
// here: a successful step leaves at most 13 bits buffered, the alignment
// leaves whole bytes of them, and LEN and NLEN take the next 32 bits.
step_t step_stored_copy(inflate_t* inflater, bitstream_t* stream)
{
    while (inflater->length > 0) {
        if (stream->bytes_left == 0)
            return step_t::NEED_INPUT;
        if (inflater->output_space == 0)
            return step_t::OUTPUT_FULL;
        uint32_t n = least(least(inflater->length, stream->bytes_left), inflater->output_space);
        if (inflater->window != nullptr) {
            n = least(n, window_room(inflater));
            write_window(inflater, stream->cur, n);
        }
        memcpy(inflater->output, stream->cur, n);
        advance_output(inflater, n);
        stream->cur += n;
        stream->bytes_left -= n;
        inflater->length = static_cast<uint16_t>(inflater->length - n);
    }
    inflater->state = STATE_HEADER;
    return step_t::CONTINUE;
}

// The steps of one literal or match. Each step that completes calls the next
// one directly, and step_symbol loops over whole symbols, so the dispatcher
// is not passed in between; they are inlined into that loop. A step that must
// pause still leaves its own state behind, so the record resumes exactly as
// if every step had been dispatched on its own.
#define ALWAYS_INLINE __attribute__((always_inline))
step_t step_length_extra(inflate_t* inflater, bitstream_t* stream);
step_t step_distance_symbol(inflate_t* inflater, bitstream_t* stream);
step_t step_distance_extra(inflate_t* inflater, bitstream_t* stream);
step_t step_literal(inflate_t* inflater);
step_t step_match_copy(inflate_t* inflater);

// Decodes symbols of a Huffman block until the block ends, a step pauses or
// fails, or the fast path becomes usable again; literals and matches go
// through their steps without the dispatcher in between.
step_t step_symbol(inflate_t* inflater, bitstream_t* stream)
{
    step_t result = step_t::CONTINUE;
    while (result == step_t::CONTINUE && !fast_path_usable(inflater, stream)) {
        const int symbol = huffman_decode(inflater->literal_table_in_use, stream);
        if (symbol == HUFFMAN_NEED_INPUT)
            return step_t::NEED_INPUT;
        if (symbol < 0 || symbol > LAST_LENGTH_SYMBOL)
            return step_t::DATA_ERROR;
        if (symbol == END_OF_BLOCK) {
            inflater->state = STATE_HEADER;
            return step_t::CONTINUE;
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

inline ALWAYS_INLINE step_t step_length_extra(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = extract_extra_bits(stream, LENGTH_EXTRA[inflater->symbol]);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    inflater->length = static_cast<uint16_t>(LENGTH_BASE[inflater->symbol] + bits);
    inflater->state = STATE_DISTANCE_SYMBOL;
    return step_distance_symbol(inflater, stream);
}

inline ALWAYS_INLINE step_t step_distance_symbol(inflate_t* inflater, bitstream_t* stream)
{
    int symbol = huffman_decode(inflater->distance_table_in_use, stream);
    if (symbol == HUFFMAN_NEED_INPUT)
        return step_t::NEED_INPUT;
    if (symbol < 0 || symbol >= INFLATE_MAX_DISTANCES)
        return step_t::DATA_ERROR;
    inflater->symbol = static_cast<int16_t>(symbol);
    inflater->state = STATE_DISTANCE_EXTRA;
    return step_distance_extra(inflater, stream);
}

// A match may only reach back into bytes already decoded, and with a window
// only as far as the window holds, so that it never reads outside either.
inline ALWAYS_INLINE step_t step_distance_extra(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = extract_extra_bits(stream, DISTANCE_EXTRA[inflater->symbol]);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    uint32_t distance = DISTANCE_BASE[inflater->symbol] + bits;
    if (distance > inflater->total)
        return step_t::DATA_ERROR;
    if (inflater->window != nullptr && distance > inflater->window_size)
        return step_t::DATA_ERROR;
    inflater->distance = static_cast<uint16_t>(distance);
    inflater->state = STATE_MATCH_COPY;
    return step_match_copy(inflater);
}

inline ALWAYS_INLINE step_t step_literal(inflate_t* inflater)
{
    if (inflater->output_space == 0)
        return step_t::OUTPUT_FULL;
    uint8_t literal = static_cast<uint8_t>(inflater->symbol);
    *inflater->output = literal;
    advance_output(inflater, 1);
    if (inflater->window != nullptr)
        write_window(inflater, &literal, 1);
    inflater->state = STATE_SYMBOL;
    return step_t::CONTINUE;
}

// Copies the match from the output area itself, which holds everything
// decoded since the reset. Byte by byte, so that a distance shorter than the
// length repeats the pattern.
step_t copy_match_from_output(inflate_t* inflater)
{
    while (inflater->length > 0) {
        if (inflater->output_space == 0)
            return step_t::OUTPUT_FULL;
        uint32_t n = least(inflater->length, inflater->output_space);
        uint8_t* to = inflater->output;
        const uint8_t* from = to - inflater->distance;
        for (uint32_t i = 0; i < n; ++i)
            to[i] = from[i];
        advance_output(inflater, n);
        inflater->length = static_cast<uint16_t>(inflater->length - n);
    }
    inflater->state = STATE_SYMBOL;
    return step_t::CONTINUE;
}

// Copies the match from the circular window to the output and the window.
// The source is found again from the window position on every call, so a
// copy resumed after the output area moved reads the same bytes.
step_t copy_match_from_window(inflate_t* inflater)
{
    uint32_t position = static_cast<uint32_t>(inflater->window_position - inflater->window);
    uint32_t source = position >= inflater->distance ? position - inflater->distance
                                                     : position + inflater->window_size - inflater->distance;
    while (inflater->length > 0) {
        if (inflater->output_space == 0)
            return step_t::OUTPUT_FULL;
        uint32_t n = least(least(inflater->length, inflater->output_space),
            least(inflater->window_size - source, inflater->window_size - position));
        inflater->copy_source = inflater->window + source;
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t byte = inflater->copy_source[i];
            inflater->output[i] = byte;
            inflater->window_position[i] = byte;
        }
        advance_output(inflater, n);
        inflater->length = static_cast<uint16_t>(inflater->length - n);
        source = (source + n) % inflater->window_size;
        position = (position + n) % inflater->window_size;
        inflater->window_position = inflater->window + position;
    }
    inflater->state = STATE_SYMBOL;
    return step_t::CONTINUE;
}

inline ALWAYS_INLINE step_t step_match_copy(inflate_t* inflater)
{
    return inflater->window != nullptr ? copy_match_from_window(inflater) : copy_match_from_output(inflater);
}

// Format notes: HLIT may declare up to 288 literal/length codes and HDIST up
// to 32 distance codes, but symbols 286, 287, 30 and 31 never occur in valid
// data, so such headers are refused.
step_t step_dynamic_header(inflate_t* inflater, bitstream_t* stream)
{
    uint32_t bits = bitstream_extract(stream, 14);
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    uint16_t literals = static_cast<uint16_t>((bits & 0x1F) + 257);
    uint16_t distances = static_cast<uint16_t>(((bits >> 5) & 0x1F) + 1);
    if (literals > INFLATE_MAX_LITERALS || distances > INFLATE_MAX_DISTANCES)
        return step_t::DATA_ERROR;
    inflater->literals = literals;
    inflater->distances = distances;
    inflater->counter = static_cast<uint16_t>((bits >> 10) + 4);
    inflater->symbol = 0;
    inflater->state = STATE_CODE_LENGTH_LENGTHS;
    return step_t::CONTINUE;
}

// Format notes: RFC 1951 leaves open whether the code-length code may be
// incomplete; zlib refuses such a code ("invalid code lengths set"), and so
// does this decoder, so that both accept the same streams. A code without
// any length is let through: its first decode fails.
step_t step_code_length_lengths(inflate_t* inflater, bitstream_t* stream)
{
    while (inflater->counter > 0) {
        uint32_t bits = bitstream_extract(stream, 3);
        if (bits == BITSTREAM_EOF)
            return step_t::NEED_INPUT;
        inflater->code_lengths[CODE_LENGTH_ORDER[inflater->symbol]] = static_cast<uint16_t>(bits);
        inflater->symbol++;
        inflater->counter--;
    }
    for (int i = inflater->symbol; i < INFLATE_CODE_LENGTH_CODES; ++i)
        inflater->code_lengths[CODE_LENGTH_ORDER[i]] = 0;
    if (huffman_build(&inflater->first_table, inflater->code_lengths, INFLATE_CODE_LENGTH_CODES, INFLATE_MAX_BITS) != 0)
        return step_t::DATA_ERROR;
    inflater->counter = static_cast<uint16_t>(inflater->literals + inflater->distances);
    inflater->next_length = inflater->code_lengths;
    inflater->state = STATE_CODE_LENGTHS;
    return step_t::CONTINUE;
}

step_t step_code_lengths(inflate_t* inflater, bitstream_t* stream)
{
    int symbol = huffman_decode(&inflater->first_table, stream);
    if (symbol == HUFFMAN_NEED_INPUT)
        return step_t::NEED_INPUT;
    if (symbol < 0)
        return step_t::DATA_ERROR;
    if (symbol >= FIRST_REPEAT_SYMBOL) {
        inflater->symbol = static_cast<int16_t>(symbol);
        inflater->state = STATE_REPEAT;
        return step_t::CONTINUE;
    }
    *inflater->next_length++ = static_cast<uint16_t>(symbol);
    inflater->counter--;
    inflater->state = inflater->counter == 0 ? STATE_BUILD_TABLES : STATE_CODE_LENGTHS;
    return step_t::CONTINUE;
}

// Format notes: code 16 repeats the previous length 3 to 6 times, 17 repeats
// a zero 3 to 10 times and 18 repeats a zero 11 to 138 times. A repeat may
// cross from the literal/length lengths into the distance lengths, but not
// past their end.
step_t step_repeat(inflate_t* inflater, bitstream_t* stream)
{
    uint16_t value = 0;
    uint32_t bits = 0;
    uint32_t count = 0;
    switch (inflater->symbol) {
    case 16:
        if (inflater->next_length == inflater->code_lengths)
            return step_t::DATA_ERROR;
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
    default: return step_t::DATA_ERROR;
    }
    if (bits == BITSTREAM_EOF)
        return step_t::NEED_INPUT;
    if (count > inflater->counter)
        return step_t::DATA_ERROR;
    for (uint32_t i = 0; i < count; ++i)
        *inflater->next_length++ = value;
    inflater->counter = static_cast<uint16_t>(inflater->counter - count);
    inflater->state = inflater->counter > 0 ? STATE_CODE_LENGTHS : STATE_BUILD_TABLES;
    return step_t::CONTINUE;
}

// An incomplete literal/length or distance code is only allowed in the one
// form RFC 1951 permits: a single code of one bit (or no code at all).
bool usable_code(int built, const huffman_t* table, uint16_t n)
{
    if (built < 0)
        return false;
    return built == 0 || table->counts[0] + table->counts[1] == n;
}

step_t step_build_tables(inflate_t* inflater)
{
    uint16_t literals = inflater->literals;
    uint16_t distances = inflater->distances;
    if (inflater->code_lengths[END_OF_BLOCK] == 0)
        return step_t::DATA_ERROR;
    int built = huffman_build(&inflater->first_table, inflater->code_lengths, literals, INFLATE_MAX_BITS);
    if (!usable_code(built, &inflater->first_table, literals))
        return step_t::DATA_ERROR;
    built = huffman_build(&inflater->distance_table, inflater->code_lengths + literals, distances, INFLATE_MAX_BITS);
    if (!usable_code(built, &inflater->distance_table, distances))
        return step_t::DATA_ERROR;
    // The code lengths are no longer needed: the root tables take their place.
    build_root_tables(inflater);
    inflater->state = STATE_SYMBOL;
    return step_t::CONTINUE;
}

} // namespace

namespace inflate_detail {

void advance_output(inflate_t* inflater, uint32_t n)
{
    inflater->output += n;
    inflater->output_space -= n;
    inflater->total = n > UINT32_MAX - inflater->total ? UINT32_MAX : inflater->total + n;
}

} // namespace inflate_detail

namespace {

step_t run_step(inflate_t* inflater, bitstream_t* stream)
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
    default: return step_t::DATA_ERROR;
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
    inflater->built_workspace = nullptr;
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
    step_t step = step_t::CONTINUE;
    while (step == step_t::CONTINUE)
        step = run_step(inflater, stream);
    switch (step) {
    case step_t::DONE: return INFLATE_DONE;
    case step_t::NEED_INPUT: return INFLATE_NEED_INPUT;
    case step_t::OUTPUT_FULL: return INFLATE_OUTPUT_FULL;
    default: inflater->state = STATE_FAILED; return INFLATE_DATA_ERROR;
    }
}
