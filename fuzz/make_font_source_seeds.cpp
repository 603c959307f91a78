// Writes the seed corpus of fuzz_font_source, sources the emitters made: a
// small font with and without a cast in its kerning array, the small font
// with comment lines, a font without glyphs, and the small font packed.
// Also writes the fuzzer's dictionary, the pieces of the generated texts,
// to <corpus directory>.dict.
#include "font_source_format.h"
#include "font_source_text.h"
#include "packed_source_format.h"
#include "seed_file.h"
#include "small_font.h"

#include <cstdio>
#include <string>

namespace {

bool writeFile(const std::string& path, const std::string& text)
{
    return writeSeedFile(path, text.data(), text.size());
}

// One dictionary entry: the piece in quotes, every byte outside printable
// ASCII (and the quote and backslash) written as \xNN.
std::string dictionaryEntry(std::string_view piece)
{
    std::string entry = "\"";
    for (char byte : piece) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x20 || value > 0x7E || byte == '"' || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
            entry += escaped;
        } else {
            entry += byte;
        }
    }
    return entry + "\"\n";
}

std::string dictionary()
{
    using namespace font_text;
    std::string text;
    for (std::string_view piece :
        {kIncludeStart, kIncludeEnd, kCommentStart, kHeaderSuffix, kGlyphPrefix, kKerningPrevSuffix,
            kKerningDeltaSuffix, kPixelsSuffix, kKerningPrevType, kKerningDeltaType, kArrayStart, kEntrySeparator,
            kKerningEnd, kCharCast, kPixelArrayType, kPixelValuePrefix, kPixelArrayEnd, kGlyphRecordType,
            kGlyphRecordStart, kWidthField, kHeightField, kXoffField, kYoffField, kXadvanceField, kKerningPrevField,
            kKerningDeltaField, kPixelsField, kFieldEnd, kNull, kGlyphRecordEnd, kFontRecordStart, kFontRecordOpen,
            kFontHeightField, kAscenderField, kDescenderField, kCharsStart, kAddressOf, kFontRecordEnd})
        text += dictionaryEntry(piece);
    using namespace packed_text;
    for (std::string_view piece : {kTableType, kTablePrefix, kTableOpen, kValuePrefix, kValueEnd, kFontStart, kFontOpen,
             kBlockEnd, kFieldSeparator, kListOpen, kListClose, kListSeparator})
        text += dictionaryEntry(piece);
    for (const NumberField& field : kLeadingNumbers)
        text += dictionaryEntry(field.name);
    for (const NumberField& field : kTrailingNumbers)
        text += dictionaryEntry(field.name);
    for (const ListField& list : kLists)
        text += dictionaryEntry(list.name);
    for (const TableField& table : kTables)
        text += dictionaryEntry(table.name);
    return text;
}

std::string fontWithoutGlyphs()
{
    std::string text;
    appendIncludeLine(text, "empty_8.h");
    appendFontRecords(text, "empty_8", {8 * 64, 6 * 64, -2 * 64}, PresenceTable{});
    return text;
}

// The small font as an export with remapped slots begins.
std::string smallFontWithComments()
{
    std::string text = smallFontSource();
    const std::string comments = "// fallback font 'icons.ttf'\n// 0x41: U+F005 from 'icons.ttf'\n\n";
    const std::string::size_type includeEnd = text.find(font_text::kIncludeEnd);
    if (includeEnd != std::string::npos)
        text.insert(includeEnd + font_text::kIncludeEnd.size(), comments);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: make_font_source_seeds <corpus directory>");
        return 1;
    }
    const std::string corpus = argv[1];
    return writeFile(corpus + "/small", smallFontSource()) &&
            writeFile(corpus + "/small_uncast", smallFontSource(true)) &&
            writeFile(corpus + "/small_comments", smallFontWithComments()) &&
            writeFile(corpus + "/no_glyphs", fontWithoutGlyphs()) &&
            writeFile(corpus + "/small_packed", smallPackedFontSource()) && writeFile(corpus + ".dict", dictionary())
        ? 0
        : 1;
}
