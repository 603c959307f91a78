// The code-page tables against the iconv program, which converts a whole
// file, and the overrides on top of a page.
#include "character_map.h"
#include "missing_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kIconvProgram = "/usr/bin/iconv";

// The page's table as the iconv program gives it: every byte on a line of
// its own, converted with -c (undefined bytes dropped) to UTF-32LE, so a
// line that comes out empty marks an undefined byte. Line feed is U+000A in
// every page offered.
CharacterMap iconvProgramTable(const std::string& page, const TemporaryDirectory& folder)
{
    std::string lines;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\n')
            lines += char(byte);
        lines += '\n';
    }
    writeFileBytes(folder.file("bytes"), lines);
    const ProgramResult converted =
        runProgram(kIconvProgram, {"-c", "-f", page, "-t", "UTF-32LE", folder.file("bytes")});
    CharacterMap table;
    table.fill(kNoCharacter);
    const std::string& out = converted.output;
    size_t at = 0;
    const auto next = [&]() {
        const auto byte = [&](size_t i) { return uint32_t(uint8_t(out[at + i])); };
        const uint32_t character = at + 4 <= out.size() ? byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24 : 0;
        at += 4;
        return character;
    };
    for (uint32_t code = 0; code < 256; ++code) {
        if (code == '\n') {
            table[code] = next();
            continue;
        }
        const uint32_t character = next();
        if (character != '\n') {
            table[code] = character;
            EXPECT_EQ(next(), uint32_t('\n')) << page << " code " << code;
        }
    }
    EXPECT_EQ(at, out.size()) << page;
    return table;
}

TEST(CodePages, EveryTableEqualsTheIconvProgram)
{
    if (!fileExists(kIconvProgram))
        SKIP_FOR_MISSING("the iconv program is not installed (Debian package libc-bin)");
    TemporaryDirectory folder;
    for (std::string_view page : kCodePages) {
        CharacterMap table;
        ASSERT_TRUE(codePageMap(page, table)) << page;
        const CharacterMap expected = iconvProgramTable(std::string(page), folder);
        for (uint32_t code = 0; code < 256; ++code)
            EXPECT_EQ(table[code], expected[code]) << page << " code " << code;
    }
}

TEST(CodePages, KnownFacts)
{
    CharacterMap table;
    ASSERT_TRUE(codePageMap("CP1251", table));
    EXPECT_EQ(table[0xC0], 0x410u); // А
    EXPECT_EQ(table[0x98], kNoCharacter);
    ASSERT_TRUE(codePageMap("ISO-8859-7", table));
    EXPECT_EQ(table[0xC1], 0x391u); // Α
    EXPECT_EQ(table[0xAE], kNoCharacter);
    ASSERT_TRUE(codePageMap("KOI8-R", table));
    EXPECT_EQ(table[0xC1], 0x430u); // а
    EXPECT_EQ(codePageName("koi8-u"), "KOI8-U");
    EXPECT_EQ(codePageName("ISO-8859-12"), std::nullopt);
    EXPECT_EQ(codePageName("UTF-8"), std::nullopt);
}

TEST(CodePages, OverridesBeatThePage)
{
    CharacterMap table;
    ASSERT_TRUE(codePageMap("CP1251", table));
    CharacterOverrides overrides;
    overrides[0xC0] = 0xF005;
    overrides[0x98] = 0x41;
    const CharacterMap mapped = withOverrides(table, overrides);
    EXPECT_EQ(mapped[0xC0], 0xF005u);
    EXPECT_EQ(mapped[0x98], 0x41u);
    EXPECT_EQ(mapped[0xC1], 0x411u);
    EXPECT_EQ(codeOfCharacter(mapped, {0x41, 0x98}, 0x41), 0x41u);
    EXPECT_EQ(codeOfCharacter(mapped, {0x98, 0x41}, 0x41), 0x98u);
    EXPECT_EQ(codeOfCharacter(mapped, {0xC0}, 0x410), std::nullopt);
}

// The hexadecimal notation both readers of a character list take.
TEST(Mappings, UnicodeNotation)
{
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"U+41", 0x41}, {"u+0410", 0x410}, {"U+10FFFF", 0x10FFFF}, {"U+FFFFFF", 0xFFFFFF}, {"U+0", 0},
        {"U+", std::nullopt}, {"U+1000000", std::nullopt}, {"U+12G", std::nullopt}, {"U+ 41", std::nullopt},
        {"+41", std::nullopt}, {"0x41", std::nullopt}, {"65", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, character] : cases) {
        EXPECT_EQ(unicodeNotation(text), character) << text;
        EXPECT_EQ(hasUnicodePrefix(text), std::string(text).rfind("U+", 0) == 0 || std::string(text).rfind("u+", 0) == 0)
            << text;
    }
}

// A mapping is recorded whole or not at all: characters beyond Unicode,
// surrogates and codes that already show another character refuse it.
TEST(Mappings, RecordedWholeOrNotAtAll)
{
    const struct {
        CharacterList codes;
        uint64_t first;
        MappingCheck check;
        uint32_t conflict;
    } cases[] = {
        {{67, 68}, 0x410, MappingCheck::Accepted, 0},
        {{65}, 0x41, MappingCheck::Accepted, 0},         // the same character again
        {{254, 255}, 0x10FFFE, MappingCheck::Accepted, 0}, // the last two characters
        {{254, 255}, 0x10FFFF, MappingCheck::BeyondUnicode, 0},
        {{70}, 0x110000, MappingCheck::BeyondUnicode, 0},
        {{70, 71}, 0xD7FF, MappingCheck::Surrogate, 0},
        {{70}, 0xDFFF, MappingCheck::Surrogate, 0},
        {{70, 66, 65}, 0x500, MappingCheck::TwoCharacters, 66},
        {{300, 67}, 0x20, MappingCheck::Accepted, 0}, // a code without a slot is passed over
    };
    for (const auto& c : cases) {
        CharacterOverrides overrides;
        overrides[65] = 0x41;
        overrides[66] = 0x411;
        const CharacterOverrides before = overrides;
        uint32_t conflict = 0;
        EXPECT_EQ(addMapping(c.codes, c.first, overrides, conflict), c.check) << c.first;
        if (c.check != MappingCheck::Accepted) {
            EXPECT_TRUE(overrides == before) << c.first;
            EXPECT_EQ(conflict, c.conflict) << c.first;
            continue;
        }
        for (size_t i = 0; i < c.codes.size(); ++i) {
            if (c.codes[i] <= kLargestFontCode) {
                EXPECT_EQ(overrides[c.codes[i]], c.first + i) << c.first;
            }
        }
    }
}

} // namespace
