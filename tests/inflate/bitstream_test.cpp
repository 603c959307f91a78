// Bit input and canonical Huffman codes: the building blocks of the decoder.
#include "deflate_writer.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

bitstream_t streamOver(const std::vector<uint8_t>& bytes)
{
    bitstream_t stream = {};
    stream.cur = bytes.data();
    stream.bytes_left = static_cast<uint32_t>(bytes.size());
    return stream;
}

TEST(BitstreamExtract, ReadsFieldsLeastSignificantBitFirst)
{
    const std::vector<uint8_t> bytes = {0xA5, 0x3C, 0xFF, 0x01, 0x80};
    struct Case {
        uint32_t count;
        uint32_t expected;
    };
    const Case cases[] = {{0, 0x0}, {1, 0x1}, {3, 0x2}, {4, 0xA}, {8, 0x3C}, {16, 0x01FF}, {5, 0x0}, {3, 0x4}};
    bitstream_t stream = streamOver(bytes);
    for (const Case& c : cases)
        EXPECT_EQ(bitstream_extract(&stream, c.count), c.expected) << "count " << c.count;
    EXPECT_EQ(bitstream_bits_left(&stream), 0u);
    EXPECT_EQ(bitstream_extract(&stream, 1), BITSTREAM_EOF);
}

TEST(BitstreamExtract, RunningOutKeepsFetchedBytesForTheNextPiece)
{
    const std::vector<uint8_t> first = {0x34, 0x12};
    const std::vector<uint8_t> second = {0xCD, 0xAB};
    bitstream_t stream = streamOver(first);
    EXPECT_EQ(bitstream_extract(&stream, 4), 0x4u);
    EXPECT_EQ(bitstream_extract(&stream, 24), BITSTREAM_EOF);
    EXPECT_EQ(stream.bytes_left, 0u);
    EXPECT_EQ(stream.bit_count, 12u);
    stream.cur = second.data();
    stream.bytes_left = 2;
    EXPECT_EQ(bitstream_extract(&stream, 24), 0xBCD123u);
    EXPECT_EQ(bitstream_extract(&stream, 4), 0xAu);
}

TEST(BitstreamExtract, AlignDropsOnlyThePartialByte)
{
    const std::vector<uint8_t> bytes = {0xFF, 0x5A, 0xC3};
    bitstream_t stream = streamOver(bytes);
    bitstream_extract(&stream, 3);
    bitstream_align(&stream);
    EXPECT_EQ(bitstream_extract(&stream, 8), 0x5Au);
    bitstream_align(&stream);
    EXPECT_EQ(bitstream_extract(&stream, 8), 0xC3u);
}

TEST(BitstreamExtract, BitsLeftSaturatesInsteadOfWrapping)
{
    bitstream_t stream = {};
    stream.bytes_left = 3;
    stream.bit_count = 5;
    EXPECT_EQ(bitstream_bits_left(&stream), 29u);
    stream.bytes_left = 0x20000000u;
    EXPECT_EQ(bitstream_bits_left(&stream), UINT32_MAX);
}

TEST(BitstreamExtractDeathTest, MoreThan24BitsStopsTheProgram)
{
    bitstream_t stream = {};
    // g++ names the function "uint32_t bitstream_extract(bitstream_t*, uint32_t)";
    // clang writes "bitstream_t *". The line number is whatever the source has.
    EXPECT_DEATH(bitstream_extract(&stream, 25),
        "submodules/inflate/src/streams\\.cpp:[0-9]+: uint32_t bitstream_extract\\(bitstream_t ?\\*, "
        "uint32_t\\): Assertion `count <= 24' failed");
}

// Giving back n bits must make the stream read exactly as if they had never
// been taken, whatever was buffered around them.
TEST(BitstreamUnread, RestoresTheBitsJustConsumed)
{
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(64);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    for (uint32_t skip = 0; skip < 40; skip += 3) {
        for (uint32_t taken = 1; taken <= 16; ++taken) {
            bitstream_t reference = streamOver(bytes);
            bitstream_t stream = streamOver(bytes);
            bitstream_extract(&reference, skip % 24);
            bitstream_extract(&stream, skip % 24);
            bitstream_extract(&stream, taken);
            bitstream_unread(&stream, taken);
            for (int i = 0; i < 8; ++i) {
                ASSERT_EQ(bitstream_extract(&stream, 13), bitstream_extract(&reference, 13))
                    << "skip " << skip << " taken " << taken;
            }
            EXPECT_EQ(bitstream_bits_left(&stream), bitstream_bits_left(&reference));
        }
    }
}

