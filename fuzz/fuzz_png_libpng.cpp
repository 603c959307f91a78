// Differential libFuzzer target: decodePng against libpng on the same file
// (request byte as in png_fuzz_request.h). Both refuse the file, or both
// decode it to the same surface: colour mode, size, pixel bytes and the
// palette colour of every pixel (the palettes themselves may differ in
// length). libpng reads strictly (ReferenceSurface in png_builder.h) and is
// shown the file as this decoder reads it: the leniency the decoder keeps on
// purpose is settled in the copy libpng gets, or the file is not compared.
//
// Settled in libpng's copy, where the decoder reads past what libpng checks:
// - IDAT chunks with other chunks between them: libpng gets one IDAT, at the
//   place of the first, holding the zlib header, the Deflate data up to the
//   end zlib finds and the four bytes after it (the Adler-32), as the file
//   has them; bytes after those, which the decoder passes over, are dropped;
// - the window size of a valid zlib header, which the decoder does not hold
//   against the distances (it always keeps 32 KiB): raised to 32 KiB;
// - data in the IEND chunk: dropped;
// - ancillary chunks whose type holds bytes other than letters: dropped, as
//   the decoder skips them;
// - a tRNS of no bytes before the image data of an indexed image, which
//   libpng refuses: dropped (the decoder's palette gets alpha 255 all
//   through, which shows the same);
// - the only PLTE of a truecolour image, of a length a palette may have,
//   which the decoder ignores wherever it stands: dropped.
// Not compared, the decoder having to refuse:
// - a broken chunk structure (wrong signature, a chunk past the end or a
//   bad CRC before IEND, no IEND), or a first chunk other than a 13-byte
//   IHDR;
// - after the first IDAT, a tRNS or any critical chunk but IDAT, IEND and
//   that ignored PLTE, which libpng reads past;
// - a truecolour image's second PLTE, or one of a length no palette has;
// - more filtered image data than 1032 times the IDAT bytes, more than
//   Deflate can give: refused by the decoder's limit against decompression
//   bombs, before libpng would allocate the image.
// Not compared, either may decode:
// - a second tRNS, which libpng refuses and the decoder reads over the
//   first;
// - an indexed image's tRNS with more entries than its bit depth has
//   indices, which libpng refuses after cutting its palette to that many;
// - a grey or truecolour key with a sample beyond the bit depth: libpng
//   masks off the bits above the depth, the decoder matches no pixel with
//   it, as its 8-bit path always has.
#include "png_builder.h"
#include "png_decoder.h"
#include "png_fuzz_request.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kSignatureBytes = 8;
constexpr size_t kChunkOverhead = 12; // length, type and CRC
constexpr size_t kZlibHeaderBytes = 2;
constexpr size_t kAdlerBytes = 4;
constexpr uint8_t kLargestWindowCmf = 0x78; // Deflate with a 32 KiB window
constexpr uint8_t kCheckBits = 0x1F;        // FCHECK in FLG
constexpr uint8_t kIndexed = 3;
constexpr size_t kMaxPaletteBytes = 768; // 256 entries of R, G, B

void check(bool condition)
{
    if (!condition)
        abort();
}

struct Chunk {
    std::string type; // four bytes
    Bytes data;
};

