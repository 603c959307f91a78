#include "rawsnap_check.h"

#include <random>

ProgramResult rawsnap(const std::vector<std::string>& arguments)
{
    return runProgram(RAWSNAP_PATH, arguments);
}

std::string randomBytes(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = char(generator());
    return bytes;
}

std::string le32(uint32_t value)
{
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string le16(uint32_t value)
{
    return {char(value), char(value >> 8)};
}

std::string expectedBmp(const std::string& dump, uint32_t width, uint32_t height, uint32_t pitch, uint32_t bits)
{
    const uint32_t rowLength = width * bits / 8;
    const uint32_t stride = (rowLength + 3) & ~3u;
    const uint32_t offset = bits == 16 ? 66 : 54;
    std::string file = "BM" + le32(offset + stride * height) + le32(0) + le32(offset);
    file += le32(40) + le32(width) + le32(height) + le16(1) + le16(bits) + le32(bits == 16 ? 3 : 0);
    file += le32(0) + le32(0) + le32(0) + le32(0) + le32(0);
    if (bits == 16)
        file += le32(0xF800) + le32(0x07E0) + le32(0x001F);
    for (uint32_t line = height; line-- > 0;)
        file += dump.substr(size_t(line) * pitch, rowLength) + std::string(stride - rowLength, '\0');
    return file;
}
