// How chunks are matched and how the image data may be split over IDAT
// chunks, on hand-made files, against libpng: both refuse, or both give the
// same pixels.
#include "deflate_writer.h"
#include "png_builder.h"
#include "png_decoder.h"
#include "png_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// An image and its pieces: the chunks before the image data, the zlib
// stream of its rows and the stream of an all-black image of the same size.
struct ImageParts {
    std::string label;
    std::vector<Bytes> head; // IHDR, then PLTE and tRNS where the image has them
    Bytes filtered;          // the image's filtered rows
    Bytes stream;            // their zlib stream
    Bytes blackStream;       // the same for an image of zero bytes
};

ImageParts partsOf(const std::string& label, PngRecipe recipe)
{
    ImageParts parts{label,
        {pngChunk("IHDR", ihdrData(recipe.width, recipe.height, recipe.bitDepth, recipe.colorType, recipe.interlace))},
        filterRows(recipe), {}, {}};
    parts.stream = zlibCompress(parts.filtered, 6, Z_DEFAULT_STRATEGY);
    if (!recipe.palette.empty())
        parts.head.push_back(pngChunk("PLTE", recipe.palette));
    if (!recipe.transparency.empty())
        parts.head.push_back(pngChunk("tRNS", recipe.transparency));
    recipe.pixels.assign(recipe.pixels.size(), 0);
    parts.blackStream = zlibCompress(filterRows(recipe), 6, Z_DEFAULT_STRATEGY);
    return parts;
}

// Decoded in place (8-bit RGB) and row by row (2-bit palette, interlaced).
std::vector<ImageParts> images()
{
    PngRecipe rgb;
    rgb.colorType = 2;
    rgb.width = 7;
    rgb.height = 5;
    rgb.pixels = randomBytes(7 * 5 * 3, 15);
    rgb.filters = {1, 4, 2};
    PngRecipe indexed;
    indexed.colorType = 3;
    indexed.bitDepth = 2;
    indexed.interlace = 1;
    indexed.width = 9;
    indexed.height = 6;
    indexed.pixels = randomBytes(pngRowBytes(9, 3, 2) * 6, 16);
    indexed.palette = randomBytes(12, 17);
    indexed.transparency = {40, 200};
    indexed.filters = {4, 3, 0};
    return {partsOf("8-bit RGB", rgb), partsOf("2-bit palette, interlaced", indexed)};
}

constexpr size_t kEnd = SIZE_MAX; // bytesFrom up to the end

Bytes bytesFrom(const Bytes& bytes, size_t from, size_t to)
{
    return Bytes(bytes.begin() + long(from), bytes.begin() + long(std::min(to, bytes.size())));
}

// The chunk under another type, with its CRC made right.
Bytes renamed(Bytes chunk, const char* type)
{
    std::copy(type, type + 4, chunk.begin() + 4);
    const uLong crc = crc32(0, chunk.data() + 4, uInt(chunk.size() - 8));
    for (int i = 0; i < 4; ++i)
        chunk[chunk.size() - 4 + i] = uint8_t(crc >> (24 - 8 * i));
    return chunk;
}

// Chunks after the head, built from the image's streams.
using Arrangement = std::function<std::vector<Bytes>(const ImageParts&)>;

struct ChunkCase {
    const char* what;
    Arrangement tail; // the chunks after the head
    bool decodes;     // what both decoders must do
    bool withHead;    // false: the tail is the whole file after the signature
};

std::vector<Bytes> idatsOf(const Bytes& stream, size_t piece)
{
    std::vector<Bytes> chunks;
    for (size_t at = 0; at < stream.size(); at += piece)
        chunks.push_back(pngChunk("IDAT", bytesFrom(stream, at, at + piece)));
    return chunks;
}

std::vector<Bytes> withEnd(std::vector<Bytes> chunks)
{
    chunks.push_back(pngChunk("IEND", {}));
    return chunks;
}

