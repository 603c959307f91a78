#include "gui_rules.h"

#include "gui_texts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace glyphsmith {
namespace {

constexpr int kAnyBase = 0; // strtoul picks decimal, hexadecimal or octal from the prefix

// Converts all of `text` with strtoul in base 0 and stores the full value.
// False when a character is left over or the value overflows unsigned long.
// The empty text converts to 0; callers that refuse it check first.
bool convertWhole(const std::string& text, uint64_t& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long converted = std::strtoul(begin, &end, kAnyBase);
    if (errno == ERANGE || end != begin + text.size())
        return false;
    value = converted;
    return true;
}

// One number of the characters field: trimmed, non-empty, converted whole
// and small enough to be a 32-bit code.
bool readCode(const std::string& piece, uint64_t& value)
{
    const std::string number = trimWhitespace(piece);
    return !number.empty() && convertWhole(number, value) && value <= std::numeric_limits<uint32_t>::max();
}

// The first character of an item's mapping: "U+" or "u+" and hex digits, or
// a number of parseCharList's kind. False for anything else.
bool readMappingTarget(const std::string& piece, uint64_t& value)
{
    const std::string text = trimWhitespace(piece);
    if (!hasUnicodePrefix(text))
        return readCode(text, value);
    const std::optional<uint32_t> character = unicodeNotation(text);
    if (character)
        value = *character;
    return character.has_value();
}

// Appends the codes of one comma-separated item; a bad item appends nothing.
void appendItem(const std::string& item, CharacterList& codes)
{
    const std::vector<std::string> pieces = splitAt(item, '-');
    uint64_t first = 0;
    uint64_t last = 0;
    if (pieces.size() == 1) {
        if (readCode(pieces[0], first))
            codes.push_back(uint32_t(first));
        return;
    }
    if (pieces.size() != 2 || !readCode(pieces[0], first) || !readCode(pieces[1], last))
        return;
    if (first > last || last > kLargestCharacter)
        return;
    for (uint64_t code = first; code <= last; ++code)
        codes.push_back(uint32_t(code));
}

// Appends an item with a mapping to `list`, or nothing when any part of it
// is bad or it contradicts an earlier item.
void appendMappedItem(const std::string& item, std::string::size_type separator, MappedCharList& list)
{
    uint64_t first = 0;
    if (item.find(kMappingSeparator, separator + 1) != std::string::npos ||
        !readMappingTarget(item.substr(separator + 1), first))
        return;
    CharacterList codes;
    appendItem(item.substr(0, separator), codes);
    uint32_t conflict = 0;
    if (codes.empty() || addMapping(codes, first, list.overrides, conflict) != MappingCheck::Accepted)
        return;
    list.codes.insert(list.codes.end(), codes.begin(), codes.end());
}

} // namespace

CharacterList parseCharList(const std::string& text)
{
    return parseMappedCharList(text).codes;
}

MappedCharList parseMappedCharList(const std::string& text)
{
    MappedCharList list;
    if (text.empty())
        return list;
    for (const std::string& item : splitAt(text, ',')) {
        const std::string::size_type separator = item.find(kMappingSeparator);
        if (separator == std::string::npos)
            appendItem(item, list.codes);
        else
            appendMappedItem(item, separator, list);
    }
    return list;
}

GlyphSlots glyphSlots(const CharacterList& codes, const CharacterMap& map)
{
    GlyphSlots slots;
    for (uint32_t code : codes) {
        if (code > kLargestFontCode)
            slots.push_back({code, code});
        else if (map[code] != kNoCharacter)
            slots.push_back({code, map[code]});
    }
    return slots;
}

HeightCheck checkFontHeight(const std::string& text)
{
    const std::string number = trimWhitespace(text);
    const char* begin = number.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long converted = std::strtoul(begin, &end, kAnyBase);
    if (end != begin + number.size())
        return {HeightStatus::NotANumber, 0};
    // An overflowing number was read completely; it is simply too large.
    const uint64_t value = errno == ERANGE ? std::numeric_limits<uint64_t>::max() : converted;
    if (value < kSmallestFontHeight || value > kLargestFontHeight)
        return {HeightStatus::OutOfRange, 0};
    return {HeightStatus::Valid, uint32_t(value)};
}

std::string fontHeightOutOfRangeMessage()
{
    char message[64];
    std::snprintf(message, sizeof message, kFontSizeOutOfRangeFormat, unsigned(kSmallestFontHeight),
        unsigned(kLargestFontHeight));
    return message;
}

std::string exportFontName(const std::string& fileName)
{
    constexpr const char* kSourceEnding = ".cpp";
    constexpr std::string::size_type kEndingLength = 4;
    if (fileName.size() < kEndingLength)
        return fileName;
    const std::string::size_type start = fileName.size() - kEndingLength;
    for (std::string::size_type i = 0; i < kEndingLength; ++i) {
        const char c = fileName[start + i];
        const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (lower != kSourceEnding[i])
            return fileName;
    }
    return fileName.substr(0, start);
}

ExportTarget exportTarget(const std::string& chosenPath)
{
    const std::string::size_type slash = chosenPath.rfind('/');
    if (slash == std::string::npos)
        return {exportFontName(chosenPath), std::string()};
    return {exportFontName(chosenPath.substr(slash + 1)), chosenPath.substr(0, slash + 1)};
}

bool hasCodeBeyondFont(const CharacterList& codes)
{
    return std::any_of(codes.begin(), codes.end(), [](uint32_t code) { return code > kLargestFontCode; });
}

std::vector<uint32_t> defaultRotations(uint32_t bpp)
{
    if (bpp == 0)
        return {0, 90, 180, 270};
    return {0};
}

std::string exportProblem(const CharacterList& codes, bool mapped, const ExportFormat& format)
{
    if (format.rotations.empty())
        return kNoRotation;
    if (format.bpp == 0)
        return hasCodeBeyondFont(codes) ? kCodesBeyondFont : "";
    if (mapped)
        return kMappingsAreClassic;
    const bool beyondUnicode =
        std::any_of(codes.begin(), codes.end(), [](uint32_t code) { return code > kLargestCharacter; });
    return beyondUnicode ? kCodesBeyondUnicode : "";
}

} // namespace glyphsmith
