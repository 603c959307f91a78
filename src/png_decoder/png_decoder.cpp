#include "png_decoder.h"

#include "png_bytes.h"
#include "png_crc.h"
#include "png_passes.h"
#include "png_rows.h"
#include "png_unfilter.h"
#include "png_zlib.h"
#include "streams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr uint64_t kSignatureBytes = sizeof(kSignature);
constexpr uint64_t kChunkOverhead = 12; // length, type and CRC around the data
constexpr uint32_t kIhdrLength = 13;
constexpr uint64_t kFirstChunkEnd = 33; // signature and the whole IHDR chunk
constexpr uint64_t kLengthBytes = 4;
constexpr uint32_t kMaxPaletteBytes = 768; // 256 entries of R, G, B
constexpr uint32_t kGreyPaletteSize = 256; // the grey ramp of greyscale images
constexpr uint32_t kIndexCount = 256;      // the values an 8-bit palette index can take
constexpr uint8_t kInPlaceDepth = 8;

// Chunk types as big-endian words, compared exactly: a type that differs
// from these in any bit, letter case included, is another chunk. Bit 5 of
// the first byte (a lower-case first letter) marks an ancillary chunk.
constexpr uint32_t kAncillaryBit = 0x20000000u;
constexpr uint32_t kTypeIhdr = 0x49484452u; // IHDR
constexpr uint32_t kTypePlte = 0x504C5445u; // PLTE
constexpr uint32_t kTypeTrns = 0x74524E53u; // tRNS
constexpr uint32_t kTypeIdat = 0x49444154u; // IDAT
constexpr uint32_t kTypeIend = 0x49454E44u; // IEND

// What a step of a walk leads to: the next chunk, or the end of the walk
// with one of the public results (converted by pngResultOf).
enum class WalkStep {
    NextChunk,       // go on with the chunk that follows
    Ok,              // PNG_OK
    Invalid,         // PNG_INVALID
    Unsupported,     // PNG_UNSUPPORTED
    SurfaceMismatch, // PNG_SURFACE_MISMATCH
};

PngResult pngResultOf(WalkStep step)
{
    switch (step) {
    case WalkStep::Ok: return PNG_OK;
    case WalkStep::Unsupported: return PNG_UNSUPPORTED;
    case WalkStep::SurfaceMismatch: return PNG_SURFACE_MISMATCH;
    case WalkStep::NextChunk:
    case WalkStep::Invalid: break;
    }
    return PNG_INVALID;
}

// Everything one walk carries from chunk to chunk. The second walk decodes
// the image data through one of two strategies, in place or row by row.
struct Walk {
    Walk(const uint8_t* bytes, uint64_t byteCount, PngInfo& header, DsSurface* target, bool checkCrcs)
        : data(bytes), size(byteCount), info(header), surface(target), crcsChecked(checkCrcs)
    {
    }

    const uint8_t* data;                    // the whole file
    uint64_t size;                          // its bytes
    PngInfo& info;                          // filled as the chunks are read
    DsSurface* surface;                     // null in the first walk
    bool crcsChecked;                       // off when a walk before compared the chunk CRCs
    uint32_t bitsPerPixel = 0;              // bits of one pixel in the scanlines
    PngPasses passes{};                     // one when not interlaced
    uint64_t filteredSize = 0;              // filter bytes and scanlines of the whole image
    uint64_t idatBytes = 0;                 // sum of the IDAT lengths so far
    uint8_t zlibHeader[kZlibHeaderBytes]{}; // CMF and FLG, from wherever they fall
    uint32_t zlibHeaderSeen = 0;            // bytes of zlibHeader taken
    bool idatSeen = false;
    bool paletteSeen = false;
    bool hasKey = false;                 // a tRNS chunk gave a grey or RGB colour key
    uint16_t key[3] = {};                // the key at the file's depth: grey, or R, G, B
    PngPixelFormat format{};             // chosen at the first IDAT of the second walk
    PngInflater inPlace;                 // in place: the image data's stream, into the tail of the buffer
    std::unique_ptr<PngRowDecoder> rows; // row by row: made at the first IDAT of the second walk
};

// 8-bit scanlines of a plain image are inflated into the tail of the
// surface's buffer and unfiltered in place once complete; every other image
// is decoded row by row through a PngRowDecoder.
bool decodesInPlace(const PngInfo& info)
{
    return info.bitDepth == kInPlaceDepth && info.interlace == 0;
}

