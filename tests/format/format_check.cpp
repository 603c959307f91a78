#include "format_check.h"

#include "tool_entries.h"

#include <gtest/gtest.h>

namespace {

uint32_t word(const std::string& file, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(file[offset + size_t(i)]);
    return value;
}

void appendWord(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char(value >> shift));
}

} // namespace

SurfaceFile readSurfaceFile(const std::string& path)
{
    const std::string file = readFileBytes(path);
    SurfaceFile surface;
    if (file.size() < 20) {
        ADD_FAILURE() << path << " is not a surface file";
        return surface;
    }
    surface.rotation = word(file, 0);
    surface.colorMode = word(file, 4);
    surface.width = word(file, 8);
    surface.height = word(file, 12);
    surface.pitch = word(file, 16);
    const uint64_t rowBytes = uint64_t(surface.height) * surface.pitch;
    EXPECT_EQ(file.size(), (20 + rowBytes + 3) / 4 * 4) << path;
    if (file.size() >= 20 + rowBytes)
        surface.rows.assign(file.begin() + 20, file.begin() + 20 + long(rowBytes));
    return surface;
}

std::string surfaceFileBytes(
    const Bytes& pixels, uint32_t width, uint32_t height, uint32_t colorMode, uint32_t bytesPerPixel, int rotation)
{
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t storedWidth = quarter ? height : width;
    std::string file;
    for (uint32_t value :
        {uint32_t(rotation), colorMode, storedWidth, quarter ? width : height, storedWidth * bytesPerPixel})
        appendWord(file, value);
    const Bytes rows = rotateReference(pixels, width, height, bytesPerPixel, rotation);
    file.append(rows.begin(), rows.end());
    file.resize((file.size() + 3) / 4 * 4, '\0');
    return file;
}

ProgramResult pixpackRun(
    const std::string& image, const std::string& output, int rotation, const std::vector<std::string>& options)
{
    std::vector<std::string> arguments = {"--image", image, "--output", output};
    if (rotation != 0)
        arguments.insert(arguments.end(), {"--rotation", std::to_string(rotation)});
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runEntryFunction(pixpack_main, "pixpack", arguments);
}

std::string errorOf(const ProgramResult& result)
{
    const size_t at = result.output.find("ERROR: ");
    if (at == std::string::npos)
        return "";
    const size_t end = result.output.find('\n', at);
    return result.output.substr(at + 7, end - at - 7);
}
