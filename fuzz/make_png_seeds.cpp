// Writes the seed corpus of fuzz_png: small PNG files of every colour type,
// with palettes, transparency, every filter and split image data, each
// behind the request byte that fuzz_png reads first.
#include "seed_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void appendBigEndian32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void appendChunk(Bytes& file, const char* type, const Bytes& data)
{
    appendBigEndian32(file, uint32_t(data.size()));
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), uInt(data.size()));
    appendBigEndian32(file, uint32_t(crc));
}

struct Seed {
    const char* name;     // file name in the corpus
    uint8_t request;      // fuzz_png's request byte
    uint8_t colorType;    // IHDR colour type
    uint32_t channels;    // bytes per pixel
    Bytes palette;        // PLTE data, if any
    Bytes transparency;   // tRNS data, if any
    size_t idatPiece;     // IDAT size, 0 for one chunk
};

Bytes makePng(const Seed& seed)
{
    constexpr uint32_t kWidth = 6, kHeight = 5;
    Bytes filtered;
    for (uint32_t row = 0; row < kHeight; ++row) {
        filtered.push_back(uint8_t(row % 5));
        for (uint32_t i = 0; i < kWidth * seed.channels; ++i)
            filtered.push_back(uint8_t(seed.colorType == 3 ? (row + i) % 4 : row * 40 + i * 7));
    }
    Bytes compressed(compressBound(uLong(filtered.size())));
    uLongf compressedSize = uLongf(compressed.size());
    compress2(compressed.data(), &compressedSize, filtered.data(), uLong(filtered.size()), 9);
    compressed.resize(compressedSize);

    Bytes file{137, 80, 78, 71, 13, 10, 26, 10};
    Bytes header;
    appendBigEndian32(header, kWidth);
    appendBigEndian32(header, kHeight);
    header.insert(header.end(), {8, seed.colorType, 0, 0, 0});
    appendChunk(file, "IHDR", header);
    if (!seed.palette.empty())
        appendChunk(file, "PLTE", seed.palette);
    if (!seed.transparency.empty())
        appendChunk(file, "tRNS", seed.transparency);
    const size_t piece = seed.idatPiece ? seed.idatPiece : compressed.size();
    for (size_t at = 0; at < compressed.size();) {
        size_t end = std::min(compressed.size(), at + piece);
        if (compressed.size() - end == 1)
            end = compressed.size(); // IDATs under 2 bytes are refused
        appendChunk(file, "IDAT", Bytes(compressed.begin() + at, compressed.begin() + end));
        at = end;
    }
    appendChunk(file, "IEND", {});
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: make_png_seeds <corpus directory>");
        return 1;
    }
    const Bytes palette{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    const Seed seeds[] = {
        {"grey", 0, 0, 1, {}, {}, 0},
        {"grey_alpha_only_90", 3, 0, 1, {}, {}, 7},
        {"grey_key", 8, 0, 1, {}, {0, 40}, 0},
        {"truecolour_180", 4, 2, 3, {}, {}, 5},
        {"truecolour_key", 8, 2, 3, palette, {0, 40, 0, 47, 0, 54}, 0},
        {"indexed_270", 6, 3, 1, palette, {0, 128}, 3},
        {"grey_alpha", 8, 4, 2, {}, {}, 0},
        {"truecolour_alpha", 2, 6, 4, {}, {}, 11},
    };
    for (const Seed& seed : seeds) {
        Bytes input{seed.request};
        const Bytes png = makePng(seed);
        input.insert(input.end(), png.begin(), png.end());
        if (!writeSeedFile(std::string(argv[1]) + "/" + seed.name, input.data(), input.size()))
            return 1;
    }
    return 0;
}
