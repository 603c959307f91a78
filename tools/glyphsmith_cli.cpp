// glyphsmith_cli: TrueType font -> bitmap-font source and header.
#include "char_list_parser.h"
#include "character_map.h"
#include "command_line.h"
#include "font_rasterizer.h"
#include "font_source_text.h"
#include "font_source_writer.h"
#include "tool_frame.h"

#include <array>
#include <cstdio>
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
};

// --codepage, checked against the pages offered, and every --fallback.
void readMappingOptions(CommandLine& commandLine, ExportRequest& request)
{
    std::string page;
    StringArgumentParser pageParser(page);
    if (commandLine.getOption("--codepage", "", pageParser)) {
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
    CharListArgumentParser charsParser(request.codes, request.overrides);
    if (!commandLine.getOption("--chars", "", charsParser))
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

FallbackFonts openFallbacks(const std::vector<std::string>& paths)
{
    FallbackFonts fallbacks;
    for (const std::string& path : paths) {
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

// Writes the font and returns the result line.
std::string exportFont(const ExportRequest& request)
{
    const GlyphSlots slots = exportSlots(request);
    FontRasterizer rasterizer;
    rasterizer.loadFont(request.fontPath);
    const FallbackFonts fallbacks = openFallbacks(request.fallbacks);
    FontSources fonts = {&rasterizer};
    for (const std::unique_ptr<FontRasterizer>& font : fallbacks.fonts)
        fonts.push_back(font.get());
    const FontGlyphSet glyphs = renderFontGlyphs(fonts, request.height, slots);
    rasterizer.unloadFont();
    std::string name = request.fontName;
    sanitizeFontName(name);
    const std::string failedPath = writeFontSource(glyphs, name, request.outputPath, fallbacks.names);
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
