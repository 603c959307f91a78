// glyphsmith_cli: TrueType font -> bitmap-font source and header.
#include "char_list_parser.h"
#include "command_line.h"
#include "font_rasterizer.h"
#include "tool_frame.h"

#include <cstdio>
#include <string>

namespace {

constexpr ToolIdentity kIdentity = {"glyphsmith_cli", "Corvane Font Generator CLI", 0x0100};

void registerOptions(CommandLine& commandLine)
{
    registerSilentOption(commandLine);
    commandLine.addOption("--font <font file>", "Input font file");
    commandLine.addOption("--chars <range>", "List of characters to process. Example: 32-126,145,146,147");
    commandLine.addOption("--size <height>", "Font height to process");
    commandLine.addOption("--output_path <path>", "Path for the output files");
}

struct ExportRequest {
    std::string fontPath;   // --font, exactly as given
    CharacterList codes;    // --chars
    uint32_t height = 0;    // --size
    std::string outputPath; // --output_path, ending with '/'
    std::string fontName;   // the stand-alone word with "_<height>" appended
};

// Reads and checks every option after --silent and --help, in the order
// their errors are reported.
ExportRequest readRequest(CommandLine& commandLine)
{
    ExportRequest request;
    StringArgumentParser fontParser(request.fontPath);
    if (!commandLine.getOption("--font", "", fontParser))
        throw CommandLineException("--font", "missing file name");
    CharListArgumentParser charsParser(request.codes);
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
    StringArgumentParser nameParser(request.fontName);
    if (!commandLine.getPositional(nameParser))
        throw CommandLineException(std::nullopt, "missing output font name");
    commandLine.checkUnused();

    if (!request.outputPath.empty() && request.outputPath.back() != '/')
        request.outputPath += '/';
    request.fontName += "_" + std::to_string(request.height);
    return request;
}

void exportFont(const ExportRequest& request)
{
    FontRasterizer rasterizer;
    rasterizer.loadFont(request.fontPath);
    std::string name = request.fontName;
    const bool written = rasterizer.writeFontSource(name, request.outputPath, request.height, request.codes);
    rasterizer.unloadFont();
    if (!written)
        raiseError("cannot write file '%s'", rasterizer.failedOutputPath().c_str());
    std::printf("Generated bitmap font for '%s', size %u\n", request.fontPath.c_str(), unsigned(request.height));
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
    CommandLine commandLine(kIdentity.usageName, argc, argv);
    registerToolOptions(commandLine, registerOptions);
    ToolRunOptions options;
    options.reportOtherError = reportFreeTypeError;
    return runTool(
        commandLine,
        [&] {
            const bool silent = lookUpSilent(commandLine);
            // runTool reads the option only once the run has ended.
            options.closingLine = !silent;
            if (!silent)
                printBanner(kIdentity);
            answerHelp(commandLine);
            exportFont(readRequest(commandLine));
            finishRun();
        },
        options);
}
