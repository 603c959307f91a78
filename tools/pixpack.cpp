// pixpack: PNG image -> surface file, optionally turned or alpha only.
#include "command_line.h"
#include "ds_rotations.h"
#include "ds_surface.h"
#include "file_io.h"
#include "output_path.h"
#include "png_decoder.h"
#include "surface_compressor.h"
#include "surface_format.h"
#include "tool_frame.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
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
    {"RGB565_SWAPPED", RGB565_SWAPPED},
    {"ARGB8565", ARGB8565},
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
    commandLine.addOption("--compress", "Write a compressed surface file");
}

struct PackRequest {
    std::string image;              // input PNG
    std::string output;             // surface file to write
    int rotation = 0;               // 0, 90, 180 or 270 degrees
    bool alphaOnly = false;         // keep only an alpha channel made from grey levels
    std::optional<uint32_t> format; // --format: the colour mode to convert into
    bool dither = false;            // --dither: error diffusion for the modes with narrow channels
    std::string palette;            // --palette: palette file to write beside the surface, or empty
    bool compress = false;          // --compress: the rows coded, drawn from while decoded
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
    request.compress = commandLine.getOption("--compress", "", flag);
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
    for (uint32_t angle : kDsRotations)
        if (angle != 0 && text == std::to_string(angle))
            return int(angle);
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

// Surface memory through dsMalloc, remembering the size of a block that
// could not be had, so that running out of memory is told apart from a
// damaged image.
uint64_t gRefusedBytes = 0;

void* surfaceAllocator(uint64_t size)
{
    void* block = dsMalloc(size);
    if (!block)
        gRefusedBytes = size;
    return block;
}

const char* colorTypeName(uint8_t colorType)
{
    switch (colorType) {
    case kPngGrey: return "greyscale";
    case kPngTruecolour: return "RGB";
    case kPngIndexed: return "indexed";
    case kPngGreyAlpha: return "greyscale with alpha";
    default: return "RGBA";
    }
}

// Refuses, before anything is read or written, outputs that would replace one
// another or the image: the surface and its palette take two files, and the
// palette must not take the image's place. The surface itself may replace the
// image, which is read whole first.
void checkOutputs(const PackRequest& request)
{
    if (request.palette.empty())
        return;
    if (sameOutputFile(request.output, request.palette))
        raiseError("--palette and --output name the same file '%s'", request.palette.c_str());
    if (outputReplacesFile(request.palette, request.image))
        raiseError("--palette names the input image '%s'", request.palette.c_str());
}

// Refuses, before the image is decoded, a --format whose rows would need a
// pitch over the surface file's 32-bit word. Without --format no check is
// needed: the decoder makes no surface of more than 4 GiB, so no row of it,
// turned or not, takes more. A file the decoder refuses is left to it.
void checkConvertedPitch(const PackRequest& request, const InputFile& input)
{
    PngInfo info{};
    if (!request.format || decodePngChunks(input.data(), input.size(), info, nullptr) != PNG_OK)
        return;
    const uint64_t pixels = dsSwapsSides(request.rotation) ? info.height : info.width;
    const uint64_t pitch = pixels * dsBytesPerPixel(*request.format);
    if (pitch > DsSurface::kMaxPitch)
        raiseError("rows of %llu %s pixels take %llu bytes, more than a surface file's pitch holds (%llu)",
            static_cast<unsigned long long>(pixels), modeName(*request.format), static_cast<unsigned long long>(pitch),
            static_cast<unsigned long long>(DsSurface::kMaxPitch));
}

// Reads the whole image, decodes it upright and frees the file's bytes at once;
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
    checkConvertedPitch(request, input);
    gRefusedBytes = 0;
    PngDecodeReport report;
    OwnedSurface surface(
        decodePngWithAllocator(input.data(), input.size(), request.alphaOnly, 0, surfaceAllocator, dsFree, &report));
    input.releaseBytes();
    if (!surface && gRefusedBytes != 0)
        raiseError("not enough memory for a %u x %u surface (%llu bytes)", unsigned(report.info.width),
            unsigned(report.info.height), static_cast<unsigned long long>(gRefusedBytes));
    colorType = report.info.colorType;
    if (!surface && request.alphaOnly && report.accepted && colorType != kPngGrey)
        raiseError("'--alphaonly' needs a greyscale image");
    if (!surface)
        raiseError("cannot decode PNG file");
    return surface;
}

