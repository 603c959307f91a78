// Canonical Huffman codes (RFC 1951 section 3.2.2) and the lookup tables
// the decoder reads: codes built from code lengths, the two fixed codes and
// their tables, built by the compiler, and the root and wide tables of a
// block's own codes. The decoder (streams.cpp, inflate_fast.cpp) only reads
// what is built here.
//
// The assertions below catch callers' programming errors; they stay active in
// release builds because a wrong call would otherwise corrupt memory.
#undef NDEBUG
#include "inflate_internal.h"

#include <cassert>

using namespace inflate_detail;

namespace {

// Canonical code construction shared by huffman_build and the compile-time
// fixed tables; see huffman_build for the contract.
//
// Format notes: codes of one length are consecutive integers, shorter codes
// come first, and within one length the symbols are in increasing order, so
// the counts of each length and the symbols in that order define the code.
// "left" counts the codes still unused at each length; below zero the lengths
// ask for more codes than exist.
constexpr int build_canonical_code(huffman_t* table, const uint16_t* lengths, uint16_t n, uint16_t max_length)
{
    assert(max_length <= INFLATE_MAX_BITS);
    table->max_length = max_length;
    for (uint16_t len = 0; len <= max_length; ++len)
        table->counts[len] = 0;
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
        if (left < 0)
            return left;
    }
    uint16_t offsets[INFLATE_MAX_BITS + 1] = {};
    for (uint16_t len = 1; len < max_length; ++len)
        offsets[len + 1] = offsets[len] + table->counts[len];
    for (uint16_t symbol = 0; symbol < n; ++symbol)
        if (lengths[symbol] != 0)
            table->symbols[offsets[lengths[symbol]]++] = symbol;
    return left;
}

// Arrays of the two fixed codes (RFC 1951 section 3.2.6).
struct fixed_code_arrays_t {
    uint16_t literal_counts[INFLATE_MAX_BITS + 1];    // counts of the literal/length code
    uint16_t literal_symbols[INFLATE_FIXED_LITERALS]; // its symbols in code order
    uint16_t distance_counts[INFLATE_MAX_BITS + 1];   // counts of the distance code
    uint16_t distance_symbols[INFLATE_MAX_DISTANCES]; // its symbols in code order
};

constexpr fixed_code_arrays_t make_fixed_code_arrays()
{
    fixed_code_arrays_t arrays = {};
    uint16_t lengths[INFLATE_FIXED_LITERALS] = {};
    for (uint16_t symbol = 0; symbol < INFLATE_FIXED_LITERALS; ++symbol)
        lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
    huffman_t literal = {0, arrays.literal_counts, arrays.literal_symbols};
    build_canonical_code(&literal, lengths, INFLATE_FIXED_LITERALS, INFLATE_MAX_BITS);
    for (uint16_t symbol = 0; symbol < INFLATE_MAX_DISTANCES; ++symbol)
        lengths[symbol] = 5;
    huffman_t distance = {0, arrays.distance_counts, arrays.distance_symbols};
    build_canonical_code(&distance, lengths, INFLATE_MAX_DISTANCES, INFLATE_MAX_BITS);
    return arrays;
}

static_assert(make_fixed_code_arrays().literal_counts[7] == 24 && make_fixed_code_arrays().literal_counts[8] == 152 &&
        make_fixed_code_arrays().literal_counts[9] == 112 && make_fixed_code_arrays().literal_symbols[0] == 256 &&
        make_fixed_code_arrays().distance_counts[5] == 30,
    "fixed codes must be built at compile time");

// The arrays behind the fixed tables, constant-initialised from the
// compile-time builder: no code runs at start and nothing writes them
// afterwards.
fixed_code_arrays_t fixed_arrays = make_fixed_code_arrays();

constexpr inflate_root_tables_t make_fixed_root_tables()
{
    fixed_code_arrays_t arrays = make_fixed_code_arrays();
    const huffman_t literal = {INFLATE_MAX_BITS, arrays.literal_counts, arrays.literal_symbols};
    const huffman_t distance = {INFLATE_MAX_BITS, arrays.distance_counts, arrays.distance_symbols};
    inflate_root_tables_t roots = {};
    build_lookup_table<uint16_t>(&literal, roots.literal, INFLATE_LITERAL_ROOT_BITS, literal_root_entry, 0);
    build_lookup_table<uint16_t>(&distance, roots.distance, INFLATE_DISTANCE_ROOT_BITS, distance_root_entry, 0);
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
        FIXED_ROOT_TABLES.literal[0x40] == 7 && FIXED_ROOT_TABLES.distance[0] == (0 << ROOT_SYMBOL_SHIFT | 5) &&
        FIXED_ROOT_TABLES.distance[0x1F] == 0,
    "fixed root tables must be built at compile time");

