// FontRasterizer::writeFontSource: renders the listed glyphs and writes the
// bitmap-font source and header through the text functions.
#include "file_io.h"
#include "font_rasterizer.h"
#include "font_source_text.h"

#include <sys/stat.h>
#include <unistd.h>

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

// Removes a file this export has already committed, when its companion
// could not be written; only a regular file is ever removed.
void removeWrittenFile(const std::string& path)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        unlink(path.c_str());
}

// Kerning pairs of `code` against every font code that may precede it, the
// code itself included, in list order.
KerningPairs kerningPairs(const FontRasterizer& rasterizer, const CharacterList& codes, uint32_t code)
{
    KerningPairs pairs;
    for (uint32_t prev : codes) {
        const int32_t delta = rasterizer.kerning(prev, code);
        if (delta != 0)
            pairs.push_back({uint8_t(prev & 0xFF), static_cast<int8_t>(uint8_t(delta & 0xFF))});
    }
    return pairs;
}

} // namespace

bool FontRasterizer::writeFontSource(std::string& name, const std::string& outputDir, uint32_t height,
                                     const CharacterList& codes)
{
    setPixelSize(height);
    sanitizeFontName(name);
    const std::string sourcePath = outputDir + name + ".cpp";
    const std::string headerName = name + std::string(font_text::kHeaderSuffix);
    const std::string headerPath = outputDir + headerName;
    failedPath.clear();

    // Both files stay uncommitted until everything is written, so a failure
    // or an exception anywhere removes whatever was created.
    OutputFile source;
    if (!source.create(sourcePath, true)) {
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
    if (!header.create(headerPath, true)) {
        failedPath = headerPath;
        return false;
    }
    header.write(headerText(name));
    if (!source.commit()) {
        failedPath = sourcePath;
        return false;
    }
    if (!header.commit()) {
        failedPath = headerPath;
        removeWrittenFile(sourcePath);
        return false;
    }
    return true;
}
