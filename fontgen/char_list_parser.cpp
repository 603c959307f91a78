#include "char_list_parser.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kMappingSeparator = '=';
constexpr std::string_view kUnicodePrefixes[] = {"U+", "u+"};
constexpr size_t kLongestHexTarget = 6; // U+10FFFF

// Messages of an item with '='; each names the item.
constexpr const char* kInvalidValueIn = "invalid value '";
constexpr const char* kInvalidRangeIn = "invalid range '";
constexpr const char* kInvalidMappingIn = "invalid mapping '";
constexpr const char* kBeyondUnicodeIn = "character beyond U+10FFFF in '";

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
    std::string digits = text;
    int base = 10;
    for (std::string_view prefix : kUnicodePrefixes) {
        if (text.compare(0, prefix.size(), prefix) == 0) {
            digits = text.substr(prefix.size());
            base = 16;
        }
    }
    const char* allowed = base == 16 ? "0123456789ABCDEFabcdef" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos ||
        (base == 16 && digits.size() > kLongestHexTarget))
        errors.fail("", kInvalidMappingIn);
    const unsigned long value = std::strtoul(digits.c_str(), nullptr, base);
    return value > kLargestCharacter ? kLargestCharacter + 1 : uint32_t(value);
}

// Records that `codes` show consecutive characters from `first` on.
void recordMapping(const CharacterList& codes, uint32_t first, const ItemErrors& errors, CharacterOverrides& overrides)
{
    if (uint64_t(first) + codes.size() - 1 > kLargestCharacter)
        errors.fail("", kBeyondUnicodeIn);
    const uint64_t last = uint64_t(first) + codes.size() - 1;
    if (first <= kLastSurrogate && last >= kFirstSurrogate)
        errors.fail("", kInvalidMappingIn);
    for (size_t i = 0; i < codes.size(); ++i) {
        const uint32_t character = first + uint32_t(i);
        std::optional<uint32_t>& slot = overrides[codes[i]];
        if (slot && *slot != character)
            throw CommandLineException(
                std::nullopt, "code " + std::to_string(codes[i]) + " given two characters in '" + errors.item + "'");
        slot = character;
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
    for (const std::string& item : splitAt(value, ','))
        appendItem(item, target, overrides);
    return position;
}
