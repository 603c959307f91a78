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

// The span code of 4-bit images (ds_font.h): the image's pixels, row after
// row, as one sequence of tokens. The tokens are chosen for the least cost,
// by dynamic programming from the image's end: fewest[i] is the cost of
// pixels i to the end, and each token from i is tried. A nibble costs
// kNibbleCost and a token kTokenCost more: each token takes the decoder a
// few dozen instructions, a nibble of levels a few, so that of two codes of
// about the same size the one of fewer tokens is taken.
constexpr uint64_t kNibbleCost = 4;
constexpr uint64_t kTokenCost = 4;
constexpr uint32_t kLongestShortSkip = DS_PACKED_SPAN_LONG_SKIP - 1;
constexpr uint32_t kLongestSkip = DS_PACKED_SPAN_LONG_SKIP + 255;
constexpr uint32_t kLongestFulls = DS_PACKED_SPAN_SHORTEST_FULLS + 15;
constexpr uint32_t kLongestCopy = 16;
// Long skips tried: the longest this many lengths; shorter ones leave zeros
// that a shorter token or the levels take as well.
constexpr uint32_t kLongSkipsTried = 16;

enum class SpanKind : uint8_t { Levels, Fulls, Copy, End };

// The token that starts at a pixel: `skip` uncovered pixels and `length`
// levels (Levels), or `length` pixels of a run (Fulls, Copy).
struct SpanToken {
    SpanKind kind = SpanKind::End;
    uint32_t skip = 0;
    uint32_t length = 0;
};

std::vector<SpanToken> spanTokens(const LevelImage& image)
{
    const size_t count = size_t(image.columns) * image.rows;
    const uint8_t* levels = image.levels.data();
    const size_t above = image.columns;
    const bool copies = image.rows > 1 && image.columns <= DS_PACKED_REPEAT_ROW_MAX;
    // Runs from each pixel: uncovered, fully covered, equal to the row above.
    std::vector<uint32_t> zeros(count + 1, 0), fulls(count + 1, 0), same(count + 1, 0);
    for (size_t i = count; i-- > 0;) {
        zeros[i] = levels[i] == 0 ? zeros[i + 1] + 1 : 0;
        fulls[i] = levels[i] == 15 ? fulls[i + 1] + 1 : 0;
        same[i] = copies && i >= above && levels[i] == levels[i - above] ? same[i + 1] + 1 : 0;
    }
    std::vector<uint64_t> fewest(count + 1, 0);
    std::vector<SpanToken> best(count + 1);
    for (size_t i = count; i-- > 0;) {
        uint64_t cheapest = UINT64_MAX;
        const auto consider = [&](uint64_t nibbles, size_t next, SpanToken token) {
            const uint64_t cost = nibbles * kNibbleCost + kTokenCost + fewest[next];
            if (cost < cheapest) {
                cheapest = cost;
                best[i] = token;
            }
        };
        if (zeros[i] == count - i)
            consider(2, count, SpanToken{}); // the rest is uncovered
        const auto levelsAfter = [&](uint32_t skip, uint64_t head) {
            const size_t from = i + skip;
            if (skip > 0)
                consider(head, from, {SpanKind::Levels, skip, 0});
            for (uint32_t length = 1; length <= DS_PACKED_SPAN_LEVELS_MAX && from + length <= count; ++length)
                consider(head + length, from + length, {SpanKind::Levels, skip, length});
        };
        const uint32_t zeroRun = uint32_t(std::min<size_t>(zeros[i], kLongestSkip));
        for (uint32_t skip = 0; skip <= std::min(zeroRun, kLongestShortSkip); ++skip)
            levelsAfter(skip, 2);
        if (zeroRun >= DS_PACKED_SPAN_LONG_SKIP)
            for (uint32_t skip = std::max<uint32_t>(DS_PACKED_SPAN_LONG_SKIP, zeroRun - kLongSkipsTried + 1);
                 skip <= zeroRun; ++skip)
                levelsAfter(skip, 4);
        for (uint32_t length = DS_PACKED_SPAN_SHORTEST_FULLS; length <= std::min(fulls[i], kLongestFulls); ++length)
            consider(2, i + length, {SpanKind::Fulls, 0, length});
        for (uint32_t length = 1; length <= std::min(same[i], kLongestCopy); ++length)
            consider(2, i + length, {SpanKind::Copy, 0, length});
        fewest[i] = cheapest;
    }
    std::vector<SpanToken> tokens;
    for (size_t i = 0; i < count;) {
        const SpanToken& token = best[i];
        tokens.push_back(token);
        if (token.kind == SpanKind::End)
            break;
        i += token.skip + token.length;
    }
    return tokens;
}

void appendSpanImage(BitWriter& out, const LevelImage& image)
{
    size_t at = 0;
    for (const SpanToken& token : spanTokens(image)) {
        switch (token.kind) {
        case SpanKind::End: out.put(0, 8); break;
        case SpanKind::Fulls:
            out.put(DS_PACKED_SPAN_FULLS, 4);
            out.put(token.length - DS_PACKED_SPAN_SHORTEST_FULLS, 4);
            break;
        case SpanKind::Copy:
            out.put(DS_PACKED_SPAN_COPY, 4);
            out.put(token.length - 1, 4);
            break;
        case SpanKind::Levels:
            if (token.skip <= kLongestShortSkip) {
                out.put(token.skip, 4);
            } else {
                out.put(DS_PACKED_SPAN_LONG_SKIP, 4);
                out.put(token.skip - DS_PACKED_SPAN_LONG_SKIP, 8);
            }
            out.put(token.length, 4);
            for (uint32_t i = 0; i < token.length; ++i)
                out.put(image.levels[at + token.skip + i], 4);
            break;
        }
        at += token.skip + token.length;
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
        return {}; // the span code has no orders
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
        appendSpanImage(out, image);
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
