#include "png_crc.h"

#include "ds_bytes.h"

#include <array>

namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320u; // ISO 3309, bit-reflected
constexpr uint32_t kSlices = 8;                  // bytes folded into the CRC per step

using CrcTables = std::array<std::array<uint32_t, 256>, kSlices>;

// Slicing-by-8 tables: slice 0 is the classic byte table; slice k gives the
// CRC of a byte followed by k zero bytes, so eight table look-ups, one per
// byte of a 64-bit word, fold all eight bytes at once.
constexpr CrcTables makeCrcTables()
{
    CrcTables tables{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t value = byte;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? kCrcPolynomial ^ (value >> 1) : value >> 1;
        tables[0][byte] = value;
    }
    for (uint32_t slice = 1; slice < kSlices; ++slice)
        for (uint32_t byte = 0; byte < 256; ++byte) {
            const uint32_t previous = tables[slice - 1][byte];
            tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    return tables;
}

constexpr CrcTables kCrcTables = makeCrcTables();

inline uint32_t foldEightBytes(uint32_t value, const uint8_t* bytes)
{
    const uint32_t low = value ^ dsLoadLittle32(bytes);
    const uint32_t high = dsLoadLittle32(bytes + 4);
    return kCrcTables[7][low & 0xFF] ^ kCrcTables[6][(low >> 8) & 0xFF] ^ kCrcTables[5][(low >> 16) & 0xFF] ^
        kCrcTables[4][low >> 24] ^ kCrcTables[3][high & 0xFF] ^ kCrcTables[2][(high >> 8) & 0xFF] ^
        kCrcTables[1][(high >> 16) & 0xFF] ^ kCrcTables[0][high >> 24];
}

} // namespace

uint32_t crc32Update(const uint8_t* bytes, uint64_t length, uint32_t crc)
{
    if (length == 0)
        return crc;
    uint32_t value = ~crc;
    for (; length >= kSlices; length -= kSlices, bytes += kSlices)
        value = foldEightBytes(value, bytes);
    for (; length > 0; --length, ++bytes)
        value = kCrcTables[0][(value ^ *bytes) & 0xFF] ^ (value >> 8);
    return ~value;
}
