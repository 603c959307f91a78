#include "pixpack_check.h"

ProgramResult pixpack(const std::vector<std::string>& arguments)
{
    return runProgram(PIXPACK_PATH, arguments);
}

std::string success(const std::string& image, size_t bytes)
{
    return kTranscript.success("Generated surface for '" + image + "', size " + std::to_string(bytes) + " bytes");
}

std::string asText(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

namespace {

void appendLittleEndian32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char(value >> shift));
}

} // namespace

// The surface file a correct pixpack writes, from libpng's decoding.
std::string expectedSurfaceFile(const Bytes& png, bool alphaOnly, int rotation)
{
    const ReferenceSurface reference = referenceSurface(png, alphaOnly);
    const uint32_t bpp = reference.colorMode == 0 ? 4 : reference.colorMode == 1 ? 3 : reference.colorMode == 7 ? 2 : 1;
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t width = quarter ? reference.height : reference.width;
    const uint32_t height = quarter ? reference.width : reference.height;
    std::string file;
    for (uint32_t word : {uint32_t(rotation), reference.colorMode, width, height, width * bpp})
        appendLittleEndian32(file, word);
    file += asText(rotateReference(reference.pixels, reference.width, reference.height, bpp, rotation));
    file.resize((file.size() + 3) & ~size_t(3), '\0');
    return file;
}

void Pixpack::SetUp()
{
    PngRecipe recipe;
    recipe.colorType = 2;
    recipe.width = 5;
    recipe.height = 3;
    recipe.pixels = randomBytes(45, 1);
    recipe.filters = {1, 4, 2};
    colorPng = buildPng(recipe);
    writeFileBytes(color, asText(colorPng));
    recipe.colorType = 0;
    recipe.pixels = randomBytes(15, 2);
    greyPng = buildPng(recipe);
    writeFileBytes(grey, asText(greyPng));
}