const ChunkCase kChunkCases[] = {
    {"ancillary iDAT with other data before the IDAT",
        [](const ImageParts& p) {
            return withEnd({pngChunk("iDAT", p.blackStream), pngChunk("IDAT", p.stream)});
        },
        true, true},
    {"critical IDAt in place of IDAT", [](const ImageParts& p) { return withEnd({pngChunk("IDAt", p.stream)}); }, false,
        true},
    {"iHDR in place of IHDR",
        [](const ImageParts& p) {
            std::vector<Bytes> chunks{renamed(p.head[0], "iHDR")};
            chunks.insert(chunks.end(), p.head.begin() + 1, p.head.end());
            chunks.push_back(pngChunk("IDAT", p.stream));
            return withEnd(chunks);
        },
        false, false},
    {"iend in place of IEND",
        [](const ImageParts& p) {
            return std::vector<Bytes>{pngChunk("IDAT", p.stream), pngChunk("iend", {})};
        },
        false, true},
    {"iend before IEND",
        [](const ImageParts& p) {
            return withEnd({pngChunk("IDAT", p.stream), pngChunk("iend", {})});
        },
        true, true},
    {"trailing empty IDAT",
        [](const ImageParts& p) {
            return withEnd({pngChunk("IDAT", p.stream), pngChunk("IDAT", {})});
        },
        true, true},
    {"leading empty IDAT",
        [](const ImageParts& p) {
            return withEnd({pngChunk("IDAT", {}), pngChunk("IDAT", p.stream)});
        },
        true, true},
    {"one-byte IDAT pieces", [](const ImageParts& p) { return withEnd(idatsOf(p.stream, 1)); }, true, true},
    {"zlib header split over two chunks",
        [](const ImageParts& p) {
            return withEnd(
                {pngChunk("IDAT", bytesFrom(p.stream, 0, 1)), pngChunk("IDAT", bytesFrom(p.stream, 1, kEnd))});
        },
        true, true},
    {"zlib header split, empty IDATs around its halves",
        [](const ImageParts& p) {
            return withEnd({pngChunk("IDAT", {}), pngChunk("IDAT", bytesFrom(p.stream, 0, 1)), pngChunk("IDAT", {}),
                pngChunk("IDAT", bytesFrom(p.stream, 1, 3)), pngChunk("IDAT", bytesFrom(p.stream, 3, kEnd))});
        },
        true, true},
    {"only empty IDATs",
        [](const ImageParts&) {
            return withEnd({pngChunk("IDAT", {}), pngChunk("IDAT", {})});
        },
        false, true},
    {"unknown ancillary chunk before the data",
        [](const ImageParts& p) {
            return withEnd({pngChunk("prVt", {1, 2, 3}), pngChunk("IDAT", p.stream)});
        },
        true, true},
    {"unknown critical chunk before the data",
        [](const ImageParts& p) {
            return withEnd({pngChunk("PRVT", {1, 2, 3}), pngChunk("IDAT", p.stream)});
        },
        false, true},
};

std::vector<Bytes> headAnd(const ImageParts& parts, const std::vector<Bytes>& tail)
{
    std::vector<Bytes> chunks = parts.head;
    chunks.insert(chunks.end(), tail.begin(), tail.end());
    return chunks;
}

TEST(PngChunks, MatchedExactlyAndImageDataSplitAnywhere)
{
    for (const ImageParts& parts : images()) {
        for (const ChunkCase& c : kChunkCases) {
            const std::vector<Bytes> tail = c.tail(parts);
            const Bytes file = assemblePng(c.withHead ? headAnd(parts, tail) : tail);
            const std::string label = parts.label + ": " + c.what;
            ASSERT_EQ(referenceSurface(file, false).decoded, c.decodes) << label << ": libpng disagrees";
            if (c.decodes)
                expectSurfaceMatchesReference(file, false, 0, label);
            else
                EXPECT_FALSE(decodeFile(file)) << label;
        }
    }
}

// Lower-case letters name other chunks: a file whose only palette or
// transparency chunk is misspelt has none.
TEST(PngChunks, MisspeltPaletteAndTransparencyAreOtherChunks)
{
    const ImageParts indexed = images()[1];
    const Bytes header = indexed.head[0], palette = indexed.head[1], alphas = indexed.head[2];
    const Bytes idat = pngChunk("IDAT", indexed.stream), end = pngChunk("IEND", {});
    const struct {
        const char* what;
        Bytes file;
        bool decodes;
    } cases[] = {
        {"pLTE only", assemblePng({header, renamed(palette, "pLTE"), idat, end}), false},
        {"PLTe only", assemblePng({header, renamed(palette, "PLTe"), idat, end}), false},
        {"TRNS", assemblePng({header, palette, renamed(alphas, "TRNS"), idat, end}), false},
        {"trns: no transparency", assemblePng({header, palette, renamed(alphas, "trns"), idat, end}), true},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(referenceSurface(c.file, false).decoded, c.decodes) << c.what << ": libpng disagrees";
        if (c.decodes)
            expectSurfaceMatchesReference(c.file, false, 0, c.what);
        else
            EXPECT_FALSE(decodeFile(c.file)) << c.what;
    }
}

