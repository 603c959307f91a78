// writeFontSource: formats a glyph set through the text functions and
// writes the bitmap-font source and header.
#include "font_source_writer.h"

#include "font_source_text.h"
#include "output_file.h"
#include "output_path.h"

#include <cstdint>

namespace {

// Text collected before it goes to the file in one write.
constexpr size_t kWriteChunkBytes = 1 << 16;

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

// Formats the source text in chunks into `source`.
void writeSourceText(OutputFile& source, const FontGlyphSet& glyphs, const std::string& name,
    const std::vector<std::string>& fallbackNames, const FontRotations& rotations)
{
    std::string text;
    appendIncludeLine(text, name + std::string(font_text::kHeaderSuffix));
    appendSlotNotes(text, glyphs, fallbackNames);
    PresenceTable present{};
    for (const FontGlyph& glyph : glyphs.glyphs) {
        present[glyph.code] = true;
        appendGlyph(text, glyph.code, glyph.view(), glyph.kerning, rotations);
        if (text.size() >= kWriteChunkBytes) {
            source.write(text);
            text.clear();
        }
    }
    appendFontRecords(text, name, glyphs.metrics, present, rotations);
    source.write(text);
}

} // namespace

std::string writeFontFiles(const std::string& name, const std::string& outputDir,
    const std::function<void(OutputFile&)>& writeSource, const std::string& header)
{
    const std::string sourcePath = outputDir + name + ".cpp";
    const std::string headerPath = outputDir + name + std::string(font_text::kHeaderSuffix);
    // Two paths that lead to one file (symlinks to it) would leave only the
    // header there: refused before anything is written.
    if (sameOutputFile(sourcePath, headerPath))
        return headerPath;
    OutputFile source;
    if (!source.create(sourcePath))
        return sourcePath;
    writeSource(source);
    OutputFile headerFile;
    if (!headerFile.create(headerPath))
        return headerPath;
    headerFile.write(header);
    return placeBoth({&source, &sourcePath}, {&headerFile, &headerPath});
}

std::string writeFontSource(const FontGlyphSet& glyphs, const std::string& name, const std::string& outputDir,
    const std::vector<std::string>& fallbackNames, const FontRotations& rotations)
{
    return writeFontFiles(
        name, outputDir, [&](OutputFile& source) { writeSourceText(source, glyphs, name, fallbackNames, rotations); },
        headerText(name, rotations));
}
