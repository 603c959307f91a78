#include "packed_image_coder.h"

#include "ds_font.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

enum class RunKind { Zero, Full };

// The bits of Exp-Golomb code of order `order` for `value`.
uint32_t codeLength(uint64_t value, uint32_t order)
{
    const uint64_t m = value + (uint64_t(1) << order);
    uint32_t top = 0;
    while ((m >> (top + 1)) != 0)
        ++top;
    return 2 * top - order + 1;
}

void putRunCode(BitWriter& out, uint32_t value, uint32_t order)
{
    const uint64_t m = uint64_t(value) + (uint64_t(1) << order);
    uint32_t top = 0;
    while ((m >> (top + 1)) != 0)
        ++top;
    out.put(0, top - order);
    out.put(1, 1);
    out.put(uint32_t(m - (uint64_t(1) << top)), top);
}

// The pixels from `column` on that share its level.
uint32_t runFrom(const uint8_t* row, uint32_t columns, uint32_t column)
{
    uint32_t end = column;
    while (end < columns && row[end] == row[column])
        ++end;
    return end - column;
}

// Walks the tokens of one image as appendCodedImage writes them, calling
// `repeat(same)` for each row that carries a repeat bit, `kind(kind,
// afterRun)` before each run of an image deeper than 1 bit, `run(kind,
// coded)` for each run with the number its code writes, and
// `literal(level)` for each partly covered pixel.
template <typename Repeat, typename Run, typename Literal, typename Kind>
void walkTokens(const LevelImage& image, uint32_t bpp, Repeat repeat, Run run, Literal literal, Kind kind)
{
    const uint8_t full = uint8_t((1u << bpp) - 1);
    for (uint32_t r = 0; r < image.rows; ++r) {
        const uint8_t* row = image.levels.data() + size_t(r) * image.columns;
        if (r > 0 && image.columns <= DS_PACKED_REPEAT_ROW_MAX) {
            const bool same = std::equal(row, row + image.columns, row - image.columns);
            repeat(same);
            if (same)
                continue;
        }
        if (bpp == 1) {
            // Runs alternate, uncovered first; only the first may be empty.
            bool covered = false, first = true;
            for (uint32_t column = 0; column < image.columns; covered = !covered, first = false) {
                const uint32_t length = (row[column] != 0) == covered ? runFrom(row, image.columns, column) : 0;
                run(covered ? RunKind::Full : RunKind::Zero, first ? length : length - 1);
                column += length;
            }
            continue;
        }
        bool afterRun = false;
        for (uint32_t column = 0; column < image.columns;) {
            const uint8_t level = row[column];
            if (level != 0 && level != full) {
                literal(level);
                afterRun = false;
                ++column;
                continue;
            }
            const RunKind runKind = level == 0 ? RunKind::Zero : RunKind::Full;
            kind(runKind, afterRun);
            const uint32_t length = runFrom(row, image.columns, column);
            run(runKind, length - 1);
            column += length;
            afterRun = true;
        }
    }
}

// The nibble code of 4-bit images: a nibble 1 to 15 is one pixel of that
// level; 0 starts a command (ds_font.h).
constexpr uint32_t kLongestShortZeros = DS_PACKED_NIBBLE_LONG_ZEROS;
constexpr uint32_t kShortestLongFulls = DS_PACKED_NIBBLE_SHORTEST_FULLS + 16;

void putCommand(BitWriter& out, uint32_t command, uint32_t count, uint32_t countBits)
{
    out.put(0, 4);
    out.put(command, 4);
    out.put(count, countBits);
}

// Uncovered runs longer than one command takes are cut into several.
void putZeroRun(BitWriter& out, uint32_t length)
{
    while (length > 0) {
        const uint32_t part = std::min(length, kLongestShortZeros + 256);
        if (part <= kLongestShortZeros)
            putCommand(out, part - 1, 0, 0);
        else
            putCommand(out, DS_PACKED_NIBBLE_LONG_ZEROS, part - kLongestShortZeros - 1, 8);
        length -= part;
    }
}

