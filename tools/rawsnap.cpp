// rawsnap: raw framebuffer dump -> BMP or PNG image.
#include "bmp_writer.h"
#include "command_line.h"
#include "dump_reader.h"
#include "file_io.h"
#include "png_writer.h"
#include "tool_frame.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr ToolIdentity kIdentity = {"rawsnap", "Snapshot Converter", 0x0100};
// Largest width and height: BMP's signed 32-bit fields, and PNG's own bound.
constexpr uint32_t kSnapshotMaxDimension = kBmpMaxDimension;
constexpr const char* kPngSuffix = ".png";

// The --format help: one line per format with its byte layout.
std::string formatHelp()
{
    std::string help = "Specify the framebuffer color format, one of:";
    for (int i = 0; i < kDumpFormatCount; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "\n      %-16s %s", kDumpFormats[i].name, kDumpFormats[i].layout);
        help += line;
    }
    return help;
}

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--fb <raw framebuffer file>", "Input framebuffer file");
    commandLine.addOption("--width <width in pixels>", "Specify the framebuffer width in pixels");
    commandLine.addOption("--height <height in pixels>",
        "Specify the framebuffer height in pixels (default: every whole line of the file)");
    commandLine.addOption(
        "--pitch <pitch in bytes>", "Specify the framebuffer pitch in bytes (default: width x bytes per pixel)");
    commandLine.addOption("--offset <bytes>", "Skip this many bytes before the first line (default: 0)");
    commandLine.addOption("--format <color format>", formatHelp());
    commandLine.addOption("--output <output file>", "Output file: PNG when its name ends in .png, BMP otherwise");
}

// The value of a width or height option, or 0 when an optional one is absent.
uint32_t getDimension(CommandLine& commandLine, const char* option, bool required)
{
    uint32_t value = 0;
    UnsignedArgumentParser parser(value, 10);
    if (!commandLine.getOption(option, "", parser)) {
        if (required)
            throw CommandLineException(option, "missing argument");
        return 0;
    }
    if (value < 1 || value > kSnapshotMaxDimension)
        throw CommandLineException(
            option, "invalid argument. Must be between 1 and " + std::to_string(kSnapshotMaxDimension) + ".");
    return value;
}

const DumpFormatInfo* getFormat(CommandLine& commandLine)
{
    std::string name;
    StringArgumentParser parser(name);
    if (!commandLine.getOption("--format", "", parser))
        throw CommandLineException("--format", "missing argument");
    const DumpFormatInfo* format = findDumpFormat(name);
    if (!format)
        raiseError("invalid color format");
    return format;
}

struct SnapshotRequest {
    std::string input;
    std::string output;
    DumpGeometry geometry; // height 0: every whole line of the dump
};

SnapshotRequest readRequest(CommandLine& commandLine)
{
    SnapshotRequest request{};
    StringArgumentParser inputParser(request.input);
    if (!commandLine.getOption("--fb", "", inputParser))
        throw CommandLineException("--fb", "missing file name");
    request.geometry.width = getDimension(commandLine, "--width", true);
    request.geometry.height = getDimension(commandLine, "--height", false);
    request.geometry.format = getFormat(commandLine);

    // Left out, the lines follow one another without slack. Pitch and offset
    // are 64-bit: a line of 2^30 ARGB8888 pixels alone takes 4 GiB. Both are
    // checked against the dump's size once it is known.
    request.geometry.pitch = dumpRowLength(request.geometry);
    Unsigned64ArgumentParser pitchParser(request.geometry.pitch, 10);
    commandLine.getOption("--pitch", "", pitchParser);
    const uint64_t lineBytes = dumpRowLength(request.geometry);
    if (lineBytes > request.geometry.pitch)
        throw CommandLineException("--pitch",
            formatText("invalid argument. Must be at least %llu bytes (%u pixels x %u).", (unsigned long long)lineBytes,
                unsigned(request.geometry.width), unsigned(request.geometry.format->bytesPerPixel)));

    Unsigned64ArgumentParser offsetParser(request.geometry.offset, 10);
    commandLine.getOption("--offset", "", offsetParser);

    StringArgumentParser outputParser(request.output);
    if (!commandLine.getOption("--output", "", outputParser))
        throw CommandLineException("--output", "missing output file");
    commandLine.checkUnused();
    return request;
}

