#include "gui_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using glyphsmith::HeightStatus;

namespace {

CharacterList codesFrom(uint32_t first, uint32_t last)
{
    CharacterList codes;
    for (uint32_t code = first; code <= last; ++code)
        codes.push_back(code);
    return codes;
}

CharacterList concat(CharacterList a, const CharacterList& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ListCase {
    const char* text;
    CharacterList expected;
};

TEST(ParseCharList, ItemsAndRanges)
{
    const std::vector<ListCase> cases = {
        {"", {}},
        {"65", {65}},
        {"65-70", codesFrom(65, 70)},
        {"70-65", {}},
        {"65-65", {65}},
        {" 0x41 , 0101 ", {65, 65}},
        {"0X41", {65}},
        {"1-2-3", {}},
        {"32-126,abc,160", concat(codesFrom(32, 126), {160})},
        {"65 66", {}},
        {",,65,,66,", {65, 66}},
        {"66,65,66", {66, 65, 66}},
        {"65 - 67", {65, 66, 67}},
        {"65-", {}},
        {"-65", {}},
        {" - ", {}},
        {"0x", {}},
        {"09", {}},
        {"\t65\r\n,\f66\v", {65, 66}},
        {"65\n66", {}},
        {"65,\n66", {65, 66}},
        {"4294967295", {4294967295u}},
    };
    for (const ListCase& c : cases)
        EXPECT_EQ(glyphsmith::parseCharList(c.text), c.expected) << "text: " << c.text;
}

TEST(ParseCharList, NumbersBeyondThirtyTwoBitsAreBadItems)
{
    // A cut to 32 bits would turn these into 65 and a range ending at 66.
    EXPECT_EQ(glyphsmith::parseCharList("0x100000041"), CharacterList{});
    EXPECT_EQ(glyphsmith::parseCharList("65-0x100000042,67"), CharacterList{67});
    EXPECT_EQ(glyphsmith::parseCharList("99999999999999999999999,68"), CharacterList{68});
}

TEST(ParseCharList, RangesStopAtTheLargestUnicodeCode)
{
    EXPECT_EQ(glyphsmith::parseCharList("0x10FFFE-0x10FFFF"), codesFrom(0x10FFFE, 0x10FFFF));
    EXPECT_EQ(glyphsmith::parseCharList("0x10FFFF-0x110000,5"), CharacterList{5});
    EXPECT_EQ(glyphsmith::parseCharList("0-4294967295"), CharacterList{});
    EXPECT_EQ(glyphsmith::parseCharList("0-0x10FFFF").size(), 0x110000u);
}

TEST(ParseCharList, TextWithEmbeddedZeroByteIsNotANumber)
{
    EXPECT_EQ(glyphsmith::parseCharList(std::string("65\0"
                                                    "5,66",
                  7)),
        CharacterList{66});
}

struct HeightCase {
    const char* text;
    HeightStatus status;
    uint32_t height;
};

TEST(CheckFontHeight, AcceptsSixToTwoHundredFiftySix)
{
    const std::vector<HeightCase> cases = {
        {"16", HeightStatus::Valid, 16},
        {"0x10", HeightStatus::Valid, 16},
        {"020", HeightStatus::Valid, 16},
        {" \t16\n ", HeightStatus::Valid, 16},
        {"6", HeightStatus::Valid, 6},
        {"256", HeightStatus::Valid, 256},
        {"16px", HeightStatus::NotANumber, 0},
        {"1 6", HeightStatus::NotANumber, 0},
        {"0x", HeightStatus::NotANumber, 0},
        {"", HeightStatus::OutOfRange, 0},
        {"   ", HeightStatus::OutOfRange, 0},
        {"0", HeightStatus::OutOfRange, 0},
        {"5", HeightStatus::OutOfRange, 0},
        {"257", HeightStatus::OutOfRange, 0},
        {"-1", HeightStatus::OutOfRange, 0},
        // Low 32 bits 16: the whole value counts.
        {"0x100000010", HeightStatus::OutOfRange, 0},
        {"99999999999999999999999", HeightStatus::OutOfRange, 0},
    };
    for (const HeightCase& c : cases) {
        const glyphsmith::HeightCheck check = glyphsmith::checkFontHeight(c.text);
        EXPECT_EQ(check.status, c.status) << "text: '" << c.text << "'";
        if (c.status == HeightStatus::Valid) {
            EXPECT_EQ(check.height, c.height) << "text: '" << c.text << "'";
        }
    }
}

TEST(ExportFontName, DropsSourceEndingInAnyCase)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"myfont.cpp", "myfont"},
        {"myfont.CPP", "myfont"},
        {"myfont.Cpp", "myfont"},
        {"myfont", "myfont"},
        {"my font.cpp", "my font"},
        {"a.cpp.cpp", "a.cpp"},
        {"myfont.cxx", "myfont.cxx"},
        {"cpp", "cpp"},
        {".cpp", ""},
        {"myfont.cp", "myfont.cp"},
    };
    for (const auto& [fileName, fontName] : cases)
        EXPECT_EQ(glyphsmith::exportFontName(fileName), fontName) << fileName;
}

