// The slot notes of a generated source read back: what the exporter writes
// maps each noted code to its character, every other code to itself, and a
// line that is not exactly a note changes nothing.
#include "font_source_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kInclude = "#include <font_16.h>\n\n";

struct Shown {
    uint32_t code;
    uint32_t character;
};

TEST(SlotNotes, NotedCodesShowTheirCharactersAndMalformedLinesNothing)
{
    const struct {
        const char* notes; // the comment lines after the include line
        bool noted;
        std::vector<Shown> shown;
    } cases[] = {
        {"// 0xC0-0xFF: U+0410-U+044F\n", true, {{0xC0, 0x410}, {0xE9, 0x439}, {0xFF, 0x44F}, {0xBF, 0xBF}}},
        {"// 0x80: U+F000 from 'icons.ttf'\n", true, {{0x80, 0xF000}, {0x81, 0x81}}},
        {"// fallback font 'icons.ttf'\n// 0x80-0x81: U+F000-U+F001 from 'icons.ttf'\n", true,
            {{0x80, 0xF000}, {0x81, 0xF001}}},
        {"// 0x41: U+10FFFF\n// 0x00: U+0042\n", true, {{0x41, 0x10FFFF}, {0x00, 0x42}}},
        {"// 0xA8: U+0401\n// 0xB8: U+0451\n", true, {{0xA8, 0x401}, {0xB8, 0x451}, {0xA9, 0xA9}}},
        {"// fallback font 'icons.ttf'\n", false, {{0x80, 0x80}}},
        {"// 0x100: U+0041\n", false, {{0x41, 0x41}}},            // no such code
        {"// 0xC1-0xC0: U+0411-U+0410\n", false, {{0xC0, 0xC0}}}, // reversed
        {"// 0xC0-0xC1: U+0410-U+0412\n", false, {{0xC0, 0xC0}}}, // lengths differ
        {"// 0xC0: U+110000\n", false, {{0xC0, 0xC0}}},           // beyond Unicode
        {"// 0xC0: U+410\n", false, {{0xC0, 0xC0}}},              // too few digits
        {"// 0xc0: U+0410\n", false, {{0xC0, 0xC0}}},             // not as written
        {"// 0xC0: U+0410 and more\n", false, {{0xC0, 0xC0}}},    // trailing text
        {"// 0xC0: U+0410 from 'x.ttf\n", false, {{0xC0, 0xC0}}}, // unclosed quote
    };
    for (const auto& c : cases) {
        const SlotNotes notes = readSlotNotes(std::string(kInclude) + c.notes + "\nstatic const char x;\n");
        EXPECT_EQ(notes.noted, c.noted) << c.notes;
        for (const Shown& shown : c.shown)
            EXPECT_EQ(notes.map[shown.code], shown.character) << c.notes << " code " << shown.code;
    }
    // Notes count only in the comment block right after the include line.
    const SlotNotes late = readSlotNotes(std::string(kInclude) + "static const char x;\n// 0xC0: U+0410\n");
    EXPECT_FALSE(late.noted);
    EXPECT_FALSE(readSlotNotes("// 0xC0: U+0410\n").noted);
    EXPECT_FALSE(readSlotNotes(std::string(kInclude) + "// 0xC0: U+0410").noted); // no line end
}

} // namespace
