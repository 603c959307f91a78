// The packed format's tables as the exporter builds them and the device
// reads them: code ranges, records, kerning classes; the checks that keep a
// damaged font from being drawn; the source text written and read back.
#include "ds_packed_font.h"
#include "packed_font_builder.h"
#include "packed_source_reader.h"
#include "packed_source_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int64_t kUnit = 64; // one pixel in 26.6 fixed point

// A glyph of `character` with an image of width x rows whose ink fills it.
FontGlyph glyphOf(uint32_t character, uint32_t width, uint32_t rows)
{
    FontGlyph glyph;
    glyph.character = character;
    glyph.width = width;
    glyph.rows = rows;
    glyph.xoff = int32_t(character % 3) - 1;
    glyph.yoff = int32_t(rows) - int32_t(character % 4);
    glyph.xadvance = int32_t(width + 1);
    for (uint32_t i = 0; i < width * rows; ++i)
        glyph.pixels.push_back(uint8_t(1 + (character * 31 + i * 17) % 255));
    return glyph;
}

PackedGlyphSet setOf(const std::vector<uint32_t>& characters)
{
    PackedGlyphSet set;
    set.metrics = {12 * kUnit, 9 * kUnit, -3 * kUnit};
    for (uint32_t character : characters)
        set.glyphs.push_back(glyphOf(character, 1 + character % 5, 1 + character % 7));
    return set;
}

std::vector<uint32_t> span(uint32_t first, uint32_t last)
{
    std::vector<uint32_t> characters;
    for (uint32_t character = first; character <= last; ++character)
        characters.push_back(character);
    return characters;
}

PackedFont buildOne(const PackedGlyphSet& set, uint32_t bpp = 4, bool compressed = true)
{
    return buildPackedFonts(set, {bpp, compressed, {0}}).front();
}

TEST(PackedTables, EveryCharacterFindsItsGlyphAndNoOtherDoes)
{
    // Dense runs, sparse codes between them, runs longer than one range
    // entry holds, sparse codes too far apart for one list, Unicode's ends.
    std::vector<uint32_t> characters = {0, 2, 5, 6, 7};
    for (const auto& part : {span(32, 126), span(0x400, 0x45F), span(0x3000, 0x3A00)})
        characters.insert(characters.end(), part.begin(), part.end());
    for (uint32_t character : {0x20ACu, 0x20B0u, 0x2122u, 0x1F600u, 0x30000u, 0x10FFFFu})
        characters.push_back(character);
    std::sort(characters.begin(), characters.end()); // as the glyphs of a set are
    const PackedFont packed = buildOne(setOf(characters));
    const ds_packed_font_t font = devicePackedFont(packed);
    std::string problem;
    ASSERT_TRUE(checkPackedFont(packed, problem)) << problem;
    const std::set<uint32_t> listed(characters.begin(), characters.end());
    uint32_t index = 0;
    for (uint32_t character : listed) {
        DsPackedGlyph glyph;
        ASSERT_TRUE(dsFindPackedGlyph(font, character, glyph)) << character;
        EXPECT_EQ(glyph.index, index++) << character;
        EXPECT_EQ(glyph.advance, int32_t(2 + character % 5)) << character;
        for (uint32_t neighbour : {character - 1, character + 1})
            if (listed.count(neighbour) == 0 && neighbour <= 0x110000) {
                DsPackedGlyph other;
                EXPECT_FALSE(dsFindPackedGlyph(font, neighbour, other)) << neighbour;
            }
    }
}