// The chunks from after the signature up to IEND, or false when the
// structure is broken: wrong signature, a chunk past the end, a bad CRC or
// no IEND.
bool readChunks(const Bytes& file, std::vector<Chunk>& chunks)
{
    if (file.size() < kSignatureBytes || std::memcmp(file.data(), kSignature, kSignatureBytes) != 0)
        return false;
    for (size_t offset = kSignatureBytes; file.size() - offset >= kChunkOverhead;) {
        const uint64_t length = pngLoadBig32(&file[offset]);
        if (length > file.size() - offset - kChunkOverhead)
            return false;
        const uint8_t* type = &file[offset + 4];
        if (crc32(crc32(0, nullptr, 0), type, uInt(length + 4)) != pngLoadBig32(type + 4 + length))
            return false;
        chunks.push_back({std::string(type, type + 4), Bytes(type + 4, type + 4 + length)});
        if (chunks.back().type == "IEND")
            return true;
        offset += length + kChunkOverhead;
    }
    return false;
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isAncillary(const std::string& type)
{
    return (type[0] & 0x20) != 0;
}

// What the header says, when the file starts with a 13-byte IHDR.
struct Header {
    bool valid = false;
    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 0, colorType = 0;
};

Header headerOf(const std::vector<Chunk>& chunks)
{
    Header header;
    if (chunks.empty() || chunks[0].type != "IHDR" || chunks[0].data.size() != 13)
        return header;
    const uint8_t* field = chunks[0].data.data();
    header = {true, pngLoadBig32(field), pngLoadBig32(field + 4), field[8], field[9]};
    return header;
}

uint32_t channelsOf(uint8_t colorType)
{
    static const uint8_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    return colorType < 7 ? kChannels[colorType] : 0;
}

// The verdict on a file before libpng is asked.
enum class Verdict {
    Compare,        // ask libpng and compare
    DecoderRefuses, // the decoder must refuse; libpng is not asked
    Either,         // a kept difference: not compared
};

// Filter-type bytes and rows of the image without interlacing, a lower
// bound of the interlaced size too; UINT64_MAX when over 64 bits.
uint64_t plainFilteredSize(const Header& header)
{
    const uint64_t rowBits = uint64_t(header.width) * channelsOf(header.colorType) * header.bitDepth;
    uint64_t size = 0;
    return __builtin_mul_overflow(uint64_t(header.height), (rowBits + 7) / 8 + 1, &size) ? UINT64_MAX : size;
}

bool isTruecolour(const Header& header)
{
    return header.colorType == 2 || header.colorType == 6;
}

// A PLTE in a truecolour image that the decoder reads and ignores: the only
// one, of a length a palette may have.
bool isIgnoredPalette(const Header& header, const Chunk& chunk, int palettes)
{
    return isTruecolour(header) && chunk.type == "PLTE" && palettes == 1 && chunk.data.size() % 3 == 0 &&
        chunk.data.size() <= kMaxPaletteBytes;
}

int countOf(const std::vector<Chunk>& chunks, const char* type)
{
    int count = 0;
    for (const Chunk& chunk : chunks)
        count += chunk.type == type;
    return count;
}

// After the first IDAT, libpng reads past chunks that the decoder refuses:
// a tRNS, and any critical chunk but IDAT, IEND and an ignored PLTE.
bool refusedAfterTheImageData(const std::vector<Chunk>& chunks, const Header& header)
{
    const int palettes = countOf(chunks, "PLTE");
    bool afterIdat = false;
    for (const Chunk& chunk : chunks) {
        const bool critical = !isAncillary(chunk.type) && chunk.type != "IDAT" && chunk.type != "IEND";
        if (afterIdat && (chunk.type == "tRNS" || (critical && !isIgnoredPalette(header, chunk, palettes))))
            return true;
        afterIdat = afterIdat || chunk.type == "IDAT";
    }
    return false;
}

// A grey or truecolour key with a sample beyond the bit depth: libpng masks
// off the bits above the depth; the decoder matches no pixel with it.
bool keyBeyondTheDepth(const Header& header, const Chunk& chunk)
{
    if (chunk.type != "tRNS" || header.bitDepth >= 16 || (header.colorType != 0 && header.colorType != 2))
        return false;
    for (size_t i = 0; i + 1 < chunk.data.size(); i += 2)
        if ((uint32_t(chunk.data[i]) << 8 | chunk.data[i + 1]) >> header.bitDepth != 0)
            return true;
    return false;
}

Verdict verdictOnChunks(const std::vector<Chunk>& chunks)
{
    const Header header = headerOf(chunks);
    if (!header.valid || refusedAfterTheImageData(chunks, header))
        return Verdict::DecoderRefuses;
    const int palettes = countOf(chunks, "PLTE");
    uint64_t idatBytes = 0;
    for (const Chunk& chunk : chunks) {
        idatBytes += chunk.type == "IDAT" ? chunk.data.size() : 0;
        if (chunk.type == "PLTE" && isTruecolour(header) && !isIgnoredPalette(header, chunk, palettes))
            return Verdict::DecoderRefuses;
        if (keyBeyondTheDepth(header, chunk) ||
            (chunk.type == "tRNS" && header.colorType == kIndexed && header.bitDepth < 8 &&
                chunk.data.size() > (size_t(1) << header.bitDepth)))
            return Verdict::Either;
    }
    if (countOf(chunks, "tRNS") > 1)
        return Verdict::Either;
    if (plainFilteredSize(header) > idatBytes * kDeflateMaxExpansion)
        return Verdict::DecoderRefuses;
    return Verdict::Compare;
}

// True for a zlib header that zlib accepts: Deflate, a window of at most
// 32 KiB, no preset dictionary, the check bits right.
bool validZlibHeader(uint8_t cmf, uint8_t flg)
{
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0 && (uint32_t(cmf) << 8 | flg) % 31 == 0;
}

// The zlib stream as the decoder reads it: a valid header with its window
// raised to 32 KiB, and nothing after the four bytes that follow the end of
// the Deflate data. Unchanged when zlib finds no end.
Bytes settleZlibStream(const Bytes& joined)
{
    if (joined.size() < kZlibHeaderBytes)
        return joined;
    Bytes stream = joined;
    if (validZlibHeader(stream[0], stream[1])) {
        stream[0] = kLargestWindowCmf;
        stream[1] = uint8_t(stream[1] & ~kCheckBits);
        stream[1] = uint8_t(stream[1] + (31 - (uint32_t(stream[0]) << 8 | stream[1]) % 31) % 31);
    }
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(joined.data() + kZlibHeaderBytes);
    z.avail_in = uInt(joined.size() - kZlibHeaderBytes);
    Bytef out[16384];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = out;
        z.avail_out = sizeof(out);
        result = inflate(&z, Z_NO_FLUSH);
    }
    const size_t left = z.avail_in;
    inflateEnd(&z);
    if (result == Z_STREAM_END)
        stream.resize(stream.size() - left + std::min(left, kAdlerBytes));
    return stream;
}

