// glyphsmith_cli: TrueType font -> bitmap-font source and header.
#include "char_list_parser.h"
#include "character_map.h"
#include "command_line.h"
#include "font_rasterizer.h"
#include "font_source_text.h"
#include "font_source_writer.h"
#include "input_file.h"
#include "packed_source_writer.h"
#include "tool_frame.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr ToolIdentity kIdentity = {"glyphsmith_cli", "Corvane Font Generator CLI", 0x0100};

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--font <font file>", "Input font file");
    commandLine.addOption("--chars <range>", "List of characters to process. Example: 32-126,145,146,147");
    commandLine.addOption("--size <height>", "Font height to process");
    commandLine.addOption("--output_path <path>", "Path for the output files");
    commandLine.addOption("--codepage <name>", "Show the characters of an 8-bit code page. Example: CP1251");
    commandLine.addOption("--fallback <font file>", "Font for the characters the input font lacks (repeatable)");
    commandLine.addOption("--bpp <1 | 2 | 4 | 8>", "Write the packed format with this many bits per pixel");
    commandLine.addOption("--compress", "Compress the glyph images of the packed format");
    commandLine.addOption("--rotations <list>", "Rotations to write, of 0,90,180,270 (default: all; packed: 0)");
}

struct ExportRequest {
    std::string fontPath;               // --font, exactly as given
    CharacterList codes;                // --chars
    CharacterOverrides overrides;       // the `=` items of --chars
    std::string codePage;               // --codepage as kCodePages spells it, or empty
    std::vector<std::string> fallbacks; // --fallback, in the order given
    uint32_t height = 0;                // --size
    std::string outputPath;             // --output_path, ending with '/'
    std::string fontName;               // the stand-alone word with "_<height>" appended
    uint32_t bpp = 0;                   // --bpp: bits per pixel of the packed format; 0 for classic
    bool compressed = false;            // --compress
    FontRotations rotations;            // --rotations, ascending
};

// --bpp, --compress and --rotations: the format written.
void readFormatOptions(CommandLine& commandLine, ExportRequest& request)
{
    UnsignedArgumentParser bppParser(request.bpp, 10);
    if (commandLine.getOption("--bpp", "", bppParser) && request.bpp != 1 && request.bpp != 2 && request.bpp != 4 &&
        request.bpp != 8)
        throw CommandLineException("--bpp", "bits per pixel must be 1, 2, 4 or 8");
    NullArgumentParser flag;
    request.compressed = commandLine.getOption("--compress", "", flag);
    if (request.compressed && request.bpp == 0)
        throw CommandLineException("--compress", "needs --bpp");
    std::string list;
    StringArgumentParser rotationsParser(list);
    if (!commandLine.getOption("--rotations", "", rotationsParser)) {
        request.rotations = request.bpp == 0 ? allFontRotations() : FontRotations{kFontRotations[0]};
        return;
    }
    for (const std::string& item : splitAt(list, ',')) {
        const auto known = std::find_if(kFontRotations.begin(), kFontRotations.end(),
            [&](uint32_t angle) { return item == std::to_string(angle); });
        if (known == kFontRotations.end())
            throw CommandLineException("--rotations", "invalid rotation '" + item + "'");
        if (std::count(request.rotations.begin(), request.rotations.end(), *known) != 0)
            throw CommandLineException("--rotations", "rotation " + item + " given twice");
        request.rotations.push_back(*known);
    }
    std::sort(request.rotations.begin(), request.rotations.end());
}

// --codepage, checked against the pages offered, and every --fallback.
void readMappingOptions(CommandLine& commandLine, ExportRequest& request)
{
    std::string page;
    StringArgumentParser pageParser(page);
    if (commandLine.getOption("--codepage", "", pageParser)) {
        if (request.bpp != 0)
            throw CommandLineException("--codepage", "cannot be used with --bpp");
        const std::optional<std::string_view> known = codePageName(page);
        if (!known)
            throw CommandLineException("--codepage", "unknown code page '" + page + "'");
        request.codePage = std::string(*known);
    }
    std::string fallback;
    StringArgumentParser fallbackParser(fallback);
    while (commandLine.getOption("--fallback", "", fallbackParser, true))
        request.fallbacks.push_back(fallback);
}

