#include "surface_picture.h"

#include <cstddef>
#include <vector>

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

// Writes the colour `argb` in the channels of `format`; the grey formats
// take the red channel, which holds the grey level of I8 and AI88.
uint8_t* storeColor(uint8_t* target, PictureFormat format, uint32_t argb)
{
    const uint8_t red = uint8_t(ds::redOf(argb)), alpha = uint8_t(ds::alphaOf(argb));
    switch (format) {
    case PictureFormat::Rgba:
    case PictureFormat::Rgb:
        *target++ = red;
        *target++ = uint8_t(ds::greenOf(argb));
        *target++ = uint8_t(ds::blueOf(argb));
        if (format == PictureFormat::Rgba)
            *target++ = alpha;
        break;
    case PictureFormat::GreyAlpha:
        *target++ = red;
        *target++ = alpha;
        break;
    case PictureFormat::Grey: *target++ = red; break;
    }
    return target;
}

// A surface over the file's rows that owns nothing: stored in the file's
// rotation, so that its logical pixels are the upright image, or with
// `upright` false taken as unturned, so that they are the stored rows.
DsSurface fileSurface(const DsSurfaceFile& file, bool upright)
{
    if (upright)
        return DsSurface(file);
    return DsSurface(int32_t(file.width), int32_t(file.height), 0, file.colorMode, const_cast<uint8_t*>(file.rows),
        file.pitch);
}

// The rows of a compressed file decoded into `rows`, by drawing the file's
// surface, taken as unturned, into a surface over them: the same file
// uncompressed. An uncompressed file as it is.
DsSurfaceFile decodedFile(const DsSurfaceFile& file, std::vector<uint8_t>& rows)
{
    if (!file.isCompressed())
        return file;
    DsSurfaceFile unturned = file;
    unturned.rotation = 0;
    const DsSurface coded(unturned);
    rows.resize(size_t(uint64_t(file.height) * file.pitch));
    DsSurface target(int32_t(file.width), int32_t(file.height), 0, file.colorMode, rows.data(), file.pitch);
    target.blit(coded, DsRect(0, 0, int32_t(file.width), int32_t(file.height)), 0, 0);
    DsSurfaceFile plain{file.rotation, file.colorMode, file.width, file.height, file.pitch, rows.data()};
    return plain;
}

// Every logical pixel of `surface`, as DsSurface::pixel reads it, in `format`.
Picture drawSurface(const DsSurface& surface, PictureFormat format)
{
    Picture picture;
    picture.width = uint32_t(surface.logicalWidth());
    picture.height = uint32_t(surface.logicalHeight());
    picture.format = format;
    picture.pixels.resize(size_t(picture.width) * picture.height * pictureChannels(picture.format));
    uint8_t* target = picture.pixels.data();
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
            target = storeColor(target, format, surface.pixel(int32_t(x), int32_t(y)));
    return picture;
}

} // namespace

Picture surfacePicture(const DsSurfaceFile& file, bool upright)
{
    std::vector<uint8_t> rows;
    return drawSurface(fileSurface(decodedFile(file, rows), upright), formatOf(file.colorMode));
}

Picture palettePicture(const DsSurfaceFile& file, bool upright, const DsPaletteFile& palette)
{
    std::vector<uint8_t> rows;
    DsSurface surface = fileSurface(decodedFile(file, rows), upright);
    surface.usePalette(palette.entries, palette.count, true);
    return drawSurface(surface, PictureFormat::Rgba);
}
