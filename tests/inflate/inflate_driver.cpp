#include "inflate_driver.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Bytes after the window that the decoder must never write.
constexpr size_t kWindowGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

struct InputFeed {
    const std::vector<uint8_t>& stream;
    const PieceSize& pieceSize;
    size_t position = 0;
    std::unique_ptr<uint8_t[]> piece; // the current piece, in a buffer of its own

    // Hands the next piece to `bits`; false when the stream is used up.
    bool next(bitstream_t& bits)
    {
        if (position == stream.size()) {
            return false;
        }
        size_t n = std::min(pieceSize(), stream.size() - position);
        piece.reset(new uint8_t[n]);
        memcpy(piece.get(), stream.data() + position, n);
        position += n;
        bits.cur = piece.get();
        bits.bytes_left = static_cast<uint32_t>(n);
        return true;
    }
};

} // namespace

InflateRun inflatePieces(const std::vector<uint8_t>& stream, size_t limit, const PieceSize& inputPiece,
                         const PieceSize& outputPiece, uint32_t windowSize)
{
    InflateRun run{INFLATE_NEED_INPUT, {}, false, false};
    std::vector<uint8_t> window(windowSize + kWindowGuard, kGuardByte);
    std::vector<uint8_t> area(windowSize == 0 ? limit : 0);
    std::unique_ptr<uint8_t[]> outPiece;
    size_t outPieceSize = 0;
    size_t given = 0;
    inflate_t inflater = {};
    inflater.window = windowSize == 0 ? nullptr : window.data();
    inflater.window_size = windowSize;
    inflate_process(&inflater, nullptr);
    inflater.output = area.data();
    inflater.output_space = 0;
    bitstream_t bits = {};
    InputFeed input{stream, inputPiece, 0, nullptr};
    auto collect = [&] {
        if (windowSize != 0 && outPiece) {
            size_t written = outPieceSize - inflater.output_space;
            run.bytes.insert(run.bytes.end(), outPiece.get(), outPiece.get() + written);
        }
    };
    for (;;) {
        run.result = inflate_process(&inflater, &bits);
        if (run.result == INFLATE_NEED_INPUT) {
            run.inputLeftOver = run.inputLeftOver || bits.bytes_left != 0;
            if (!input.next(bits)) {
                break;
            }
        } else if (run.result == INFLATE_OUTPUT_FULL && given < limit) {
            size_t n = std::min(outputPiece(), limit - given);
            given += n;
            if (windowSize == 0) {
                inflater.output_space += static_cast<uint32_t>(n);
                continue;
            }
            collect();
            outPiece.reset(new uint8_t[n]);
            outPieceSize = n;
            inflater.output = outPiece.get();
            inflater.output_space = static_cast<uint32_t>(n);
        } else {
            break;
        }
    }
    collect();
    bool inside = windowSize == 0 || (inflater.window_position >= window.data() &&
                                      inflater.window_position < window.data() + windowSize);
    run.windowIntact = inside && std::all_of(window.end() - kWindowGuard, window.end(),
                                             [](uint8_t byte) { return byte == kGuardByte; });
    if (windowSize == 0) {
        area.resize(static_cast<size_t>(inflater.output - area.data()));
        run.bytes = std::move(area);
    }
    return run;
}

InflateRun inflateWhole(const std::vector<uint8_t>& stream, size_t limit)
{
    PieceSize all = [] { return SIZE_MAX; };
    return inflatePieces(stream, limit, all, all);
}

PieceSize fixedPieces(size_t n)
{
    return [n] { return n; };
}
