// libFuzzer target for the Deflate decoder. The first three bytes choose how
// the rest is fed: the size of each input piece and whether the decoder gets
// a workspace (its top bit), the size of each piece of output space, and the
// window. Every run is checked against a decode of the same data fed whole
// without a workspace, so a fault in resuming or in the wide tables shows up
// as a difference, and the sanitizers catch any read or write outside the
// buffers. With a workspace, the data are also decoded whole through it.
#include "inflate_driver.h"
#include "streams.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 3;         // piece size and workspace, output piece size, window choice
constexpr uint8_t kWorkspaceBit = 0x80;    // in the first byte: lend the decoder a workspace
constexpr size_t kOutputLimit = 64 * 1024; // keeps one run fast; Deflate may expand 1032:1

// Window sizes from 512 bytes to the largest distance; a zero low bit means no window.
uint32_t windowSizeFor(uint8_t choice)
{
    return (choice & 1) == 0 ? 0 : 1u << (9 + (choice >> 1) % 7);
}

void check(bool condition)
{
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const size_t inputPiece = data[0] % 64 + 1;
    const size_t outputPiece = data[1] % 64 + 1;
    const uint32_t windowSize = windowSizeFor(data[2]);
    static inflate_workspace_t workspace;
    inflate_workspace_t* const lent = (data[0] & kWorkspaceBit) != 0 ? &workspace : nullptr;
    const std::vector<uint8_t> stream(data + kHeaderBytes, data + size);

    InflateRun whole = inflateWhole(stream, kOutputLimit);
    InflateRun pieces =
        inflatePieces(stream, kOutputLimit, fixedPieces(inputPiece), fixedPieces(outputPiece), windowSize, lent);
    check(!whole.inputLeftOver && !pieces.inputLeftOver);
    if (lent) {
        InflateRun wholeWide = inflateWhole(stream, kOutputLimit, lent);
        check(wholeWide.result == whole.result && wholeWide.bytes == whole.bytes && !wholeWide.inputLeftOver);
    }
    check(pieces.windowIntact);
    if (windowSize == 0 || windowSize == INFLATE_MAX_DISTANCE || pieces.result != INFLATE_DATA_ERROR) {
        check(pieces.result == whole.result);
        check(pieces.bytes == whole.bytes);
    } else {
        // A smaller window refuses matches that reach beyond it.
        check(pieces.bytes.size() <= whole.bytes.size());
        check(std::equal(pieces.bytes.begin(), pieces.bytes.end(), whole.bytes.begin()));
    }
    return 0;
}