// An unknown critical chunk is refused wherever it stands; libpng reads
// past one after the image data.
TEST(PngChunks, UnknownCriticalChunkAfterTheImageDataIsRefused)
{
    for (const ImageParts& parts : images()) {
        for (const char* type : {"IDAt", "IEnD", "IHDR"}) {
            const Bytes file =
                assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", parts.stream), pngChunk(type, {})})));
            EXPECT_FALSE(decodeFile(file)) << parts.label << ": " << type;
        }
    }
}

// Kept leniency, where libpng is stricter: the image data may continue in
// IDAT chunks after other chunks, and whatever follows the Adler-32 (bytes
// in its IDAT, more IDATs) is never read.
TEST(PngChunks, ImageDataJoinedAcrossOtherChunksAndBytesAfterTheChecksumUnread)
{
    for (const ImageParts& parts : images()) {
        const Bytes plain = assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", parts.stream)})));
        const size_t half = parts.stream.size() / 2;
        Bytes trailing = parts.stream;
        trailing.insert(trailing.end(), {0x12, 0x34});
        const Bytes lenient[] = {
            assemblePng(headAnd(parts,
                withEnd({pngChunk("IDAT", bytesFrom(parts.stream, 0, half)), pngChunk("teXt", {'a', 0, 'b'}),
                    pngChunk("IDAT", bytesFrom(parts.stream, half, kEnd))}))),
            assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", trailing)}))),
            assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", parts.stream), pngChunk("IDAT", {0})}))),
        };
        SurfacePtr expected = decodeFile(plain);
        ASSERT_TRUE(expected) << parts.label;
        for (const Bytes& file : lenient) {
            SurfacePtr surface = decodeFile(file);
            ASSERT_TRUE(surface) << parts.label;
            EXPECT_EQ(serialized(*surface), serialized(*expected)) << parts.label;
        }
    }
}

// The stream with its two header bytes replaced; FLG's check bits are made
// right unless `checkBitsOff`.
Bytes withZlibHeader(Bytes stream, uint8_t cmf, uint8_t flg, bool checkBitsOff = false)
{
    flg = uint8_t(flg & 0xE0);
    flg = uint8_t(flg + (31 - (uint32_t(cmf) << 8 | flg) % 31) % 31 + (checkBitsOff ? 1 : 0));
    stream[0] = cmf;
    stream[1] = flg;
    return stream;
}

