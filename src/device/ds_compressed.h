// The coded rows of a compressed surface file: the format, its check, and
// the row decoder that the drawing engine calls while it draws.
//
// The rows are cut into blocks of `rowsPerBlock` rows; the file lists where
// each block's code starts, so that drawing a clipped part starts at the
// block that holds its first row. A row is a sequence of runs that covers
// exactly its pixels, left to right. Each run opens with one byte: the run's
// kind in bits 5 to 7 and its length in bits 0 to 4, 1 to 31; a length
// field of 0 means 32 plus the next byte (32 to 287 pixels). Kinds:
//   0 copy:     the pixels follow, their stored bytes as the file's rows hold them
//   1 fill:     one pixel follows, repeated
//   2 above:    the pixels of the row above, at the same columns
//   3 residual: each field of each pixel (a colour channel, or the alpha,
//               as the mode stores it) is the row above's plus a residual.
//               A byte follows that gives each field's residual width, 2
//               bits a field from the lowest field up, indexing
//               kResidualBits (a width of 0: the field is the row above's);
//               then the residuals, two's complement, packed from the low
//               bit of each byte up, a pixel's fields from the lowest up,
//               and ending on a byte boundary. A field's arithmetic wraps.
//   4 rest:     the rest of the row is the row above's (the length field is 0)
// The first row of a block refers to no row above, so a block decodes on
// its own, and a pixel depends on no pixel to its left: any span of
// columns decodes with the same span of the row above as its only state.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ds {

// The run kinds.
enum RunKind : uint8_t {
    kRunCopy = 0,
    kRunFill = 1,
    kRunAbove = 2,
    kRunResidual = 3,
    kRunRest = 4,
};
constexpr uint32_t kRunKindCount = 5;

// A run's first byte: kind << kRunKindShift | length field.
constexpr uint32_t kRunKindShift = 5;
constexpr uint32_t kRunLengthMask = 0x1F;
// Lengths of 1 to kShortRun fit in the first byte; a longer run takes a
// second byte, kLongRun + that byte, up to kLongestRun pixels.
constexpr uint32_t kShortRun = 31;
constexpr uint32_t kLongRun = 32;
constexpr uint32_t kLongestRun = kLongRun + 255;

// The widths a residual run's fields may have, by their 2-bit code.
constexpr uint8_t kResidualBits[4] = {0, 2, 4, 6};

// The fields of a colour mode's stored value, from its low bits up, as the
// residuals of near and close runs add to them: 0 fields for a mode without
// a pixel size. RGB565_SWAPPED's value is read high byte first, so that its
// fields are RGB565's.
struct FieldLayout {
    uint8_t count;     // fields, 1 to 4
    uint8_t bits[4];   // width of each, from bit 0 up
    bool highByteFirst; // the stored bytes are the value's high byte first
};
FieldLayout fieldLayout(uint32_t colorMode);

// A compressed image's rows as the decoder reads them.
struct CodedRows {
    uint32_t colorMode;     // DsColorMode, one with a pixel size
    uint32_t width;         // pixels of a row
    uint32_t height;        // rows
    uint32_t rowsPerBlock;  // rows of a block, 1 to height
    const uint8_t* blocks;  // the code offset of each block, little-endian 32-bit
    const uint8_t* code;    // the coded rows
    uint32_t codeBytes;     // their size
};

// True when `rows` is whole: every block starts where its offset says, the
// first at 0; every row's runs are of a known kind and cover exactly its
// width; no first row of a block refers to the row above; and the last row
// ends exactly at codeBytes. Reads nothing outside the code and the block
// table (ceil(height / rowsPerBlock) words); the caller has checked the
// fields themselves.
bool checkCodedRows(const CodedRows& rows);

// Where the code of the first row of the block holding `row` starts.
const uint8_t* blockCode(const CodedRows& rows, uint32_t row);

// Decodes the rows of one image, prepared once per drawing.
struct RowDecoder;
using DecodeSpan = const uint8_t* (*)(const RowDecoder& decoder, const uint8_t* code, uint32_t first,
    uint32_t count, const uint8_t* above, uint8_t* out);
struct RowDecoder {
    CodedRows rows;
    FieldLayout layout;
    uint32_t shift[4];      // where each field starts in the stored value
    uint32_t mask[4];       // each field's bits, in place
    DecodeSpan decodeSpan;  // the decoder of the mode's pixel size and byte order
};
RowDecoder rowDecoder(const CodedRows& rows);

// Decodes the pixels `first` to `first + count - 1` of the row whose code
// starts at `code` into `out`, the same span of the row above being at
// `above` (unread for the first row of a block; `above` may be `out`, which
// then already holds it). `count` is at least 1 and the span lies in the row.
// Returns where the next row's code starts. The rows must have passed
// checkCodedRows.
inline const uint8_t* decodeRow(const RowDecoder& decoder, const uint8_t* code, uint32_t first, uint32_t count,
    const uint8_t* above, uint8_t* out)
{
    return decoder.decodeSpan(decoder, code, first, count, above, out);
}

} // namespace ds
