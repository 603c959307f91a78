// assetpeek: surface file or generated font source -> PNG picture, drawn
// from the bytes that go into the firmware.
#include "char_list_parser.h"
#include "character_map.h"
#include "command_line.h"
#include "ds_packed_font.h"
#include "ds_surface.h"
#include "file_io.h"
#include "font_source_notes.h"
#include "font_source_reader.h"
#include "packed_source_reader.h"
#include "png_writer.h"
#include "surface_picture.h"
#include "text_picture.h"
#include "tool_frame.h"

#include <algorithm>
#include <cstdio>
#include <optional>
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

// What each font code shows and which codes may show a character.
struct CodeMapping {
    CharacterMap map;         // the character of each code
    CharacterList candidates; // codes searched for a character, in order
};

struct PeekRequest {
    std::string surface;                // --surface: surface file to draw, or empty
    bool upright = false;               // --upright: undo the surface's rotation
    std::string palette;                // --palette: palette file of an I8 surface, or empty
    std::string font;                   // --font: generated font source, or empty
    std::string utf8;                   // --text as given
    std::vector<uint32_t> text;         // --text decoded into characters
    std::optional<CodeMapping> mapping; // from --codepage and --chars, when either is given
    uint32_t rotation = 0;              // --rotation: tables to draw the text with
    std::string output;                 // --output: PNG to write
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

// Every code of the font, each a candidate for any character.
CharacterList allCodes()
{
    CharacterList codes;
    for (uint32_t code = 0; code <= kLargestFontCode; ++code)
        codes.push_back(code);
    return codes;
}

// What each code of the font shows, from --codepage and the `=` items of
// --chars, and the codes that may show a character: those of --chars, or
// all. Nothing when neither option was given: the source's own notes then
// say what the codes show.
std::optional<CodeMapping> readCodeMapping(CommandLine& commandLine)
{
    std::string page;
    const bool paged = getString(commandLine, "--codepage", page);
    CharacterMap map = identityMap();
    if (paged) {
        const std::optional<std::string_view> known = codePageName(page);
        if (!known)
            throw CommandLineException("--codepage", "unknown code page '" + page + "'");
        if (!codePageMap(*known, map))
            raiseError("cannot open code page '%s'", std::string(*known).c_str());
    }
    CharacterList candidates;
    CharacterOverrides overrides;
    CharListArgumentParser charsParser(candidates, overrides);
    const bool listed = commandLine.getOption("--chars", "", charsParser);
    if (!paged && !listed)
        return std::nullopt;
    return CodeMapping{withOverrides(map, overrides), listed ? candidates : allCodes()};
}

void readFontOptions(CommandLine& commandLine, PeekRequest& request)
{
    std::string text, rotation;
    if (!getString(commandLine, "--text", text))
        throw CommandLineException("--text", "missing text");
    if (!decodeUtf8(text, request.text))
        throw CommandLineException("--text", "invalid UTF-8 text");
    request.utf8 = text;
    if (getString(commandLine, "--rotation", rotation))
        request.rotation = parseRotation(rotation);
    request.mapping = readCodeMapping(commandLine);
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

void checkPictureSize(const TextLayout& layout)
{
    if (layout.width() * layout.height() > kMaxTextPicturePixels)
        raiseError("picture of %llu x %llu pixels is too large", static_cast<unsigned long long>(layout.width()),
            static_cast<unsigned long long>(layout.height()));
}

// The text drawn with a packed font: its characters are Unicode's, so no
// code page or character list applies.
Picture packedTextPicture(const PeekRequest& request, std::string_view text)
{
    if (request.mapping)
        raiseError("--codepage and --chars apply to classic fonts only");
    PackedSource source;
    uint32_t errorLine = 0;
    if (!readPackedSource(text, source, errorLine))
        raiseError("invalid font source '%s' at line %u", request.font.c_str(), errorLine);
    const auto font = std::find_if(source.fonts.begin(), source.fonts.end(),
        [&](const PackedFont& candidate) { return candidate.rotation == int64_t(request.rotation); });
    if (font == source.fonts.end())
        raiseError("font source '%s' has no rotation %u", request.font.c_str(), unsigned(request.rotation));
    const ds_packed_font_t device = devicePackedFont(*font);
    for (uint32_t character : request.text) {
        DsPackedGlyph glyph;
        if (!dsFindPackedGlyph(device, character, glyph))
            raiseError("character U+%04X is not in the font", unsigned(character));
    }
    const TextLayout layout = layoutPackedText(device, request.utf8);
    checkPictureSize(layout);
    return drawText(layout, request.rotation);
}

// The font codes of `text` under `mapping`; a character no code shows gets
// kNoCharacter and is reported as one the font lacks.
std::vector<uint32_t> textCodes(const std::vector<uint32_t>& text, const CodeMapping& mapping)
{
    std::vector<uint32_t> codes;
    for (uint32_t character : text) {
        const std::optional<uint32_t> code = codeOfCharacter(mapping.map, mapping.candidates, character);
        codes.push_back(code ? *code : kNoCharacter);
    }
    return codes;
}

// A warning line for each code of the text that the options' mapping takes
// for another character than the source's notes say it shows: the options
// win, so the picture shows the notes' character there. A source without
// notes says nothing to disagree with.
void warnOfDisagreement(const std::vector<uint32_t>& text, const std::vector<uint32_t>& codes, const SlotNotes& notes)
{
    std::vector<bool> warned(kLargestFontCode + 1, false);
    for (size_t i = 0; i < codes.size(); ++i) {
        const uint32_t code = codes[i];
        if (code > kLargestFontCode || notes.map[code] == text[i] || warned[code])
            continue;
        warned[code] = true;
        std::printf("WARNING: --codepage and --chars draw U+%04X with code %u, which shows U+%04X by the "
                    "source's notes\n",
            unsigned(text[i]), unsigned(code), unsigned(notes.map[code]));
    }
}

Picture fontTextPicture(const PeekRequest& request, OutputFile& output)
{
    InputFile input;
    readInput(request.font, request, input, output);
    const std::string_view text(reinterpret_cast<const char*>(input.data()), size_t(input.size()));
    if (isPackedSource(text))
        return packedTextPicture(request, text);
    GeneratedFont font;
    uint32_t errorLine = 0;
    if (!readFontSource(text, font, errorLine))
        raiseError("invalid font source '%s' at line %u", request.font.c_str(), errorLine);
    if (std::count(font.written.begin(), font.written.end(), request.rotation) == 0)
        raiseError("font source '%s' has no rotation %u", request.font.c_str(), unsigned(request.rotation));
    // The options, when given, say what the codes show; else the notes the
    // exporter wrote for every code that shows another character than its own.
    const SlotNotes notes = readSlotNotes(text);
    const bool mapped = request.mapping || notes.noted;
    const std::vector<uint32_t> codes =
        textCodes(request.text, request.mapping.value_or(CodeMapping{notes.map, allCodes()}));
    const BitmapFont& tables = font.rotations[fontRotationIndex(request.rotation)];
    for (size_t i = 0; i < codes.size(); ++i) {
        if (!missingCharacter(tables, {codes[i]}))
            continue;
        if (mapped)
            raiseError("character U+%04X is not in the font", unsigned(request.text[i]));
        raiseError("character %u is not in the font", unsigned(request.text[i]));
    }
    if (request.mapping && notes.noted)
        warnOfDisagreement(request.text, codes, notes);
    const TextLayout layout = layoutText(tables, codes);
    checkPictureSize(layout);
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
