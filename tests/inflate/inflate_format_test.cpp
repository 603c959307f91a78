// Hand-made Deflate streams: every kind of corrupt data, and the corners of
// the format that generated streams rarely reach.
#include "deflate_writer.h"
#include "inflate_driver.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Literal/length code lengths of HLIT 257 with the given symbols at the given lengths.
std::vector<int> literalLengths(const std::vector<std::pair<int, int>>& symbols)
{
    std::vector<int> lengths(257, 0);
    for (const auto& symbol : symbols)
        lengths[symbol.first] = symbol.second;
    return lengths;
}

void writeOnes(BitWriter& writer, int count)
{
    writer.bits(0xFFFFFFFFu, count);
}

struct ErrorCase {
    const char* name;
    std::function<void(BitWriter&)> write;
};

const ErrorCase kErrorCases[] = {
    {"block type 3",
        [](BitWriter& w) {
            w.bits(1, 1);
            w.bits(3, 2);
        }},
    {"stored length without its complement",
        [](BitWriter& w) {
            writeStoredHeader(w, true, 5, 0xFFFB);
            w.bytes(bytesOf("hello"));
        }},
    {"HLIT above 286", [](BitWriter& w) { writeDynamicHeader(w, true, 287, 1, std::vector<int>(19, 5), {}); }},
    {"HDIST above 30", [](BitWriter& w) { writeDynamicHeader(w, true, 257, 31, std::vector<int>(19, 5), {}); }},
    {"over-subscribed code-length code",
        [](BitWriter& w) {
            std::vector<int> codeLengths(19, 0);
            codeLengths[0] = codeLengths[1] = codeLengths[2] = 1;
            writeDynamicHeader(w, true, 257, 1, codeLengths, {});
            w.bits(0, 16);
        }},
    {"code-length bits matching no code",
        [](BitWriter& w) {
            std::vector<int> codeLengths(19, 0);
            codeLengths[1] = 1; // only code 0 exists
            writeDynamicHeader(w, true, 257, 1, codeLengths, {});
            writeOnes(w, 16);
        }},
    {"incomplete code-length code, the rest valid",
        [](BitWriter& w) {
            std::vector<int> lengths = literalLengths({{'a', 1}, {256, 1}});
            lengths.push_back(1); // the distance code
            writeDynamicHeader(w, true, 257, 1, std::vector<int>(19, 5), plainItems(lengths));
            w.code(0, 1); // 'a'
            w.code(1, 1); // end of block
        }},
    {"repeat code 16 without a previous length",
        [](BitWriter& w) {
            writeDynamicHeader(w, true, 257, 1, completeCodeLengthLengths(), {{16, 0}});
        }},
    {"repeat past HLIT + HDIST",
        [](BitWriter& w) {
            writeDynamicHeader(w, true, 257, 1, completeCodeLengthLengths(), {{18, 127}, {18, 116}});
        }},
    {"code length 0 for symbol 256",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{0, 1}, {1, 1}}), {1});
        }},
    {"over-subscribed literal/length code",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{0, 1}, {1, 1}, {256, 1}}), {1});
        }},
    {"incomplete literal/length code with two-bit codes",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{0, 2}, {256, 2}}), {1});
        }},
    {"over-subscribed distance code",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{0, 1}, {256, 1}}), {1, 1, 1});
        }},
    {"incomplete distance code with two-bit codes",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{0, 1}, {256, 1}}), {2, 2});
        }},
    {"literal/length bits matching no code within 15 bits",
        [](BitWriter& w) {
            writeDynamicCodes(w, true, literalLengths({{256, 1}}), {0});
            writeOnes(w, 16);
        }},
    {"distance code on an empty distance table",
        [](BitWriter& w) {
            std::vector<int> lengths(258, 0); // HLIT 258, to hold length symbol 257
            lengths['a'] = 1;
            lengths[256] = 2;
            lengths[257] = 2;
            writeDynamicCodes(w, true, lengths, {0});
            std::vector<uint32_t> codes = canonicalCodes(lengths);
            w.code(codes['a'], 1);
            w.code(codes[257], 2);
            w.bits(0, 16);
        }},
    {"length symbol above 285",
        [](BitWriter& w) {
            w.bits(1, 1);
            w.bits(1, 2);
            writeFixedSymbol(w, 'a');
            writeFixedSymbol(w, 286);
            writeFixedSymbol(w, 256);
        }},
    {"distance symbol above 29",
        [](BitWriter& w) {
            w.bits(1, 1);
            w.bits(1, 2);
            writeFixedSymbol(w, 'a');
            writeFixedSymbol(w, 257);
            writeFixedDistance(w, 30);
            w.bits(0, 16);
        }},
    {"distance beyond the bytes decoded",
        [](BitWriter& w) {
            w.bits(1, 1);
            w.bits(1, 2);
            writeFixedSymbol(w, 'a');
            writeFixedSymbol(w, 'b');
            writeFixedMatch(w, 3, 3);
            writeFixedSymbol(w, 256);
        }},
};

