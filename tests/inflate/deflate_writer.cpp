#include "deflate_writer.h"

#include <stdexcept>

namespace {

constexpr int kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                   33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

int repeatExtraBits(int symbol)
{
    return symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
}

} // namespace

void BitWriter::bits(uint32_t value, int count)
{
    for (int i = 0; i < count; ++i) {
        if (mBitCount == 0) {
            mBytes.push_back(0);
        }
        mBytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << mBitCount);
        mBitCount = (mBitCount + 1) % 8;
    }
}

void BitWriter::code(uint32_t code, int length)
{
    for (int i = length - 1; i >= 0; --i) {
        bits((code >> i) & 1, 1);
    }
}

void BitWriter::align()
{
    mBitCount = 0;
}

void BitWriter::bytes(const std::vector<uint8_t>& data)
{
    if (mBitCount != 0) {
        throw std::logic_error("BitWriter::bytes needs an aligned writer");
    }
    mBytes.insert(mBytes.end(), data.begin(), data.end());
}

std::vector<uint8_t> BitWriter::finish() const
{
    return mBytes;
}

std::vector<uint32_t> canonicalCodes(const std::vector<int>& lengths)
{
    int counts[16] = {};
    for (int length : lengths) {
        counts[length]++;
    }
    counts[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + counts[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0) {
            codes[symbol] = next[lengths[symbol]]++;
        }
    }
    return codes;
}

std::vector<int> fixedLiteralLengths()
{
    std::vector<int> lengths(288);
    for (int symbol = 0; symbol < 288; ++symbol) {
        lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
    }
    return lengths;
}

void writeFixedSymbol(BitWriter& writer, int symbol)
{
    static const std::vector<int> lengths = fixedLiteralLengths();
    static const std::vector<uint32_t> codes = canonicalCodes(lengths);
    writer.code(codes[symbol], lengths[symbol]);
}

void writeFixedDistance(BitWriter& writer, int symbol)
{
    writer.code(static_cast<uint32_t>(symbol), 5);
}

void writeFixedMatch(BitWriter& writer, int length, int distance)
{
    int lengthSymbol = 28;
    while (kLengthBase[lengthSymbol] > length) {
        --lengthSymbol;
    }
    writeFixedSymbol(writer, 257 + lengthSymbol);
    writer.bits(static_cast<uint32_t>(length - kLengthBase[lengthSymbol]), kLengthExtra[lengthSymbol]);
    int distanceSymbol = 29;
    while (kDistanceBase[distanceSymbol] > distance) {
        --distanceSymbol;
    }
    writeFixedDistance(writer, distanceSymbol);
    writer.bits(static_cast<uint32_t>(distance - kDistanceBase[distanceSymbol]),
                kDistanceExtra[distanceSymbol]);
}

void writeStoredHeader(BitWriter& writer, bool last, uint16_t length, uint16_t complement)
{
    writer.bits(last ? 1 : 0, 1);
    writer.bits(0, 2);
    writer.align();
    writer.bits(length, 16);
    writer.bits(complement, 16);
}

std::vector<CodeLengthItem> plainItems(const std::vector<int>& lengths)
{
    std::vector<CodeLengthItem> items;
    for (int length : lengths) {
        items.emplace_back(length, 0);
    }
    return items;
}

void writeDynamicHeader(BitWriter& writer, bool last, int literals, int distances,
                        const std::vector<int>& codeLengthLengths,
                        const std::vector<CodeLengthItem>& items)
{
    int stored = 4;
    for (int i = 0; i < 19; ++i) {
        if (codeLengthLengths[kCodeLengthOrder[i]] != 0 && i + 1 > stored) {
            stored = i + 1;
        }
    }
    writer.bits(last ? 1 : 0, 1);
    writer.bits(2, 2);
    writer.bits(static_cast<uint32_t>(literals - 257), 5);
    writer.bits(static_cast<uint32_t>(distances - 1), 5);
    writer.bits(static_cast<uint32_t>(stored - 4), 4);
    for (int i = 0; i < stored; ++i) {
        writer.bits(static_cast<uint32_t>(codeLengthLengths[kCodeLengthOrder[i]]), 3);
    }
    std::vector<uint32_t> codes = canonicalCodes(codeLengthLengths);
    for (const CodeLengthItem& item : items) {
        writer.code(codes[item.first], codeLengthLengths[item.first]);
        if (item.first >= 16) {
            writer.bits(static_cast<uint32_t>(item.second), repeatExtraBits(item.first));
        }
    }
}

void writeDynamicCodes(BitWriter& writer, bool last, const std::vector<int>& literalLengths,
                       const std::vector<int>& distanceLengths)
{
    std::vector<int> all = literalLengths;
    all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
    writeDynamicHeader(writer, last, static_cast<int>(literalLengths.size()),
                       static_cast<int>(distanceLengths.size()), std::vector<int>(19, 5),
                       plainItems(all));
}
