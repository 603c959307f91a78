#include "packed_source_reader.h"

#include "font_source_format.h"
#include "packed_source_format.h"
#include "packed_source_text.h"

#include <algorithm>
#include <map>

using namespace packed_text;

namespace {

// Decimal magnitudes beyond this are out of every member's range; stopping
// there keeps the arithmetic far from overflow.
constexpr int64_t kLargestMagnitude = 1000000000000;

bool isNameCharacter(char byte)
{
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_';
}

bool isName(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), isNameCharacter);
}

int hexDigit(char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    return -1;
}

// A decimal number with an optional '-'; the exact spelling is checked by
// writing the source again.
bool parseNumber(std::string_view text, int64_t& value)
{
    const bool negative = !text.empty() && text[0] == '-';
    text.remove_prefix(negative ? 1 : 0);
    if (text.empty())
        return false;
    int64_t magnitude = 0;
    for (char byte : text) {
        if (byte < '0' || byte > '9' || magnitude > kLargestMagnitude)
            return false;
        magnitude = magnitude * 10 + (byte - '0');
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

// The source's lines, without their line ends, and the line being read.
class Lines {
public:
    explicit Lines(std::string_view text)
    {
        for (size_t start = 0; start < text.size();) {
            const size_t end = std::min(text.find('\n', start), text.size());
            mLines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    bool atEnd() const { return mAt >= mLines.size(); }
    std::string_view line() const { return atEnd() ? std::string_view() : mLines[mAt]; }
    uint32_t number() const { return uint32_t(mAt + 1); }
    void next() { ++mAt; }

    // Whether the current line begins with `start` and ends with `end`;
    // gives what lies between.
    bool has(std::string_view start, std::string_view end, std::string_view& middle) const
    {
        const std::string_view text = line();
        if (atEnd() || text.size() < start.size() + end.size() || text.substr(0, start.size()) != start ||
            text.substr(text.size() - end.size()) != end)
            return false;
        middle = text.substr(start.size(), text.size() - start.size() - end.size());
        return true;
    }

    // Moves past the current line when it is `whole`.
    bool take(std::string_view whole)
    {
        if (atEnd() || line() != whole)
            return false;
        next();
        return true;
    }

private:
    std::vector<std::string_view> mLines;
    size_t mAt = 0;
};

using Tables = std::map<std::string, std::vector<uint8_t>, std::less<>>;

bool readTableValues(std::string_view line, std::vector<uint8_t>& bytes)
{
    const size_t valueLength = kValuePrefix.size() + 2 + kValueEnd.size();
    if (line.empty() || line.size() % valueLength != 0)
        return false;
    for (size_t at = 0; at < line.size(); at += valueLength) {
        const std::string_view value = line.substr(at, valueLength);
        const int high = hexDigit(value[2]), low = hexDigit(value[3]);
        if (value.substr(0, 2) != kValuePrefix || high < 0 || low < 0 || value.substr(4) != kValueEnd)
            return false;
        bytes.push_back(uint8_t(high << 4 | low));
    }
    return true;
}

bool readTable(Lines& lines, Tables& tables)
{
    std::string_view name;
    if (!lines.has(kTableType, kTableOpen, name) || !isName(name) || tables.count(name) != 0)
        return false;
    lines.next();
    std::vector<uint8_t>& bytes = tables[std::string(name)];
    while (!lines.take(kBlockEnd)) {
        if (lines.atEnd() || !readTableValues(lines.line(), bytes))
            return false;
        lines.next();
    }
    return true;
}

// Whether the current line is ".<name> = <value>," (no comma on the last
// member); gives the value. The caller moves on once it has read it.
bool hasMember(const Lines& lines, std::string_view name, bool last, std::string_view& value)
{
    std::string_view member;
    if (!lines.has(kFieldStart, last ? std::string_view() : kFieldEnd, member) ||
        member.substr(0, name.size()) != name || member.substr(name.size(), kFieldSeparator.size()) != kFieldSeparator)
        return false;
    value = member.substr(name.size() + kFieldSeparator.size());
    return true;
}

bool readNumbers(Lines& lines, const NumberField* fields, size_t count, PackedFont& font)
{
    for (size_t i = 0; i < count; ++i) {
        std::string_view value;
        if (!hasMember(lines, fields[i].name, false, value) || !parseNumber(value, font.*fields[i].value))
            return false;
        lines.next();
    }
    return true;
}

bool readList(Lines& lines, const ListField& list, PackedFont& font)
{
    std::string_view value;
    if (!hasMember(lines, list.name, false, value) || value.substr(0, kListOpen.size()) != kListOpen ||
        value.size() < kListOpen.size() + kListClose.size() ||
        value.substr(value.size() - kListClose.size()) != kListClose)
        return false;
    value = value.substr(kListOpen.size(), value.size() - kListOpen.size() - kListClose.size());
    for (int64_t& entry : font.*list.values) {
        const size_t end = std::min(value.find(kListSeparator), value.size());
        if (!parseNumber(value.substr(0, end), entry))
            return false;
        value.remove_prefix(std::min(end + kListSeparator.size(), value.size()));
    }
    if (!value.empty())
        return false;
    lines.next();
    return true;
}

// The font record of one rotation, its tables taken from `tables`.
bool readFont(Lines& lines, const std::string& name, const Tables& tables, PackedFont& font)
{
    std::string_view title;
    if (!lines.has(kFontStart, kFontOpen, title) || title.substr(0, name.size()) != name ||
        title.substr(name.size(), 1) != std::string_view(&kNameSeparator, 1))
        return false;
    lines.next();
    if (!readNumbers(lines, kLeadingNumbers.data(), kLeadingNumbers.size(), font))
        return false;
    for (const ListField& list : kLists)
        if (!readList(lines, list, font))
            return false;
    if (!readNumbers(lines, kTrailingNumbers.data(), kTrailingNumbers.size(), font))
        return false;
    for (size_t kind = 0; kind < kTables.size(); ++kind) {
        std::string_view table;
        if (!hasMember(lines, kTables[kind].name, kind + 1 == kTables.size(), table))
            return false;
        if (table != kNull) {
            const auto found = tables.find(table);
            if (found == tables.end())
                return false;
            font.*kTables[kind].table = found->second;
        }
        lines.next();
    }
    return lines.take(kBlockEnd);
}

bool readHead(Lines& lines, PackedSource& source)
{
    std::string_view name;
    const std::string includeEnd = std::string(font_text::kHeaderSuffix) + ">";
    if (!lines.has(font_text::kIncludeStart, includeEnd, name) || !isName(name))
        return false;
    lines.next();
    if (!lines.take(""))
        return false;
    source.name = std::string(name);
    std::string_view note;
    for (; lines.has(font_text::kCommentStart, "", note); lines.next())
        source.notes.push_back(std::string(note));
    return source.notes.empty() || lines.take("");
}

// Tables and font records up to the end, one empty line between blocks.
// The line of each font record's start goes to `fontLines`.
bool readBlocks(Lines& lines, PackedSource& source, std::vector<uint32_t>& fontLines)
{
    Tables tables;
    while (!lines.atEnd()) {
        if (lines.line().substr(0, kTableType.size()) == kTableType) {
            if (!source.fonts.empty() || !readTable(lines, tables))
                return false;
        } else {
            fontLines.push_back(lines.number());
            source.fonts.emplace_back();
            if (!readFont(lines, source.name, tables, source.fonts.back()))
                return false;
        }
        if (!lines.atEnd() && !lines.take(""))
            return false;
    }
    return true;
}

// The line of the first byte where `text` and `expected` differ.
uint32_t firstDifferingLine(std::string_view text, std::string_view expected)
{
    const size_t same =
        size_t(std::mismatch(text.begin(), text.end(), expected.begin(), expected.end()).first - text.begin());
    return uint32_t(std::count(text.begin(), text.begin() + ptrdiff_t(same), '\n') + 1);
}

} // namespace

bool isPackedSource(std::string_view text)
{
    return text.find(std::string("\n") + std::string(kFontStart)) != std::string_view::npos;
}

bool readPackedSource(std::string_view text, PackedSource& source, uint32_t& errorLine)
{
    Lines lines(text);
    std::vector<uint32_t> fontLines;
    if (!readHead(lines, source) || !readBlocks(lines, source, fontLines) || source.fonts.empty()) {
        errorLine = lines.number();
        return false;
    }
    for (size_t font = 0; font < source.fonts.size(); ++font) {
        std::string problem;
        const bool ascending = font == 0 || source.fonts[font].rotation > source.fonts[font - 1].rotation;
        if (!ascending || !checkPackedFont(source.fonts[font], problem)) {
            errorLine = fontLines[font];
            return false;
        }
    }
    const std::string expected = packedSourceText(source.name, source.notes, source.fonts);
    if (expected != text) {
        errorLine = firstDifferingLine(text, expected);
        return false;
    }
    return true;
}
