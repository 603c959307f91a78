// CRC-32 of PNG chunks.
#pragma once

#include <cstdint>

// CRC-32 as PNG defines it (reflected polynomial 0xEDB88320) over `length`
// bytes, continuing from `crc`; chunk CRCs start from 0. A length of 0
// returns crc unchanged.
uint32_t crc32Update(const uint8_t* bytes, uint64_t length, uint32_t crc);
