#include "font_source_notes.h"

#include "font_source_format.h"

using namespace font_text;

namespace {

// The largest Unicode character a note may name.
constexpr uint32_t kLargestCharacter = 0x10FFFF;

// Reads `prefix` and then upper-case hexadecimal digits as the exporter
// writes them, at least `digits` of them and no more than fit below
// `largest`, from the front of `rest`.
bool readHex(std::string_view& rest, std::string_view prefix, size_t digits, uint32_t largest, uint32_t& value)
{
    if (rest.substr(0, prefix.size()) != prefix)
        return false;
    rest.remove_prefix(prefix.size());
    size_t length = 0;
    uint64_t number = 0;
    for (; length < rest.size(); ++length) {
        const size_t digit = kHexDigits.find(rest[length]);
        if (digit == std::string_view::npos)
            break;
        number = number * 16 + digit;
        if (number > largest)
            return false;
    }
    if (length < digits)
        return false;
    rest.remove_prefix(length);
    value = uint32_t(number);
    return true;
}

// "<prefix>X" or "<prefix>X-<prefix>Y": a single value or a range of them.
bool readRange(
    std::string_view& rest, std::string_view prefix, size_t digits, uint32_t largest, uint32_t& first, uint32_t& last)
{
    if (!readHex(rest, prefix, digits, largest, first))
        return false;
    last = first;
    if (rest.substr(0, kRangeDash.size()) != kRangeDash)
        return true;
    rest.remove_prefix(kRangeDash.size());
    return readHex(rest, prefix, digits, largest, last) && last >= first;
}

// One slot note after its "// ": codes, ": ", characters, and optionally the
// fallback font they come from. False, with `map` unchanged, for any other line.
bool readNote(std::string_view line, CharacterMap& map)
{
    uint32_t firstCode = 0, lastCode = 0, firstCharacter = 0, lastCharacter = 0;
    if (!readRange(line, kCodePrefix, 2, kLargestFontCode, firstCode, lastCode) ||
        line.substr(0, kSlotSeparator.size()) != kSlotSeparator)
        return false;
    line.remove_prefix(kSlotSeparator.size());
    if (!readRange(line, kCharacterPrefix, 4, kLargestCharacter, firstCharacter, lastCharacter) ||
        lastCharacter - firstCharacter != lastCode - firstCode)
        return false;
    if (!line.empty() && (line.substr(0, kFromFont.size()) != kFromFont || line.substr(line.size() - 1) != kQuoteEnd))
        return false;
    for (uint32_t code = firstCode; code <= lastCode; ++code)
        map[code] = firstCharacter + (code - firstCode);
    return true;
}

} // namespace

SlotNotes readSlotNotes(std::string_view text)
{
    SlotNotes notes{identityMap(), false};
    // The notes follow the include line and its empty line.
    size_t end = text.find(kIncludeEnd);
    if (text.substr(0, kIncludeStart.size()) != kIncludeStart || end == std::string_view::npos)
        return notes;
    text.remove_prefix(end + kIncludeEnd.size());
    while (text.substr(0, kCommentStart.size()) == kCommentStart) {
        end = text.find(kLineEnd);
        if (end == std::string_view::npos)
            break;
        if (readNote(text.substr(kCommentStart.size(), end - kCommentStart.size()), notes.map))
            notes.noted = true;
        text.remove_prefix(end + 1);
    }
    return notes;
}
