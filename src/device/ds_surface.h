// The library's image: a pixel buffer in one colour mode, an optional
// palette, its geometry and the quarter turn in which the pixels are stored.
#pragma once

#include "ds_color.h"
#include "ds_rect.h"

#include <stddef.h>
#include <stdint.h>

struct ds_bitmap_font_t;
struct ds_bitmap_font_char_t;
struct ds_packed_font_t;
namespace ds {
struct CodedRows;
}

using DsAllocator = void* (*)(uint64_t size);
using DsFree = void (*)(void* block);

// Surface memory from the C library, the allocator pair the PNG decoder uses.
void* dsMalloc(uint64_t size);
void dsFree(void* block);

// The surface file: five little-endian 32-bit words (rotation, colour mode,
// width, height, pitch), the rows, then zeros up to a multiple of 4 bytes.
constexpr uint64_t kDsSurfaceFileHeaderBytes = 20;
// Offsets of the header words.
constexpr uint64_t kDsSurfaceFileRotationWord = 0;
constexpr uint64_t kDsSurfaceFileColorModeWord = 4;
constexpr uint64_t kDsSurfaceFileWidthWord = 8;
constexpr uint64_t kDsSurfaceFileHeightWord = 12;
constexpr uint64_t kDsSurfaceFilePitchWord = 16;

// A compressed surface file (pixpack --compress) sets this bit of the colour
// mode word, which no colour mode has: a reader that does not know the
// format takes the file for one of a mode it does not support. Its header
// has two more words, the rows of a block and the bytes of the coded rows;
// then come the code offset of each block (a little-endian 32-bit word per
// block of rows), the coded rows (ds_compressed.h) and zeros up to a
// multiple of 4 bytes. The pitch word holds width x bytes per pixel, the
// rows as they decode.
constexpr uint32_t kDsCompressedFlag = 0x80000000u;
constexpr uint64_t kDsCompressedHeaderBytes = 28;
constexpr uint64_t kDsSurfaceFileRowsPerBlockWord = 20;
constexpr uint64_t kDsSurfaceFileCodeBytesWord = 24;

// A surface file as three pieces, in file order.
struct DsSurfaceFilePieces {
    uint8_t header[kDsSurfaceFileHeaderBytes]; // the five words
    const uint8_t* rows;                       // height x pitch bytes of the rows
    uint64_t rowBytes;                         // their size
    uint32_t tailBytes;                        // zero bytes that end the file, 0 to 3
};

// Results of the drawing operations. Clipping is not a failure: an operation
// whose area lies wholly outside the surface or its clip draws nothing and
// succeeds.
enum DsDrawResult : int {
    DS_DRAW_OK = 0,
    DS_DRAW_INVALID_SURFACE = 1,   // a surface without pixels, or of a mode without a pixel size
    DS_DRAW_UNSUPPORTED_MODES = 2, // a pair of modes the operation does not take
    DS_DRAW_WRONG_ROTATION = 3,    // a packed font not stored in the target's rotation
    DS_DRAW_READ_ONLY = 4,         // a compressed surface, which is only ever a source
};

struct DsSurfaceFile;

class DsSurface {
public:
    // Sizes refused by construction, so that every buffer size fits in 64 bits
    // and the palette size reads back whole as 16 bits.
    static constexpr uint64_t kMaxPaletteSize = 0xFFFF;
    static constexpr uint64_t kMaxAlignment = 1u << 16;
    static constexpr uint64_t kMaxReserve = uint64_t(1) << 40;
    // The largest pitch: the surface file stores it in a 32-bit word, and
    // pitch() returns it as one.
    static constexpr uint64_t kMaxPitch = 0xFFFFFFFF;

    // Builds a surface of width x height logical pixels stored in the quarter
    // turn *rotation (read once; null counts as 0): for 90 and 270 the stored
    // rows are `height` pixels wide. The pixel buffer holds mHeight x mPitch
    // bytes plus the reserve rounded up to a multiple of 4, uninitialised;
    // modes I8 and AI88 also get a palette of (3 + paletteHasAlpha) bytes per
    // entry. A surface that cannot be built (a mode without a pixel size,
    // dimensions below 1, a rotation other than 0, 90, 180 or 270, alignment
    // 0, sizes over the limits, a pitch over kMaxPitch, an allocator that
    // returns null or is missing) owns no buffer and reports !isValid(); its
    // pitch, reserve and buffer size are 0.
    DsSurface(int32_t width, int32_t height, const int32_t* rotation, uint32_t colorMode, bool paletteHasAlpha,
        uint64_t paletteSize, DsAllocator allocator, DsFree free, uint32_t alignment, uint64_t reserve);