// Memory dsConvertSurface takes besides its source: the new surface's rows
// (and AI88's 256-entry grey palette), one row of 4-byte colours, and for
// dithering two rows of three 4-byte errors a pixel, with a pixel to spare at
// each end, and its tables.
uint64_t conversionBytes(const DsSurface& source, uint32_t mode, bool dither)
{
    constexpr uint64_t kTablesAndPalettes = 16 << 10;
    const uint64_t width = uint64_t(source.width());
    const uint64_t rows = width * dsBytesPerPixel(mode) * uint64_t(source.height());
    const uint64_t errors = dither ? 2 * (width + 2) * 3 * 4 : 0;
    return rows + width * 4 + errors + kTablesAndPalettes;
}

// The modes without alpha that --format makes from any image, each with the
// mode of the same colours that keeps an alpha channel.
struct AlphaKeeper {
    uint32_t mode;   // drops alpha
    uint32_t keeper; // keeps it
};
constexpr AlphaKeeper kAlphaKeepers[] = {{RGB888, ARGB8888}, {RGB565, ARGB8565}, {RGB565_SWAPPED, ARGB8565}};

// A warning line when converting `image` into `mode` loses pixels that are
// not opaque: the surface is still written, but whatever it is drawn over
// no longer shows through.
void warnOfDroppedTransparency(const PackRequest& request, const DsSurface& image, uint32_t mode)
{
    for (const AlphaKeeper& alpha : kAlphaKeepers)
        if (alpha.mode == mode && dsHasTranslucentPixel(image))
            std::printf("WARNING: --format %s drops the transparency of '%s'; %s keeps it\n", modeName(mode),
                request.image.c_str(), modeName(alpha.keeper));
}

// The upright decoded surface in the mode of --format.
OwnedSurface convertImage(const PackRequest& request, OwnedSurface surface, uint8_t colorType)
{
    const uint32_t mode = *request.format;
    if (mode == I8 && colorType != kPngIndexed)
        raiseError("I8 needs an indexed image; this one is %s", colorTypeName(colorType));
    if (mode == AI88 && colorType != kPngGrey && colorType != kPngGreyAlpha)
        raiseError("AI88 needs a greyscale image; this one is %s", colorTypeName(colorType));
    warnOfDroppedTransparency(request, *surface, mode);
    if (mode == surface->colorMode() && !request.dither)
        return surface;
    const uint64_t bytes = conversionBytes(*surface, mode, request.dither);
    OwnedSurface converted;
    try {
        if (fitsInMemory(bytes))
            converted.reset(dsConvertSurface(*surface, mode, request.dither));
    } catch (const std::bad_alloc&) {
    }
    if (!converted)
        raiseError("not enough memory for a %d x %d %s surface (%llu bytes)", int(surface->width()),
            int(surface->height()), modeName(mode), static_cast<unsigned long long>(bytes));
    return converted;
}

// Writes the palette of an indexed image's I8 surface into `output`, finished
// but not yet in place.
void writePalette(const PackRequest& request, const DsSurface& surface, uint8_t colorType, OutputFile& output)
{
    if (colorType != kPngIndexed)
        raiseError("--palette needs an indexed image; this one is %s", colorTypeName(colorType));
    if (!output.create(request.palette))
        raiseError("cannot create palette file '%s'", request.palette.c_str());
    std::vector<uint8_t> bytes(size_t(dsPaletteFileSize(surface)));
    dsWritePaletteFile(surface, bytes.data());
    output.write(bytes.data(), bytes.size());
    if (!output.finish())
        raiseError("cannot write palette file '%s'", request.palette.c_str());
}

