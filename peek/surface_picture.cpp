#include "surface_picture.h"

#include <cstddef>

namespace {

PictureFormat formatOf(uint32_t colorMode)
{
    switch (colorMode) {
    case ARGB8888:
    case ARGB1555:
    case ARGB4444:
    case ARGB8565: return PictureFormat::Rgba;
    case RGB888:
    case RGB565:
    case RGB565_SWAPPED: return PictureFormat::Rgb;
    case AI88:
    case A8: return PictureFormat::GreyAlpha;
    default: return PictureFormat::Grey;
    }
}

// Writes `colour` in the channels of `format`.
uint8_t* storeColor(uint8_t* target, PictureFormat format, const DsColor& colour)
{
    switch (format) {
    case PictureFormat::Rgba:
        *target++ = colour.red;
        *target++ = colour.green;
        *target++ = colour.blue;
        *target++ = colour.alpha;
        break;
    case PictureFormat::Rgb:
        *target++ = colour.red;
        *target++ = colour.green;
        *target++ = colour.blue;
        break;
    case PictureFormat::GreyAlpha:
        *target++ = colour.red;
        *target++ = colour.alpha;
        break;
    case PictureFormat::Grey: *target++ = colour.red; break;
    }
    return target;
}

// The picture of the surface file in `format`, each stored pixel's colour
// given by `colourOf`.
template <typename ColourOf>
Picture drawSurface(const DsSurfaceFile& file, bool upright, PictureFormat format, ColourOf colourOf)
{
    const int32_t rotation = upright ? file.rotation : 0;
    const bool quarterTurn = rotation == 90 || rotation == 270;
    Picture picture;
    picture.width = quarterTurn ? file.height : file.width;
    picture.height = quarterTurn ? file.width : file.height;
    picture.format = format;
    picture.pixels.resize(size_t(picture.width) * picture.height * pictureChannels(picture.format));
    const uint64_t bytesPerPixel = dsBytesPerPixel(file.colorMode);
    uint8_t* target = picture.pixels.data();
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            const DsStoredPosition at = dsStoredPosition(rotation, picture.width, picture.height, x, y);
            const uint8_t* pixel = file.rows + uint64_t(at.row) * file.pitch + uint64_t(at.column) * bytesPerPixel;
            target = storeColor(target, picture.format, colourOf(pixel));
        }
    }
    return picture;
}

} // namespace

Picture surfacePicture(const DsSurfaceFile& file, bool upright)
{
    return drawSurface(file, upright, formatOf(file.colorMode),
        [&file](const uint8_t* pixel) { return dsPixelColor(file.colorMode, pixel); });
}

Picture palettePicture(const DsSurfaceFile& file, bool upright, const std::vector<DsColor>& palette)
{
    return drawSurface(file, upright, PictureFormat::Rgba, [&palette](const uint8_t* pixel) {
        return *pixel < palette.size() ? palette[*pixel] : DsColor{0, 0, 0, 255};
    });
}

bool readPaletteFile(const uint8_t* data, uint64_t size, std::vector<DsColor>& palette)
{
    constexpr uint64_t kHeaderBytes = 4, kEntryBytes = 4, kMaxEntries = 0xFFFF;
    if (size < kHeaderBytes)
        return false;
    const uint64_t entries =
        uint64_t(data[0]) | uint64_t(data[1]) << 8 | uint64_t(data[2]) << 16 | uint64_t(data[3]) << 24;
    if (entries == 0 || entries > kMaxEntries || size != kHeaderBytes + kEntryBytes * entries)
        return false;
    palette.clear();
    for (const uint8_t* entry = data + kHeaderBytes; entry < data + size; entry += kEntryBytes)
        palette.push_back(DsColor{entry[2], entry[1], entry[0], entry[3]});
    return true;
}