    // A surface over pixels the caller keeps (a framebuffer, rows in flash):
    // width x height logical pixels stored in the quarter turn `rotation`
    // (0, 90, 180 or 270) with `pitch` bytes from one stored row to the next.
    // It owns nothing, so release() and rotate() leave it alone; a source
    // that lies in read-only memory must only be read. Invalid (no pixels)
    // for a null pointer, a mode without a pixel size, dimensions below 1, a
    // rotation not in the list or a pitch below a row's bytes.
    DsSurface(int32_t width, int32_t height, int32_t rotation, uint32_t colorMode, uint8_t* pixels, uint32_t pitch);

    // The same over a buffer of `bufferBytes` bytes, also invalid when the
    // stored rows (mHeight rows of `pitch` bytes) do not fit in it: a 320 x
    // 240 RGB565 framebuffer stored at 90 degrees has rows of 480 bytes.
    DsSurface(int32_t width, int32_t height, int32_t rotation, uint32_t colorMode, uint8_t* pixels, uint32_t pitch,
        uint64_t bufferBytes);

    // A surface over the rows of a surface file read in place (see
    // dsReadSurfaceFile); it owns nothing and must only be read. Over a
    // compressed file it is a source for blit, blend, blendMask,
    // replaceAlpha and pixel, decoded while drawing a row at a time with
    // kDsDecodeBufferBytes of stack and no heap; it has no pixel rows
    // (pixels() is null, pitch() and bufferSize() 0, and the writers write
    // no rows of it), and every operation that would change it (drawing
    // into it, replaceColor, replaceAlpha, rotate) is refused.
    explicit DsSurface(const DsSurfaceFile& file);

    // The same straight from the `size` bytes of a surface file (an embedded
    // array, or a file loaded into memory), which stay where they are: one
    // statement from the bytes to a surface to draw from. Invalid (no
    // pixels) when the bytes are not exactly a surface file of a mode with a
    // pixel size, as dsReadSurfaceFile decides.
    DsSurface(const uint8_t* fileBytes, uint64_t size);

    DsSurface(const DsSurface&) = delete;
    DsSurface& operator=(const DsSurface&) = delete;

    bool isValid() const { return mPixels != nullptr || mCode != nullptr; }
    // A surface over a compressed surface file.
    bool isCompressed() const { return mCode != nullptr; }
    // Its coded rows, for the decoder; false for an uncompressed surface.
    bool codedRows(ds::CodedRows& rows) const;

    int32_t rotation() const { return mRotation; }
    int32_t width() const { return mWidth; }
    int32_t height() const { return mHeight; }
    uint32_t colorMode() const { return mColorMode; }
    uint32_t bytesPerPixel() const { return uint32_t(mBytesPerPixel); }
    uint32_t pitch() const { return uint32_t(mPitch); }
    uint32_t pitchPixels() const { return uint32_t(mPitchPixels); }
    uint8_t* pixels() const { return mPixels; }
    bool paletteHasAlpha() const { return mPaletteHasAlpha != 0; }
    uint16_t paletteSize() const { return uint16_t(mPaletteSize); }
    uint8_t* palette() const { return mPalette; }
    const DsRect& clip() const { return mClip; }
    void* tag() const { return mTag; }
    void setTag(void* tag) { mTag = tag; }

    // The upright image's size: the stored size, exchanged for 90 and 270.
    int32_t logicalWidth() const;
    int32_t logicalHeight() const;
    // The whole upright image: (0, 0, logicalWidth(), logicalHeight()).
    DsRect logicalArea() const { return DsRect(0, 0, logicalWidth(), logicalHeight()); }

    // Points an I8 or AI88 surface that owns nothing at `entries` palette
    // entries of 3 (B, G, R) or, with `hasAlpha`, 4 (B, G, R, A) bytes the
    // caller keeps. False, unchanged, for other surfaces.
    bool usePalette(const uint8_t* palette, uint16_t entries, bool hasAlpha);

    // Drawing. Every operation takes logical (upright) coordinates, whatever
    // the rotation the pixels are stored in, and touches only the pixels that
    // lie both in the surface and in its clip. Colours are 0xAARRGGBB words,
    // converted by the rules of ds_color.h. An I8 destination takes only I8
    // sources (indices copied); an A8 destination keeps only the alpha.
    // Sources of I8 and AI88 read their index through their palette, or as a
    // grey level when they have none; an index past the palette reads as
    // opaque black.

