// Hand-made streams long enough for the table-driven path: every data error
// it can meet, every kind of match copy, and the hand-over to the bit-by-bit
// steps. Each stream is also decoded a byte at a time, which keeps it on the
// bit-by-bit steps, and both must agree. Every test runs with each compiled
// variant of the fast loop (the BMI2 one where the processor has it, and the
// plain one), with the record's own tables and with a workspace's wide ones.
#include "deflate_writer.h"
#include "inflate_driver.h"
#include "inflate_internal.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kPadding = 40; // zero bytes after each stream: the fast path needs 16 ahead
constexpr size_t kOutputLimit = 8192;

// A fixed block of `count` literals "abc...z" repeated; returns the literals.
std::string writeFixedLiterals(BitWriter& w, bool last, size_t count)
{
    w.bits(last ? 1 : 0, 1);
    w.bits(1, 2);
    std::string literals;
    for (size_t i = 0; i < count; ++i) {
        char ch = static_cast<char>('a' + i % 26);
        writeFixedSymbol(w, static_cast<uint8_t>(ch));
        literals += ch;
    }
    return literals;
}

Bytes padded(const BitWriter& w)
{
    Bytes stream = w.finish();
    stream.insert(stream.end(), kPadding, 0);
    return stream;
}

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// Decodes whole (table-driven), a byte at a time (bit by bit) and in pieces
// around the limits of both fast loops, with `workspace` lent to the decoder
// (or none), and expects the same result and bytes.
void expectSameEveryWay(const Bytes& stream, inflate_result_t result, const Bytes& expected, const std::string& label,
    inflate_workspace_t* workspace, size_t limit = kOutputLimit)
{
    size_t turn = 0;
    const size_t inputSizes[] = {15, 16, 17, 23, 24, 25, 40};
    const size_t outputSizes[] = {257, 258, 259, 261, 262, 263, 1};
    PieceSize nearInput = [&] { return inputSizes[turn++ % 7]; };
    PieceSize nearOutput = [&] { return outputSizes[turn % 7]; };
    const InflateRun runs[] = {
        inflateWhole(stream, limit, workspace),
        inflatePieces(stream, limit, fixedPieces(1), fixedPieces(SIZE_MAX), 0, workspace),
        inflatePieces(stream, limit, nearInput, nearOutput, 0, workspace),
    };
    const char* const names[] = {"whole", "byte by byte", "pieces near the limits"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(runs[i].result, result) << label << ", " << names[i];
        EXPECT_EQ(runs[i].bytes, expected) << label << ", " << names[i];
    }
}

struct FastErrorCase {
    const char* name;
    std::function<std::string(BitWriter&)> write; // writes the stream, returns the bytes before the error
};

// Dynamic-block code lengths: 'a' at one bit, 256 and 257 at two.
std::vector<int> literalOrMatchLengths()
{
    std::vector<int> lengths(258, 0);
    lengths['a'] = 1;
    lengths[256] = 2;
    lengths[257] = 2;
    return lengths;
}

const FastErrorCase kFastErrorCases[] = {
    {"distance one beyond the bytes decoded",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, true, 30);
            writeFixedMatch(w, 10, 31);
            return before;
        }},
    {"length symbol 286",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, true, 30);
            writeFixedSymbol(w, 286);
            return before;
        }},
    {"length symbol 287",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, true, 30);
            writeFixedSymbol(w, 287);
            return before;
        }},
    {"distance code 30",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, true, 30);
            writeFixedSymbol(w, 257);
            writeFixedDistance(w, 30);
            return before;
        }},
    {"distance code 31",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, true, 30);
            writeFixedSymbol(w, 260);
            writeFixedDistance(w, 31);
            return before;
        }},
    {"literal/length bits matching no code",
        [](BitWriter& w) {
            std::string before = writeFixedLiterals(w, false, 30);
            writeFixedSymbol(w, 256);
            std::vector<int> lengths(257, 0);
            lengths[256] = 1; // only code 0 exists
            writeDynamicCodes(w, true, lengths, {1});
            w.bits(0xFFFF, 16);
            return before;
        }},
    {"distance bits matching no code",
        [](BitWriter& w) {
            std::vector<int> lengths = literalOrMatchLengths();
            writeDynamicCodes(w, true, lengths, {1}); // only distance code 0 exists
            std::vector<uint32_t> codes = canonicalCodes(lengths);
            for (int i = 0; i < 20; ++i)
                w.code(codes['a'], 1);
            w.code(codes[257], 2);
            w.code(1, 1);
            return std::string(20, 'a');
        }},
    {"distance code on an empty distance table",
        [](BitWriter& w) {
            std::vector<int> lengths = literalOrMatchLengths();
            writeDynamicCodes(w, true, lengths, {0});
            std::vector<uint32_t> codes = canonicalCodes(lengths);
            w.code(codes['a'], 1);
            w.code(codes[257], 2);
            return std::string("a");
        }},
};

