// Drives inflate_process the way a streaming caller would: input and output
// space handed over in pieces whose sizes a callback chooses.
#pragma once

#include "streams.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Size of the next piece of input or output space (at least 1).
using PieceSize = std::function<size_t()>;

struct InflateRun {
    inflate_result_t result;    // the result that ended the run
    std::vector<uint8_t> bytes; // everything decoded
    bool inputLeftOver;         // a pause for input came while input bytes were unread
    bool windowIntact;          // the window position is inside the window, nothing written past it
};

// Decodes `stream` into at most `limit` bytes. Without a window the output is
// one area of `limit` bytes handed out in pieces; with a window (size > 0)
// every piece of output is a separate buffer. Each piece of input is copied
// into a buffer of its own, so the decoder can never reach back into an
// earlier piece.
InflateRun inflatePieces(const std::vector<uint8_t>& stream, size_t limit, const PieceSize& inputPiece,
                         const PieceSize& outputPiece, uint32_t windowSize = 0);

// Whole input and all `limit` bytes of output space at once, no window.
InflateRun inflateWhole(const std::vector<uint8_t>& stream, size_t limit);

// Pieces of exactly n bytes.
PieceSize fixedPieces(size_t n);
