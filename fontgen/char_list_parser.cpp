#include "char_list_parser.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A part converted as strtoul does in base 10 (leading white space and '+'
// allowed, an empty part reads 0), which must use up the whole part. The
// full converted value is returned, so that no large number wraps into the
// font's range; a number too large for unsigned long reads as its maximum.
unsigned long convertedPart(const std::string& part)
{
    const char* begin = part.c_str();
    char* end = nullptr;
    const unsigned long value = std::strtoul(begin, &end, 10);
    if (end != begin + part.size())
        throw CommandLineException(std::nullopt, "invalid value");
    return value;
}

void appendItem(const std::string& item, CharacterList& target)
{
    const std::string text = trimWhitespace(item);
    if (text.empty())
        throw CommandLineException(std::nullopt, "invalid value");
    const std::vector<std::string> parts = splitAt(text, '-');
    if (parts.size() > 2)
        throw CommandLineException(std::nullopt, "invalid value");
    if (parts.size() == 1) {
        const unsigned long code = convertedPart(parts[0]);
        if (code > kLargestFontCode)
            throw CommandLineException(std::nullopt, "invalid range");
        target.push_back(uint32_t(code));
        return;
    }
    const unsigned long low = convertedPart(parts[0]);
    const unsigned long high = convertedPart(parts[1]);
    if (low >= high || high > kLargestFontCode)
        throw CommandLineException(std::nullopt, "invalid range");
    for (unsigned long code = low; code <= high; ++code)
        target.push_back(uint32_t(code));
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
        return position;
    for (const std::string& item : splitAt(value, ','))
        appendItem(item, target);
    return position;
}
