// Writes the seed corpus of fuzz_inflate into the directory given: zlib
// streams of every block type and a few hand-made corrupt ones, each behind
// the three bytes that choose how the fuzz target feeds it.
#include "deflate_writer.h"

#include "zlib_deflate.h"

#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes sampleText()
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "glyph " + std::to_string(i * 37 % 101) + " pixel surface rotation; ";
    text += std::string(300, '=');
    return Bytes(text.begin(), text.end());
}

bool writeSeed(const std::string& path, uint8_t inputPiece, uint8_t outputPiece, uint8_t window, const Bytes& stream)
{
    Bytes seed = {inputPiece, outputPiece, window};
    seed.insert(seed.end(), stream.begin(), stream.end());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(seed.data(), 1, seed.size(), file) == seed.size();
    return std::fclose(file) == 0 && written;
}

Bytes corruptDynamicHeader()
{
    BitWriter writer;
    writeDynamicHeader(writer, true, 257, 1, completeCodeLengthLengths(), {{16, 0}});
    return writer.finish();
}

Bytes fixedBlockWithMatches()
{
    BitWriter writer;
    writer.bits(1, 1);
    writer.bits(1, 2);
    writeFixedSymbol(writer, 'a');
    writeFixedSymbol(writer, 'b');
    writeFixedMatch(writer, 258, 2);
    writeFixedMatch(writer, 3, 1);
    writeFixedSymbol(writer, 256);
    return writer.finish();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_inflate_seeds <directory>\n");
        return 1;
    }
    const std::string dir = argv[1];
    const Bytes text = sampleText();
    struct Seed {
        const char* name;
        Bytes stream;
    };
    const Seed seeds[] = {
        {"stored", deflateRaw(text, 0, Z_DEFAULT_STRATEGY, 15)},
        {"fixed", deflateRaw(text, 6, Z_FIXED, 15)},
        {"dynamic", deflateRaw(text, 9, Z_DEFAULT_STRATEGY, 15)},
        {"huffman_only", deflateRaw(text, 6, Z_HUFFMAN_ONLY, 15)},
        {"rle", deflateRaw(text, 6, Z_RLE, 9)},
        {"hand_fixed", fixedBlockWithMatches()},
        {"hand_corrupt", corruptDynamicHeader()},
    };
    uint8_t variant = 0;
    for (const Seed& seed : seeds) {
        ++variant;
        // Every other seed lends the decoder a workspace (top bit of the first byte).
        const uint8_t inputPiece = static_cast<uint8_t>(variant * 7 | (variant % 2 == 1 ? 0x80 : 0));
        if (!writeSeed(dir + "/" + seed.name, inputPiece, variant * 13, variant, seed.stream)) {
            std::fprintf(stderr, "cannot write seed '%s'\n", seed.name);
            return 1;
        }
    }
    return 0;
}