bool hasPngSuffix(const std::string& name)
{
    const std::string suffix = kPngSuffix;
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Fills in a height left out from the dump's size, then checks that the
// dump holds every line of the geometry.
DumpGeometry completeGeometry(const SnapshotRequest& request, uint64_t size)
{
    DumpGeometry geometry = request.geometry;
    const char* name = request.input.c_str();
    if (geometry.height == 0) {
        uint64_t lines = 0;
        switch (countDumpLines(geometry, size, &lines)) {
        case LineCount::TooSmall: raiseError("input file '%s' is too small for the given geometry", name);
        case LineCount::Ragged:
            raiseError("input file '%s' of %llu bytes ends inside a line's pixels (pitch %llu, offset %llu)", name,
                (unsigned long long)size, (unsigned long long)geometry.pitch, (unsigned long long)geometry.offset);
        case LineCount::Whole: break;
        }
        if (lines > kSnapshotMaxDimension)
            throw CommandLineException(
                "--height", "invalid argument. Must be between 1 and " + std::to_string(kSnapshotMaxDimension) + ".");
        geometry.height = uint32_t(lines);
    }
    if (size < requiredDumpSize(geometry))
        raiseError("input file '%s' is too small for the given geometry", name);
    return geometry;
}

[[noreturn]] void raiseOutOfMemory(const DumpGeometry& geometry)
{
    raiseError("not enough memory for lines of %u pixels", geometry.width);
}

// Refuses at once lines whose conversion the machine could never hold: the
// lines of a batch as read and converted, with the memory of the writer
// (`writerBytes`). Memory that runs out all the same (a limit of the
// process or its container) is reported with the same message.
void checkLineMemory(const DumpGeometry& geometry, LineLayout layout, uint64_t writerBytes)
{
    if (!fitsInMemory(DumpLines::memoryBytes(geometry, layout) + writerBytes))
        raiseOutOfMemory(geometry);
}

std::string writeBmpSnapshot(
    const SnapshotRequest& request, const DumpGeometry& geometry, DumpReader& input, OutputFile& output)
{
    const BmpImage image{geometry.width, geometry.height, geometry.format->bmpPixels};
    if (bmpFileSize(image) > kBmpLargestFile)
        raiseError(
            "a BMP file cannot hold %u x %u pixels of %s", geometry.width, geometry.height, geometry.format->name);
    checkLineMemory(geometry, LineLayout::Bmp, DumpReader::linesPerBatch(geometry) * sizeof(const uint8_t*));
    bool written = false;
    DumpLines lines(input, geometry, LineLayout::Bmp);
    try {
        written = writeBmp(
            image, lines.linesPerBatch(),
            [&lines](uint32_t first, uint32_t count, const uint8_t** rows) { return lines.read(first, count, rows); },
            [&output](const iovec* buffers, int count) { return output.writeVector(buffers, count); });
    } catch (const std::bad_alloc&) {
        raiseOutOfMemory(geometry);
    }
    if (lines.failed())
        raiseError("cannot read input file '%s'", request.input.c_str());
    if (!written || !output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    return formatText("Generated BMP file '%s', size %u bytes", request.output.c_str(), unsigned(bmpFileSize(image)));
}

std::string writePngSnapshot(
    const SnapshotRequest& request, const DumpGeometry& geometry, DumpReader& input, OutputFile& output)
{
    const PictureFormat format = geometry.format->hasAlpha ? PictureFormat::Rgba : PictureFormat::Rgb;
    checkLineMemory(geometry, LineLayout::Rgb, pngWriterMemoryBytes(geometry.width, format));
    uint64_t size = 0;
    bool written = false;
    DumpLines lines(input, geometry, LineLayout::Rgb);
    try {
        written = writePngRows(
            geometry.width, geometry.height, format, [&lines](uint32_t y) { return lines.line(y); }, output, &size);
    } catch (const std::bad_alloc&) {
        raiseOutOfMemory(geometry);
    }
    if (lines.failed())
        raiseError("cannot read input file '%s'", request.input.c_str());
    if (!written || !output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    return formatText("Generated PNG file '%s', size %llu bytes", request.output.c_str(), (unsigned long long)size);
}

std::string convert(const SnapshotRequest& request)
{
    DumpReader input;
    if (!input.open(request.input))
        raiseError("cannot open input file '%s'", request.input.c_str());
    OutputFile output;
    if (!output.create(request.output))
        raiseError("cannot create output file '%s'", request.output.c_str());
    if (!input.measure())
        raiseError("cannot read input file '%s'", request.input.c_str());
    const DumpGeometry geometry = completeGeometry(request, input.size());
    if (hasPngSuffix(request.output))
        return writePngSnapshot(request, geometry, input, output);
    else
        return writeBmpSnapshot(request, geometry, input, output);
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return convert(readRequest(commandLine)); });
}
