// FontRasterizer::writeFontSource: renders the listed glyphs and writes the
// bitmap-font source and header through the text functions.
#include "font_rasterizer.h"
#include "font_source_text.h"
#include "output_file.h"

#include <algorithm>
#include <cstdint>

namespace {

// Text collected before it goes to the file in one write.
constexpr size_t kWriteChunkBytes = 1 << 16;

// The codes that get a glyph: each code of 0 to 255 once, at its first
// place in the list. A second definition under the same names would not
// compile, and higher codes have no slot in the font's tables.
CharacterList fontCodes(const CharacterList& codes)
{
    PresenceTable seen{};
    CharacterList distinct;
    for (uint32_t code : codes) {
        if (code > kLargestFontCode || seen[code])
            continue;
        seen[code] = true;
        distinct.push_back(code);
    }
    return distinct;
}

struct NamedOutput {
    OutputFile* file;
    const std::string* path;
};

// Completes both files, then puts both in place as one, so that neither
// replaces its old version unless both do. Returns the path of the file
// that failed, or an empty text.
std::string placeBoth(NamedOutput source, NamedOutput header)
{
    for (const NamedOutput& output : {source, header})
        if (!output.file->finish())
            return *output.path;
    const OutputFile* failed = nullptr;
    if (!publishPair(*source.file, *header.file, failed))
        return failed == header.file ? *header.path : *source.path;
    return std::string();
}

// A kerning delta as its signed 8-bit field holds it: clamped, never wrapped.
int8_t kerningDelta(int32_t pixels)
{
    return int8_t(std::clamp<int32_t>(pixels, INT8_MIN, INT8_MAX));
}

// Kerning pairs of `code` against every font code that may precede it, the
// code itself included, in list order. Code 0 would end the 0-terminated
// table of preceding codes, so its pairs are left out.
KerningPairs kerningPairs(const FontRasterizer& rasterizer, const CharacterList& codes, uint32_t code)
{
    KerningPairs pairs;
    for (uint32_t prev : codes) {
        const int32_t delta = prev == 0 ? 0 : rasterizer.kerning(prev, code);
        if (delta != 0)
            pairs.push_back({uint8_t(prev), kerningDelta(delta)});
    }
    return pairs;
}

} // namespace

bool FontRasterizer::writeFontSource(
    std::string& name, const std::string& outputDir, uint32_t height, const CharacterList& codes)
{
    setPixelSize(height);
    sanitizeFontName(name);
    const std::string sourcePath = outputDir + name + ".cpp";
    const std::string headerName = name + std::string(font_text::kHeaderSuffix);
    const std::string headerPath = outputDir + headerName;
    failedPath.clear();

    // Both files replace their old versions only once both are complete, so
    // a failure or an exception anywhere leaves the old pair as it was.
    OutputFile source;
    if (!source.create(sourcePath)) {
        failedPath = sourcePath;
        return false;
    }
    std::string text;
    appendIncludeLine(text, headerName);
    const CharacterList glyphCodes = fontCodes(codes);
    PresenceTable present{};
    RenderedGlyph glyph;
    for (uint32_t code : glyphCodes) {
        renderGlyph(code, glyph);
        present[code] = true;
        appendGlyph(text, code, glyph, kerningPairs(*this, glyphCodes, code));
        if (text.size() >= kWriteChunkBytes) {
            source.write(text);
            text.clear();
        }
    }
    appendFontRecords(text, name, sizeMetrics(), present);
    source.write(text);

    OutputFile header;
    if (!header.create(headerPath)) {
        failedPath = headerPath;
        return false;
    }
    header.write(headerText(name));
    failedPath = placeBoth({&source, &sourcePath}, {&header, &headerPath});
    return failedPath.empty();
}