    // Limits drawing to `area` (logical coordinates) within the surface;
    // an empty area stops all drawing. The surface after construction and
    // after a rotation clips to its whole area.
    void setClip(const DsRect& area);
    // The clip in logical coordinates.
    DsRect logicalClip() const;

    // Sets every pixel of `area` to `argb` in the surface's mode. An I8
    // surface stores argb's low byte as the index.
    int fill(const DsRect& area, uint32_t argb);

    // Source-over of the solid colour `argb`, its alpha times opacity / 255,
    // on every pixel of `area`; I8 surfaces are refused. An opaque result is
    // what fill stores.
    int blendFill(const DsRect& area, uint32_t argb, uint8_t opacity = 255);

    // Copies `sourceArea` of `source` (clipped to the source) so that its
    // top-left pixel lands at (x, y), converting between the modes; no
    // blending. Source and destination must not share pixels.
    int blit(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y);
    // The whole source, its top-left pixel at (x, y).
    int blit(const DsSurface& source, int32_t x, int32_t y) { return blit(source, source.logicalArea(), x, y); }

    // Source-over with straight (non-premultiplied) alpha: each source pixel,
    // its alpha times opacity / 255, over the destination. A8 sources blend
    // black; I8 destinations are refused.
    int blend(const DsSurface& source, const DsRect& sourceArea, int32_t x, int32_t y, uint8_t opacity = 255);
    // The whole source, its top-left pixel at (x, y).
    int blend(const DsSurface& source, int32_t x, int32_t y, uint8_t opacity = 255)
    {
        return blend(source, source.logicalArea(), x, y, opacity);
    }

    // Blends the colour `argb` through the coverage of the A8 surface `mask`
    // (its alpha times argb's alpha times opacity / 255 / 255): how coverage
    // glyphs are drawn.
    int blendMask(
        const DsSurface& mask, const DsRect& sourceArea, int32_t x, int32_t y, uint32_t argb, uint8_t opacity = 255);
    // The whole mask, its top-left pixel at (x, y).
    int blendMask(const DsSurface& mask, int32_t x, int32_t y, uint32_t argb, uint8_t opacity = 255)
    {
        return blendMask(mask, mask.logicalArea(), x, y, argb, opacity);
    }

    // Every pixel whose stored value equals that of `from` in the surface's
    // mode becomes `to`.
    int replaceColor(uint32_t from, uint32_t to);

    // Sets the alpha of every pixel, keeping its colour; for the modes with
    // alpha (ARGB8888, ARGB1555, ARGB4444, AI88, A8) only.
    int replaceAlpha(uint8_t alpha);

    // Sets the alpha of the pixels under the A8 surface `mask`, placed with
    // its top-left pixel at (x, y), to the mask's alpha.
    int replaceAlpha(const DsSurface& mask, int32_t x, int32_t y);

    // The colour at logical (x, y), 0 outside the surface; setPixel ignores
    // positions outside the surface or its clip.
    uint32_t pixel(int32_t x, int32_t y) const;
    void setPixel(int32_t x, int32_t y, uint32_t argb);

    // Bytes of the pixel buffer: mHeight x mPitch + mReserve.
    uint64_t bufferSize() const;

    // Replaces the palette of an I8 or AI88 surface by one of `entries`
    // entries (1 to kMaxPaletteSize) from the allocator, keeping the entries
    // both have; the others are uninitialised. False, with the surface
    // unchanged, for a surface without a palette or callbacks, a count out of
    // range, or an allocator that returns null.
    bool resizePalette(uint64_t entries);

    // Frees the palette and the pixel buffer through the free callback; does
    // nothing without one. The object itself is deleted by its owner.
    void release();

    // Turns the stored pixels by 90, 180 or 270 degrees as the rotation table
    // lays them out (90: the rightmost column becomes the top row) into a new
    // buffer without reserve, and adds the angle to mRotation. Any other
    // angle, or a surface without callbacks or pixels, is left unchanged.
    // Returns false when the allocator could not supply the new buffer or
    // the turned rows' pitch would exceed kMaxPitch; the surface is then
    // unchanged too.
    bool rotate(int32_t angle);

    // Writes the surface file into `destination` unless it is null: five
    // little-endian words (rotation, colour mode, width, height, pitch), the
    // mHeight x mPitch bytes of the rows, and zeros up to the next multiple of
    // 4. Returns the file's size either way.
    uint64_t serialize(uint8_t* destination) const;

