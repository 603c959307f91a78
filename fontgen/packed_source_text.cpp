#include "packed_source_text.h"

#include "font_source_format.h"
#include "packed_source_format.h"

#include <map>

using namespace packed_text;

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// The array a font's table is: that of the first rotation whose table of
// that kind holds the same bytes; no name for an empty table.
struct TableName {
    std::string name;   // "packed_<kind>_<rotation>"
    bool owner = false; // the array is written with this font's rotation
};
using TableNames = std::vector<std::array<TableName, kTables.size()>>;

TableNames tableNames(const std::vector<PackedFont>& fonts)
{
    TableNames names(fonts.size());
    for (size_t kind = 0; kind < kTables.size(); ++kind) {
        std::map<std::vector<uint8_t>, std::string> written;
        for (size_t font = 0; font < fonts.size(); ++font) {
            const std::vector<uint8_t>& table = fonts[font].*kTables[kind].table;
            if (table.empty())
                continue;
            const std::string own = std::string(kTablePrefix) + std::string(kTables[kind].name) + kNameSeparator +
                std::to_string(fonts[font].rotation);
            const auto [entry, added] = written.emplace(table, own);
            names[font][kind] = {entry->second, added};
        }
    }
    return names;
}

void appendTable(std::string& out, const std::string& name, const std::vector<uint8_t>& bytes)
{
    out += kTableType;
    out += name;
    out += kTableOpen;
    out += '\n';
    for (size_t at = 0; at < bytes.size(); ++at) {
        out += kValuePrefix;
        out += kHexDigits[bytes[at] >> 4];
        out += kHexDigits[bytes[at] & 0xF];
        out += kValueEnd;
        if (at % kValuesPerLine == kValuesPerLine - 1 || at + 1 == bytes.size())
            out += '\n';
    }
    out += kBlockEnd;
    out += '\n';
}

void appendField(std::string& out, std::string_view name, const std::string& value, bool last = false)
{
    out += kFieldStart;
    out += name;
    out += kFieldSeparator;
    out += value;
    if (!last)
        out += kFieldEnd;
    out += '\n';
}

std::string listText(const std::array<int64_t, DS_PACKED_FIELD_COUNT>& values)
{
    std::string text(kListOpen);
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += kListSeparator;
        text += std::to_string(values[i]);
    }
    return text + std::string(kListClose);
}

void appendFont(std::string& out, const std::string& name, const PackedFont& font,
    const std::array<TableName, kTables.size()>& tables)
{
    out += kFontStart;
    out += name;
    out += kNameSeparator;
    out += std::to_string(font.rotation);
    out += kFontOpen;
    out += '\n';
    for (const NumberField& field : kLeadingNumbers)
        appendField(out, field.name, std::to_string(font.*field.value));
    for (const ListField& list : kLists)
        appendField(out, list.name, listText(font.*list.values));
    for (const NumberField& field : kTrailingNumbers)
        appendField(out, field.name, std::to_string(font.*field.value));
    for (size_t kind = 0; kind < kTables.size(); ++kind) {
        const std::string& table = tables[kind].name;
        appendField(out, kTables[kind].name, table.empty() ? std::string(kNull) : table, kind + 1 == kTables.size());
    }
    out += kBlockEnd;
    out += '\n';
}

} // namespace

std::string packedSourceText(
    const std::string& name, const std::vector<std::string>& notes, const std::vector<PackedFont>& fonts)
{
    std::string out;
    out += font_text::kIncludeStart;
    out += name;
    out += font_text::kHeaderSuffix;
    out += font_text::kIncludeEnd;
    for (const std::string& note : notes)
        out += std::string(font_text::kCommentStart) + note + "\n";
    if (!notes.empty())
        out += '\n';
    const TableNames names = tableNames(fonts);
    bool first = true;
    const auto separate = [&]() {
        if (!first)
            out += '\n';
        first = false;
    };
    for (size_t font = 0; font < fonts.size(); ++font)
        for (size_t kind = 0; kind < kTables.size(); ++kind) {
            if (!names[font][kind].owner)
                continue; // empty, or written with an earlier rotation
            separate();
            appendTable(out, names[font][kind].name, fonts[font].*kTables[kind].table);
        }
    for (size_t font = 0; font < fonts.size(); ++font) {
        separate();
        appendFont(out, name, fonts[font], names[font]);
    }
    return out;
}

std::vector<uint32_t> packedRotations(const std::vector<PackedFont>& fonts)
{
    std::vector<uint32_t> rotations;
    for (const PackedFont& font : fonts)
        rotations.push_back(uint32_t(font.rotation));
    return rotations;
}
