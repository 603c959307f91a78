// The exporter's image coder against the device's decoder: every image
// comes back level for level, however the drawer cuts it into calls, and a
// damaged image never makes the decoder read or write outside its bounds.
#include "ds_font.h"
#include "ds_packed_image.h"
#include "packed_image_coder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Coverage of each level, as the device draws it.
uint8_t coverageOf(uint8_t level, uint32_t bpp)
{
    return uint8_t(level * (255 / ((1u << bpp) - 1)));
}

enum class Pattern { Random, Strokes, RepeatedRows, Empty, Full };

// A stored image of levels of `bpp` bits: noise, text-like strokes (runs of
// uncovered and covered pixels with partial edges), rows repeating in
// pairs, nothing or everything covered.
LevelImage makeImage(uint32_t columns, uint32_t rows, uint32_t bpp, Pattern pattern, uint32_t seed)
{
    std::mt19937 random(seed);
    const uint8_t full = uint8_t((1u << bpp) - 1);
    LevelImage image{columns, rows, std::vector<uint8_t>(size_t(columns) * rows)};
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c) {
            uint8_t& level = image.levels[size_t(r) * columns + c];
            const uint32_t draw = random();
            switch (pattern) {
            case Pattern::Random: level = uint8_t(draw & full); break;
            case Pattern::Strokes:
                level = (c / 5 + r / 3) % 3 == 0 ? full : (c % 5 == 4 ? uint8_t(draw & full) : 0);
                break;
            case Pattern::RepeatedRows:
                level = r % 2 == 1 ? image.levels[size_t(r - 1) * columns + c] : uint8_t(draw & full);
                break;
            case Pattern::Empty: level = 0; break;
            case Pattern::Full: level = full; break;
            }
        }
    return image;
}

// The image written after `skip` stray bits, so that it starts inside a byte.
struct Written {
    std::vector<uint8_t> bytes;
    uint32_t first; // bit of the image's start
    uint32_t bits;  // its length
};

Written writeImage(const LevelImage& image, uint32_t bpp, bool coded, RunOrders orders, uint32_t skip)
{
    BitWriter out;
    out.put(0x5A5A5A5A, skip);
    if (coded)
        appendCodedImage(out, image, bpp, orders);
    else
        appendPlainImage(out, image, bpp);
    out.put(0xFFFFFFFF, 29); // the next glyph's bits must not leak in
    const uint32_t bits = uint32_t(out.bitCount() - skip - 29);
    std::vector<uint8_t> bytes = out.bytes();
    bytes.resize(bytes.size() + DS_PACKED_TABLE_SLACK, 0xFF);
    return {bytes, skip, bits};
}

ds_packed_font_t fontFor(uint32_t bpp, bool coded, RunOrders orders, const Written& written)
{
    ds_packed_font_t font{};
    font.bpp = uint8_t(bpp);
    font.compressed = coded ? 1 : 0;
    font.zero_run_order = uint8_t(orders.zero);
    font.full_run_order = uint8_t(orders.full);
    font.images = written.bytes.data();
    return font;
}

// Decodes the whole image the way the drawer does: whole rows in bands of
// `bandRows`, each band's rows right after the row above, or pieces of
// `piece` pixels of rows too long to repeat.
std::vector<uint8_t> decodeAll(
    const ds_packed_font_t& font, const DsPackedGlyph& glyph, uint32_t bandRows, uint32_t piece)
{
    DsPackedImageDecoder decoder(font, glyph);
    const uint32_t columns = decoder.columns(), rows = decoder.rows();
    std::vector<uint8_t> out(size_t(columns) * rows);
    if (!decoder.readsRowAbove() && piece > 0) {
        for (size_t at = 0; at < out.size(); at += piece)
            decoder.decode(out.data() + at, uint32_t(std::min<size_t>(piece, out.size() - at)));
        return out;
    }
    for (uint32_t row = 0; row < rows; row += bandRows)
        decoder.decode(out.data() + size_t(row) * columns, std::min(bandRows, rows - row) * columns);
    return out;
}

