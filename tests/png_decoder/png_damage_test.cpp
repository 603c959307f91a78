// Damaged, hostile and unsupported PNG files are refused cleanly, and a
// surface that cannot take the image is never written.
#include "png_builder.h"
#include "png_decoder.h"
#include "png_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

namespace {

Bytes header(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace = 0)
{
    return pngChunk("IHDR", ihdrData(width, height, depth, colorType, interlace));
}

// A 4 x 3 greyscale image: its filtered rows and their zlib stream.
const PngRecipe& greySpec()
{
    static const PngRecipe recipe = [] {
        PngRecipe s;
        s.width = 4;
        s.height = 3;
        s.pixels = randomBytes(12, 3);
        return s;
    }();
    return recipe;
}

Bytes greyStream(const Bytes& filtered = filterRows(greySpec()))
{
    return zlibCompress(filtered, 6, Z_DEFAULT_STRATEGY);
}

Bytes greyFile(const std::vector<Bytes>& beforeData, const Bytes& stream, const std::vector<Bytes>& afterData = {})
{
    std::vector<Bytes> chunks{header(4, 3, 8, 0)};
    chunks.insert(chunks.end(), beforeData.begin(), beforeData.end());
    chunks.push_back(pngChunk("IDAT", stream));
    chunks.insert(chunks.end(), afterData.begin(), afterData.end());
    chunks.push_back(pngChunk("IEND", {}));
    return assemblePng(chunks);
}

// The 4 x 3 image as 16-bit grey, interlaced: decoded row by row.
const PngRecipe& deepInterlacedRecipe()
{
    static const PngRecipe recipe = [] {
        PngRecipe s = greySpec();
        s.bitDepth = 16;
        s.interlace = 1;
        s.pixels = randomBytes(24, 5);
        return s;
    }();
    return recipe;
}

// The deep interlaced image's header, then `stream` as its image data.
Bytes deepInterlacedFile(const Bytes& stream)
{
    return assemblePng({header(4, 3, 16, 0, 1), pngChunk("IDAT", stream), pngChunk("IEND", {})});
}

Bytes withHeaderByte(size_t index, uint8_t value)
{
    Bytes data = ihdrData(4, 3, 8, 0, 0);
    data[index] = value;
    return assemblePng({pngChunk("IHDR", data), pngChunk("IDAT", greyStream()), pngChunk("IEND", {})});
}

struct DamageCase {
    const char* what;
    Bytes file;
    int firstWalk; // result of the first walk; PNG_OK when the second walk finds the fault
};

// Broken headers, chunks out of order or of the wrong size, CRCs.
std::vector<DamageCase> chunkDamage()
{
    const Bytes stream = greyStream();
    const Bytes palette = randomBytes(12, 4);
    Bytes badCrc = greyFile({}, stream);
    badCrc[badCrc.size() - 13] ^= 1;
    Bytes noIend = greyFile({}, stream);
    noIend.resize(noIend.size() - 12);
    Bytes ihdrData12 = ihdrData(4, 3, 8, 0, 0);
    ihdrData12.pop_back();
    return {
        {"signature only", pngSignature(), PNG_INVALID},
        {"IHDR of 12 bytes", assemblePng({pngChunk("IHDR", ihdrData12), pngChunk("IEND", {})}), PNG_INVALID},
        {"PLTE before IHDR", assemblePng({pngChunk("PLTE", palette), header(4, 3, 8, 3)}), PNG_INVALID},
        {"width 0", withHeaderByte(3, 0), PNG_INVALID},
        {"height 2^31", assemblePng({header(1, 0x80000000u, 8, 0), pngChunk("IEND", {})}), PNG_INVALID},
        {"colour type 1", withHeaderByte(9, 1), PNG_INVALID},
        {"colour type 5", withHeaderByte(9, 5), PNG_INVALID},
        {"colour type 7", withHeaderByte(9, 7), PNG_INVALID},
        {"grey of 3 bits", withHeaderByte(8, 3), PNG_INVALID},
        {"indexed of 16 bits", assemblePng({header(4, 3, 16, 3), pngChunk("IEND", {})}), PNG_INVALID},
        {"compression 1", withHeaderByte(10, 1), PNG_INVALID},
        {"filter method 1", withHeaderByte(11, 1), PNG_INVALID},
        {"interlace 2", withHeaderByte(12, 2), PNG_INVALID},
        {"grey of 16 bits, data of 8", withHeaderByte(8, 16), PNG_OK},
        {"grey of 1 bit, data of 8", withHeaderByte(8, 1), PNG_OK},
        {"interlaced, data of a plain image", withHeaderByte(12, 1), PNG_OK},
        {"indexed of 4 bits without IDAT",
            assemblePng({header(4, 3, 4, 3), pngChunk("PLTE", palette), pngChunk("IEND", {})}), PNG_INVALID},
        {"CRC mismatch", badCrc, PNG_INVALID},
        {"no IEND", noIend, PNG_INVALID},
        {"no IDAT", assemblePng({header(4, 3, 8, 0), pngChunk("IEND", {})}), PNG_INVALID},
        {"only an empty IDAT", greyFile({}, {}), PNG_INVALID},
        {"tRNS after IDAT", greyFile({}, stream, {pngChunk("tRNS", {0, 1})}), PNG_INVALID},
        {"tRNS of 3 bytes in greyscale", greyFile({pngChunk("tRNS", {0, 1, 2})}, stream), PNG_INVALID},
        {"tRNS in grey with alpha",
            assemblePng({header(2, 3, 8, 4), pngChunk("tRNS", {0, 1}), pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
        {"tRNS longer than the palette",
            assemblePng({header(4, 3, 8, 3), pngChunk("PLTE", palette), pngChunk("tRNS", Bytes(5, 1)),
                pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
        {"PLTE in greyscale", greyFile({pngChunk("PLTE", palette)}, stream), PNG_INVALID},
        {"PLTE of 4 bytes", greyFile({pngChunk("PLTE", Bytes(4, 0))}, stream), PNG_INVALID},
        {"second PLTE",
            assemblePng({header(4, 3, 8, 3), pngChunk("PLTE", palette), pngChunk("PLTE", palette),
                pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
        {"second PLTE in truecolour",
            assemblePng({header(1, 3, 8, 2), pngChunk("PLTE", palette), pngChunk("PLTE", palette),
                pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
        {"indexed without PLTE", assemblePng({header(4, 3, 8, 3), pngChunk("IDAT", stream), pngChunk("IEND", {})}),
            PNG_INVALID},
        {"unknown critical chunk", greyFile({pngChunk("CODE", {})}, stream), PNG_UNSUPPORTED},
    };
}

// Images over the size limits, and more image than the data could give.
std::vector<DamageCase> limitDamage()
{
    const Bytes tinyStream = zlibCompress(Bytes(64, 0), 9, Z_DEFAULT_STRATEGY);
    return {
        {"filtered size over 32 bits",
            assemblePng({header(70000, 70000, 8, 0), pngChunk("IDAT", tinyStream), pngChunk("IEND", {})}),
            PNG_UNSUPPORTED},
        {"16-bit RGBA filtered size over 32 bits",
            assemblePng({header(30000, 30000, 16, 6), pngChunk("IDAT", tinyStream), pngChunk("IEND", {})}),
            PNG_UNSUPPORTED},
        {"interlaced filtered size over 32 bits",
            assemblePng({header(70000, 70000, 8, 0, 1), pngChunk("IDAT", tinyStream), pngChunk("IEND", {})}),
            PNG_UNSUPPORTED},
        {"more image than the data could expand to",
            assemblePng({header(20000, 20000, 8, 0), pngChunk("IDAT", tinyStream), pngChunk("IEND", {})}), PNG_INVALID},
        {"more 1-bit interlaced image than the data could expand to",
            assemblePng({header(20000, 20000, 1, 0, 1), pngChunk("IDAT", tinyStream), pngChunk("IDAT", {}),
                pngChunk("IEND", {})}),
            PNG_INVALID},
    };
}

// Damaged image data, which only the second walk finds: in place and row by row.
std::vector<DamageCase> imageDataDamage()
{
    const Bytes stream = greyStream();
    const Bytes filtered = filterRows(greySpec());
    Bytes filterFive = filtered, lastRowFilter = filtered;
    filterFive[0] = 5;
    lastRowFilter[10] = 255;
    Bytes extra = filtered;
    extra.push_back(0);
    const Bytes typeThree = {0x78, 0x9C, 0x07, 0x00};
    const Bytes deepFiltered = filterRows(deepInterlacedRecipe());
    const Bytes deepStream = greyStream(deepFiltered);
    Bytes deepExtra = deepFiltered, deepFilterFive = deepFiltered;
    deepExtra.push_back(0);
    deepFilterFive[deepFiltered.size() - 9] = 5; // the filter byte of the last pass's one scanline
    return {
        {"block type 3", greyFile({}, typeThree), PNG_OK},
        {"Deflate data cut short", greyFile({}, Bytes(stream.begin(), stream.end() - 8)), PNG_OK},
        {"image data ending early", greyFile({}, greyStream(Bytes(filtered.begin(), filtered.end() - 5))), PNG_OK},
        {"image data too long", greyFile({}, greyStream(extra)), PNG_OK},
        {"filter type 5", greyFile({}, greyStream(filterFive)), PNG_OK},
        {"filter type 255 in the last row", greyFile({}, greyStream(lastRowFilter)), PNG_OK},
        {"row by row: block type 3", deepInterlacedFile(typeThree), PNG_OK},
        {"row by row: Deflate data cut short", deepInterlacedFile(Bytes(deepStream.begin(), deepStream.end() - 8)),
            PNG_OK},
        {"row by row: image data ending early",
            deepInterlacedFile(greyStream(Bytes(deepFiltered.begin(), deepFiltered.end() - 3))), PNG_OK},
        {"row by row: image data too long", deepInterlacedFile(greyStream(deepExtra)), PNG_OK},
        {"row by row: filter type 5 in the last pass", deepInterlacedFile(greyStream(deepFilterFive)), PNG_OK},
    };
}

std::vector<DamageCase> damageCases()
{
    std::vector<DamageCase> cases = chunkDamage();
    for (std::vector<DamageCase> more : {limitDamage(), imageDataDamage()})
        cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

TEST(PngDamage, RefusedWithTheRightResultAndNothingLeftAllocated)
{
    ASSERT_TRUE(decodeFile(greyFile({}, greyStream()))) << "the undamaged image";
    ASSERT_TRUE(decodeFile(deepInterlacedFile(greyStream(filterRows(deepInterlacedRecipe()))))) << "the deep one";
    for (const DamageCase& c : damageCases()) {
        PngInfo info{};
        EXPECT_EQ(decodePngChunks(c.file.data(), c.file.size(), info, nullptr), c.firstWalk) << c.what;
        gLog = AllocationLog{};
        DsSurface* surface =
            decodePngWithAllocator(c.file.data(), c.file.size(), false, 90, countingAllocator, countingFree);
        EXPECT_EQ(surface, nullptr) << c.what;
        if (c.firstWalk != PNG_OK) {
            EXPECT_EQ(gLog.allocations, 0) << c.what << ": nothing is allocated for a file the first walk refuses";
        }
        EXPECT_TRUE(gLog.live.empty()) << c.what;
    }
}

// A file whose buffer, widened by a colour key, would not fit in 32 bits is
// refused before anything is allocated, although its filtered size fits.
TEST(PngDamage, BufferOverTheLimitIsNeverAllocated)
{
    const Bytes junk(2500000, 0);
    const Bytes file = assemblePng(
        {header(50000, 50000, 8, 0), pngChunk("tRNS", {0, 0}), pngChunk("IDAT", junk), pngChunk("IEND", {})});
    PngInfo info{};
    ASSERT_EQ(decodePngChunks(file.data(), file.size(), info, nullptr), PNG_OK);
    gLog = AllocationLog{};
    EXPECT_EQ(decodePngWithAllocator(file.data(), file.size(), false, 0, countingAllocator, countingFree), nullptr);
    EXPECT_EQ(gLog.allocations, 0);
}

Bytes richFile()
{
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.width = 7;
    recipe.height = 5;
    recipe.pixels = randomBytes(35, 9);
    for (uint8_t& index : recipe.pixels)
        index %= 6;
    recipe.palette = randomBytes(18, 10);
    recipe.transparency = {0, 99};
    recipe.filters = {1, 4};
    recipe.idatPiece = 9;
    return buildPng(recipe);
}

// Rewrites the CRC of every whole chunk after the signature, so that a
// damaged chunk reaches the checks behind its CRC.
void repairCrcs(Bytes& file)
{
    constexpr size_t kSignatureBytes = 8, kChunkOverhead = 12;
    for (size_t offset = kSignatureBytes; offset + kChunkOverhead <= file.size();) {
        const size_t length = size_t(file[offset]) << 24 | size_t(file[offset + 1]) << 16 |
            size_t(file[offset + 2]) << 8 | file[offset + 3];
        if (length > file.size() - offset - kChunkOverhead)
            return;
        const uLong crc = crc32(0, &file[offset + 4], uInt(length + 4));
        for (size_t i = 0; i < 4; ++i)
            file[offset + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
        offset += length + kChunkOverhead;
    }
}

bool isLetter(uint8_t byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// True when byte `at` of the file is part of a chunk type.
bool isChunkType(const Bytes& file, size_t at)
{
    constexpr size_t kSignatureBytes = 8, kChunkOverhead = 12;
    for (size_t offset = kSignatureBytes; offset + kChunkOverhead <= file.size();) {
        if (at >= offset + 4 && at < offset + 8)
            return true;
        offset += (size_t(file[offset]) << 24 | size_t(file[offset + 1]) << 16 | size_t(file[offset + 2]) << 8 |
                      file[offset + 3]) +
            kChunkOverhead;
    }
    return false;
}

// Every prefix is refused. Every bit flip, its chunk's CRC made right, is
// judged as libpng judges it: a flip in the palette or the transparency
// gives another valid image, one in the image data must be caught by
// inflate's checks or the Adler-32 (the filter types are checked too), one in
// the header by the size and value checks.
TEST(PngDamage, EveryTruncationIsRefusedAndEveryBitFlipJudgedAsLibpngDoes)
{
    const Bytes file = richFile();
    ASSERT_TRUE(decodeFile(file));
    for (size_t length = 0; length < file.size(); ++length)
        EXPECT_FALSE(decodeFile(Bytes(file.begin(), file.begin() + length))) << "prefix of " << length << " bytes";
    constexpr size_t kDimensionsStart = 16, kDimensionsEnd = 24; // IHDR width and height
    size_t decoded = 0, refused = 0;
    for (size_t at = 0; at < file.size(); ++at) {
        for (int bit : {0, 5, 7}) {
            Bytes damaged = file;
            damaged[at] ^= uint8_t(1 << bit);
            repairCrcs(damaged);
            const std::string label = "bit " + std::to_string(bit) + " of byte " + std::to_string(at);
            if (at >= kDimensionsStart && at < kDimensionsEnd) {
                // The image data no longer fill the rows; libpng is not
                // asked, as it allocates rows of up to 2 GiB first.
                EXPECT_FALSE(decodeFile(damaged)) << label;
                continue;
            }
            if (!isLetter(damaged[at]) && isChunkType(file, at))
                continue; // an ancillary chunk of that name is skipped, where libpng refuses the name
            if (referenceSurface(damaged, false).decoded) {
                expectSurfaceMatchesReference(damaged, false, 0, label);
                ++decoded;
            } else {
                EXPECT_FALSE(decodeFile(damaged)) << label << ": libpng refuses it";
                ++refused;
            }
        }
    }
    EXPECT_GT(decoded, 0u) << "flips that leave a valid image";
    EXPECT_GT(refused, 0u);
}

TEST(PngDamage, AllocatorFailuresFailCleanly)
{
    const Bytes file = richFile();
    for (int failAt = 0; failAt < 3; ++failAt) {
        gLog = AllocationLog{};
        gLog.failAt = failAt;
        EXPECT_EQ(decodePngWithAllocator(file.data(), file.size(), false, 90, countingAllocator, countingFree), nullptr)
            << "allocation " << failAt << " (pixels, palette, rotated pixels) failing";
        EXPECT_TRUE(gLog.live.empty());
    }
    gLog = AllocationLog{};
    DsSurface* surface = decodePngWithAllocator(file.data(), file.size(), false, 90, countingAllocator, countingFree);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(gLog.allocations, 3);
    surface->release();
    delete surface;
    EXPECT_TRUE(gLog.live.empty());
}

struct MismatchCase {
    const char* what;
    int32_t width, height, rotation;
    uint32_t mode, alignment;
    uint64_t reserve, paletteSize;
    int result;
};

// The second walk on surfaces made by hand: only one that can take the image
// is written, also with padded rows, whose padding is cleared; in place (8
// bits) and row by row (16 bits, interlaced).
TEST(PngDamage, SecondWalkChecksTheSurface)
{
    PngRecipe recipe;
    recipe.colorType = 2;
    recipe.width = 5;
    recipe.height = 4;
    recipe.filters = {4, 3};
    const MismatchCase cases[] = {
        {"the surface decodePng makes", 5, 4, 0, ARGB8888, 1, 4, 0, PNG_OK},
        {"padded rows", 5, 4, 0, ARGB8888, 16, 4, 0, PNG_OK},
        {"no reserve, the widening leaves room", 5, 4, 0, ARGB8888, 1, 0, 0, PNG_OK},
        {"colour key without alpha", 5, 4, 0, RGB888, 1, 64, 0, PNG_SURFACE_MISMATCH},
        {"one row less", 5, 3, 0, ARGB8888, 1, 64, 0, PNG_SURFACE_MISMATCH},
        {"narrower", 4, 4, 0, ARGB8888, 1, 64, 0, PNG_SURFACE_MISMATCH},
        {"stored turned", 5, 4, 180, ARGB8888, 1, 64, 0, PNG_SURFACE_MISMATCH},
        {"alpha only from truecolour", 5, 4, 0, A8, 1, 64, 0, PNG_SURFACE_MISMATCH},
        {"a mode without pixel size", 5, 4, 0, 6, 1, 64, 0, PNG_SURFACE_MISMATCH},
    };
    for (uint8_t depth : {8, 16}) {
        recipe.bitDepth = depth;
        recipe.interlace = depth == 16 ? 1 : 0;
        recipe.pixels = randomBytes(60 * depth / 8, 2);
        recipe.transparency = {0, 1, 0, 2, 0, 3};
        const Bytes file = buildPng(recipe);
        const ReferenceSurface reference = referenceSurface(file, false);
        for (const MismatchCase& c : cases) {
            const std::string label = std::string(c.what) + ", depth " + std::to_string(depth);
            gLog = AllocationLog{};
            DsSurface surface(c.width, c.height, &c.rotation, c.mode, false, c.paletteSize, countingAllocator,
                countingFree, c.alignment, c.reserve);
            if (surface.isValid())
                std::memset(surface.pixels(), 0xAB, size_t(surface.bufferSize()));
            PngInfo info{};
            EXPECT_EQ(decodePngChunks(file.data(), file.size(), info, &surface), c.result) << label;
            for (int32_t row = 0; c.result == PNG_OK && row < c.height; ++row) {
                const uint8_t* start = surface.pixels() + row * surface.pitch();
                EXPECT_EQ(
                    Bytes(start, start + 20), Bytes(&reference.pixels[row * 20], &reference.pixels[row * 20] + 20))
                    << label << " row " << row;
                EXPECT_EQ(Bytes(start + 20, start + surface.pitch()), Bytes(surface.pitch() - 20, 0))
                    << label << " padding of row " << row;
            }
            surface.release();
        }
    }
}

TEST(PngDamage, IndexedImageIntoASmallerPalette)
{
    const Bytes file = richFile();
    const int32_t noRotation = 0;
    for (uint64_t entries : {0, 5}) {
        DsSurface surface(7, 5, &noRotation, I8, true, entries, dsMalloc, dsFree, 1, 8);
        PngInfo info{};
        EXPECT_EQ(decodePngChunks(file.data(), file.size(), info, &surface), PNG_SURFACE_MISMATCH) << entries;
        surface.release();
    }
    DsSurface noReserve(7, 5, &noRotation, I8, true, 6, dsMalloc, dsFree, 1, 0);
    PngInfo first{};
    EXPECT_EQ(decodePngChunks(file.data(), file.size(), first, &noReserve), PNG_SURFACE_MISMATCH)
        << "filtered data larger than the buffer";
    noReserve.release();
    DsSurface opaque(7, 5, &noRotation, I8, false, 6, dsMalloc, dsFree, 1, 8);
    PngInfo info{};
    EXPECT_EQ(decodePngChunks(file.data(), file.size(), info, &opaque), PNG_SURFACE_MISMATCH)
        << "tRNS needs a palette with alpha";
    opaque.release();
}

} // namespace