using inflate_detail::fast_variant_t;

// Each test runs with a variant of the fast loop, and with a workspace or without.
class InflateFastPath : public testing::TestWithParam<std::tuple<fast_variant_t, bool>> {
protected:
    void SetUp() override { inflate_detail::force_fast_variant(std::get<0>(GetParam())); }
    void TearDown() override { inflate_detail::force_fast_variant(fast_variant_t::BEST); }

    // The workspace lent to the decoder, or null for the record's own tables.
    inflate_workspace_t* workspace() { return std::get<1>(GetParam()) ? &mWorkspace : nullptr; }

    // Resets a zeroed record, without a window, with the workspace of the test.
    void reset(inflate_t& inflater)
    {
        inflater.workspace = workspace();
        inflate_process(&inflater, nullptr);
    }

private:
    inflate_workspace_t mWorkspace = {};
};

INSTANTIATE_TEST_SUITE_P(EachVariantAndTables, InflateFastPath,
    testing::Combine(testing::Values(fast_variant_t::BEST, fast_variant_t::PORTABLE), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<fast_variant_t, bool>>& info) {
        return std::string(std::get<0>(info.param) == fast_variant_t::BEST ? "Best" : "Portable") +
            (std::get<1>(info.param) ? "WideTables" : "OwnTables");
    });

TEST_P(InflateFastPath, DataErrorsMatchTheBitByBitSteps)
{
    for (const FastErrorCase& c : kFastErrorCases) {
        BitWriter w;
        std::string before = c.write(w);
        expectSameEveryWay(padded(w), INFLATE_DATA_ERROR, bytesOf(before), c.name, workspace());
    }
}

// Every copy strategy (distance 1; 2 to 7, whose pattern is widened to 8 or
// more bytes; 8 to 15 in 8-byte blocks; 16 and more in 16-byte blocks) with
// lengths below, at and across the block sizes and the widened patterns,
// against a byte-by-byte reference.
TEST_P(InflateFastPath, MatchCopiesRepeatTheirSource)
{
    const int kDistances[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100};
    const int kLengths[] = {
        3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 18, 21, 22, 23, 24, 25, 31, 32, 33, 64, 100, 255, 257, 258};
    for (int distance : kDistances) {
        for (int length : kLengths) {
            BitWriter w;
            std::string text = writeFixedLiterals(w, true, static_cast<size_t>(distance) + 5);
            writeFixedMatch(w, length, distance);
            writeFixedMatch(w, 3, 1); // a match right after another one
            writeFixedSymbol(w, 'z');
            writeFixedSymbol(w, 256);
            for (int i = 0; i < length; ++i)
                text += text[text.size() - static_cast<size_t>(distance)];
            text += std::string(3, text.back()) + "z";
            expectSameEveryWay(padded(w), INFLATE_DONE, bytesOf(text),
                "distance " + std::to_string(distance) + " length " + std::to_string(length), workspace());
        }
    }
}