// Sets of bit depths: each depth is a power of two, so the depths themselves
// are the bits of the set.
constexpr uint8_t kDepths1To8 = 1 | 2 | 4 | 8;
constexpr uint8_t kDepths8And16 = 8 | 16;

struct ColorTypeRule {
    uint8_t colorType;    // IHDR colour type
    uint8_t depths;       // bit depths the header accepts
    uint32_t colorMode;   // surface mode
    uint16_t paletteSize; // palette entries set by the header
};

constexpr ColorTypeRule kColorTypeRules[] = {
    {kPngGrey, kDepths1To8 | 16, I8, kGreyPaletteSize},
    {kPngTruecolour, kDepths8And16, RGB888, 0},
    {kPngIndexed, kDepths1To8, I8, 0},
    {kPngGreyAlpha, kDepths8And16, AI88, kGreyPaletteSize},
    {kPngTruecolourAlpha, kDepths8And16, ARGB8888, 0},
};

// Colour mode and palette size for a colour type and bit depth of the header
// table. False for a combination outside the table.
bool modeForColorType(PngInfo& info)
{
    for (const ColorTypeRule& rule : kColorTypeRules) {
        if (rule.colorType != info.colorType)
            continue;
        const bool powerOfTwo = info.bitDepth != 0 && (info.bitDepth & (info.bitDepth - 1)) == 0;
        if (!powerOfTwo || info.bitDepth > 16 || !(rule.depths & info.bitDepth))
            return false;
        info.colorMode = rule.colorMode;
        info.paletteSize = rule.paletteSize;
        return true;
    }
    return false;
}

// Checks the chunk at `offset` (length, type, data and CRC) against the
// `remaining` bytes and returns its data length through `length`.
bool readChunk(const Walk& walk, uint64_t offset, uint64_t remaining, uint32_t& length)
{
    if (remaining < kLengthBytes)
        return false;
    length = pngLoadBig32(walk.data + offset);
    if (uint64_t(length) + kChunkOverhead > remaining)
        return false;
    const uint8_t* typeAndData = walk.data + offset + kLengthBytes;
    return !walk.crcsChecked ||
        crc32Update(typeAndData, uint64_t(length) + 4, 0) == pngLoadBig32(typeAndData + 4 + length);
}

// The IHDR chunk at offset 8 and the header values in it.
WalkStep readHeader(Walk& walk)
{
    uint32_t length = 0;
    if (walk.size < kSignatureBytes || !readChunk(walk, kSignatureBytes, walk.size - kSignatureBytes, length) ||
        pngLoadBig32(walk.data + kSignatureBytes + 4) != kTypeIhdr || length != kIhdrLength)
        return WalkStep::Invalid;
    const uint8_t* field = walk.data + kSignatureBytes + 8;
    PngInfo& info = walk.info;
    info = PngInfo{};
    info.width = pngLoadBig32(field);
    info.height = pngLoadBig32(field + 4);
    info.bitDepth = field[8];
    info.colorType = field[9];
    info.compression = field[10];
    info.filter = field[11];
    info.interlace = field[12];
    if (info.width == 0 || info.height == 0 || info.width > kPngMaxDimension || info.height > kPngMaxDimension)
        return WalkStep::Invalid;
    if (!modeForColorType(info))
        return WalkStep::Invalid;
    if (info.compression != 0 || info.filter != 0 || info.interlace > 1)
        return WalkStep::Invalid;
    walk.bitsPerPixel = pngSamplesPerPixel(info.colorType) * info.bitDepth;
    walk.passes = pngPasses(info.width, info.height, info.interlace == 1);
    walk.filteredSize = pngFilteredSize(walk.passes, walk.bitsPerPixel);
    if (walk.filteredSize > kPngMaxBufferBytes)
        return WalkStep::Unsupported;
    return WalkStep::Ok;
}

// Second walk: for an image decoded in place, points the inflater at the
// tail of the pixel buffer, so that the filtered data will end exactly at
// the buffer's end. A row decoder is made at the first IDAT instead.
WalkStep prepareInflater(Walk& walk)
{
    DsSurface& surface = *walk.surface;
    if (!surface.isValid())
        return WalkStep::SurfaceMismatch;
    if (!decodesInPlace(walk.info))
        return WalkStep::Ok;
    if (walk.filteredSize > surface.bufferSize())
        return WalkStep::SurfaceMismatch;
    // The filtered data fill the tail exactly: a full window is data beyond the image.
    walk.inPlace.start(surface.pixels() + (surface.bufferSize() - walk.filteredSize), walk.filteredSize,
        walk.filteredSize);
    return WalkStep::Ok;
}