// Joins two literal entries into one wherever the index holds both codes:
// where the bits after a first literal code, as many as the index has left,
// begin with a second one. Runs from the last index down, so that the entry
// looked up for the second code (at a lower index) is still a single one,
// and chooses each entry without a branch: it runs once per dynamic block.
constexpr void pair_literals(uint32_t* table)
{
    for (uint32_t i = 1u << INFLATE_WIDE_LITERAL_BITS; i-- > 0;) {
        const uint32_t first = table[i];
        const uint32_t used = first & WIDE_CONSUMED_MASK; // at most 20: the shift below stays defined
        const uint32_t second = table[i >> used];
        const uint32_t both = used + (second & WIDE_CONSUMED_MASK);
        const bool fits = (first & second & WIDE_LITERAL) != 0 && both <= INFLATE_WIDE_LITERAL_BITS;
        const uint32_t pair = both | WIDE_LITERAL | WIDE_PAIR | (first & WIDE_BYTE_MASK << WIDE_VALUE_SHIFT) |
            (second >> WIDE_VALUE_SHIFT & WIDE_BYTE_MASK) << WIDE_SECOND_LITERAL_SHIFT;
        table[i] = fits ? pair : first;
    }
}

// Fills the wide tables of a workspace from a block's built codes.
constexpr void build_wide_tables(const huffman_t* literal, const huffman_t* distance, inflate_workspace_t* tables)
{
    build_lookup_table<uint32_t>(
        literal, tables->literal, INFLATE_WIDE_LITERAL_BITS, wide_literal_entry, WIDE_EXCEPTIONAL);
    pair_literals(tables->literal);
    build_lookup_table<uint32_t>(
        distance, tables->distance, INFLATE_WIDE_DISTANCE_BITS, wide_distance_entry, WIDE_EXCEPTIONAL);
}

constexpr inflate_workspace_t make_fixed_wide_tables()
{
    fixed_code_arrays_t arrays = make_fixed_code_arrays();
    const huffman_t literal = {INFLATE_MAX_BITS, arrays.literal_counts, arrays.literal_symbols};
    const huffman_t distance = {INFLATE_MAX_BITS, arrays.distance_counts, arrays.distance_symbols};
    inflate_workspace_t tables = {};
    build_wide_tables(&literal, &distance, &tables);
    return tables;
}

// Wide tables of the fixed codes, built by the compiler. Their literal codes
// have 8 or 9 bits, so no two fit one index: index 0x0C holds literal 0
// (code 00110000) alone. Code 0000000 ends the block and 0000001 is symbol
// 257, a length of 3; distance codes 30 and 31 do not exist.
constexpr inflate_workspace_t FIXED_WIDE_TABLES = make_fixed_wide_tables();
static_assert(FIXED_WIDE_TABLES.literal[0] == WIDE_EXCEPTIONAL &&
        FIXED_WIDE_TABLES.literal[0x40] == (7 | 7 << WIDE_CODE_LENGTH_SHIFT | 3 << WIDE_VALUE_SHIFT) &&
        FIXED_WIDE_TABLES.literal[0x0C] == (8 | WIDE_LITERAL) &&
        FIXED_WIDE_TABLES.distance[0] == (5 | 5 << WIDE_CODE_LENGTH_SHIFT | 1 << WIDE_VALUE_SHIFT) &&
        FIXED_WIDE_TABLES.distance[0x1F] == WIDE_EXCEPTIONAL,
    "fixed wide tables must be built at compile time");

} // namespace

int huffman_build(huffman_t* table, const uint16_t* lengths, uint16_t n, uint16_t max_length)
{
    return build_canonical_code(table, lengths, n, max_length);
}

namespace inflate_detail {

const huffman_t FIXED_LITERAL_TABLE = {INFLATE_MAX_BITS, fixed_arrays.literal_counts, fixed_arrays.literal_symbols};
const huffman_t FIXED_DISTANCE_TABLE = {INFLATE_MAX_BITS, fixed_arrays.distance_counts, fixed_arrays.distance_symbols};

void build_root_tables(inflate_t* inflater)
{
    build_lookup_table<uint16_t>(
        &inflater->first_table, inflater->root_tables.literal, INFLATE_LITERAL_ROOT_BITS, literal_root_entry, 0);
    build_lookup_table<uint16_t>(
        &inflater->distance_table, inflater->root_tables.distance, INFLATE_DISTANCE_ROOT_BITS, distance_root_entry, 0);
    inflater->built_workspace = nullptr; // the workspace, if any, holds the last block's tables
}

fast_codes_t codes_in_use(const inflate_t* inflater)
{
    if (inflater->literal_table_in_use == &FIXED_LITERAL_TABLE)
        return {&FIXED_LITERAL_TABLE, FIXED_ROOT_TABLES.literal, &FIXED_DISTANCE_TABLE, FIXED_ROOT_TABLES.distance};
    return {&inflater->first_table, inflater->root_tables.literal, &inflater->distance_table,
        inflater->root_tables.distance};
}

wide_codes_t wide_codes_in_use(inflate_t* inflater)
{
    if (inflater->literal_table_in_use == &FIXED_LITERAL_TABLE)
        return {&FIXED_LITERAL_TABLE, FIXED_WIDE_TABLES.literal, &FIXED_DISTANCE_TABLE, FIXED_WIDE_TABLES.distance};
    inflate_workspace_t* workspace = inflater->workspace;
    if (inflater->built_workspace != workspace) {
        build_wide_tables(&inflater->first_table, &inflater->distance_table, workspace);
        inflater->built_workspace = workspace;
    }
    return {&inflater->first_table, workspace->literal, &inflater->distance_table, workspace->distance};
}

} // namespace inflate_detail
