#include "char_list_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CharacterList range(uint32_t low, uint32_t high)
{
    CharacterList codes;
    for (uint32_t code = low; code <= high; ++code)
        codes.push_back(code);
    return codes;
}

CharacterList joined(CharacterList first, const CharacterList& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

struct ParseResult {
    CharacterList codes;
    std::string error;   // message of the exception, empty when none
    ArgumentList rest;   // words left in the argument list
    bool positionAtRest; // the returned position is the first word left
};

ParseResult parseWords(const std::vector<std::string>& words)
{
    ArgumentList arguments(words.begin(), words.end());
    ParseResult result;
    CharListArgumentParser parser(result.codes);
    try {
        const ArgumentPosition after = parser.parse(arguments.begin(), arguments);
        result.positionAtRest = after == arguments.begin();
    } catch (const CommandLineException& error) {
        EXPECT_FALSE(error.option().has_value());
        result.error = error.what();
    }
    result.rest = arguments;
    return result;
}

struct ValidCase {
    std::vector<std::string> words;
    CharacterList codes;
};

TEST(CharListArgumentParser, ReadsListsInTheOrderWritten)
{
    const ValidCase cases[] = {
        {{"32-126,145,146,147"}, joined(range(32, 126), {145, 146, 147})},
        {{"0-255"}, range(0, 255)},
        {{"65-66"}, {65, 66}},
        {{" 65 , 66 ,67 "}, {65, 66, 67}},
        {{"32- 126"}, range(32, 126)},
        {{"+65"}, {65}},
        {{"10,-5"}, joined({10}, range(0, 5))},
        {{"65,65"}, {65, 65}},
        {{"32-126,", "145"}, joined(range(32, 126), {145})},
        {{"6", "5"}, {65}},
        {{"", "65"}, {65}},
        {{"65", ""}, {65}},
        {{"255"}, {255}},
        {{"0"}, {0}},
    };
    for (const ValidCase& test : cases) {
        const ParseResult result = parseWords(test.words);
        EXPECT_EQ(result.error, "") << test.words[0];
        EXPECT_EQ(result.codes, test.codes) << test.words[0];
        EXPECT_TRUE(result.rest.empty()) << test.words[0];
    }
}

struct InvalidCase {
    std::vector<std::string> words;
    const char* message;
};

TEST(CharListArgumentParser, RefusesBadItems)
{
    const InvalidCase cases[] = {
        {{"0-256"}, "invalid range"},
        {{"65-65"}, "invalid range"},
        {{"126-32"}, "invalid range"},
        {{"10,5-"}, "invalid range"},
        {{"32 -126"}, "invalid value"},
        {{"1,,2"}, "invalid value"},
        {{"32-126,"}, "invalid value"},
        {{"1-2-3"}, "invalid value"},
        {{"0x41"}, "invalid value"},
        {{"256-300"}, "invalid range"},
        {{"+"}, "invalid value"},
        {{" "}, "invalid value"},
        {{"32-126", "myfont"}, "invalid value"},
        // Single codes with no slot in the font, including those that two
        // words make together.
        {{"300"}, "invalid range"},
        {{"65", "66"}, "invalid range"},
        // Whole values are compared: nothing wraps back into 0 to 255.
        {{"4294967361"}, "invalid range"},
        {{"4294967296-5"}, "invalid range"},
        {{"0-4294967296"}, "invalid range"},
        {{"18446744073709551681"}, "invalid range"},
        {{"99999999999999999999999999-3"}, "invalid range"},
    };
    for (const InvalidCase& test : cases) {
        const ParseResult result = parseWords(test.words);
        EXPECT_EQ(result.error, test.message) << test.words[0];
    }
}

TEST(CharListArgumentParser, KeepsCodesOfItemsBeforeTheBadOne)
{
    const ParseResult result = parseWords({"65,66-67,300,68"});
    EXPECT_EQ(result.error, "invalid range");
    EXPECT_EQ(result.codes, (CharacterList{65, 66, 67}));
}

TEST(CharListArgumentParser, StopsAtTheNextOptionOrTheEnd)
{
    const ParseResult followed = parseWords({"65-67", "--size", "16"});
    EXPECT_EQ(followed.codes, (CharacterList{65, 66, 67}));
    EXPECT_EQ(followed.rest, (ArgumentList{"--size", "16"}));
    EXPECT_TRUE(followed.positionAtRest);

    // No value, or only empty words, is a missing value, as for any option.
    using Words = std::vector<std::string>;
    for (const Words& words : {Words{"--size", "16"}, Words{}, Words{"", "--size"}}) {
        const ParseResult noValue = parseWords(words);
        EXPECT_EQ(noValue.error, "missing value") << words.size() << " words";
        EXPECT_TRUE(noValue.codes.empty());
    }
}

TEST(CharListArgumentParser, GetOptionNamesTheOptionInErrors)
{
    const char* argv[] = {"glyphsmith_cli", "--chars", "0-256", "--size"};
    CommandLine commandLine("glyphsmith_cli", 4, argv);
    CharacterList codes = {1};
    CharListArgumentParser parser(codes);
    try {
        commandLine.getOption("--chars", "", parser);
        FAIL() << "no exception";
    } catch (const CommandLineException& error) {
        EXPECT_EQ(error.option().value_or("<none>"), "--chars");
        EXPECT_STREQ(error.what(), "invalid range");
    }
    EXPECT_EQ(codes, CharacterList{1});
}

} // namespace