// The pixel format that turns this image into the surface's colour mode:
// the image's own mode, or A8 for the grey levels of a greyscale image.
bool formatFor(const Walk& walk, uint32_t surfaceMode, PngPixelFormat& format)
{
    const PngInfo& info = walk.info;
    const bool alphaOnly = surfaceMode == A8 && info.colorType == kPngGrey;
    if (!alphaOnly && surfaceMode != info.colorMode)
        return false;
    format = PngPixelFormat{info.colorType, info.bitDepth, walk.hasKey && !alphaOnly, {}};
    std::memcpy(format.key, walk.key, sizeof(walk.key));
    return true;
}

// True when the surface's pixels have `surfaceBytes` bytes and its buffer
// holds every row of the image.
bool rowsFit(const Walk& walk, const DsSurface& surface, uint64_t surfaceBytes)
{
    const uint64_t height = walk.info.height, pitch = surface.pitch();
    const uint64_t rowBytes = uint64_t(walk.info.width) * surfaceBytes;
    uint64_t rowsEnd = 0;
    return surface.bytesPerPixel() == surfaceBytes && pitch >= rowBytes &&
        !__builtin_mul_overflow(height - 1, pitch, &rowsEnd) && !__builtin_add_overflow(rowsEnd, rowBytes, &rowsEnd) &&
        rowsEnd <= surface.bufferSize();
}

// True when the rows fit in the buffer and unfiltering in place never writes
// a byte of the filtered data before reading it: pixel p of row r ends at
// r * pitch + (p + 1) * s, and the first unread filtered byte then lies at
// gap + r * (width * f + 1) + 1 + (p + 1) * f, where gap is the space before
// the filtered data and f, s the file's and the surface's pixel sizes.
bool fitsInPlace(const Walk& walk, const DsSurface& surface)
{
    const uint64_t width = walk.info.width, height = walk.info.height, pitch = surface.pitch();
    const uint64_t fileBytes = pngSamplesPerPixel(walk.format.colorType);
    const uint64_t surfaceBytes = pngConvertedBytesPerPixel(walk.format);
    if (!rowsFit(walk, surface, surfaceBytes))
        return false;
    const uint64_t gap = surface.bufferSize() - walk.filteredSize;
    uint64_t required = width * (surfaceBytes - fileBytes);
    const uint64_t scanline = width * fileBytes + 1;
    if (pitch > scanline) {
        uint64_t drift = 0;
        if (__builtin_mul_overflow(height - 1, pitch - scanline, &drift) ||
            __builtin_add_overflow(required, drift, &required))
            return false;
    }
    return gap + 1 >= required;
}

// Second walk, first IDAT of an image decoded row by row: the surface must
// have room for every row. Out of memory for the row decoder counts as over
// a limit.
WalkStep startRows(Walk& walk)
{
    DsSurface& surface = *walk.surface;
    if (!rowsFit(walk, surface, pngConvertedBytesPerPixel(walk.format)))
        return WalkStep::SurfaceMismatch;
    const PngRowImage image{walk.passes, walk.bitsPerPixel, walk.format, walk.filteredSize};
    walk.rows.reset(new (std::nothrow) PngRowDecoder);
    if (!walk.rows || !walk.rows->start(image, PngRowTarget{surface.pixels(), surface.pitch()}))
        return WalkStep::Unsupported;
    return WalkStep::Ok;
}

// Second walk, first IDAT: the surface must be the one made for this image,
// in its colour mode (or A8 for a greyscale image).
WalkStep checkSurface(Walk& walk)
{
    const DsSurface& surface = *walk.surface;
    if (surface.rotation() != 0 || uint64_t(surface.width()) != walk.info.width ||
        uint64_t(surface.height()) != walk.info.height || !formatFor(walk, surface.colorMode(), walk.format))
        return WalkStep::SurfaceMismatch;
    if (!decodesInPlace(walk.info))
        return startRows(walk);
    return fitsInPlace(walk, surface) ? WalkStep::Ok : WalkStep::SurfaceMismatch;
}