struct Shape {
    uint32_t columns;
    uint32_t rows;
};

TEST(PackedImages, DecodeToTheirLevelsHoweverTheyAreCut)
{
    // Rows up to the repeat limit, just beyond it, and beyond the band.
    const Shape shapes[] = {{1, 1}, {1, 9}, {7, 5}, {16, 16}, {128, 3}, {129, 3}, {256, 2}, {300, 2}, {600, 1}};
    const Pattern patterns[] = {
        Pattern::Random, Pattern::Strokes, Pattern::RepeatedRows, Pattern::Empty, Pattern::Full};
    uint32_t seed = 1;
    for (uint32_t bpp : {1u, 2u, 4u, 8u})
        for (bool coded : {false, true})
            for (const Shape& shape : shapes)
                for (Pattern pattern : patterns) {
                    const LevelImage image = makeImage(shape.columns, shape.rows, bpp, pattern, ++seed);
                    const RunOrders orders = coded ? bestRunOrders({image}, bpp) : RunOrders{};
                    const Written written = writeImage(image, bpp, coded, orders, seed % 8);
                    const ds_packed_font_t font = fontFor(bpp, coded, orders, written);
                    const DsPackedGlyph glyph{
                        0, int32_t(shape.columns), int32_t(shape.rows), 0, 0, 0, 0, 0, written.first, written.bits};
                    std::vector<uint8_t> expected;
                    for (uint8_t level : image.levels)
                        expected.push_back(coverageOf(level, bpp));
                    for (uint32_t bandRows : {1u, 2u, 5u})
                        for (uint32_t piece : {0u, 1u, 100u})
                            EXPECT_EQ(decodeAll(font, glyph, bandRows, piece), expected)
                                << "bpp " << bpp << " coded " << coded << " " << shape.columns << "x" << shape.rows
                                << " pattern " << int(pattern) << " band " << bandRows << " piece " << piece;
                }
}

TEST(PackedImages, RunOrdersFitTheRunsTheyCode)
{
    // Long runs code shorter with a higher order, short ones with order 0.
    LevelImage longRuns{600, 1, std::vector<uint8_t>(600, 0)};
    for (uint32_t c = 0; c < 600; c += 40)
        longRuns.levels[c] = 255;
    LevelImage shortRuns{16, 4, {}};
    for (uint32_t i = 0; i < 64; ++i)
        shortRuns.levels.push_back(uint8_t(i % 2 ? 255 : 0));
    EXPECT_GT(bestRunOrders({longRuns}, 8).zero, 0u);
    EXPECT_EQ(bestRunOrders({shortRuns}, 8).zero, 0u);
    EXPECT_EQ(bestRunOrders({shortRuns}, 8).full, 0u);
}

// Whatever the bits, the decoder writes exactly the pixels asked for and
// reads only the image's bytes (ASan holds the buffers to their sizes).
TEST(PackedImages, DamagedImagesStayWithinTheirBounds)
{
    std::mt19937 random(77);
    for (uint32_t trial = 0; trial < 400; ++trial) {
        const uint32_t bpp = 1u << (trial % 4);
        std::vector<uint8_t> bytes(1 + random() % 24);
        for (uint8_t& byte : bytes)
            byte = uint8_t(random());
        const uint32_t columns = 1 + random() % 300, rows = 1 + random() % 6;
        Written written{bytes, uint32_t(random() % 8), 0};
        written.bits = uint32_t(bytes.size() * 8 - written.first);
        written.bytes.resize(bytes.size() + DS_PACKED_TABLE_SLACK, 0); // as the table ends
        const RunOrders orders{uint32_t(random() % 8), uint32_t(random() % 8)};
        const ds_packed_font_t font = fontFor(bpp, true, orders, written);
        const DsPackedGlyph glyph{0, int32_t(columns), int32_t(rows), 0, 0, 0, 0, 0, written.first, written.bits};
        const std::vector<uint8_t> pixels = decodeAll(font, glyph, 3, 64);
        EXPECT_EQ(pixels.size(), size_t(columns) * rows);
    }
}

} // namespace
