// The input format shared by the PNG fuzz targets: the first byte chooses
// the request (bit 0 alpha only, bits 1-2 the rotation 0, 90, 180 or 270,
// bit 3 chunk CRCs rewritten before decoding, so that mutated chunks reach
// the checks behind the CRC); the rest is the PNG file.
#pragma once

#include "ds_rotations.h"
#include "png_bytes.h"
#include "png_crc.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct PngFuzzRequest {
    bool alphaOnly;            // decode a greyscale image as an A8 surface
    int rotation;              // 0, 90, 180 or 270 degrees
    std::vector<uint8_t> file; // the PNG file, its CRCs rewritten on request
};

// Rewrites the CRC of every whole chunk after the signature.
inline void repairCrcs(std::vector<uint8_t>& file)
{
    constexpr size_t kSignatureBytes = 8;
    constexpr size_t kChunkOverhead = 12; // length, type and CRC
    size_t offset = kSignatureBytes;
    while (offset + kChunkOverhead <= file.size()) {
        const uint64_t length = pngLoadBig32(&file[offset]);
        if (length > file.size() - offset - kChunkOverhead)
            return;
        const uint32_t crc = crc32Update(&file[offset + 4], length + 4, 0);
        uint8_t* stored = &file[offset + 8 + length];
        stored[0] = uint8_t(crc >> 24);
        stored[1] = uint8_t(crc >> 16);
        stored[2] = uint8_t(crc >> 8);
        stored[3] = uint8_t(crc);
        offset += length + kChunkOverhead;
    }
}

// The request in a fuzz input of at least one byte.
inline PngFuzzRequest readFuzzRequest(const uint8_t* data, size_t size)
{
    PngFuzzRequest request{(data[0] & 1) != 0, int(kDsRotations[(data[0] >> 1) & 3]), {data + 1, data + size}};
    if (data[0] & 8)
        repairCrcs(request.file);
    return request;
}