// Takes the zlib header bytes from the start of `data`, wherever they
// fall. False once both are in and refused.
bool takeZlibHeader(Walk& walk, const uint8_t*& data, uint32_t& length)
{
    if (walk.zlibHeaderSeen == kZlibHeaderBytes)
        return true;
    while (walk.zlibHeaderSeen < kZlibHeaderBytes && length > 0) {
        walk.zlibHeader[walk.zlibHeaderSeen++] = *data++;
        --length;
    }
    return walk.zlibHeaderSeen < kZlibHeaderBytes || zlibHeaderAccepted(walk.zlibHeader[0], walk.zlibHeader[1]);
}

// Second walk: the data of every IDAT chunk continue one zlib stream, which
// goes to the strategy chosen for the image.
WalkStep inflateIdat(Walk& walk, const uint8_t* data, uint32_t length)
{
    if (walk.info.colorType == kPngIndexed && walk.info.paletteSize == 0)
        return WalkStep::Invalid;
    if (!walk.idatSeen) {
        const WalkStep fit = checkSurface(walk);
        if (fit != WalkStep::Ok)
            return fit;
    }
    if (!takeZlibHeader(walk, data, length))
        return WalkStep::Invalid;
    if (length == 0)
        return WalkStep::NextChunk;
    const PngInflater::Status status = walk.rows ? walk.rows->feed(data, length) : walk.inPlace.feed(data, length, nullptr);
    return status == PngInflater::Status::Invalid ? WalkStep::Invalid : WalkStep::NextChunk;
}

// IDAT chunks of any length, 0 included.
WalkStep handleIdat(Walk& walk, const uint8_t* data, uint32_t length)
{
    walk.idatBytes += length;
    if (walk.surface) {
        const WalkStep step = inflateIdat(walk, data, length);
        if (step != WalkStep::NextChunk)
            return step;
    }
    walk.idatSeen = true;
    return WalkStep::NextChunk;
}

// A suggested palette in a truecolour image is ignored; only indexed images
// take their palette from PLTE.
WalkStep handlePalette(Walk& walk, const uint8_t* data, uint32_t length)
{
    PngInfo& info = walk.info;
    if (walk.paletteSeen || info.paletteSize != 0 || length % 3 != 0 || length > kMaxPaletteBytes)
        return WalkStep::Invalid;
    walk.paletteSeen = true;
    if (info.colorType != kPngIndexed)
        return WalkStep::NextChunk;
    info.paletteSize = uint16_t(length / 3);
    if (!walk.surface)
        return WalkStep::NextChunk;
    DsSurface& surface = *walk.surface;
    if (!surface.palette() || surface.paletteSize() < info.paletteSize)
        return WalkStep::SurfaceMismatch;
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    uint8_t* entry = surface.palette();
    for (uint32_t i = 0; i < info.paletteSize; ++i, data += 3, entry += step) {
        entry[0] = data[2];
        entry[1] = data[1];
        entry[2] = data[0];
        if (step == 4)
            entry[3] = 255;
    }
    return WalkStep::NextChunk;
}

// Palette alphas of an indexed image, or the colour key of a greyscale or
// truecolour image (compared with the samples at the file's depth, so a key
// outside the depth's range matches no pixel).
WalkStep handleTransparency(Walk& walk, const uint8_t* data, uint32_t length)
{
    PngInfo& info = walk.info;
    if (walk.idatSeen || info.colorType == kPngGreyAlpha || info.colorType == kPngTruecolourAlpha)
        return WalkStep::Invalid;
    if (info.colorType == kPngIndexed) {
        if (info.colorMode != I8 || length > info.paletteSize)
            return WalkStep::Invalid;
        info.paletteHasAlpha = 1;
        if (!walk.surface)
            return WalkStep::NextChunk;
        DsSurface& surface = *walk.surface;
        if (!surface.palette() || !surface.paletteHasAlpha())
            return WalkStep::SurfaceMismatch;
        for (uint32_t i = 0; i < surface.paletteSize(); ++i)
            surface.palette()[4 * i + 3] = i < length ? data[i] : 255;
        return WalkStep::NextChunk;
    }
    const uint32_t samples = info.colorType == kPngTruecolour ? 3 : 1;
    if (length != 2 * samples)
        return WalkStep::Invalid;
    info.colorMode = info.colorType == kPngTruecolour ? ARGB8888 : AI88;
    walk.hasKey = true;
    for (uint32_t i = 0; i < samples; ++i)
        walk.key[i] = uint16_t(pngLoadBig16(data + 2 * i));
    return WalkStep::NextChunk;
}