// Every match length, and the shortest and longest distance of every distance
// code, over bytes without a period, so that a wrong length base, extra-bit
// count or distance shows in the output.
TEST_P(InflateFastPath, EveryLengthAndDistanceCodeDecodes)
{
    std::vector<int> distances;
    for (int base : {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049,
             3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769}) {
        distances.push_back(base);
        distances.push_back(base - 1);
    }
    distances.erase(distances.begin() + 1); // distance 0 does not exist
    distances.erase(distances.end() - 2);   // 32769 is beyond the format; 32768 stays
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    std::string text;
    uint32_t random = 12345;
    while (text.size() < INFLATE_MAX_DISTANCE) {
        random = random * 1103515245u + 12345u;
        const char literal = static_cast<char>(random >> 24);
        writeFixedSymbol(w, static_cast<uint8_t>(literal));
        text += literal;
    }
    for (int length = 3; length <= 258; ++length) {
        const int distance = distances[static_cast<size_t>(length) % distances.size()];
        writeFixedMatch(w, length, distance);
        for (int k = 0; k < length; ++k)
            text += text[text.size() - static_cast<size_t>(distance)];
        writeFixedSymbol(w, 'q');
        text += 'q';
    }
    writeFixedSymbol(w, 256);
    const Bytes stream = padded(w);
    const InflateRun whole = inflateWhole(stream, text.size() + 300, workspace());
    const InflateRun slow = inflatePieces(stream, text.size() + 300, fixedPieces(1), fixedPieces(SIZE_MAX));
    EXPECT_EQ(whole.result, INFLATE_DONE);
    EXPECT_EQ(slow.result, INFLATE_DONE);
    EXPECT_EQ(whole.bytes, bytesOf(text));
    EXPECT_EQ(slow.bytes, bytesOf(text));
}

TEST_P(InflateFastPath, MatchesReachBackExactlyToTheFirstByte)
{
    BitWriter w;
    std::string text = writeFixedLiterals(w, true, 300);
    writeFixedMatch(w, 258, 300);
    writeFixedSymbol(w, 256);
    text += text.substr(0, 258);
    expectSameEveryWay(padded(w), INFLATE_DONE, bytesOf(text), "distance 300 after 300 bytes", workspace());
}

// Output space handed out in pieces: after every call, nothing may have been
// written past the last decoded byte, though the space allows it.
TEST_P(InflateFastPath, WritesNothingPastTheDecodedBytes)
{
    BitWriter w;
    std::string text = writeFixedLiterals(w, true, 26);
    for (int i = 0; i < 400; ++i) {
        const int length = 3 + i % 13;
        const int distance = 8 + i % 19;
        writeFixedMatch(w, length, distance);
        for (int k = 0; k < length; ++k)
            text += text[text.size() - static_cast<size_t>(distance)];
    }
    writeFixedSymbol(w, 256);
    const Bytes stream = padded(w);
    constexpr uint8_t kGuard = 0xA5;
    Bytes area(text.size() + 700, kGuard);
    inflate_t inflater = {};
    reset(inflater);
    inflater.output = area.data();
    bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
    inflate_result_t result = INFLATE_OUTPUT_FULL;
    while (result == INFLATE_OUTPUT_FULL) {
        inflater.output_space += 700;
        result = inflate_process(&inflater, &bits);
        const size_t written = static_cast<size_t>(inflater.output - area.data());
        for (size_t i = written; i < area.size(); ++i)
            ASSERT_EQ(area[i], kGuard) << "byte " << i << " written after " << written << " decoded";
    }
    ASSERT_EQ(result, INFLATE_DONE);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + static_cast<long>(text.size())), bytesOf(text));
}

// Output space that ends inside the longest match, which follows a run of
// literals: wherever the space ends, the table-driven path must hand over
// in time, write nothing past the space and resume once more is given.
TEST_P(InflateFastPath, MatchesNearTheEndOfTheOutputSpaceStayInside)
{
    constexpr uint8_t kGuard = 0xA5;
    BitWriter w;
    std::string text = writeFixedLiterals(w, true, 300);
    writeFixedMatch(w, 258, 26);
    for (int k = 0; k < 258; ++k)
        text += text[text.size() - 26];
    for (int k = 0; k < 10; ++k) {
        writeFixedSymbol(w, 'z');
        text += 'z';
    }
    writeFixedSymbol(w, 256);
    const Bytes stream = padded(w);
    for (uint32_t space = 300 + 258 - 24; space < 300 + 258; ++space) {
        Bytes area(text.size() + 16, kGuard);
        inflate_t inflater = {};
        reset(inflater);
        inflater.output = area.data();
        inflater.output_space = space;
        bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
        EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_OUTPUT_FULL) << "space " << space;
        EXPECT_EQ(Bytes(area.begin() + space, area.end()), Bytes(area.size() - space, kGuard)) << "space " << space;
        inflater.output_space += static_cast<uint32_t>(text.size()) - space;
        EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_DONE) << "space " << space;
        EXPECT_EQ(Bytes(area.begin(), area.begin() + static_cast<long>(text.size())), bytesOf(text))
            << "space " << space;
    }
}

