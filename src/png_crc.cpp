#include "png_decoder.h"

#include <array>

namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320u; // ISO 3309, bit-reflected

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t value = byte;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? kCrcPolynomial ^ (value >> 1) : value >> 1;
        table[byte] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

} // namespace

uint32_t crc32Update(const uint8_t* bytes, uint64_t length, uint32_t crc)
{
    if (length == 0)
        return crc;
    uint32_t value = ~crc;
    for (uint64_t i = 0; i < length; ++i)
        value = kCrcTable[(value ^ bytes[i]) & 0xFF] ^ (value >> 8);
    return ~value;
}