// Reads and checks every option after --silent and --help, in the order
// their errors are reported.
ExportRequest readRequest(CommandLine& commandLine)
{
    ExportRequest request;
    StringArgumentParser fontParser(request.fontPath);
    if (!commandLine.getOption("--font", "", fontParser))
        throw CommandLineException("--font", "missing file name");
    readFormatOptions(commandLine, request);
    CharListArgumentParser classicParser(request.codes, request.overrides);
    CharListArgumentParser unicodeParser(request.codes, CharListKind::UnicodeCharacters);
    if (!commandLine.getOption("--chars", "", request.bpp == 0 ? classicParser : unicodeParser))
        throw CommandLineException("--chars", "missing character list");
    UnsignedArgumentParser sizeParser(request.height, 10);
    if (!commandLine.getOption("--size", "", sizeParser))
        throw CommandLineException("--size", "missing font height");
    StringArgumentParser pathParser(request.outputPath);
    if (!commandLine.getOption("--output_path", "", pathParser))
        throw CommandLineException("--output_path", "missing path");
    if (request.height < kSmallestFontHeight || request.height > kLargestFontHeight)
        throw CommandLineException("--size",
            "height has to be between " + std::to_string(kSmallestFontHeight) + " and " +
                std::to_string(kLargestFontHeight));
    readMappingOptions(commandLine, request);
    StringArgumentParser nameParser(request.fontName);
    if (!commandLine.getPositional(nameParser))
        throw CommandLineException(std::nullopt, "missing output font name");
    commandLine.checkUnused();

    if (!request.outputPath.empty() && request.outputPath.back() != '/')
        request.outputPath += '/';
    request.fontName += "_" + std::to_string(request.height);
    return request;
}

// Each listed code with the character it shows: its own code, the code
// page's character, or that of its `=` item. A code the page leaves
// undefined is left out with a warning line.
GlyphSlots exportSlots(const ExportRequest& request)
{
    CharacterMap map = identityMap();
    if (!request.codePage.empty() && !codePageMap(request.codePage, map))
        raiseError("cannot open code page '%s'", request.codePage.c_str());
    map = withOverrides(map, request.overrides);
    GlyphSlots slots;
    std::array<bool, kLargestFontCode + 1> warned{};
    for (uint32_t code : request.codes) {
        if (map[code] != kNoCharacter) {
            slots.push_back({code, map[code]});
        } else if (!warned[code]) {
            warned[code] = true;
            std::printf("WARNING: code %u is not in code page '%s'\n", unsigned(code), request.codePage.c_str());
        }
    }
    return slots;
}

