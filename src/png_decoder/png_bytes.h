// PNG's numbers of more than one byte: chunk lengths and types, IHDR fields,
// 16-bit samples and colour keys, and the zlib stream's Adler-32 are all
// stored most significant byte first, at any alignment.
#pragma once

#include <cstdint>

inline uint32_t pngLoadBig16(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 8 | bytes[1];
}

inline uint32_t pngLoadBig32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}