struct Table {
    uint16_t counts[16];
    uint16_t symbols[320];
    huffman_t huffman = {0, counts, symbols};
};

TEST(HuffmanBuild, ClassifiesCodes)
{
    struct Case {
        std::vector<uint16_t> lengths;
        int sign; // 0 complete or empty, 1 incomplete, -1 over-subscribed
    };
    const Case cases[] = {
        {{1, 1}, 0},
        {{2, 1, 3, 3}, 0},
        {{3, 3, 3, 3, 3, 2, 4, 4}, 0},
        {{0, 0, 0}, 0},
        {{1}, 1},
        {{0, 2, 2}, 1},
        {{1, 1, 1}, -1},
        {{1, 2, 2, 3}, -1},
        {std::vector<uint16_t>(30, 5), 1},
        {std::vector<uint16_t>(32, 5), 0},
        {std::vector<uint16_t>(33, 5), -1},
    };
    for (const Case& c : cases) {
        Table table;
        int result = huffman_build(&table.huffman, c.lengths.data(), static_cast<uint16_t>(c.lengths.size()), 15);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << "lengths of " << c.lengths.size() << " symbols";
    }
}

TEST(HuffmanDecode, DecodesTheCanonicalCodeOfRfc1951)
{
    // RFC 1951 3.2.2: A..H with lengths 3 3 3 3 3 2 4 4 give codes
    // 010 011 100 101 110 00 1110 1111.
    const std::vector<int> lengths = {3, 3, 3, 3, 3, 2, 4, 4};
    const std::vector<uint16_t> lengths16(lengths.begin(), lengths.end());
    Table table;
    ASSERT_EQ(huffman_build(&table.huffman, lengths16.data(), 8, 15), 0);
    std::vector<uint32_t> codes = canonicalCodes(lengths);
    EXPECT_EQ(codes, (std::vector<uint32_t>{2, 3, 4, 5, 6, 0, 14, 15}));
    const std::vector<int> message = {7, 5, 0, 6, 1, 2, 3, 4, 5, 7, 6};
    BitWriter writer;
    for (int symbol : message)
        writer.code(codes[symbol], lengths[symbol]);
    std::vector<uint8_t> bytes = writer.finish();
    bitstream_t stream = streamOver(bytes);
    for (int symbol : message)
        EXPECT_EQ(huffman_decode(&table.huffman, &stream), symbol);
}

TEST(HuffmanDecode, RunningOutConsumesNothingAndResumesInTheNextPiece)
{
    // Symbol 0 has a 1-bit code and the others 15 bits, so the second code
    // read crosses the boundary between the two pieces.
    std::vector<uint16_t> lengths = {1, 15, 15};
    Table table;
    huffman_build(&table.huffman, lengths.data(), 3, 15);
    std::vector<uint32_t> codes = canonicalCodes({1, 15, 15});
    BitWriter writer;
    writer.code(codes[0], 1);
    writer.code(codes[2], 15);
    std::vector<uint8_t> bytes = writer.finish();
    ASSERT_EQ(bytes.size(), 2u);
    std::vector<uint8_t> first(bytes.begin(), bytes.begin() + 1);
    std::vector<uint8_t> second(bytes.begin() + 1, bytes.end());
    bitstream_t stream = streamOver(first);
    EXPECT_EQ(huffman_decode(&table.huffman, &stream), 0);
    EXPECT_EQ(huffman_decode(&table.huffman, &stream), HUFFMAN_NEED_INPUT);
    EXPECT_EQ(stream.bit_count, 7u);
    EXPECT_EQ(huffman_decode(&table.huffman, &stream), HUFFMAN_NEED_INPUT);
    stream.cur = second.data();
    stream.bytes_left = 1;
    EXPECT_EQ(huffman_decode(&table.huffman, &stream), 2);
    EXPECT_EQ(stream.bit_count, 0u);
}

TEST(HuffmanDecode, UnmatchedBitsAndEmptyTablesFail)
{
    const std::vector<uint8_t> ones = {0xFF, 0xFF};
    std::vector<uint16_t> incomplete = {1, 0, 2};
    Table table;
    ASSERT_GT(huffman_build(&table.huffman, incomplete.data(), 3, 15), 0);
    bitstream_t stream = streamOver(ones);
    EXPECT_EQ(huffman_decode(&table.huffman, &stream), HUFFMAN_NO_CODE);

    std::vector<uint16_t> none = {0, 0, 0, 0};
    ASSERT_EQ(huffman_build(&table.huffman, none.data(), 4, 15), 0);
    bitstream_t empty = {};
    EXPECT_EQ(huffman_decode(&table.huffman, &empty), HUFFMAN_NO_CODE);
}

} // namespace