TEST(InflateDataError, EveryFormatViolationIsRefused)
{
    for (const ErrorCase& c : kErrorCases) {
        BitWriter writer;
        c.write(writer);
        std::vector<uint8_t> stream = writer.finish();
        EXPECT_EQ(inflateWhole(stream, 4096).result, INFLATE_DATA_ERROR) << c.name;
        InflateRun bytewise = inflatePieces(stream, 4096, fixedPieces(1), fixedPieces(1));
        EXPECT_EQ(bytewise.result, INFLATE_DATA_ERROR) << c.name << ", fed byte by byte";
        EXPECT_EQ(inflatePieces(stream, 4096, fixedPieces(3), fixedPieces(7), 32768).result, INFLATE_DATA_ERROR)
            << c.name << ", window mode";
    }
}

TEST(InflateDataError, TheRecordStaysFailedUntilReset)
{
    const std::vector<uint8_t> corrupt = {0x07, 0x01, 0x00, 0xFF, 0xFF};
    const std::vector<uint8_t> empty = {0x01, 0x00, 0x00, 0xFF, 0xFF};
    uint8_t out[16];
    inflate_t inflater = {};
    inflate_process(&inflater, nullptr);
    inflater.output = out;
    inflater.output_space = sizeof out;
    bitstream_t bits = {corrupt.data(), static_cast<uint32_t>(corrupt.size()), 0, 0};
    EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_DATA_ERROR);
    EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_DATA_ERROR);

    inflate_process(&inflater, nullptr);
    bitstream_t fresh = {empty.data(), static_cast<uint32_t>(empty.size()), 0, 0};
    EXPECT_EQ(inflate_process(&inflater, &fresh), INFLATE_DONE);
    EXPECT_EQ(inflater.total, 0u);
}

// Stored, fixed and dynamic blocks in one stream, with an empty stored block.
std::vector<uint8_t> mixedBlockStream()
{
    BitWriter w;
    writeStoredHeader(w, false, 0, 0xFFFF);
    writeStoredHeader(w, false, 3, 0xFFFC);
    w.bytes(bytesOf("abc"));
    w.bits(0, 1);
    w.bits(1, 2);
    writeFixedSymbol(w, 'd');
    writeFixedMatch(w, 6, 3); // "bcd" twice
    writeFixedSymbol(w, 256);
    std::vector<int> lengths(258, 0);
    lengths['z'] = 2;
    lengths[256] = 2;
    lengths[257] = 1;
    writeDynamicCodes(w, true, lengths, {1});
    std::vector<uint32_t> codes = canonicalCodes(lengths);
    w.code(codes['z'], 2);
    w.code(codes[257], 1); // length 3
    w.code(0, 1);          // the only distance code: distance 1
    w.code(codes[256], 2);
    return w.finish();
}