    // The same file as serialize writes, as pieces a writer sends one after
    // the other, the rows straight from the pixel buffer: no second copy of
    // the image is made.
    DsSurfaceFilePieces filePieces() const;

    // The surface file that rotate(angle) and then filePieces() would give,
    // made without turning the surface: the header here, the turned rows
    // from copyTurnedRows, a batch at a time, so that a writer needs no
    // second image. Any angle but 90, 180 and 270 gives the file unturned.
    struct TurnedFile {
        uint8_t header[kDsSurfaceFileHeaderBytes]; // the five words of the turned surface
        uint32_t rowCount;                         // rows of the turned surface
        uint64_t pitch;                            // bytes of each of them
        uint32_t tailBytes;                        // zero bytes that end the file, 0 to 3
    };
    TurnedFile turnedFile(int32_t angle) const;
    // Writes rows firstRow to firstRow + count - 1 of the surface turned by
    // `angle` to `target`, turnedFile(angle).pitch bytes each (any padding
    // zeroed). The rows must exist.
    void copyTurnedRows(int32_t angle, uint32_t firstRow, uint32_t count, uint8_t* target) const;

private:
    bool allocateBuffers();
    void makeEmpty();
    void copyRotated(uint8_t* target, uint64_t targetPitch, int32_t angle, int64_t firstRow, int64_t rowCount) const;

    void* mTag = nullptr;        // for the owner's use; no operation reads it
    DsAllocator mAllocator;      // allocates pixel and palette buffers
    DsFree mFree;                // frees them
    int32_t mRotation;           // quarter turn in which the pixels are stored
    int32_t mWidth;              // width of the stored rows, in pixels
    int32_t mHeight;             // number of stored rows
    uint32_t mColorMode;         // DsColorMode
    uint64_t mReserve = 0;       // spare bytes after the last row, a multiple of 4
    uint64_t mAlignment;         // alignment factor for the pitch
    uint64_t mBytesPerPixel = 0; // from the colour mode
    uint64_t mPitch = 0;         // bytes from one row start to the next
    uint64_t mPitchPixels = 0;   // mPitch / mBytesPerPixel
    uint8_t mPaletteHasAlpha;    // palette entries are B, G, R, A instead of B, G, R
    uint64_t mPaletteSize;       // number of palette entries
    DsRect mClip;                // clipping rectangle in stored coordinates
    uint8_t* mPixels = nullptr;  // mHeight x mPitch + mReserve bytes, rows from the top
    uint8_t* mPalette = nullptr; // palette for I8 and AI88, else null
    // A compressed surface's rows (see ds_compressed.h); null otherwise.
    const uint8_t* mCode = nullptr;   // the coded rows
    const uint8_t* mBlocks = nullptr; // the code offset of each block
    uint32_t mCodeBytes = 0;          // bytes of the coded rows
    uint32_t mRowsPerBlock = 0;       // rows of a block
};

// Draws the 0-terminated `text`, one font code per byte, with `font`, the
// generated font of the target's stored rotation (font_X_90 for a surface
// stored at 90), so that the left end of its baseline is at logical (x, y):
// each glyph's coverage blends `argb` as blendMask does, placed at
// (pen + xoff, y - yoff) before the turn; the pen starts at x, moves by the
// kerning delta the glyph's table gives for the previous code, and then by
// the glyph's advance. Codes without a glyph are skipped.
int dsDrawText(DsSurface& target, const ds_bitmap_font_t& font, int32_t x, int32_t y, const char* text, uint32_t argb);

// Draws the 0-terminated UTF-8 text `utf8` with the packed font `font`,
// whose rotation must be the target's stored rotation (otherwise nothing is
// drawn and the result is DS_DRAW_WRONG_ROTATION), so that the left end of
// its baseline is at logical (x, y): each glyph's coverage blends `argb` as
// blendMask does, placed at (pen + xoff, y - yoff) before the turn; the pen
// starts at x, moves by the font's kerning between the glyph and the one
// drawn before it, and then by the glyph's advance. Characters without a
// glyph are skipped, as are the bytes of ill-formed UTF-8, a maximal
// subpart at a time (ds_utf8.h); drawing goes on after them.
int dsDrawText(DsSurface& target, const ds_packed_font_t& font, int32_t x, int32_t y, const char* utf8, uint32_t argb);

