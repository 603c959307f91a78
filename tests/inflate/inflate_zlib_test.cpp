// Streams made by zlib, an independent encoder, must decode to the bytes they
// were made from, however input and output space are handed over.
#include "inflate_driver.h"
#include "streams.h"

#include "zlib_deflate.h"
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

enum class Kind { Random, Text, Runs, Zeros, FarRepeats, Skewed };
constexpr Kind kKinds[] = {Kind::Random, Kind::Text, Kind::Runs, Kind::Zeros, Kind::FarRepeats, Kind::Skewed};

// Data of one kind, each reaching a different part of the decoder: stored
// blocks (random), short matches (text), distance 1 and length 258 (runs,
// zeros), distances up to the window's size (far repeats) and 15-bit codes
// (skewed symbol frequencies).
Bytes makeData(Kind kind, size_t size, std::mt19937& random)
{
    static const char* const kWords[] = {
        "the ", "quick ", "brown ", "fox ", "jumps ", "over ", "lazy ", "dog ", "\n", "surface ", "glyph ", "pixel "};
    Bytes data;
    data.reserve(size + 300);
    while (data.size() < size) {
        switch (kind) {
        case Kind::Random: data.push_back(static_cast<uint8_t>(random())); break;
        case Kind::Text: {
            const char* word = kWords[random() % 12];
            data.insert(data.end(), word, word + strlen(word));
            break;
        }
        case Kind::Runs: data.insert(data.end(), random() % 600 + 1, static_cast<uint8_t>(random())); break;
        case Kind::Zeros: data.push_back(0); break;
        case Kind::FarRepeats:
            if (data.size() < 1000 || random() % 4 == 0) {
                data.push_back(static_cast<uint8_t>(random()));
            } else {
                size_t back = random() % std::min<size_t>(data.size(), 32768) + 1;
                size_t length = random() % 300 + 3;
                for (size_t i = 0; i < length; ++i)
                    data.push_back(data[data.size() - back]);
            }
            break;
        case Kind::Skewed: {
            int symbol = 0;
            while (symbol < 40 && random() % 2 == 0)
                ++symbol;
            data.push_back(static_cast<uint8_t>(symbol));
            break;
        }
        }
    }
    data.resize(size);
    return data;
}