// The file name without its folders, as the source's comments name a font.
std::string baseName(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The fallback fonts, opened in order, and their names for the comments.
struct FallbackFonts {
    std::vector<std::unique_ptr<FontRasterizer>> fonts;
    std::vector<std::string> names;
};

// A FIFO, device or folder given as a font is refused before FreeType sees
// it, with the message every tool gives for an input it cannot read.
void refuseNonRegularFont(const std::string& path)
{
    if (namesNonRegularFile(path))
        raiseError("cannot read input file '%s'", path.c_str());
}

FallbackFonts openFallbacks(const std::vector<std::string>& paths)
{
    FallbackFonts fallbacks;
    for (const std::string& path : paths) {
        refuseNonRegularFont(path);
        fallbacks.fonts.push_back(std::make_unique<FontRasterizer>());
        try {
            fallbacks.fonts.back()->loadFont(path);
        } catch (const FTException&) {
            raiseError("cannot load fallback font '%s'", path.c_str());
        }
        fallbacks.names.push_back(baseName(path));
    }
    return fallbacks;
}

// True for the control characters (C0, DEL and C1), which no font draws and
// which a list such as 0-255 takes in on purpose.
bool isControlCharacter(uint32_t character)
{
    return character < 0x20 || (character >= 0x7F && character < 0xA0);
}

// A warning line for each code whose character no font has, other than a
// control character: its slot gets the main font's missing-glyph box.
void warnOfCharactersInNoFont(const FontGlyphSet& glyphs)
{
    for (const FontGlyph& glyph : glyphs.glyphs)
        if (glyph.inNoFont && !isControlCharacter(glyph.character))
            std::printf("WARNING: code %u shows U+%04X, which is in no font given: it gets the missing-glyph box\n",
                unsigned(glyph.code), unsigned(glyph.character));
}

std::string characterName(uint32_t character)
{
    return formatText("U+%04X", unsigned(character));
}

// A warning line for each run of consecutive characters of a packed export
// that no font has, control characters aside: they are left out.
void warnOfLeftOutCharacters(const CharacterList& missing)
{
    CharacterList named;
    std::copy_if(missing.begin(), missing.end(), std::back_inserter(named),
        [](uint32_t character) { return !isControlCharacter(character); });
    for (size_t first = 0; first < named.size();) {
        size_t end = first + 1;
        while (end < named.size() && named[end] == named[end - 1] + 1)
            ++end;
        if (end - first == 1)
            std::printf("WARNING: %s is in no font given: it is left out\n", characterName(named[first]).c_str());
        else
            std::printf("WARNING: %s-%s are in no font given: they are left out\n", characterName(named[first]).c_str(),
                characterName(named[end - 1]).c_str());
        first = end;
    }
}

// Renders and writes the font in the format asked for; returns the path of
// a file that could not be written, or an empty text.
std::string writeExport(
    const ExportRequest& request, const GlyphSlots& slots, const FontSources& fonts, const FallbackFonts& fallbacks)
{
    std::string name = request.fontName;
    sanitizeFontName(name);
    if (request.bpp == 0) {
        const FontGlyphSet glyphs = renderFontGlyphs(fonts, request.height, slots);
        warnOfCharactersInNoFont(glyphs);
        return writeFontSource(glyphs, name, request.outputPath, fallbacks.names, request.rotations);
    }
    const GlyphRendering rendering = request.bpp == 1 ? GlyphRendering::Mono : GlyphRendering::Grey;
    const PackedGlyphSet glyphs = renderPackedGlyphs(fonts, request.height, request.codes, rendering);
    warnOfLeftOutCharacters(glyphs.missing);
    const PackedFontOptions options{request.bpp, request.compressed, request.rotations};
    return writePackedFontSource(glyphs, options, name, request.outputPath, fallbacks.names);
}

// Writes the font and returns the result line.
std::string exportFont(const ExportRequest& request)
{
    // A classic export's code page is read, and warned about, first.
    const GlyphSlots slots = request.bpp == 0 ? exportSlots(request) : GlyphSlots{};
    FontRasterizer rasterizer;
    refuseNonRegularFont(request.fontPath);
    rasterizer.loadFont(request.fontPath);
    const FallbackFonts fallbacks = openFallbacks(request.fallbacks);
    FontSources fonts = {&rasterizer};
    for (const std::unique_ptr<FontRasterizer>& font : fallbacks.fonts)
        fonts.push_back(font.get());
    const std::string failedPath = writeExport(request, slots, fonts, fallbacks);
    if (!failedPath.empty())
        raiseError("cannot write file '%s'", failedPath.c_str());
    return formatText("Generated bitmap font for '%s', size %u", request.fontPath.c_str(), unsigned(request.height));
}

bool reportFreeTypeError(const std::exception& error)
{
    if (!dynamic_cast<const FTException*>(&error))
        return false;
    std::printf("\n\nERROR: FreeType %s\n\n", error.what());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    StandardToolStyle style;
    // The warnings of code pages come first; the result line follows them.
    style.resultLineEndsLine = true;
    style.reportOtherError = reportFreeTypeError;
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return exportFont(readRequest(commandLine)); }, style);
}