// The table-driven path hands the unread bytes back: after the stream ends,
// the input cursor is just past its last byte, as bit by bit.
TEST_P(InflateFastPath, StopsReadingAtTheEndOfTheStream)
{
    BitWriter w;
    writeFixedLiterals(w, true, 50);
    writeFixedSymbol(w, 256);
    const size_t length = w.finish().size();
    const Bytes stream = padded(w);
    Bytes area(100);
    inflate_t inflater = {};
    reset(inflater);
    inflater.output = area.data();
    inflater.output_space = 300;
    bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
    ASSERT_EQ(inflate_process(&inflater, &bits), INFLATE_DONE);
    EXPECT_EQ(bits.cur, stream.data() + length);
    EXPECT_EQ(bits.bytes_left, kPadding);
    EXPECT_LT(bits.bit_count, 8u);
}

// A caller may start a piece with whole bytes of an earlier piece still in
// the bit buffer (after bitstream_unread, say). Those bits cannot be given
// back to the new piece, whose buffer here has foreign bytes just before it.
TEST_P(InflateFastPath, BitsOfAnEarlierPieceStayBuffered)
{
    BitWriter w;
    std::string text = writeFixedLiterals(w, true, 60);
    writeFixedSymbol(w, 256);
    const Bytes stream = padded(w);
    constexpr size_t kBuffered = 3;
    for (size_t pieceSize : {16, 17, 20, 24}) {
        Bytes rest(8 + stream.size() - kBuffered, 0xFF);
        std::copy(stream.begin() + kBuffered, stream.end(), rest.begin() + 8);
        Bytes area(300);
        inflate_t inflater = {};
        reset(inflater);
        inflater.output = area.data();
        inflater.output_space = static_cast<uint32_t>(area.size());
        const uint32_t buffered = stream[0] | stream[1] << 8u | stream[2] << 16u;
        bitstream_t bits = {nullptr, 0, buffered, 8 * kBuffered};
        inflate_result_t result = INFLATE_NEED_INPUT;
        for (size_t at = 8; at < rest.size() && result == INFLATE_NEED_INPUT; at += pieceSize) {
            bits.cur = rest.data() + at;
            bits.bytes_left = static_cast<uint32_t>(std::min(pieceSize, rest.size() - at));
            result = inflate_process(&inflater, &bits);
        }
        EXPECT_EQ(result, INFLATE_DONE) << "pieces of " << pieceSize;
        EXPECT_EQ(std::string(area.data(), inflater.output), text) << "pieces of " << pieceSize;
    }
}

// Lengths 1 to 15, and 15 again: a complete code of 16 symbols with a code
// of every length, so that pairs of literals, codes longer than both kinds of
// lookup table and the canonical code behind them are all reached.
constexpr int kEveryCodeLength[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15};