void writeGreyRamp(DsSurface& surface)
{
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    uint8_t* entry = surface.palette();
    for (uint32_t i = 0; i < surface.paletteSize(); ++i, entry += step) {
        entry[0] = entry[1] = entry[2] = uint8_t(i);
        if (step == 4)
            entry[3] = 255;
    }
}

// The highest palette index in the image's rows.
uint8_t highestIndex(const DsSurface& surface, const PngInfo& info)
{
    uint8_t highest = 0;
    for (uint64_t row = 0; row < info.height; ++row) {
        const uint8_t* indices = surface.pixels() + row * surface.pitch();
        highest = std::max(highest, *std::max_element(indices, indices + info.width));
    }
    return highest;
}

// An index beyond the palette is valid PNG data, which PNG readers show as
// opaque black: the surface's palette then grows to every index the image's
// bit depth can express (2, 4, 16 or 256), the new entries opaque black, so
// that each pixel has its entry and no entry stands for an index the image
// cannot hold. A palette that covers every index in the image stays as it
// is. False when the larger palette cannot be allocated.
bool coverEveryIndex(const Walk& walk)
{
    DsSurface& surface = *walk.surface;
    const uint32_t entries = surface.paletteSize();
    const uint32_t indices = std::min(uint32_t(1) << walk.info.bitDepth, kIndexCount);
    if (walk.info.colorType != kPngIndexed || entries >= indices || highestIndex(surface, walk.info) < entries)
        return true;
    if (!surface.resizePalette(indices))
        return false;
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    uint8_t* entry = surface.palette() + entries * step;
    for (uint32_t i = entries; i < indices; ++i, entry += step) {
        entry[0] = entry[1] = entry[2] = 0;
        if (step == 4)
            entry[3] = 255;
    }
    return true;
}

// Second walk at IEND of an image inflated into the tail of the surface's
// buffer: the rows are unfiltered into place.
bool unfilterInPlace(const Walk& walk)
{
    const DsSurface& surface = *walk.surface;
    PngUnfilterJob job{};
    job.pixels = surface.pixels();
    job.pitch = surface.pitch();
    job.width = walk.info.width;
    job.height = walk.info.height;
    job.filtered = surface.pixels() + (surface.bufferSize() - walk.filteredSize);
    job.format = walk.format;
    return pngUnfilter(job);
}

// Second walk at IEND: palette ramp, filters undone where they were left,
// palette widened for stray indices, row padding cleared.
WalkStep finishImage(Walk& walk)
{
    DsSurface& surface = *walk.surface;
    const PngInfo& info = walk.info;
    if ((info.colorType == kPngGrey || info.colorType == kPngGreyAlpha) && surface.palette())
        writeGreyRamp(surface);
    if (decodesInPlace(info) && !unfilterInPlace(walk))
        return WalkStep::Invalid;
    if (!coverEveryIndex(walk))
        return WalkStep::Unsupported;
    const uint64_t rowBytes = uint64_t(info.width) * surface.bytesPerPixel();
    for (uint64_t row = 0; row < info.height && surface.pitch() > rowBytes; ++row)
        std::memset(surface.pixels() + row * surface.pitch() + rowBytes, 0, size_t(surface.pitch() - rowBytes));
    return WalkStep::Ok;
}

// True when the image data ended exactly after the last scanline (data that
// end early would leave part of the rows unwritten) with their Adler-32.
bool imageDataComplete(const Walk& walk)
{
    return walk.rows ? walk.rows->complete() : walk.inPlace.complete();
}

WalkStep handleEnd(Walk& walk)
{
    if (!walk.idatSeen || walk.filteredSize > walk.idatBytes * kDeflateMaxExpansion)
        return WalkStep::Invalid;
    if (walk.info.colorType == kPngIndexed && walk.info.paletteSize == 0)
        return WalkStep::Invalid;
    if (!walk.surface)
        return WalkStep::Ok;
    if (!imageDataComplete(walk))
        return WalkStep::Invalid;
    return finishImage(walk);
}