// Turned rows made a batch at a time from the upright surface.
constexpr uint64_t kTurnedBatchBytes = uint64_t(1) << 20;

// Writes the surface file of `surface` turned by `rotation` straight from the
// upright pixels: the unturned rows as they are, turned ones through a batch
// buffer of about a MiB, so that no second image is made. Returns the file's size.
uint64_t writeSurfaceFile(const DsSurface& surface, int rotation, OutputFile& output)
{
    constexpr uint8_t kZeroTail[3] = {};
    if (rotation == 0) {
        const DsSurfaceFilePieces pieces = surface.filePieces();
        output.write(pieces.header, sizeof pieces.header);
        output.write(pieces.rows, size_t(pieces.rowBytes));
        output.write(kZeroTail, pieces.tailBytes);
        return sizeof pieces.header + pieces.rowBytes + pieces.tailBytes;
    }
    const DsSurface::TurnedFile file = surface.turnedFile(rotation);
    output.write(file.header, sizeof file.header);
    const uint32_t batchRows = uint32_t(std::clamp<uint64_t>(kTurnedBatchBytes / file.pitch, 1, file.rowCount));
    std::vector<uint8_t> batch(size_t(batchRows * file.pitch));
    for (uint32_t row = 0; row < file.rowCount; row += batchRows) {
        const uint32_t rows = std::min(batchRows, file.rowCount - row);
        surface.copyTurnedRows(rotation, row, rows, batch.data());
        output.write(batch.data(), size_t(rows * file.pitch));
    }
    output.write(kZeroTail, file.tailBytes);
    return sizeof file.header + uint64_t(file.rowCount) * file.pitch + file.tailBytes;
}

// Writes the compressed surface file of `surface` turned by `rotation`.
// Returns the file's size.
uint64_t writeCompressedFile(const DsSurface& surface, int rotation, OutputFile& output)
{
    std::vector<uint8_t> file;
    try {
        file = dsCompressSurface(surface, rotation);
    } catch (const std::bad_alloc&) {
        raiseError("not enough memory to compress a %d x %d surface", int(surface.width()), int(surface.height()));
    }
    if (file.empty())
        raiseError("the compressed rows take 4 GiB or more, more than a compressed surface file holds");
    output.write(file.data(), file.size());
    return file.size();
}

// Puts the surface file in place and, with --palette, its palette file with
// it: both files new, or both as they were.
void publishOutputs(const PackRequest& request, OutputFile& output, OutputFile& paletteOutput)
{
    if (request.palette.empty()) {
        if (!output.publish())
            raiseError("cannot write output file '%s'", request.output.c_str());
        return;
    }
    const OutputFile* failed = nullptr;
    if (publishPair(output, paletteOutput, failed))
        return;
    if (failed == &paletteOutput)
        raiseError("cannot write palette file '%s'", request.palette.c_str());
    raiseError("cannot write output file '%s'", request.output.c_str());
}

std::string pack(const PackRequest& request)
{
    if (!hasImageSuffix(request.image))
        raiseError("unrecognized input file");
    checkOutputs(request);
    OutputFile output, paletteOutput;
    uint8_t colorType = 0;
    OwnedSurface surface = decodeImage(request, output, colorType);
    if (request.format)
        surface = convertImage(request, std::move(surface), colorType);
    if (!request.palette.empty())
        writePalette(request, *surface, colorType, paletteOutput);
    const uint64_t size = request.compress ? writeCompressedFile(*surface, request.rotation, output)
                                           : writeSurfaceFile(*surface, request.rotation, output);
    if (!output.finish())
        raiseError("cannot write output file '%s'", request.output.c_str());
    publishOutputs(request, output, paletteOutput);
    return formatText(
        "Generated surface for '%s', size %lu bytes", request.image.c_str(), static_cast<unsigned long>(size));
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return pack(readRequest(commandLine)); });
}