TEST(PackedTables, KerningClassesKeepEveryPair)
{
    PackedGlyphSet set = setOf(span(65, 90));
    std::mt19937 random(5);
    std::map<std::pair<uint32_t, uint32_t>, int32_t> pairs;
    for (uint32_t i = 0; i < 120; ++i) {
        const uint32_t left = random() % 26, right = random() % 26;
        pairs[{left, right}] = int32_t(random() % 13) - 9 == 0 ? -10 : int32_t(random() % 13) - 9;
    }
    for (const auto& [glyphs, delta] : pairs)
        if (delta != 0)
            set.pairs.push_back({glyphs.first, glyphs.second, delta});
    const PackedFont packed = buildOne(set);
    const ds_packed_font_t font = devicePackedFont(packed);
    for (uint32_t left = 0; left < 26; ++left)
        for (uint32_t right = 0; right < 26; ++right) {
            DsPackedGlyph a, b;
            ASSERT_TRUE(dsFindPackedGlyph(font, 65 + left, a) && dsFindPackedGlyph(font, 65 + right, b));
            const auto found = pairs.find({left, right});
            EXPECT_EQ(dsPackedKerning(font, a, b), found == pairs.end() ? 0 : found->second) << left << " " << right;
        }
}

TEST(PackedTables, QuantisationRoundsToTheNearestLevel)
{
    const std::vector<std::array<uint8_t, 3>> cases = {{0, 4, 0}, {8, 4, 0}, {9, 4, 1}, {25, 4, 1}, {26, 4, 2},
        {246, 4, 14}, {247, 4, 15}, {255, 4, 15}, {42, 2, 0}, {43, 2, 1}, {127, 2, 1}, {128, 2, 2}, {212, 2, 2},
        {213, 2, 3}, {100, 8, 100}};
    for (const auto& [coverage, bpp, level] : cases)
        EXPECT_EQ(coverageLevel(coverage, bpp), level) << int(coverage) << " at " << int(bpp);
}

// One way to break a valid font, and the check's report.
struct Damage {
    const char* problem;
    std::function<void(PackedFont&)> apply;
};

TEST(PackedTables, BrokenFontsAreRefusedBeforeTheyAreDrawn)
{
    PackedGlyphSet set = setOf({32, 33, 34, 35, 40, 42, 0x400, 0x401, 0x402, 0x403, 0x20AC});
    set.pairs = {{1, 2, -1}, {3, 2, -1}, {2, 4, 1}};
    const PackedFont valid = buildOne(set);
    std::string problem;
    ASSERT_TRUE(checkPackedFont(valid, problem)) << problem;
    const Damage damages[] = {
        {"rotation, bpp or compressed out of range", [](PackedFont& f) { f.bpp = 3; }},
        {"rotation, bpp or compressed out of range", [](PackedFont& f) { f.rotation = 45; }},
        {"run order out of range", [](PackedFont& f) { f.zeroRunOrder = 8; }},
        {"record field out of range", [](PackedFont& f) { f.fieldBits[DS_PACKED_XOFF] = 25; }},
        {"image bits in a plain font", [](PackedFont& f) { f.compressed = 0; }},
        {"count out of range", [](PackedFont& f) { f.glyphCount = 0x10000; }},
        {"ranges too short", [](PackedFont& f) { f.ranges.resize(12); }},
        {"ranges do not cover the glyphs", [](PackedFont& f) { f.glyphCount += 1; }},
        {"ranges out of order", [](PackedFont& f) { f.ranges[0] = 0x41; }},
        {"sparse codes out of order", [](PackedFont& f) { f.ranges[f.ranges.size() - 2] = 0; }},
        {"records or anchors of the wrong size", [](PackedFont& f) { f.records.pop_back(); }},
        {"anchor out of place", [](PackedFont& f) { f.anchors[4] ^= 1; }},
        {"images of the wrong size", [](PackedFont& f) { f.images.push_back(0); }},
        {"kerning class out of range", [](PackedFont& f) { f.kerningClasses = 0; }},
        {"kerning table without classes",
            [](PackedFont& f) {
                f = buildOne(setOf({65})), f.kerning = {0, 0, 0};
            }},
        {"kerning table of the wrong size", [](PackedFont& f) { f.kerning.push_back(0); }},
        {"tables without glyphs", [](PackedFont& f) { f.glyphCount = 0, f.rangeCount = 0; }},
    };
    for (const Damage& damage : damages) {
        PackedFont font = valid;
        damage.apply(font);
        problem.clear();
        EXPECT_FALSE(checkPackedFont(font, problem)) << damage.problem;
        EXPECT_EQ(problem, damage.problem);
    }
}

