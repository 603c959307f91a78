// assetpeek: surface file or generated font source -> PNG picture, drawn
// from the bytes that go into the firmware.
#include "char_list_parser.h"
#include "character_map.h"
#include "command_line.h"
#include "ds_surface.h"
#include "file_io.h"
#include "font_source_reader.h"
#include "png_writer.h"
#include "surface_picture.h"
#include "text_picture.h"
#include "tool_frame.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr ToolIdentity kIdentity = {"assetpeek", "Corvane Asset Viewer", 0x0100};

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--surface <surface file>", "Input surface file");
    commandLine.addOption("--upright", "Undo the surface's stored rotation");
    commandLine.addOption("--palette <palette file>", "Draw an I8 surface in the palette's colours");
    commandLine.addOption("--font <font source .cpp>", "Input font source file");
    commandLine.addOption("--text <text>", "Text to draw with the font (UTF-8)");
    commandLine.addOption("--rotation <0 | 90 | 180 | 270>", "Specify the font rotation");
    commandLine.addOption("--codepage <name>", "Code page the font was exported with");
    commandLine.addOption("--chars <range>", "Character list the font was exported with");
    commandLine.addOption("--output <picture.png>", "Output PNG picture");
}

struct PeekRequest {
    std::string surface;         // --surface: surface file to draw, or empty
    bool upright = false;        // --upright: undo the surface's rotation
    std::string palette;         // --palette: palette file of an I8 surface, or empty
    std::string font;            // --font: generated font source, or empty
    std::vector<uint32_t> codes; // --text turned into font codes
    std::vector<uint32_t> text;  // --text decoded: the character of each code
    bool mapped = false;         // --codepage or --chars turned the text into codes
    uint32_t rotation = 0;       // --rotation: tables to draw the text with
    std::string output;          // --output: PNG to write
};

bool getString(CommandLine& commandLine, const char* option, std::string& value)
{
    StringArgumentParser parser(value);
    return commandLine.getOption(option, "", parser);
}

bool getFlag(CommandLine& commandLine, const char* option)
{
    NullArgumentParser parser;
    return commandLine.getOption(option, "", parser);
}

// Options that belong to the other kind of input.
void refuseForeign(bool given, const char* option, const char* input)
{
    if (given)
        throw CommandLineException(option, std::string("can only be used with ") + input);
}

uint32_t parseRotation(const std::string& text)
{
    for (uint32_t angle : kFontRotations)
        if (text == std::to_string(angle))
            return angle;
    throw CommandLineException("--rotation", "invalid rotation");
}

// What each code of the font shows, from --codepage and the `=` items of
// --chars, and the codes that may show a character: those of --chars, or
// all. False when neither option was given: code N then shows U+N.
bool readCharacterMap(CommandLine& commandLine, CharacterMap& map, CharacterList& candidates)
{
    std::string page;
    const bool paged = getString(commandLine, "--codepage", page);
    map = identityMap();
    if (paged) {
        const std::optional<std::string_view> known = codePageName(page);
        if (!known)
            throw CommandLineException("--codepage", "unknown code page '" + page + "'");
        if (!codePageMap(*known, map))
            raiseError("cannot open code page '%s'", std::string(*known).c_str());
    }
    CharacterOverrides overrides;
    CharListArgumentParser charsParser(candidates, overrides);
    const bool listed = commandLine.getOption("--chars", "", charsParser);
    map = withOverrides(map, overrides);
    if (!listed)
        for (uint32_t code = 0; code <= kLargestFontCode; ++code)
            candidates.push_back(code);
    return paged || listed;
}

void readFontOptions(CommandLine& commandLine, PeekRequest& request)
{
    std::string text, rotation;
    if (!getString(commandLine, "--text", text))
        throw CommandLineException("--text", "missing text");
    if (!decodeUtf8(text, request.text))
        throw CommandLineException("--text", "invalid UTF-8 text");
    if (getString(commandLine, "--rotation", rotation))
        request.rotation = parseRotation(rotation);
    CharacterMap map;
    CharacterList candidates;
    request.mapped = readCharacterMap(commandLine, map, candidates);
    for (uint32_t character : request.text) {
        const std::optional<uint32_t> code =
            request.mapped ? codeOfCharacter(map, candidates, character) : std::optional<uint32_t>(character);
        // A character no code shows is reported once the font is read, as
        // one the font lacks.
        request.codes.push_back(code ? *code : kNoCharacter);
    }
}

