// pixpack: PNG image -> surface file, optionally turned or alpha only.
#include "command_line.h"
#include "ds_surface.h"
#include "file_io.h"
#include "png_decoder.h"
#include "surface_format.h"
#include "tool_frame.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr ToolIdentity kIdentity = {"pixpack", "Corvane Surface Generator", 0x0100};
constexpr const char* kImageSuffix = ".png";

// The colour modes --format takes, in the order the usage listing names them.
struct NamedMode {
    const char* name;
    uint32_t mode;
};
constexpr NamedMode kFormats[] = {
    {"ARGB8888", ARGB8888},
    {"RGB888", RGB888},
    {"RGB565", RGB565},
    {"ARGB1555", ARGB1555},
    {"ARGB4444", ARGB4444},
    {"AI88", AI88},
    {"A8", A8},
    {"I8", I8},
};

const char* modeName(uint32_t mode)
{
    for (const NamedMode& format : kFormats)
        if (format.mode == mode)
            return format.name;
    return "?";
}

// "A, B or C" over the modes of kFormats that `accept` takes.
template <typename Accept>
std::string modeList(Accept accept)
{
    std::vector<std::string> names;
    for (const NamedMode& format : kFormats)
        if (accept(format.mode))
            names.push_back(format.name);
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return list;
}

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--image <image file>", "Input image file");
    commandLine.addOption("--rotation <90 | 180 | 270>", "Specify image rotation");
    commandLine.addOption("--alphaonly", "Generate an alpha only surface");
    commandLine.addOption("--output <output file>", "Output surface file");
    commandLine.addOption("--format <colour mode>", "Convert to " + modeList([](uint32_t) { return true; }));
    commandLine.addOption("--dither", "Dither " + modeList(dsCanDither));
    commandLine.addOption("--palette <palette file>", "Output palette file of an indexed image");
}

struct PackRequest {
    std::string image;              // input PNG
    std::string output;             // surface file to write
    int rotation = 0;               // 0, 90, 180 or 270 degrees
    bool alphaOnly = false;         // keep only an alpha channel made from grey levels
    std::optional<uint32_t> format; // --format: the colour mode to convert into
    bool dither = false;            // --dither: error diffusion for the modes with narrow channels
    std::string palette;            // --palette: palette file to write beside the surface, or empty
};

// --format, --dither and --palette, and the combinations refused before
// the image is read.
void readFormatOptions(CommandLine& commandLine, PackRequest& request)
{
    std::string text;
    StringArgumentParser formatParser(text);
    if (commandLine.getOption("--format", "", formatParser)) {
        for (const NamedMode& format : kFormats)
            if (text == format.name)
                request.format = format.mode;
        if (!request.format)
            raiseError("invalid colour mode '%s'", text.c_str());
    }
    NullArgumentParser flag;
    request.dither = commandLine.getOption("--dither", "", flag);
    StringArgumentParser paletteParser(request.palette);
    commandLine.getOption("--palette", "", paletteParser);
    if (request.dither && !request.format)
        raiseError("--dither needs --format");
    if (request.dither && !dsCanDither(*request.format))
        raiseError("cannot dither %s, only %s", modeName(*request.format), modeList(dsCanDither).c_str());
    if (request.alphaOnly && request.format && *request.format != A8)
        raiseError("--alphaonly makes A8, not %s", modeName(*request.format));
    if (!request.palette.empty() && request.format && *request.format != I8)
        raiseError("--palette needs an I8 surface, not %s", modeName(*request.format));
}

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
    readFormatOptions(commandLine, request);
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

// Where a PNG file that decoded holds its IHDR colour type: after the
// signature (8 bytes), the chunk's length and type (8), width and height (8)
// and the bit depth (1).
constexpr uint64_t kColorTypeOffset = 25;

const char* colorTypeName(uint8_t colorType)
{
    switch (colorType) {
    case 0: return "greyscale";
    case 2: return "RGB";
    case 3: return "indexed";
    case 4: return "greyscale with alpha";
    default: return "RGBA";
    }
}

