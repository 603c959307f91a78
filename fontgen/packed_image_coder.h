// Writes the glyph images of a packed font in the bit layouts the device
// decodes (src/device/ds_packed_image.h): plain levels, or coded rows of
// runs and literals.
#pragma once

#include <cstdint>
#include <vector>

// Bits appended lowest first, as the device reads them.
class BitWriter {
public:
    // Appends the low `bits` (0 to 32) bits of `value`.
    void put(uint32_t value, uint32_t bits);
    uint64_t bitCount() const { return mBits; }
    // The bits written, the last byte filled up with zeros.
    const std::vector<uint8_t>& bytes() const { return mBytes; }

private:
    std::vector<uint8_t> mBytes;
    uint64_t mBits = 0;
};

// An image as a rotation stores it: `rows` lines of `columns` levels, each
// from 0 (uncovered) to 2^bpp - 1 (fully covered).
struct LevelImage {
    uint32_t columns = 0;
    uint32_t rows = 0;
    std::vector<uint8_t> levels; // rows x columns, the first stored row first
};

// Exp-Golomb orders of the two kinds of runs: a font's zero_run_order and
// full_run_order.
struct RunOrders {
    uint32_t zero = 0;
    uint32_t full = 0;
};

// The largest order the coder tries; the device reads up to 7.
constexpr uint32_t kLargestRunOrder = 3;

// The orders, 0 to kLargestRunOrder each, that code all of `images` in the
// fewest bits (the lower order on a tie).
RunOrders bestRunOrders(const std::vector<LevelImage>& images, uint32_t bpp);

// Appends `image` coded with `orders`.
void appendCodedImage(BitWriter& out, const LevelImage& image, uint32_t bpp, RunOrders orders);

// Appends `image`'s levels, bpp bits each.
void appendPlainImage(BitWriter& out, const LevelImage& image, uint32_t bpp);