PeekRequest readRequest(CommandLine& commandLine)
{
    PeekRequest request;
    const bool surface = getString(commandLine, "--surface", request.surface);
    const bool font = getString(commandLine, "--font", request.font);
    if (!surface && !font)
        throw CommandLineException(std::nullopt, "missing --surface or --font");
    if (surface && font)
        throw CommandLineException("--font", "cannot be used with --surface");
    request.upright = getFlag(commandLine, "--upright");
    const bool palette = getString(commandLine, "--palette", request.palette);
    if (surface) {
        std::string unused;
        refuseForeign(getString(commandLine, "--text", unused), "--text", "--font");
        refuseForeign(getString(commandLine, "--rotation", unused), "--rotation", "--font");
        refuseForeign(getString(commandLine, "--codepage", unused), "--codepage", "--font");
        refuseForeign(getString(commandLine, "--chars", unused), "--chars", "--font");
    } else {
        refuseForeign(request.upright, "--upright", "--surface");
        refuseForeign(palette, "--palette", "--surface");
        readFontOptions(commandLine, request);
    }
    if (!getString(commandLine, "--output", request.output))
        throw CommandLineException("--output", "missing output file");
    commandLine.checkUnused();
    return request;
}

// Opens the input, creates the output and reads the input whole.
void readInput(const std::string& path, const PeekRequest& request, InputFile& input, OutputFile& output)
{
    if (!input.open(path))
        raiseError("cannot open input file '%s'", path.c_str());
    if (!output.create(request.output))
        raiseError("cannot create output file '%s'", request.output.c_str());
    if (!input.readAll())
        raiseError("cannot read input file '%s'", path.c_str());
    input.close();
}

Picture surfaceFilePicture(const PeekRequest& request, OutputFile& output)
{
    InputFile input;
    readInput(request.surface, request, input, output);
    DsSurfaceFile file{};
    const int result = dsReadSurfaceFile(input.data(), input.size(), file);
    if (result == SURFACE_FILE_UNSUPPORTED_MODE)
        raiseError("unsupported colour mode %u", file.colorMode);
    if (result != SURFACE_FILE_OK)
        raiseError("invalid surface file '%s'", request.surface.c_str());
    if (request.palette.empty())
        return surfacePicture(file, request.upright);
    if (file.colorMode != I8)
        raiseError("--palette needs an I8 surface, not colour mode %u", file.colorMode);
    InputFile paletteInput;
    if (!paletteInput.open(request.palette))
        raiseError("cannot open input file '%s'", request.palette.c_str());
    if (!paletteInput.readAll())
        raiseError("cannot read input file '%s'", request.palette.c_str());
    DsPaletteFile palette{};
    if (!dsReadPaletteFile(paletteInput.data(), paletteInput.size(), palette))
        raiseError("invalid palette file '%s'", request.palette.c_str());
    return palettePicture(file, request.upright, palette);
}

Picture fontTextPicture(const PeekRequest& request, OutputFile& output)
{
    InputFile input;
    readInput(request.font, request, input, output);
    const std::string_view text(reinterpret_cast<const char*>(input.data()), size_t(input.size()));
    GeneratedFont font;
    uint32_t errorLine = 0;
    if (!readFontSource(text, font, errorLine))
        raiseError("invalid font source '%s' at line %u", request.font.c_str(), errorLine);
    const BitmapFont& tables = font.rotations[fontRotationIndex(request.rotation)];
    for (size_t i = 0; i < request.codes.size(); ++i) {
        if (!missingCharacter(tables, {request.codes[i]}))
            continue;
        if (request.mapped)
            raiseError("character U+%04X is not in the font", unsigned(request.text[i]));
        raiseError("character %u is not in the font", unsigned(request.text[i]));
    }
    const TextLayout layout = layoutText(tables, request.codes);
    if (layout.width() * layout.height() > kMaxTextPicturePixels)
        raiseError("picture of %llu x %llu pixels is too large", static_cast<unsigned long long>(layout.width()),
            static_cast<unsigned long long>(layout.height()));
    return drawText(layout, request.rotation);
}

std::string peek(const PeekRequest& request)
{
    OutputFile output;
    const Picture picture =
        request.surface.empty() ? fontTextPicture(request, output) : surfaceFilePicture(request, output);
    if (!writePng(picture, output) || !output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    return formatText("Generated picture '%s', %u x %u pixels", request.output.c_str(), unsigned(picture.width),
        unsigned(picture.height));
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return peek(readRequest(commandLine)); });
}