// Reads the whole image, decodes it and frees the file's bytes at once;
// `colorType` gets the PNG's colour type.
OwnedSurface decodeImage(const PackRequest& request, OutputFile& output, uint8_t& colorType)
{
    InputFile input;
    if (!input.open(request.image))
        raiseError("cannot open input file '%s'", request.image.c_str());
    if (!output.create(request.output))
        raiseError("cannot create output file '%s'", request.output.c_str());
    if (!input.readAll())
        raiseError("cannot read input file '%s'", request.image.c_str());
    input.close();
    // A conversion works on the upright image and turns its result.
    const int rotation = request.format ? 0 : request.rotation;
    OwnedSurface surface(decodePng(input.data(), input.size(), request.alphaOnly, rotation));
    colorType = input.size() > kColorTypeOffset ? input.data()[kColorTypeOffset] : 0;
    input.releaseBytes();
    if (!surface)
        raiseError("cannot decode PNG file");
    return surface;
}

// The upright decoded surface in the mode of --format, turned by --rotation.
OwnedSurface convertImage(const PackRequest& request, OwnedSurface surface, uint8_t colorType)
{
    const uint32_t mode = *request.format;
    if (mode == I8 && colorType != 3)
        raiseError("I8 needs an indexed image; this one is %s", colorTypeName(colorType));
    if (mode == AI88 && colorType != 0 && colorType != 4)
        raiseError("AI88 needs a greyscale image; this one is %s", colorTypeName(colorType));
    if (mode != surface->colorMode() || request.dither) {
        surface.reset(dsConvertSurface(*surface, mode, request.dither));
        if (!surface)
            raiseError("not enough memory for the surface");
    }
    if (request.rotation != 0 && !surface->rotate(request.rotation))
        raiseError("not enough memory for the surface");
    return surface;
}

// Writes the palette of an indexed image's I8 surface into `output`.
void writePalette(const PackRequest& request, const DsSurface& surface, uint8_t colorType, OutputFile& output)
{
    if (colorType != 3)
        raiseError("--palette needs an indexed image; this one is %s", colorTypeName(colorType));
    if (!output.create(request.palette))
        raiseError("cannot create palette file '%s'", request.palette.c_str());
    std::vector<uint8_t> bytes(size_t(dsPaletteFileSize(surface)));
    dsWritePaletteFile(surface, bytes.data());
    output.write(bytes.data(), bytes.size());
    if (!output.finish())
        raiseError("cannot write palette file '%s'", request.palette.c_str());
}

void pack(const PackRequest& request)
{
    if (!hasImageSuffix(request.image))
        raiseError("unrecognized input file");
    OutputFile output, paletteOutput;
    uint8_t colorType = 0;
    OwnedSurface surface = decodeImage(request, output, colorType);
    if (request.format)
        surface = convertImage(request, std::move(surface), colorType);
    if (!request.palette.empty())
        writePalette(request, *surface, colorType, paletteOutput);
    // Straight from the surface: the header words, the rows, the zero tail.
    const DsSurfaceFilePieces pieces = surface->filePieces();
    constexpr uint8_t kZeroTail[3] = {};
    output.write(pieces.header, sizeof pieces.header);
    output.write(pieces.rows, size_t(pieces.rowBytes));
    output.write(kZeroTail, pieces.tailBytes);
    const uint64_t size = sizeof pieces.header + pieces.rowBytes + pieces.tailBytes;
    if (!output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    if (!request.palette.empty() && !paletteOutput.publish())
        raiseError("cannot write palette file '%s'", request.palette.c_str());
    std::printf(
        "\nGenerated surface for '%s', size %lu bytes", request.image.c_str(), static_cast<unsigned long>(size));
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(
        kIdentity, argc, argv, registerOptions, [](CommandLine& commandLine) { pack(readRequest(commandLine)); });
}
