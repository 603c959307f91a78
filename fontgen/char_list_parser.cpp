#include "char_list_parser.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Messages of an item with '='; each names the item.
constexpr const char* kInvalidValueIn = "invalid value '";
constexpr const char* kInvalidRangeIn = "invalid range '";
constexpr const char* kInvalidMappingIn = "invalid mapping '";
constexpr const char* kBeyondUnicodeIn = "character beyond U+10FFFF in '";
constexpr const char* kMappingRefused = "'=' items cannot be used with --bpp";

// Lets a message of an item without '=' name the item when it has one.
struct ItemErrors {
    std::string item; // the trimmed item, empty for an item without '='

    [[noreturn]] void fail(const char* plain, const char* named) const
    {
        if (item.empty())
            throw CommandLineException(std::nullopt, plain);
        throw CommandLineException(std::nullopt, named + item + "'");
    }
};

// A part converted as strtoul does in base 10 (leading white space and '+'
// allowed, an empty part reads 0), which must use up the whole part. The
// full converted value is returned, so that no large number wraps into the
// font's range; a number too large for unsigned long reads as its maximum.
unsigned long convertedPart(const std::string& part, const ItemErrors& errors)
{
    const char* begin = part.c_str();
    char* end = nullptr;
    const unsigned long value = std::strtoul(begin, &end, 10);
    if (end != begin + part.size())
        errors.fail("invalid value", kInvalidValueIn);
    return value;
}

// The codes of "N" or "low-high", in ascending order.
CharacterList itemCodes(const std::string& text, const ItemErrors& errors)
{
    if (text.empty())
        errors.fail("invalid value", kInvalidValueIn);
    const std::vector<std::string> parts = splitAt(text, '-');
    if (parts.size() > 2)
        errors.fail("invalid value", kInvalidValueIn);
    if (parts.size() == 1) {
        const unsigned long code = convertedPart(parts[0], errors);
        if (code > kLargestFontCode)
            errors.fail("invalid range", kInvalidRangeIn);
        return {uint32_t(code)};
    }
    const unsigned long low = convertedPart(parts[0], errors);
    const unsigned long high = convertedPart(parts[1], errors);
    if (low >= high || high > kLargestFontCode)
        errors.fail("invalid range", kInvalidRangeIn);
    CharacterList codes;
    for (unsigned long code = low; code <= high; ++code)
        codes.push_back(uint32_t(code));
    return codes;
}

// The first character of "U+XXXX" (1 to 6 hex digits) or "N" (decimal
// digits only); beyond kLargestCharacter reads as kLargestCharacter + 1.
uint32_t mappingTarget(const std::string& text, const ItemErrors& errors)
{
    if (hasUnicodePrefix(text)) {
        const std::optional<uint32_t> character = unicodeNotation(text);
        if (!character)
            errors.fail("", kInvalidMappingIn);
        return *character > kLargestCharacter ? kLargestCharacter + 1 : *character;
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        errors.fail("", kInvalidMappingIn);
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    return value > kLargestCharacter ? kLargestCharacter + 1 : uint32_t(value);
}

// Records that `codes` show consecutive characters from `first` on.
void recordMapping(const CharacterList& codes, uint32_t first, const ItemErrors& errors, CharacterOverrides& overrides)
{
    uint32_t conflict = 0;
    switch (addMapping(codes, first, overrides, conflict)) {
    case MappingCheck::Accepted: return;
    case MappingCheck::BeyondUnicode: errors.fail("", kBeyondUnicodeIn);
    case MappingCheck::Surrogate: errors.fail("", kInvalidMappingIn);
    case MappingCheck::TwoCharacters:
        throw CommandLineException(
            std::nullopt, "code " + std::to_string(conflict) + " given two characters in '" + errors.item + "'");
    }
}

void appendItem(const std::string& item, CharacterList& target, CharacterOverrides& overrides)
{
    const std::string text = trimWhitespace(item);
    const std::string::size_type separator = text.find(kMappingSeparator);
    if (separator == std::string::npos) {
        const CharacterList codes = itemCodes(text, ItemErrors{});
        target.insert(target.end(), codes.begin(), codes.end());
        return;
    }
    const ItemErrors errors{text};
    if (text.find(kMappingSeparator, separator + 1) != std::string::npos)
        errors.fail("", kInvalidMappingIn);
    const CharacterList codes = itemCodes(trimWhitespace(text.substr(0, separator)), errors);
    const uint32_t first = mappingTarget(trimWhitespace(text.substr(separator + 1)), errors);
    recordMapping(codes, first, errors, overrides);
    target.insert(target.end(), codes.begin(), codes.end());
}

// A part of an item of a Unicode list: "U+XXXX" after any leading white
// space, or a decimal number as convertedPart reads it.
uint32_t unicodePart(const std::string& part, const std::string& item)
{
    const std::string::size_type start = part.find_first_not_of(kListWhitespace);
    const std::string text = start == std::string::npos ? std::string() : part.substr(start);
    uint64_t character = 0;
    if (hasUnicodePrefix(text)) {
        const std::optional<uint32_t> notation = unicodeNotation(text);
        if (!notation)
            throw CommandLineException(std::nullopt, "invalid value");
        character = *notation;
    } else {
        character = convertedPart(part, ItemErrors{});
    }
    if (character > kLargestCharacter)
        throw CommandLineException(std::nullopt, kBeyondUnicodeIn + item + "'");
    return uint32_t(character);
}

void appendUnicodeItem(const std::string& item, CharacterList& target)
{
    const std::string text = trimWhitespace(item);
    if (text.find(kMappingSeparator) != std::string::npos)
        throw CommandLineException(std::nullopt, kMappingRefused);
    const std::vector<std::string> parts = splitAt(text, '-');
    if (text.empty() || parts.size() > 2)
        throw CommandLineException(std::nullopt, "invalid value");
    const uint32_t low = unicodePart(parts[0], text);
    if (parts.size() == 1) {
        target.push_back(low);
        return;
    }
    const uint32_t high = unicodePart(parts[1], text);
    if (low >= high)
        throw CommandLineException(std::nullopt, "invalid range");
    for (uint32_t character = low; character <= high; ++character)
        target.push_back(character);
}

} // namespace

ArgumentPosition CharListArgumentParser::parse(ArgumentPosition position, ArgumentList& arguments)
{
    std::string value;
    while (position != arguments.end() && (position->empty() || (*position)[0] != '-')) {
        value += *position;
        position = arguments.erase(position);
    }
    if (value.empty())
        throw CommandLineException(std::nullopt, "missing value");
    for (const std::string& item : splitAt(value, ',')) {
        if (kind == CharListKind::UnicodeCharacters)
            appendUnicodeItem(item, target);
        else
            appendItem(item, target, overrides);
    }
    return position;
}