// Raw Deflate whose settings and flush mode change every segment, so that
// stored, fixed and dynamic blocks, empty stored blocks (sync and full
// flushes) and empty fixed blocks (partial flushes) alternate in one stream.
Bytes deflateMixed(const Bytes& data, std::mt19937& random)
{
    static const int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    static const int kFlushes[] = {Z_NO_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_PARTIAL_FLUSH, Z_BLOCK};
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out;
    Bytes chunk(1 << 16);
    size_t position = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        // Changing the settings may flush a block: collect what it writes.
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        deflateParams(&z, static_cast<int>(random() % 10), kStrategies[random() % 5]);
        out.insert(out.end(), chunk.data(), z.next_out);
        size_t n = std::min<size_t>(random() % 8000 + 1, data.size() - position);
        z.next_in = const_cast<Bytes::value_type*>(data.data() + position);
        z.avail_in = static_cast<uInt>(n);
        position += n;
        flush = position == data.size() ? Z_FINISH : kFlushes[random() % 5];
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.data(), z.next_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// Decodes `stream` whole, a byte at a time, in random pieces with output
// space in random pieces, in pieces around the limits of the table-driven
// paths (16 or 24 input bytes, 258 or 262 bytes of space), in big pieces
// that keep it on those paths for long, and in window mode, each without and
// with a workspace, and compares every result.
void expectEveryFeedingDecodes(
    const Bytes& stream, const Bytes& expected, uint32_t windowBits, std::mt19937& random, const std::string& label)
{
    auto randomPiece = [&random] { return static_cast<size_t>(random() % 700 + 1); };
    auto smallPiece = [&random] { return static_cast<size_t>(random() % 40 + 1); };
    auto nearInputLimit = [&random] { return static_cast<size_t>(random() % 13 + 14); };
    auto nearOutputLimit = [&random] { return static_cast<size_t>(random() % 9 + 256); };
    auto bigPiece = [&random] { return static_cast<size_t>(random() % 20000 + 4000); };
    struct Feeding {
        const char* name;
        PieceSize input;
        PieceSize output;
        uint32_t windowSize;
    };
    const Feeding feedings[] = {
        {"whole", fixedPieces(SIZE_MAX), fixedPieces(SIZE_MAX), 0},
        {"byte by byte", fixedPieces(1), fixedPieces(SIZE_MAX), 0},
        {"random pieces", randomPiece, randomPiece, 0},
        {"pieces near the fast path's limits", nearInputLimit, nearOutputLimit, 0},
        {"big pieces", bigPiece, bigPiece, 0},
        {"window of the stream's size", smallPiece, randomPiece, 1u << windowBits},
        {"largest window", randomPiece, smallPiece, INFLATE_MAX_DISTANCE},
    };
    static inflate_workspace_t workspace;
    for (inflate_workspace_t* lent : {static_cast<inflate_workspace_t*>(nullptr), &workspace}) {
        const std::string tables = lent ? ", wide tables" : "";
        for (const Feeding& feeding : feedings) {
            InflateRun run =
                inflatePieces(stream, expected.size(), feeding.input, feeding.output, feeding.windowSize, lent);
            ASSERT_EQ(run.result, INFLATE_DONE) << label << ", " << feeding.name << tables;
            ASSERT_FALSE(run.inputLeftOver) << label << ", " << feeding.name << tables;
            ASSERT_TRUE(run.windowIntact) << label << ", " << feeding.name << tables;
            ASSERT_TRUE(run.bytes == expected) << label << ", " << feeding.name << tables;
        }
    }
}

class ZlibStreams : public testing::TestWithParam<std::tuple<int, int>> { };

TEST_P(ZlibStreams, DecodeToTheOriginalBytes)
{
    const int level = std::get<0>(GetParam());
    const int strategy = std::get<1>(GetParam());
    std::mt19937 random(static_cast<uint32_t>(level * 31 + strategy));
    const size_t kSizes[] = {0, 1, 2, 57, 1000, 4000, 9000, 40000};
    for (int windowBits = 9; windowBits <= 15; ++windowBits) {
        for (Kind kind : kKinds) {
            size_t size = kSizes[random() % 8];
            Bytes data = makeData(kind, size, random);
            Bytes stream = deflateRaw(data, level, strategy, windowBits);
            std::string label = "level " + std::to_string(level) + " strategy " + std::to_string(strategy) +
                " windowBits " + std::to_string(windowBits) + " kind " + std::to_string(static_cast<int>(kind)) +
                " size " + std::to_string(size);
            expectEveryFeedingDecodes(stream, data, static_cast<uint32_t>(windowBits), random, label);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllLevelsAndStrategies, ZlibStreams,
    testing::Combine(
        testing::Range(0, 10), testing::Values(Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED)));

TEST(ZlibMixedStreams, DecodeAcrossBlockTypesAndFlushes)
{
    std::mt19937 random(2024);
    for (int i = 0; i < 24; ++i) {
        Bytes data = makeData(kKinds[i % 6], random() % 120000 + 20000, random);
        Bytes stream = deflateMixed(data, random);
        expectEveryFeedingDecodes(stream, data, 15, random, "mixed stream " + std::to_string(i));
    }
}

TEST(ZlibStreams, LargeStreamDecodesInOnePass)
{
    std::mt19937 random(99);
    Bytes data;
    for (Kind kind : kKinds) {
        Bytes part = makeData(kind, 400000, random);
        data.insert(data.end(), part.begin(), part.end());
    }
    Bytes stream = deflateRaw(data, 6, Z_DEFAULT_STRATEGY, 15);
    InflateRun run = inflateWhole(stream, data.size());
    ASSERT_EQ(run.result, INFLATE_DONE);
    EXPECT_TRUE(run.bytes == data);
    inflate_workspace_t workspace;
    InflateRun wide = inflateWhole(stream, data.size(), &workspace);
    ASSERT_EQ(wide.result, INFLATE_DONE);
    EXPECT_TRUE(wide.bytes == data);
}

// Truncated streams must ask for more input, never fail or finish.
TEST(ZlibStreams, TruncatedStreamsAskForMoreInput)
{
    std::mt19937 random(5);
    for (int level : {0, 1, 6, 9}) {
        Bytes data = makeData(Kind::Text, 5000, random);
        Bytes stream = deflateRaw(data, level, level == 1 ? Z_FIXED : Z_DEFAULT_STRATEGY, 15);
        for (size_t cut = 0; cut < stream.size(); cut += 1 + stream.size() / 97) {
            Bytes head(stream.begin(), stream.begin() + static_cast<long>(cut));
            for (size_t piece : {size_t{3}, SIZE_MAX}) {
                InflateRun run = inflatePieces(head, data.size(), fixedPieces(piece), fixedPieces(SIZE_MAX));
                ASSERT_EQ(run.result, INFLATE_NEED_INPUT) << "level " << level << " cut " << cut;
                ASSERT_FALSE(run.inputLeftOver) << "level " << level << " cut " << cut;
                ASSERT_TRUE(std::equal(run.bytes.begin(), run.bytes.end(), data.begin()));
            }
        }
    }
}

// Decodes without a window into a buffer of INFLATE_MAX_DISTANCE + `room`
// bytes, moving the last INFLATE_MAX_DISTANCE bytes to its start whenever
// the output space runs out, as a streaming caller does.
InflateRun inflateSliding(const Bytes& stream, size_t room)
{
    InflateRun run{INFLATE_NEED_INPUT, {}, false, true};
    Bytes buffer(INFLATE_MAX_DISTANCE + room);
    inflate_t inflater{};
    inflate_process(&inflater, nullptr);
    inflater.output = buffer.data();
    inflater.output_space = uint32_t(buffer.size());
    bitstream_t input{stream.data(), uint32_t(stream.size()), 0, 0};
    for (;;) {
        uint8_t* const start = inflater.output;
        run.result = inflate_process(&inflater, &input);
        run.bytes.insert(run.bytes.end(), start, inflater.output);
        if (run.result != INFLATE_OUTPUT_FULL)
            return run;
        const size_t keep = std::min<size_t>(inflater.total, INFLATE_MAX_DISTANCE);
        std::memmove(buffer.data(), inflater.output - keep, keep);
        inflater.output = buffer.data() + keep;
        inflater.output_space = uint32_t(buffer.size() - keep);
    }
}

// Without a window, the output may move between calls as long as the last
// 32 KiB decoded stand right before it: matches reach no further.
TEST(ZlibStreams, OutputMovedBetweenCallsWithItsHistory)
{
    std::mt19937 random(7);
    for (Kind kind : {Kind::FarRepeats, Kind::Runs, Kind::Text}) {
        const Bytes data = makeData(kind, 100000, random);
        for (int level : {1, 9}) {
            const Bytes stream = deflateRaw(data, level, Z_DEFAULT_STRATEGY, 15);
            for (size_t room : {size_t{1}, size_t{300}, size_t{32768}}) {
                const InflateRun run = inflateSliding(stream, room);
                ASSERT_EQ(run.result, INFLATE_DONE) << "kind " << int(kind) << " room " << room;
                ASSERT_TRUE(run.bytes == data) << "kind " << int(kind) << " level " << level << " room " << room;
            }
        }
    }
}

} // namespace
