// pixpack: PNG image -> surface file, optionally turned or alpha only.
#include "command_line.h"
#include "ds_surface.h"
#include "file_io.h"
#include "png_decoder.h"
#include "tool_frame.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr ToolIdentity kIdentity = {"pixpack", "Corvane Surface Generator", 0x0100};
constexpr const char* kImageSuffix = ".png";

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--image <image file>", "Input image file");
    commandLine.addOption("--rotation <90 | 180 | 270>", "Specify image rotation");
    commandLine.addOption("--alphaonly", "Generate an alpha only surface");
    commandLine.addOption("--output <output file>", "Output surface file");
}

struct PackRequest {
    std::string image;      // input PNG
    std::string output;     // surface file to write
    int rotation = 0;       // 0, 90, 180 or 270 degrees
    bool alphaOnly = false; // keep only an alpha channel made from grey levels
};

int getRotation(CommandLine& commandLine)
{
    std::string text;
    StringArgumentParser parser(text);
    if (!commandLine.getOption("--rotation", "", parser))
        return 0;
    for (int angle : {90, 180, 270})
        if (text == std::to_string(angle))
            return angle;
    raiseError("invalid rotation");
}

PackRequest readRequest(CommandLine& commandLine)
{
    PackRequest request;
    StringArgumentParser imageParser(request.image);
    if (!commandLine.getOption("--image", "", imageParser))
        throw CommandLineException("--image", "missing file name");
    NullArgumentParser flag;
    request.alphaOnly = commandLine.getOption("--alphaonly", "", flag);
    request.rotation = getRotation(commandLine);
    StringArgumentParser outputParser(request.output);
    if (!commandLine.getOption("--output", "", outputParser))
        throw CommandLineException("--output", "missing output file");
    commandLine.checkUnused();
    return request;
}

bool hasImageSuffix(const std::string& name)
{
    const std::string suffix = kImageSuffix;
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct SurfaceRelease {
    void operator()(DsSurface* surface) const
    {
        surface->release();
        delete surface;
    }
};
using OwnedSurface = std::unique_ptr<DsSurface, SurfaceRelease>;

// Reads the whole image, decodes it and frees the file's bytes at once.
OwnedSurface decodeImage(const PackRequest& request, OutputFile& output)
{
    InputFile input;
    if (!input.open(request.image))
        raiseError("cannot open input file '%s'", request.image.c_str());
    if (!output.create(request.output))
        raiseError("cannot create output file '%s'", request.output.c_str());
    if (!input.readAll())
        raiseError("cannot read input file '%s'", request.image.c_str());
    input.close();
    OwnedSurface surface(decodePng(input.data(), input.size(), request.alphaOnly, request.rotation));
    const bool colourForAlphaOnly = !surface && request.alphaOnly && isNonGreyscalePng(input.data(), input.size());
    input.releaseBytes();
    if (colourForAlphaOnly)
        raiseError("'--alphaonly' needs a greyscale image");
    if (!surface)
        raiseError("cannot decode PNG file");
    return surface;
}

std::string pack(const PackRequest& request)
{
    if (!hasImageSuffix(request.image))
        raiseError("unrecognized input file");
    OutputFile output;
    const OwnedSurface surface = decodeImage(request, output);
    // Straight from the surface: the header words, the rows, the zero tail.
    const DsSurfaceFilePieces pieces = surface->filePieces();
    constexpr uint8_t kZeroTail[3] = {};
    output.write(pieces.header, sizeof pieces.header);
    output.write(pieces.rows, size_t(pieces.rowBytes));
    output.write(kZeroTail, pieces.tailBytes);
    const uint64_t size = sizeof pieces.header + pieces.rowBytes + pieces.tailBytes;
    if (!output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    return formatText(
        "Generated surface for '%s', size %lu bytes", request.image.c_str(), static_cast<unsigned long>(size));
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return pack(readRequest(commandLine)); });
}