TEST(InflateFormat, DecodesMixedBlockTypes)
{
    const std::vector<uint8_t> expected = bytesOf("abcdbcdbcdzzzz");
    std::vector<uint8_t> stream = mixedBlockStream();
    EXPECT_EQ(inflateWhole(stream, 100).bytes, expected);
    InflateRun bytewise = inflatePieces(stream, 100, fixedPieces(1), fixedPieces(1));
    EXPECT_EQ(bytewise.result, INFLATE_DONE);
    EXPECT_EQ(bytewise.bytes, expected);
    InflateRun windowed = inflatePieces(stream, 100, fixedPieces(2), fixedPieces(1), 4);
    EXPECT_EQ(windowed.result, INFLATE_DONE);
    EXPECT_EQ(windowed.bytes, expected);
}

TEST(InflateFormat, MatchesReachBackExactlyToTheFirstByte)
{
    struct Case {
        std::string literals;
        int length;
        int distance;
        std::string expected;
    };
    const Case cases[] = {
        {"z", 258, 1, std::string(259, 'z')},
        {"abcd", 3, 4, "abcdabc"},
        {"abcd", 10, 4, "abcdabcdabcdab"},
        {"abcd", 5, 2, "abcdcdcdc"},
    };
    for (const Case& c : cases) {
        BitWriter w;
        w.bits(1, 1);
        w.bits(1, 2);
        for (char ch : c.literals)
            writeFixedSymbol(w, static_cast<uint8_t>(ch));
        writeFixedMatch(w, c.length, c.distance);
        writeFixedSymbol(w, 256);
        InflateRun run = inflateWhole(w.finish(), 1000);
        EXPECT_EQ(run.result, INFLATE_DONE) << c.expected;
        EXPECT_EQ(std::string(run.bytes.begin(), run.bytes.end()), c.expected);
    }
}

TEST(InflateFormat, OutputSpaceRunningOutInsideAMatchResumes)
{
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    writeFixedSymbol(w, 'x');
    writeFixedSymbol(w, 'y');
    writeFixedMatch(w, 100, 2);
    writeFixedSymbol(w, 256);
    std::vector<uint8_t> stream = w.finish();
    std::string pattern;
    for (int i = 0; i < 51; ++i)
        pattern += "xy";
    const std::vector<uint8_t> expected = bytesOf(pattern);
    for (uint32_t windowSize : {0u, 2u, 3u, 32768u}) {
        InflateRun exact =
            inflatePieces(stream, expected.size(), fixedPieces(SIZE_MAX), fixedPieces(SIZE_MAX), windowSize);
        EXPECT_EQ(exact.result, INFLATE_DONE) << "window " << windowSize;
        EXPECT_EQ(exact.bytes, expected);
        InflateRun short1 =
            inflatePieces(stream, expected.size() - 1, fixedPieces(SIZE_MAX), fixedPieces(SIZE_MAX), windowSize);
        EXPECT_EQ(short1.result, INFLATE_OUTPUT_FULL);
        EXPECT_EQ(short1.bytes, std::vector<uint8_t>(expected.begin(), expected.end() - 1));
        for (size_t piece : {1, 7, 50}) {
            InflateRun pieces = inflatePieces(stream, expected.size(), fixedPieces(1), fixedPieces(piece), windowSize);
            EXPECT_EQ(pieces.result, INFLATE_DONE) << "window " << windowSize << " pieces " << piece;
            EXPECT_EQ(pieces.bytes, expected);
        }
    }
}

TEST(InflateFormat, AcceptsDistanceCodesOfOneCodeOrNone)
{
    std::vector<int> lengths(258, 0);
    lengths['q'] = 1;
    lengths[256] = 2;
    lengths[257] = 2;
    std::vector<uint32_t> codes = canonicalCodes(lengths);

    BitWriter one;
    writeDynamicCodes(one, true, lengths, {1});
    one.code(codes['q'], 1);
    one.code(codes[257], 2);
    one.code(0, 1);
    one.code(codes[256], 2);
    EXPECT_EQ(inflateWhole(one.finish(), 100).bytes, bytesOf("qqqq"));

    BitWriter none;
    writeDynamicCodes(none, true, lengths, {0});
    none.code(codes['q'], 1);
    none.code(codes['q'], 1);
    none.code(codes[256], 2);
    InflateRun run = inflateWhole(none.finish(), 100);
    EXPECT_EQ(run.result, INFLATE_DONE);
    EXPECT_EQ(run.bytes, bytesOf("qq"));
}