// A zlib stream of `filtered` made by hand: one dynamic block of literals
// whose code-length code gives symbols 8, 9 and 1 codes of 1, 2 and
// `oneBitSymbolLength` bits (2 makes it complete, 3 incomplete), the
// literal/length code (255 symbols of 8 bits, 255 and 256 of 9) complete.
Bytes handMadeStream(const Bytes& filtered, int oneBitSymbolLength)
{
    std::vector<int> literalLengths(257, 8);
    literalLengths[255] = literalLengths[256] = 9;
    std::vector<int> codeLengthLengths(19, 0);
    codeLengthLengths[8] = 1;
    codeLengthLengths[9] = 2;
    codeLengthLengths[1] = oneBitSymbolLength;
    std::vector<int> allLengths = literalLengths;
    allLengths.push_back(1); // the only distance code, never used
    BitWriter writer;
    writeDynamicHeader(writer, true, 257, 1, codeLengthLengths, plainItems(allLengths));
    const std::vector<uint32_t> codes = canonicalCodes(literalLengths);
    for (uint8_t byte : filtered)
        writer.code(codes[byte], literalLengths[byte]);
    writer.code(codes[256], literalLengths[256]);
    Bytes stream = {0x78, 0x01};
    const Bytes deflate = writer.finish();
    stream.insert(stream.end(), deflate.begin(), deflate.end());
    const uLong adler = adler32(adler32(0, nullptr, 0), filtered.data(), uInt(filtered.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(uint8_t(adler >> shift));
    return stream;
}

struct ZlibCase {
    const char* what;
    std::function<std::vector<Bytes>(const ImageParts&)> idats; // the image data chunks
    bool decodes;                                               // what both decoders must do
};

// Headers of the whole stream in one IDAT, each checked as zlib checks it.
const struct {
    const char* what;
    uint8_t cmf, flg;  // FLG's check bits are made right...
    bool checkBitsOff; // ...or one too high
    bool decodes;      // what both decoders must do
} kZlibHeaderCases[] = {
    {"FLEVEL 3", 0x78, 0xC0, false, true},
    {"a 256-byte window, no match reaching farther", 0x08, 0, false, true},
    {"method 7", 0x77, 0, false, false},
    {"method 15", 0x7F, 0, false, false},
    {"a 64 KiB window", 0x88, 0, false, false},
    {"a preset dictionary", 0x78, 0x20, false, false},
    {"check bits off by one", 0x78, 0, true, false},
};

// The zlib header and the Adler-32 are checked and incomplete code-length
// codes refused, as zlib does for libpng, however the IDATs split them.
const ZlibCase kZlibCases[] = {
    {"check bits off by one, header split",
        [](const ImageParts& p) {
            const Bytes stream = withZlibHeader(p.stream, 0x78, 0, true);
            return std::vector<Bytes>{
                pngChunk("IDAT", bytesFrom(stream, 0, 1)), pngChunk("IDAT", bytesFrom(stream, 1, kEnd))};
        },
        false},
    {"Adler-32 of other bytes",
        [](const ImageParts& p) {
            Bytes stream = p.stream;
            stream[stream.size() - 2] ^= 0x40;
            return std::vector<Bytes>{pngChunk("IDAT", stream)};
        },
        false},
    {"Adler-32 in a later IDAT, split",
        [](const ImageParts& p) {
            const size_t end = p.stream.size() - 4;
            return std::vector<Bytes>{pngChunk("IDAT", bytesFrom(p.stream, 0, end)),
                pngChunk("IDAT", bytesFrom(p.stream, end, end + 1)),
                pngChunk("IDAT", bytesFrom(p.stream, end + 1, kEnd))};
        },
        true},
    {"Adler-32 one byte short",
        [](const ImageParts& p) {
            return std::vector<Bytes>{pngChunk("IDAT", bytesFrom(p.stream, 0, p.stream.size() - 1))};
        },
        false},
    {"no Adler-32",
        [](const ImageParts& p) {
            return std::vector<Bytes>{pngChunk("IDAT", bytesFrom(p.stream, 0, p.stream.size() - 4))};
        },
        false},
    {"complete code-length code, made by hand",
        [](const ImageParts& p) { return std::vector<Bytes>{pngChunk("IDAT", handMadeStream(p.filtered, 2))}; }, true},
    {"incomplete code-length code",
        [](const ImageParts& p) { return std::vector<Bytes>{pngChunk("IDAT", handMadeStream(p.filtered, 3))}; }, false},
};

void expectJudgedAsBothDecoders(const Bytes& file, bool decodes, const std::string& label)
{
    ASSERT_EQ(referenceSurface(file, false).decoded, decodes) << label << ": libpng disagrees";
    if (decodes)
        expectSurfaceMatchesReference(file, false, 0, label);
    else
        EXPECT_FALSE(decodeFile(file)) << label;
}

TEST(PngChunks, ZlibHeaderChecksumAndCodeLengthCodeCheckedAsLibpngDoes)
{
    for (const ImageParts& parts : images()) {
        for (const auto& c : kZlibHeaderCases) {
            const Bytes stream = withZlibHeader(parts.stream, c.cmf, c.flg, c.checkBitsOff);
            expectJudgedAsBothDecoders(assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", stream)}))), c.decodes,
                parts.label + ": " + c.what);
        }
        for (const ZlibCase& c : kZlibCases)
            expectJudgedAsBothDecoders(
                assemblePng(headAnd(parts, withEnd(c.idats(parts)))), c.decodes, parts.label + ": " + c.what);
    }
}

} // namespace