// Writes a dynamic block whose literal/length and distance codes have a code
// of every length, given to randomly chosen symbols, and then `count`
// randomly chosen literals and matches; appends what they decode to to `text`.
void writeBlockOfEveryCodeLength(BitWriter& w, bool last, size_t count, std::mt19937& random, std::string& text)
{
    std::vector<int> literals = {256};
    for (int symbol : {257, 262, 265, 269, 273, 277, 281, 284})
        literals.push_back(symbol + static_cast<int>(random() % 2));
    while (literals.size() < 16) {
        const int literal = static_cast<int>(random() % 256);
        if (std::find(literals.begin(), literals.end(), literal) == literals.end())
            literals.push_back(literal);
    }
    std::vector<int> distances;
    while (distances.size() < 16) {
        const int distance = static_cast<int>(random() % 30);
        if (std::find(distances.begin(), distances.end(), distance) == distances.end())
            distances.push_back(distance);
    }
    std::shuffle(literals.begin(), literals.end(), random);
    std::vector<int> literalLengths(286, 0);
    std::vector<int> distanceLengths(30, 0);
    for (size_t i = 0; i < 16; ++i) {
        literalLengths[static_cast<size_t>(literals[i])] = kEveryCodeLength[i];
        distanceLengths[static_cast<size_t>(distances[i])] = kEveryCodeLength[i];
    }
    writeDynamicCodes(w, last, literalLengths, distanceLengths);
    const std::vector<uint32_t> literalCodes = canonicalCodes(literalLengths);
    const std::vector<uint32_t> distanceCodes = canonicalCodes(distanceLengths);
    const auto writeSymbol = [&](int symbol) {
        w.code(literalCodes[static_cast<size_t>(symbol)], literalLengths[static_cast<size_t>(symbol)]);
    };
    const int someLiteral = *std::find_if(literals.begin(), literals.end(), [](int symbol) { return symbol < 256; });
    for (size_t i = 0; i < count; ++i) {
        const int symbol = literals[random() % 16];
        const int distanceSymbol = distances[random() % 16];
        const int extra =
            static_cast<int>(random() & 0x1FFF) & ((1 << inflate_detail::DISTANCE_EXTRA[distanceSymbol]) - 1);
        const size_t distance = inflate_detail::DISTANCE_BASE[distanceSymbol] + static_cast<size_t>(extra);
        if (symbol <= 256 || distance > text.size()) {
            // The end code, or a match reaching too far, stands for a literal here.
            const int literal = symbol < 256 ? symbol : someLiteral;
            writeSymbol(literal);
            text += static_cast<char>(literal);
            continue;
        }
        const size_t index = static_cast<size_t>(symbol - 257);
        const int lengthExtra = static_cast<int>(random() % 32) & ((1 << inflate_detail::LENGTH_EXTRA[index]) - 1);
        const size_t length = inflate_detail::LENGTH_BASE[index] + static_cast<size_t>(lengthExtra);
        writeSymbol(symbol);
        w.bits(static_cast<uint32_t>(lengthExtra), inflate_detail::LENGTH_EXTRA[index]);
        w.code(
            distanceCodes[static_cast<size_t>(distanceSymbol)], distanceLengths[static_cast<size_t>(distanceSymbol)]);
        w.bits(static_cast<uint32_t>(extra), inflate_detail::DISTANCE_EXTRA[distanceSymbol]);
        for (size_t k = 0; k < length; ++k)
            text += text[text.size() - distance];
    }
    writeSymbol(256);
}

// Three blocks, each with codes of every length on other symbols, so that
// the tables are built again for every block and every way of decoding a
// symbol is met many times.
TEST_P(InflateFastPath, DynamicCodesOfEveryLengthDecode)
{
    std::mt19937 random(77);
    for (int stream = 0; stream < 4; ++stream) {
        BitWriter w;
        std::string text;
        for (int block = 0; block < 3; ++block)
            writeBlockOfEveryCodeLength(w, block == 2, 3000, random, text);
        expectSameEveryWay(
            padded(w), INFLATE_DONE, bytesOf(text), "stream " + std::to_string(stream), workspace(), text.size());
    }
}

// A workspace may be lent, taken back or changed between calls, even inside
// a block: the decoder builds the block's tables again wherever they are not.
TEST(InflateWorkspace, MayChangeBetweenCalls)
{
    std::mt19937 random(78);
    BitWriter w;
    std::string text;
    for (int block = 0; block < 3; ++block)
        writeBlockOfEveryCodeLength(w, block == 2, 2000, random, text);
    const Bytes stream = padded(w);
    inflate_workspace_t workspaces[2] = {};
    inflate_workspace_t* const lent[] = {&workspaces[0], nullptr, &workspaces[1], &workspaces[0]};
    Bytes area(text.size());
    inflate_t inflater = {};
    inflate_process(&inflater, nullptr);
    inflater.output = area.data();
    inflater.output_space = static_cast<uint32_t>(area.size());
    bitstream_t bits = {};
    inflate_result_t result = INFLATE_NEED_INPUT;
    for (size_t at = 0, turn = 0; at < stream.size() && result == INFLATE_NEED_INPUT; at += 97, ++turn) {
        inflater.workspace = lent[turn % 4];
        bits.cur = stream.data() + at;
        bits.bytes_left = static_cast<uint32_t>(std::min<size_t>(97, stream.size() - at));
        result = inflate_process(&inflater, &bits);
    }
    EXPECT_EQ(result, INFLATE_DONE);
    EXPECT_EQ(area, bytesOf(text));
}

} // namespace