TEST(InflateFormat, CallsAfterTheEndTouchNothing)
{
    const std::vector<uint8_t> stream = {0x01, 0x01, 0x00, 0xFE, 0xFF, 'k', 0xAA, 0xBB};
    uint8_t out[4] = {};
    inflate_t inflater = {};
    inflate_process(&inflater, nullptr);
    inflater.output = out;
    inflater.output_space = sizeof out;
    bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
    ASSERT_EQ(inflate_process(&inflater, &bits), INFLATE_DONE);
    EXPECT_EQ(bits.bytes_left, 2u);
    bitstream_t before = bits;
    EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_DONE);
    EXPECT_EQ(bits.cur, before.cur);
    EXPECT_EQ(bits.bytes_left, before.bytes_left);
    EXPECT_EQ(bits.bit_count, before.bit_count);
    EXPECT_EQ(inflater.output_space, 3u);
    EXPECT_EQ(out[0], 'k');
}

// A stream of `literal` stored bytes followed by one fixed-block match.
std::vector<uint8_t> storedThenMatch(size_t literal, int length, int distance)
{
    BitWriter w;
    std::vector<uint8_t> data(literal);
    for (size_t i = 0; i < literal; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    writeStoredHeader(w, false, static_cast<uint16_t>(literal), static_cast<uint16_t>(~literal));
    w.bytes(data);
    w.bits(1, 1);
    w.bits(1, 2);
    writeFixedMatch(w, length, distance);
    writeFixedSymbol(w, 256);
    return w.finish();
}

TEST(InflateWindow, MatchesBeyondTheWindowAreRefused)
{
    std::vector<uint8_t> stream = storedThenMatch(2000, 10, 1500);
    InflateRun plain = inflateWhole(stream, 4000);
    ASSERT_EQ(plain.result, INFLATE_DONE);
    for (uint32_t windowSize : {1500u, 1501u, 32768u}) {
        InflateRun run = inflatePieces(stream, 4000, fixedPieces(100), fixedPieces(100), windowSize);
        EXPECT_EQ(run.result, INFLATE_DONE) << "window " << windowSize;
        EXPECT_EQ(run.bytes, plain.bytes);
    }
    for (uint32_t windowSize : {1u, 1024u, 1499u}) {
        EXPECT_EQ(
            inflatePieces(stream, 4000, fixedPieces(100), fixedPieces(100), windowSize).result, INFLATE_DATA_ERROR)
            << "window " << windowSize;
    }
}

TEST(InflateWindow, ByteCountStopsAtItsMaximumInsteadOfWrapping)
{
    // Pretend 4 GiB have already gone through the window: a match that reaches
    // back into the bytes just decoded must still be accepted.
    std::vector<uint8_t> stream = storedThenMatch(10, 5, 9);
    std::vector<uint8_t> window(64);
    std::vector<uint8_t> out(64);
    inflate_t inflater = {};
    inflater.window = window.data();
    inflater.window_size = static_cast<uint32_t>(window.size());
    inflate_process(&inflater, nullptr);
    inflater.total = UINT32_MAX - 2;
    inflater.output = out.data();
    inflater.output_space = static_cast<uint32_t>(out.size());
    bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
    EXPECT_EQ(inflate_process(&inflater, &bits), INFLATE_DONE);
    EXPECT_EQ(inflater.total, UINT32_MAX);
    EXPECT_EQ(inflater.output - out.data(), 15);
    EXPECT_EQ(0, memcmp(out.data() + 10, out.data() + 1, 5));
}

} // namespace
