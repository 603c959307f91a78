#include "surface_picture.h"

#include <cstddef>

namespace {

PictureFormat formatOf(uint32_t colorMode)
{
    switch (colorMode) {
    case ARGB8888:
    case ARGB1555:
    case ARGB4444: return PictureFormat::Rgba;
    case RGB888:
    case RGB565: return PictureFormat::Rgb;
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

} // namespace

Picture surfacePicture(const DsSurfaceFile& file, bool upright)
{
    const int32_t rotation = upright ? file.rotation : 0;
    const bool quarterTurn = rotation == 90 || rotation == 270;
    Picture picture;
    picture.width = quarterTurn ? file.height : file.width;
    picture.height = quarterTurn ? file.width : file.height;
    picture.format = formatOf(file.colorMode);
    picture.pixels.resize(size_t(picture.width) * picture.height * pictureChannels(picture.format));
    const uint64_t bytesPerPixel = dsBytesPerPixel(file.colorMode);
    uint8_t* target = picture.pixels.data();
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            const DsStoredPosition at = dsStoredPosition(rotation, picture.width, picture.height, x, y);
            const uint8_t* pixel = file.rows + uint64_t(at.row) * file.pitch + uint64_t(at.column) * bytesPerPixel;
            target = storeColor(target, picture.format, dsPixelColor(file.colorMode, pixel));
        }
    }
    return picture;
}
