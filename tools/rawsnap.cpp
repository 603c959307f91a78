// rawsnap: raw RGB888/RGB565 framebuffer dump -> BMP image.
#include "bmp_writer.h"
#include "command_line.h"
#include "file_io.h"
#include "tool_frame.h"

#include <cstdio>
#include <string>

namespace {

constexpr ToolIdentity kIdentity = {"rawsnap", "Snapshot Converter", 0x0100};

void registerOptions(CommandLine& commandLine)
{
    commandLine.addOption("--fb <raw framebuffer file>", "Input framebuffer file");
    commandLine.addOption("--width <width in pixels>", "Specify the framebuffer width in pixels");
    commandLine.addOption("--height <height in pixels>", "Specify the framebuffer height in pixels");
    commandLine.addOption("--pitch <pitch in bytes>", "Specify the framebuffer pitch in bytes");
    commandLine.addOption("--format <color format: RGB888 | RGB565>", "Specify the framebuffer color format");
    commandLine.addOption("--output <output file>", "Output BMP file");
}

uint32_t getDimension(CommandLine& commandLine, const char* option)
{
    uint32_t value = 0;
    UnsignedArgumentParser parser(value, 10);
    if (!commandLine.getOption(option, "", parser))
        throw CommandLineException(option, "missing argument");
    if (value < 1 || value > kSnapshotMaxDimension)
        throw CommandLineException(
            option, "invalid argument. Must be between 1 and " + std::to_string(kSnapshotMaxDimension) + ".");
    return value;
}

uint16_t getBitsPerPixel(CommandLine& commandLine)
{
    std::string format;
    StringArgumentParser parser(format);
    if (!commandLine.getOption("--format", "", parser))
        throw CommandLineException("--format", "missing argument");
    if (format == "RGB888")
        return 24;
    if (format == "RGB565")
        return 16;
    raiseError("invalid color format");
}

struct SnapshotRequest {
    std::string input;
    std::string output;
    FramebufferGeometry geometry;
};

SnapshotRequest readRequest(CommandLine& commandLine)
{
    SnapshotRequest request{};
    StringArgumentParser inputParser(request.input);
    if (!commandLine.getOption("--fb", "", inputParser))
        throw CommandLineException("--fb", "missing file name");
    request.geometry.width = getDimension(commandLine, "--width");
    request.geometry.height = getDimension(commandLine, "--height");
    request.geometry.bitsPerPixel = getBitsPerPixel(commandLine);

    UnsignedArgumentParser pitchParser(request.geometry.pitch, 10);
    if (!commandLine.getOption("--pitch", "", pitchParser))
        throw CommandLineException("--pitch", "missing argument");
    const uint32_t lineBytes = bmpRowLength(request.geometry);
    if (lineBytes > request.geometry.pitch)
        throw CommandLineException("--pitch",
            formatText("invalid argument. Must be at least %u bytes (%u pixels x %u).", unsigned(lineBytes),
                unsigned(request.geometry.width), unsigned(request.geometry.bitsPerPixel / 8)));

    StringArgumentParser outputParser(request.output);
    if (!commandLine.getOption("--output", "", outputParser))
        throw CommandLineException("--output", "missing output file");
    commandLine.checkUnused();
    return request;
}

std::string convert(const SnapshotRequest& request)
{
    InputFile input;
    if (!input.open(request.input))
        raiseError("cannot open input file '%s'", request.input.c_str());
    OutputFile output;
    if (!output.create(request.output))
        raiseError("cannot create output file '%s'", request.output.c_str());
    // Mapped rather than read: the rows go from the dump's pages to the BMP
    // in one copy inside the kernel, as cp copies.
    if (!input.mapAll() && !input.readAll())
        raiseError("cannot read input file '%s'", request.input.c_str());
    input.close();
    if (input.size() < requiredDumpSize(request.geometry))
        raiseError("input file '%s' is too small for the given geometry", request.input.c_str());

    const bool written = writeBmp(request.geometry, input.data(),
        [&output](const iovec* buffers, int count) { return output.writeVector(buffers, count); });
    if (!written || !output.commit())
        raiseError("cannot write output file '%s'", request.output.c_str());
    return formatText(
        "Generated BMP file '%s', size %u bytes", request.output.c_str(), unsigned(bmpFileSize(request.geometry)));
}

} // namespace

int main(int argc, char** argv)
{
    return runStandardTool(kIdentity, argc, argv, registerOptions,
        [](CommandLine& commandLine) { return convert(readRequest(commandLine)); });
}
