#include "packed_source_writer.h"

#include "font_header_text.h"
#include "font_source_format.h"
#include "font_source_text.h"
#include "font_source_writer.h"
#include "output_file.h"
#include "packed_source_format.h"
#include "packed_source_text.h"

#include <cstdio>

namespace {

std::string characterName(uint32_t character)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(character));
    return text;
}

// A font's name as a note ends: its bytes made safe for a comment, the
// closing quote.
std::string noteEnd(const std::string& name)
{
    std::string text;
    appendFontNote(text, name);
    return text + std::string(font_text::kQuoteEnd);
}

} // namespace

std::vector<std::string> packedNotes(const PackedGlyphSet& glyphs, const std::vector<std::string>& fallbackNames)
{
    std::vector<std::string> notes;
    for (const std::string& name : fallbackNames)
        notes.push_back(std::string(font_text::kFallbackNote) + noteEnd(name));
    for (size_t first = 0; first < glyphs.glyphs.size();) {
        const FontGlyph& glyph = glyphs.glyphs[first];
        size_t end = first + 1;
        while (end < glyphs.glyphs.size() && glyphs.glyphs[end].font == glyph.font &&
            glyphs.glyphs[end].character == glyphs.glyphs[end - 1].character + 1)
            ++end;
        if (glyph.font != 0 && glyph.font <= fallbackNames.size()) {
            std::string note = characterName(glyph.character);
            if (end - first > 1)
                note += std::string(font_text::kRangeDash) + characterName(glyphs.glyphs[end - 1].character);
            notes.push_back(note + std::string(font_text::kFromFont) + noteEnd(fallbackNames[glyph.font - 1]));
        }
        first = end;
    }
    return notes;
}

std::string writePackedFontSource(const PackedGlyphSet& glyphs, const PackedFontOptions& options,
    const std::string& name, const std::string& outputDir, const std::vector<std::string>& fallbackNames)
{
    const std::vector<PackedFont> fonts = buildPackedFonts(glyphs, options);
    const std::string source = packedSourceText(name, packedNotes(glyphs, fallbackNames), fonts);
    return writeFontFiles(
        name, outputDir, [&](OutputFile& file) { file.write(source); },
        fontHeaderText(name, options.rotations, packed_text::kFontType));
}