WalkStep handleChunk(Walk& walk, uint32_t type, const uint8_t* data, uint32_t length)
{
    switch (type) {
    case kTypeIdat: return handleIdat(walk, data, length);
    case kTypePlte: return handlePalette(walk, data, length);
    case kTypeTrns: return handleTransparency(walk, data, length);
    case kTypeIend: return handleEnd(walk);
    default: return (type & kAncillaryBit) ? WalkStep::NextChunk : WalkStep::Unsupported;
    }
}

WalkStep walkChunks(Walk& walk)
{
    const WalkStep header = readHeader(walk);
    if (header != WalkStep::Ok)
        return header;
    if (walk.surface) {
        const WalkStep prepared = prepareInflater(walk);
        if (prepared != WalkStep::Ok)
            return prepared;
    }
    uint64_t offset = kFirstChunkEnd;
    uint64_t remaining = walk.size - kFirstChunkEnd;
    for (;;) {
        uint32_t length = 0;
        if (!readChunk(walk, offset, remaining, length))
            return WalkStep::Invalid;
        const uint8_t* chunk = walk.data + offset + kLengthBytes;
        const WalkStep result = handleChunk(walk, pngLoadBig32(chunk), chunk + 4, length);
        if (result != WalkStep::NextChunk)
            return result;
        offset += uint64_t(length) + kChunkOverhead;
        remaining -= uint64_t(length) + kChunkOverhead;
    }
}

bool hasSignature(const uint8_t* data, uint64_t size)
{
    return size >= kSignatureBytes && std::memcmp(data, kSignature, kSignatureBytes) == 0;
}

// Bytes of the pixel buffer decodePng asks for: the rows without padding,
// then a reserve for the filter-type bytes that the filtered data of an
// image decoded in place hold beyond its rows, one per row, the row count
// rounded up to a multiple of 4.
uint64_t surfaceBufferBytes(const PngInfo& info)
{
    return uint64_t(info.height) * info.width * dsBytesPerPixel(info.colorMode) + ((uint64_t(info.height) + 3) & ~3ull);
}

void destroySurface(DsSurface* surface)
{
    surface->release();
    delete surface;
}

} // namespace

int decodePngChunks(const uint8_t* data, uint64_t size, PngInfo& info, DsSurface* surface)
{
    if (!data)
        return PNG_INVALID;
    Walk walk(data, size, info, surface, true);
    return pngResultOf(walkChunks(walk));
}

namespace {

// The second walk over bytes the first walk has checked, CRCs included: it
// fills the surface without computing every CRC again.
int fillSurface(const uint8_t* data, uint64_t size, DsSurface* surface)
{
    PngInfo info{};
    Walk walk(data, size, info, surface, false);
    return pngResultOf(walkChunks(walk));
}

} // namespace

DsSurface* decodePngWithAllocator(const uint8_t* data, uint64_t size, bool alphaOnly, int rotation,
    DsAllocator allocator, DsFree free, PngDecodeReport* report)
{
    PngDecodeReport ownReport;
    PngDecodeReport& walked = report ? *report : ownReport;
    walked = PngDecodeReport{};
    walked.accepted = data && hasSignature(data, size) && decodePngChunks(data, size, walked.info, nullptr) == PNG_OK;
    if (!walked.accepted)
        return nullptr;
    PngInfo info = walked.info;
    if (alphaOnly) {
        if (info.colorType != kPngGrey)
            return nullptr;
        info.colorMode = A8;
        info.paletteSize = 0;
    }
    if (surfaceBufferBytes(info) > kPngMaxBufferBytes)
        return nullptr;
    const int32_t noRotation = 0;
    auto* surface = new (std::nothrow) DsSurface(int32_t(info.width), int32_t(info.height), &noRotation, info.colorMode,
        info.paletteHasAlpha != 0, info.paletteSize, allocator, free, 1, info.height);
    if (!surface)
        return nullptr;
    if (!surface->isValid() || fillSurface(data, size, surface) != PNG_OK || !surface->rotate(rotation)) {
        destroySurface(surface);
        return nullptr;
    }
    return surface;
}

DsSurface* decodePng(const uint8_t* data, uint64_t size, bool alphaOnly, int rotation)
{
    return decodePngWithAllocator(data, size, alphaOnly, rotation, dsMalloc, dsFree);
}
