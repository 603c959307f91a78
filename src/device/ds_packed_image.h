// Decoding the image of a packed glyph (ds_packed_font.h) into 8-bit
// coverage, a few pixels at a time, so that a glyph is drawn through a small
// fixed buffer and never whole in RAM.
//
// An image is stored in the font's rotation: `rows` stored rows of `columns`
// pixels (the upright image turned, so `columns` is the upright height at 90
// and 270). A plain image is its pixels' levels, bpp bits each, lowest bits
// first, row after row. A level L of N bits covers L x 255 / (2^N - 1).
//
// A coded 4-bit image (README, "The packed format") is read as one
// sequence of tokens over its pixels, row after row (the span code of
// ds_font.h): uncovered pixels skipped, levels, fully covered runs and
// pixels copied from the row above. Other coded images are read a stored row
// at a time: a row of up to DS_PACKED_REPEAT_ROW_MAX pixels after the first
// may say that it repeats the row above; otherwise tokens fill the row from
// left to right, none crossing its end: runs of uncovered pixels, runs of
// fully covered ones and, for 2 and 8 bits per pixel, single pixels of their
// level.
#pragma once

#include "ds_packed_font.h"

#include <stdint.h>

// Where an image is read: the bit at `position` of `table` comes next;
// bits from `limit` on, past the image, read 0.
struct DsPackedBits {
    const uint8_t* table;
    uint32_t position;
    uint32_t limit;
};

// The kind of a coded image's last token in its row.
enum class DsPackedToken : uint8_t { RowStart, Zero, Full, Literal };

class DsPackedImageDecoder {
public:
    DsPackedImageDecoder(const ds_packed_font_t& font, const DsPackedGlyph& glyph);

    uint32_t columns() const { return mColumns; }
    uint32_t rows() const { return mRows; }
    // Whether the image may take pixels from the row above. Each call to
    // decode must then write whole rows, right after the row decoded last
    // (the first row aside), so that the row above lies just before `out`.
    bool readsRowAbove() const { return mReadsRowAbove; }

    // Writes the next `count` pixels in stored order as coverage to `out`.
    // Reads nothing beyond the glyph's image: a damaged image decodes to
    // some pixels, never to a read or write outside the tables and `out`.
    void decode(uint8_t* out, uint32_t count);

private:
    template <typename Code>
    void decodeTokens(uint8_t* out, uint32_t count, Code code);
    void decodeSpans(uint8_t* out, uint32_t count);
    uint8_t* finishSpan(uint8_t* out, uint8_t* end, uintptr_t copyFrom);
    void decodePlain(uint8_t* out, uint32_t count);

    DsPackedBits mBits;                            // the reader's position
    uint32_t mColumns;                             // pixels of a stored row
    uint32_t mRows;                                // stored rows
    uint32_t mColumn = 0;                          // position in the current row
    uint32_t mRow = 0;                             // current row
    uint32_t mPending = 0;                         // pixels of a run that the last call did not write
    uint8_t mPendingValue = 0;                     // their coverage
    DsPackedToken mLast = DsPackedToken::RowStart; // the row's last token
    uint8_t mBpp;                                  // bits per level
    uint8_t mScale;                                // coverage of level 1: 255 / (2^bpp - 1)
    uint8_t mZeroOrder;                            // Exp-Golomb order of uncovered runs
    uint8_t mFullOrder;                            // Exp-Golomb order of fully covered runs
    bool mCompressed;                              // coded rather than plain
    bool mReadsRowAbove;                           // rows repeat or copy the row above
    // The span code's token that the last call cut: uncovered pixels, then
    // levels, fully covered pixels or pixels from the row above still to write.
    uint32_t mSkip = 0;
    uint32_t mLevels = 0;
    uint32_t mFulls = 0;
    uint32_t mCopies = 0;
    uint32_t mDone = 0; // pixels decoded so far
};