// The file as the decoder reads it, for libpng.
Bytes settledCopy(const std::vector<Chunk>& chunks)
{
    const Header header = headerOf(chunks);
    Bytes joined;
    for (const Chunk& chunk : chunks)
        if (chunk.type == "IDAT")
            joined.insert(joined.end(), chunk.data.begin(), chunk.data.end());
    const Bytes stream = settleZlibStream(joined);
    const int palettes = countOf(chunks, "PLTE");
    std::vector<Bytes> kept;
    bool idatPlaced = false;
    for (const Chunk& chunk : chunks) {
        const bool oddName = isAncillary(chunk.type) &&
            !(isLetter(chunk.type[0]) && isLetter(chunk.type[1]) && isLetter(chunk.type[2]) && isLetter(chunk.type[3]));
        const bool emptyAlphas =
            chunk.type == "tRNS" && chunk.data.empty() && header.colorType == kIndexed && !idatPlaced;
        if (oddName || emptyAlphas || isIgnoredPalette(header, chunk, palettes) || (chunk.type == "IDAT" && idatPlaced))
            continue;
        if (chunk.type == "IDAT")
            idatPlaced = true;
        kept.push_back(pngChunk(chunk.type,
            chunk.type == "IDAT"       ? stream
                : chunk.type == "IEND" ? Bytes{}
                                       : chunk.data));
    }
    return assemblePng(kept);
}

// The colour of a palette-mode pixel: its entry as R, G, B, A.
Bytes entryColour(const uint8_t* palette, size_t entries, bool withAlpha, uint8_t index)
{
    const size_t step = withAlpha ? 4 : 3;
    if (index >= entries)
        return {};
    const uint8_t* entry = palette + index * step;
    return {entry[2], entry[1], entry[0], withAlpha ? entry[3] : uint8_t(255)};
}

// The decoder's surface against libpng's: mode, size, pixel bytes, and for
// palette modes every pixel's colour.
void compareSurfaces(const DsSurface& surface, const ReferenceSurface& reference, int rotation)
{
    check(surface.colorMode() == reference.colorMode);
    const uint32_t bpp = dsBytesPerPixel(reference.colorMode);
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t width = quarter ? reference.height : reference.width;
    const uint32_t height = quarter ? reference.width : reference.height;
    check(surface.width() == int32_t(width) && surface.height() == int32_t(height) && surface.pitch() == width * bpp);
    const Bytes expected = rotateReference(reference.pixels, reference.width, reference.height, bpp, rotation);
    check(std::memcmp(surface.pixels(), expected.data(), expected.size()) == 0);
    if (!surface.palette())
        return;
    const bool referenceAlpha = reference.paletteHasAlpha;
    const size_t referenceEntries = reference.palette.size() / (referenceAlpha ? 4 : 3);
    for (size_t i = 0; i < expected.size(); i += bpp) {
        const Bytes ours =
            entryColour(surface.palette(), surface.paletteSize(), surface.paletteHasAlpha(), expected[i]);
        check(!ours.empty() &&
            ours == entryColour(reference.palette.data(), referenceEntries, referenceAlpha, expected[i]));
    }
}

struct SurfaceRelease {
    void operator()(DsSurface* surface) const
    {
        surface->release();
        delete surface;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const PngFuzzRequest request = readFuzzRequest(data, size);
    const std::unique_ptr<DsSurface, SurfaceRelease> surface(
        decodePng(request.file.data(), request.file.size(), request.alphaOnly, request.rotation));
    std::vector<Chunk> chunks;
    if (!readChunks(request.file, chunks)) {
        check(!surface);
        return 0;
    }
    const Verdict verdict = verdictOnChunks(chunks);
    if (verdict == Verdict::DecoderRefuses)
        check(!surface);
    if (verdict != Verdict::Compare)
        return 0;
    const ReferenceSurface reference = referenceSurface(settledCopy(chunks), request.alphaOnly);
    const bool greyOrNotAlphaOnly = !request.alphaOnly || reference.colorMode == A8;
    check(bool(surface) == (reference.decoded && greyOrNotAlphaOnly));
    if (surface)
        compareSurfaces(*surface, reference, request.rotation);
    return 0;
}
