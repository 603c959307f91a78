// Hand-made Deflate streams for the decoder tests: a bit writer and the
// canonical, fixed and dynamic codes, written independently of the decoder.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// Writes bits least significant first, as Deflate packs its fields.
class BitWriter {
public:
    // Appends the low `count` bits of `value`, bit 0 first.
    void bits(uint32_t value, int count);
    // Appends a Huffman code of `length` bits, most significant bit first.
    void code(uint32_t code, int length);
    // Pads with zero bits to the next byte boundary.
    void align();
    // Appends whole bytes; the writer must be aligned.
    void bytes(const std::vector<uint8_t>& data);
    // The stream so far, its last byte padded with zero bits.
    std::vector<uint8_t> finish() const;

private:
    std::vector<uint8_t> mBytes;
    int mBitCount = 0; // bits used in the last byte, 0 when aligned
};

// Canonical codes of RFC 1951 section 3.2.2 for the given code lengths;
// the code of a symbol with length 0 is unused.
std::vector<uint32_t> canonicalCodes(const std::vector<int>& lengths);

// Code lengths of the fixed literal/length code.
std::vector<int> fixedLiteralLengths();

// Writes a fixed literal/length symbol (0 to 287) or distance symbol (0 to 31).
void writeFixedSymbol(BitWriter& writer, int symbol);
void writeFixedDistance(BitWriter& writer, int symbol);

// A match of `length` (3 to 258) at `distance` (1 to 32768) in a fixed block.
void writeFixedMatch(BitWriter& writer, int length, int distance);

// A stored block header (BFINAL, BTYPE 0, alignment, LEN and NLEN).
void writeStoredHeader(BitWriter& writer, bool last, uint16_t length, uint16_t complement);

// A code-length item of a dynamic header: a symbol 0 to 18 and, for 16 to 18,
// the value of its extra bits.
using CodeLengthItem = std::pair<int, int>;

// The code-length items that spell `lengths` one by one, without repeats.
std::vector<CodeLengthItem> plainItems(const std::vector<int>& lengths);

// Writes a dynamic block header: BFINAL, BTYPE 2, the HLIT, HDIST and HCLEN
// fields (HLIT and HDIST as the counts they encode, 257+ and 1+; the fields
// themselves may exceed the format's limits), the code-length code lengths
// (19, by symbol; HCLEN is derived from the last one that is not zero) and
// the items coded with that code.
void writeDynamicHeader(BitWriter& writer, bool last, int literals, int distances,
                        const std::vector<int>& codeLengthLengths,
                        const std::vector<CodeLengthItem>& items);

// A dynamic header for the given literal/length and distance code lengths,
// with a code-length code of five bits per symbol and no repeats.
void writeDynamicCodes(BitWriter& writer, bool last, const std::vector<int>& literalLengths,
                       const std::vector<int>& distanceLengths);
