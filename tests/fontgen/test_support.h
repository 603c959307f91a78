// Helpers shared by the font tests: the system font, scratch folders, files.
#pragma once

#include "run_program.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// DejaVuSans as fc-match found it when the build was configured; empty when
// it is not installed (the tests that need it then skip).
inline std::string testFontPath()
{
    const std::string path = CORVANE_TEST_FONT;
    struct stat status { };
    return !path.empty() && stat(path.c_str(), &status) == 0 ? path : std::string();
}

// Writes a copy of the TrueType font at `source` whose glyph outlines are
// all overwritten with 0xFF bytes: the face still opens, and empty glyphs
// (a space) still load, but every glyph with an outline fails to load.
inline bool writeFontWithBrokenOutlines(const std::string& source, const std::string& target)
{
    std::string font = readFileBytes(source);
    const auto word = [&](size_t at, size_t bytes) {
        uint32_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value = value << 8 | uint8_t(font[at + i]);
        return value;
    };
    if (font.size() < 12)
        return false;
    const uint32_t tables = word(4, 2);
    for (uint32_t i = 0; i < tables && 12 + 16 * (i + 1) <= font.size(); ++i) {
        const size_t entry = 12 + 16 * i;
        const uint32_t offset = word(entry + 8, 4), length = word(entry + 12, 4);
        if (font.compare(entry, 4, "glyf") != 0 || uint64_t(offset) + length > font.size())
            continue;
        font.replace(offset, length, length, '\xFF');
        std::ofstream(target, std::ios::binary) << font;
        return true;
    }
    return false;
}