// How far dsDrawText moves the pen over the text, kerning included: the
// distance from x to where a following glyph would start. Held to the
// int32 range; 0 for a null text.
int32_t dsTextWidth(const ds_packed_font_t& font, const char* utf8);
int32_t dsTextWidth(const ds_bitmap_font_t& font, const char* text);

// The kerning delta by which dsDrawText moves the pen before `glyph` when
// the code `previous` precedes it: the delta of the first entry of the
// glyph's table that names `previous`, 0 when none does or it has no table.
int32_t dsKerningDelta(const ds_bitmap_font_char_t& glyph, uint8_t previous);

// Size of the surface file whose rows take `rowBytes` bytes.
uint64_t dsSurfaceFileSize(uint64_t rowBytes);

// A surface file read in place, as the device reads it.
struct DsSurfaceFile {
    int32_t rotation;    // quarter turn of the stored rows: 0, 90, 180 or 270
    uint32_t colorMode;  // DsColorMode, one with a pixel size
    uint32_t width;      // pixels of a stored row, 1 to INT32_MAX
    uint32_t height;     // stored rows, 1 to INT32_MAX
    uint32_t pitch;      // bytes from one row to the next, at least width x bytes per pixel
    const uint8_t* rows; // height x pitch bytes, the top row first; null for a compressed file
    // A compressed file's rows (kDsCompressedFlag); all 0 for an uncompressed one.
    uint32_t rowsPerBlock = 0;       // rows of a block, 1 to height
    const uint8_t* blocks = nullptr; // the code offset of each block, 32-bit little-endian words
    const uint8_t* code = nullptr;   // the coded rows
    uint32_t codeBytes = 0;          // their bytes

    bool isCompressed() const { return code != nullptr; }
};

// Results of reading a surface file.
enum DsSurfaceFileResult : int {
    SURFACE_FILE_OK = 0,
    SURFACE_FILE_INVALID = 1,          // the header or the size breaks the format
    SURFACE_FILE_UNSUPPORTED_MODE = 2, // a colour mode without a pixel size: 6, 8, above 11
};

// Reads the header of the surface file of `size` bytes at `data` and points
// `file` at its rows (they stay in `data`). The file's size must be exactly
// that of its rows. A compressed file's code is checked whole before it is
// accepted (every block offset, every run's kind, length and bytes, see
// ds_compressed.h), so that drawing from it never reads outside it; its
// pitch must be width x bytes per pixel. With SURFACE_FILE_UNSUPPORTED_MODE,
// file.colorMode holds the mode found (without kDsCompressedFlag); with
// SURFACE_FILE_INVALID, `file` is unspecified.
int dsReadSurfaceFile(const uint8_t* data, uint64_t size, DsSurfaceFile& file);

// Bytes of stack a drawing from a compressed surface decodes into: a few
// rows, or a span of the row above and of the row being drawn.
constexpr uint32_t kDsDecodeBufferBytes = 2048;

// An 8-bit colour with alpha.
struct DsColor {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t alpha;
};

// The colour of the stored pixel at `pixel` in a mode with a pixel size, as
// DsSurface::pixel reads it on a surface without palette. Channels narrower
// than 8 bits are widened by bit replication; modes without alpha give alpha
// 255. I8 and AI88 give their index or grey byte in all three colour
// channels, as a grey-ramp palette shows it; A8 is black with its alpha.
DsColor dsPixelColor(uint32_t colorMode, const uint8_t* pixel);

// Where logical pixel (x, y) of an image of width x height logical pixels
// lies among the stored rows of a surface stored in the quarter turn
// `rotation` (0, 90, 180 or 270; any other angle counts as 0).
struct DsStoredPosition {
    int64_t column; // stored column
    int64_t row;    // stored row
};
DsStoredPosition dsStoredPosition(int32_t rotation, int64_t width, int64_t height, int64_t x, int64_t y);

// Bytes of one stored row, without padding, of a surface of width x height
// logical pixels of `colorMode` stored in the quarter turn `rotation`: the
// pitch of a framebuffer whose rows follow each other. 0 for a mode without
// a pixel size, dimensions below 1, a rotation not in 0, 90, 180, 270, or a
// row of 2^32 bytes or more.
uint32_t dsPackedPitch(int32_t width, int32_t height, int32_t rotation, uint32_t colorMode);

// Pitch of a row of `pixels` pixels of `bytesPerPixel` bytes: the row length
// rounded up to a common multiple of the alignment and the pixel size.
// Returns 0 when an argument is 0 or the result would not fit in 64 bits.
uint64_t dsPitch(uint64_t pixels, uint64_t bytesPerPixel, uint64_t alignment);
