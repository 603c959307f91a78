// How chunks are matched and how the image data may be split over IDAT
// chunks, on hand-made files, against libpng: both refuse, or both give the
// same pixels.
#include "png_builder.h"
#include "png_decoder.h"
#include "surface_check.h"

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
    Bytes stream;            // zlib stream of the image's filtered rows
    Bytes blackStream;       // the same for an image of zero bytes
};

ImageParts partsOf(const std::string& label, PngRecipe recipe)
{
    ImageParts parts{label,
        {pngChunk("IHDR", ihdrData(recipe.width, recipe.height, recipe.bitDepth, recipe.colorType, recipe.interlace))},
        zlibCompress(filterRows(recipe), 6, Z_DEFAULT_STRATEGY), {}};
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
// IDAT chunks after other chunks, and whatever follows the end of the
// Deflate data (the Adler-32 checksum, more IDATs) is never read.
TEST(PngChunks, ImageDataJoinedAcrossOtherChunksAndChecksumUnread)
{
    for (const ImageParts& parts : images()) {
        const Bytes plain = assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", parts.stream)})));
        const size_t half = parts.stream.size() / 2;
        Bytes badChecksum = parts.stream;
        badChecksum.back() ^= 0x55;
        const Bytes lenient[] = {
            assemblePng(headAnd(parts,
                withEnd({pngChunk("IDAT", bytesFrom(parts.stream, 0, half)), pngChunk("teXt", {'a', 0, 'b'}),
                    pngChunk("IDAT", bytesFrom(parts.stream, half, kEnd))}))),
            assemblePng(headAnd(parts, withEnd({pngChunk("IDAT", badChecksum)}))),
            assemblePng(headAnd(parts,
                withEnd(
                    {pngChunk("IDAT", bytesFrom(parts.stream, 0, parts.stream.size() - 4)), pngChunk("IDAT", {0})}))),
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

} // namespace
