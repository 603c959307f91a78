// The character list shared by the font tools, the export limits, and the
// text helpers both readers of a character list use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Character codes in the order the user wrote them, duplicates kept.
using CharacterList = std::vector<uint32_t>;

// A generated font has one slot per code from 0 to this value.
constexpr uint32_t kLargestFontCode = 255;

// Pixel heights a font can be exported at, inclusive: smaller glyphs are not
// legible, larger ones make the generated tables unreasonably big.
constexpr uint32_t kSmallestFontHeight = 6;
constexpr uint32_t kLargestFontHeight = 256;

// White space trimmed around the items and numbers of a character list.
constexpr const char* kListWhitespace = "\t\n\r\f\v ";

// Splits `text` at every `separator`; n separators give n + 1 pieces.
std::vector<std::string> splitAt(const std::string& text, char separator);

// `text` without the characters of kListWhitespace at either end.
std::string trimWhitespace(const std::string& text);