namespace {

struct MappingCase {
    std::string list;
    CharacterList codes;
    std::vector<std::pair<uint32_t, uint32_t>> overrides; // code, character
    std::string error;                                    // empty for a list that parses
};

TEST(CharListArgumentParser, MappingItemsGiveTheirCodesConsecutiveCharacters)
{
    const MappingCase cases[] = {
        {"128-130=U+0410", {128, 129, 130}, {{128, 0x410}, {129, 0x411}, {130, 0x412}}, ""},
        {"200=U+f005", {200}, {{200, 0xF005}}, ""},
        {"65=1040 , 66 = u+10FFFF", {65, 66}, {{65, 1040}, {66, 0x10FFFF}}, ""},
        {"65=U+41,65=65,65", {65, 65, 65}, {{65, 0x41}}, ""},
        {"254-255=U+10FFFE", {254, 255}, {{254, 0x10FFFE}, {255, 0x10FFFF}}, ""},
        {"65=U+110000", {}, {}, "character beyond U+10FFFF in '65=U+110000'"},
        {"254-255=U+10FFFF", {}, {}, "character beyond U+10FFFF in '254-255=U+10FFFF'"},
        {"65=99999999999999999999", {}, {}, "character beyond U+10FFFF in '65=99999999999999999999'"},
        {"65=U+41,65=U+42", {65}, {{65, 0x41}}, "code 65 given two characters in '65=U+42'"},
        {"64-66=U+40,66=U+41", {64, 65, 66}, {}, "code 66 given two characters in '66=U+41'"},
        {"65=", {}, {}, "invalid mapping '65='"},
        {"65=U+", {}, {}, "invalid mapping '65=U+'"},
        {"65=0x41", {}, {}, "invalid mapping '65=0x41'"},
        {"65=U+0000041", {}, {}, "invalid mapping '65=U+0000041'"},
        {"65=+65", {}, {}, "invalid mapping '65=+65'"},
        {"65=U+41=U+42", {}, {}, "invalid mapping '65=U+41=U+42'"},
        {"65=U+D800", {}, {}, "invalid mapping '65=U+D800'"},
        {"0-3=U+D7FE", {}, {}, "invalid mapping '0-3=U+D7FE'"},
        {"=U+41", {}, {}, "invalid value '=U+41'"},
        {"x=U+41", {}, {}, "invalid value 'x=U+41'"},
        {"1-2-3=U+41", {}, {}, "invalid value '1-2-3=U+41'"},
        {"256=U+41", {}, {}, "invalid range '256=U+41'"},
        {"66-65=U+41", {}, {}, "invalid range '66-65=U+41'"},
    };
    for (const MappingCase& test : cases) {
        ArgumentList arguments{test.list};
        CharacterList codes;
        CharacterOverrides overrides;
        CharListArgumentParser parser(codes, overrides);
        std::string error;
        try {
            parser.parse(arguments.begin(), arguments);
        } catch (const CommandLineException& thrown) {
            error = thrown.what();
        }
        EXPECT_EQ(error, test.error) << test.list;
        if (!test.error.empty())
            continue;
        EXPECT_EQ(codes, test.codes) << test.list;
        CharacterOverrides expected;
        for (const auto& [code, character] : test.overrides)
            expected[code] = character;
        EXPECT_TRUE(overrides == expected) << test.list;
    }
}

} // namespace
