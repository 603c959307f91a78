// libFuzzer target for decodePng. The first input byte chooses the request:
// bit 0 alpha only, bits 1-2 the rotation (0, 90, 180, 270), bit 3 chunk
// CRCs rewritten before decoding, so that mutated chunks reach the checks
// behind the CRC. The rest is the PNG file.
#include "png_crc.h"
#include "png_decoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr int kRotations[] = {0, 90, 180, 270};
constexpr size_t kSignatureBytes = 8;
constexpr size_t kChunkOverhead = 12; // length, type and CRC

uint32_t readBigEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// Rewrites the CRC of every whole chunk after the signature.
void repairCrcs(std::vector<uint8_t>& file)
{
    size_t offset = kSignatureBytes;
    while (offset + kChunkOverhead <= file.size()) {
        const uint64_t length = readBigEndian32(&file[offset]);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t request = data[0];
    std::vector<uint8_t> file(data + 1, data + size);
    if (request & 8)
        repairCrcs(file);
    DsSurface* surface = decodePng(file.data(), file.size(), request & 1, kRotations[(request >> 1) & 3]);
    if (surface) {
        std::vector<uint8_t> serialized(surface->serialize(nullptr));
        surface->serialize(serialized.data());
        surface->release();
        delete surface;
    }
    return 0;
}