TEST(ExportTarget, DirectoryComesFromTheChosenPath)
{
    const std::vector<std::vector<std::string>> cases = {
        {"/tmp/out/myfont.CPP", "/tmp/out/", "myfont"},
        {"/tmp/out/my font.cpp", "/tmp/out/", "my font"},
        {"/myfont", "/", "myfont"},
        {"/a.cpp/b", "/a.cpp/", "b"},
        {"myfont.cpp", "", "myfont"},
    };
    for (const auto& c : cases) {
        const glyphsmith::ExportTarget target = glyphsmith::exportTarget(c[0]);
        EXPECT_EQ(target.outputDir, c[1]) << c[0];
        EXPECT_EQ(target.fontName, c[2]) << c[0];
    }
}

TEST(HasCodeBeyondFont, OnlyCodesAbove255)
{
    EXPECT_FALSE(glyphsmith::hasCodeBeyondFont({}));
    EXPECT_FALSE(glyphsmith::hasCodeBeyondFont(codesFrom(0, 255)));
    EXPECT_TRUE(glyphsmith::hasCodeBeyondFont({65, 256, 66}));
}

} // namespace

namespace {

struct MappedListCase {
    const char* text;
    CharacterList codes;
    std::vector<std::pair<uint32_t, uint32_t>> overrides; // code, character
};

TEST(ParseMappedCharList, MappingItemsAndTheBadOnesLeftOut)
{
    const std::vector<MappedListCase> cases = {
        {"65,192-193=U+0410", {65, 192, 193}, {{192, 0x410}, {193, 0x411}}},
        {"200 = 0xF005", {200}, {{200, 0xF005}}},
        {"200=61445", {200}, {{200, 0xF005}}},
        {"65=U+41,65=U+42,66", {65, 66}, {{65, 0x41}}},
        {"65=U+41,65=65", {65, 65}, {{65, 0x41}}},
        {"65=U+110000,66=U+D800,67=,68=U+,69=U+41=U+42,70=x,71", {71}, {}},
        {"254-255=U+10FFFF", {}, {}},
        {"255-256=U+41", {255, 256}, {{255, 0x41}}},
        {"abc=U+41,66-65=U+41", {}, {}},
    };
    for (const MappedListCase& c : cases) {
        const glyphsmith::MappedCharList list = glyphsmith::parseMappedCharList(c.text);
        EXPECT_EQ(list.codes, c.codes) << "text: " << c.text;
        CharacterOverrides expected;
        for (const auto& [code, character] : c.overrides)
            expected[code] = character;
        EXPECT_TRUE(list.overrides == expected) << "text: " << c.text;
        EXPECT_EQ(glyphsmith::parseCharList(c.text), c.codes) << "text: " << c.text;
    }
}

TEST(GlyphSlots, CodesShowWhatTheMapGivesThem)
{
    CharacterMap map;
    ASSERT_TRUE(codePageMap("CP1251", map));
    CharacterOverrides overrides;
    overrides[0xC1] = 0xF005;
    const GlyphSlots slots = glyphsmith::glyphSlots({65, 0xC0, 0xC1, 0x98, 300}, withOverrides(map, overrides));
    ASSERT_EQ(slots.size(), 4u);
    const std::pair<uint32_t, uint32_t> expected[] = {{65, 65}, {0xC0, 0x410}, {0xC1, 0xF005}, {300, 300}};
    for (size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(std::make_pair(slots[i].code, slots[i].character), expected[i]) << i;
}

} // namespace

namespace {

// The format decides which lists an export takes: classic exports 8-bit
// codes, mapped or not; packed exports Unicode characters as they are.
TEST(ExportProblem, EachFormatRefusesWhatItCannotWrite)
{
    using glyphsmith::ExportFormat;
    const ExportFormat classic{0, false, {0, 90, 180, 270}}, packed{4, true, {0}}, none{2, false, {}};
    const struct {
        CharacterList codes;
        bool mapped;
        ExportFormat format;
        std::string problem;
    } cases[] = {
        {codesFrom(32, 255), true, classic, ""},
        {{65, 256}, false, classic, "Character codes above 255 cannot be exported !"},
        {{65, 0x20AC, 0x10FFFF}, false, packed, ""},
        {{65, 0x110000}, false, packed, "Character codes above U+10FFFF cannot be exported !"},
        {{65}, true, packed, "Code pages and '=' items need the classic format !"},
        {{65}, false, none, "Choose at least one rotation !"},
        {{65}, false, ExportFormat{0, false, {}}, "Choose at least one rotation !"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(glyphsmith::exportProblem(c.codes, c.mapped, c.format), c.problem) << c.format.bpp;
    EXPECT_EQ(glyphsmith::defaultRotations(0), (std::vector<uint32_t>{0, 90, 180, 270}));
    EXPECT_EQ(glyphsmith::defaultRotations(4), (std::vector<uint32_t>{0}));
}

} // namespace