TEST(PackedSources, ReadBackTheFontsTheyWereWrittenFrom)
{
    PackedGlyphSet set = setOf({32, 65, 66, 0x416, 0x20AC});
    set.pairs = {{1, 2, -2}};
    for (bool compressed : {false, true}) {
        const std::vector<PackedFont> fonts = buildPackedFonts(set, {2, compressed, {0, 90, 270}});
        const std::string text = packedSourceText("tiny_12", {"fallback font 'x.ttf'"}, fonts);
        PackedSource source;
        uint32_t line = 0;
        ASSERT_TRUE(readPackedSource(text, source, line)) << "line " << line << "\n" << text;
        EXPECT_EQ(source.name, "tiny_12");
        EXPECT_EQ(source.notes, std::vector<std::string>{"fallback font 'x.ttf'"});
        ASSERT_EQ(source.fonts.size(), 3u);
        for (size_t i = 0; i < fonts.size(); ++i)
            EXPECT_EQ(packedSourceText("n", {}, {source.fonts[i]}), packedSourceText("n", {}, {fonts[i]}));
        // A plain font's rotations share their records and anchors.
        EXPECT_EQ(text.find("packed_records_90") == std::string::npos, !compressed);
    }
}

// A generated source with one change, and the text on the line that the
// reader names: the change's own, unless a font's rules are broken, which
// the font's first line answers for.
struct SourceDamage {
    std::string from;
    std::string to;
    std::string blamed; // empty: the changed text
};

uint32_t lineOf(const std::string& text, const std::string& piece)
{
    return uint32_t(std::count(text.begin(), text.begin() + ptrdiff_t(text.find(piece)), '\n') + 1);
}

TEST(PackedSources, AnyDepartureIsRefusedAtItsLine)
{
    const std::string text = packedSourceText("tiny_12", {}, buildPackedFonts(setOf({65, 66}), {8, false, {0, 90}}));
    const SourceDamage damages[] = {
        {"#include <tiny_12.h>", "#include <tiny 12.h>", ""},
        {"[] = {\n0x41, ", "[] = {\n0x41 , ", "0x41 , "},
        {"0xFF, 0xFF, \n", "0xFF, 0xFF, 0x00, \n", "const ds_packed_font_t font_tiny_12_0"},
        {".bpp = 8,", ".bpp = 08,", ""},
        {".bpp = 8,", ".bpp = 3,", "const ds_packed_font_t font_tiny_12_0"},
        {".glyph_count = 2,", ".glyph_count = 3,", "const ds_packed_font_t font_tiny_12_0"},
        {".field_bits = {", ".field_bits = { ", ""},
        {".kerning = nullptr\n};\n\nconst", ".kerning = nullptr,\n};\n\nconst", ".kerning = nullptr,"},
        {".images = packed_images_0,", ".images = packed_images_7,", ""},
        {"font_tiny_12_90", "font_tiny_12_45", ""},
        {"};\n", "}\n", ""},
    };
    for (const SourceDamage& damage : damages) {
        std::string damaged = text;
        const size_t at = damaged.find(damage.from);
        ASSERT_NE(at, std::string::npos) << damage.from;
        damaged.replace(at, damage.from.size(), damage.to);
        PackedSource source;
        uint32_t line = 0;
        EXPECT_FALSE(readPackedSource(damaged, source, line)) << damage.to;
        EXPECT_EQ(line, lineOf(damaged, damage.blamed.empty() ? damage.to : damage.blamed)) << damage.to;
    }
    PackedSource source;
    uint32_t line = 0;
    EXPECT_FALSE(readPackedSource(text + "\n", source, line));
    EXPECT_FALSE(readPackedSource(text.substr(0, text.size() - 1), source, line));
}

} // namespace