// A covered run of at least DS_PACKED_NIBBLE_SHORTEST_FULLS pixels; a rest
// too short for a command is written as single pixels.
void putFullRun(BitWriter& out, uint32_t length)
{
    while (length >= DS_PACKED_NIBBLE_SHORTEST_FULLS) {
        const uint32_t part = std::min(length, kShortestLongFulls + 255);
        if (part < kShortestLongFulls)
            putCommand(out, DS_PACKED_NIBBLE_FULLS, part - DS_PACKED_NIBBLE_SHORTEST_FULLS, 4);
        else
            putCommand(out, DS_PACKED_NIBBLE_LONG_FULLS, part - kShortestLongFulls, 8);
        length -= part;
    }
    for (; length > 0; --length)
        out.put(15, 4);
}

void appendNibbleImage(BitWriter& out, const LevelImage& image)
{
    for (uint32_t r = 0; r < image.rows; ++r) {
        const uint8_t* row = image.levels.data() + size_t(r) * image.columns;
        if (r > 0 && image.columns <= DS_PACKED_REPEAT_ROW_MAX &&
            std::equal(row, row + image.columns, row - image.columns)) {
            out.put(0, 4);
            out.put(DS_PACKED_NIBBLE_REPEAT, 4);
            continue;
        }
        for (uint32_t column = 0; column < image.columns;) {
            const uint8_t level = row[column];
            const uint32_t length = runFrom(row, image.columns, column);
            if (level == 0) {
                putZeroRun(out, length);
            } else if (level == 15 && length >= DS_PACKED_NIBBLE_SHORTEST_FULLS) {
                putFullRun(out, length);
            } else {
                out.put(level, 4);
                column += 1;
                continue;
            }
            column += length;
        }
    }
}

} // namespace

void BitWriter::put(uint32_t value, uint32_t bits)
{
    for (uint32_t i = 0; i < bits; ++i, ++mBits) {
        if (mBits % 8 == 0)
            mBytes.push_back(0);
        if ((value >> i) & 1)
            mBytes.back() = uint8_t(mBytes.back() | 1u << (mBits % 8));
    }
}

RunOrders bestRunOrders(const std::vector<LevelImage>& images, uint32_t bpp)
{
    if (bpp == 4)
        return {}; // the nibble code has no orders
    // The numbers each kind of run writes, counted: the orders change only
    // how many bits each takes.
    std::array<std::map<uint32_t, uint64_t>, 2> coded;
    for (const LevelImage& image : images)
        walkTokens(
            image, bpp, [](bool) {}, [&](RunKind kind, uint32_t value) { ++coded[size_t(kind)][value]; },
            [](uint8_t) {}, [](RunKind, bool) {});
    std::array<uint32_t, 2> best{};
    for (size_t kind = 0; kind < coded.size(); ++kind) {
        uint64_t fewest = UINT64_MAX;
        for (uint32_t order = 0; order <= kLargestRunOrder; ++order) {
            uint64_t bits = 0;
            for (const auto& [value, count] : coded[kind])
                bits += count * codeLength(value, order);
            if (bits < fewest) {
                fewest = bits;
                best[kind] = order;
            }
        }
    }
    return {best[0], best[1]};
}

void appendCodedImage(BitWriter& out, const LevelImage& image, uint32_t bpp, RunOrders orders)
{
    if (bpp == 4) {
        appendNibbleImage(out, image);
        return;
    }
    walkTokens(
        image, bpp, [&](bool same) { out.put(same ? 1 : 0, 1); },
        [&](RunKind kind, uint32_t value) {
            putRunCode(out, value, kind == RunKind::Zero ? orders.zero : orders.full);
        },
        [&](uint8_t level) {
            out.put(1, 1);
            if (bpp == 2)
                out.put(level - 1u, 1);
            else
                out.put(level, bpp);
        },
        [&](RunKind kind, bool afterRun) {
            // After a run the kind is the other one: only "not a literal" is written.
            out.put(0, 1);
            if (!afterRun)
                out.put(kind == RunKind::Full ? 1 : 0, 1);
        });
}

void appendPlainImage(BitWriter& out, const LevelImage& image, uint32_t bpp)
{
    for (uint8_t level : image.levels)
        out.put(level, bpp);
}
