#include "png_check.h"

#include <gtest/gtest.h>

SurfacePtr decodeFile(const Bytes& file, bool alphaOnly, int rotation)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() ? file.size() : 1]);
    if (!file.empty())
        std::copy(file.begin(), file.end(), copy.get());
    return SurfacePtr(decodePng(copy.get(), file.size(), alphaOnly, rotation));
}

Bytes serialized(const DsSurface& surface)
{
    Bytes file(size_t(surface.serialize(nullptr)));
    surface.serialize(file.data());
    return file;
}

void expectSurfaceMatchesReference(const Bytes& file, bool alphaOnly, int rotation, const std::string& label)
{
    SCOPED_TRACE(label);
    const ReferenceSurface reference = referenceSurface(file, alphaOnly);
    ASSERT_TRUE(reference.decoded) << "libpng refused the file";
    SurfacePtr surface = decodeFile(file, alphaOnly, rotation);
    ASSERT_TRUE(surface) << "the decoder refused the file";
    ASSERT_EQ(surface->colorMode(), reference.colorMode);
    const uint32_t bpp = dsBytesPerPixel(reference.colorMode);
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t width = quarter ? reference.height : reference.width;
    const uint32_t height = quarter ? reference.width : reference.height;
    ASSERT_EQ(surface->width(), int32_t(width));
    ASSERT_EQ(surface->height(), int32_t(height));
    ASSERT_EQ(surface->pitch(), width * bpp);
    EXPECT_EQ(surface->rotation(), rotation);
    const Bytes expected = rotateReference(reference.pixels, reference.width, reference.height, bpp, rotation);
    const Bytes pixels(surface->pixels(), surface->pixels() + size_t(height) * width * bpp);
    EXPECT_TRUE(pixels == expected) << "pixels differ from libpng's";
    const size_t paletteBytes = size_t(surface->paletteSize()) * (surface->paletteHasAlpha() ? 4 : 3);
    const Bytes palette(surface->palette(), surface->palette() + (surface->palette() ? paletteBytes : 0));
    EXPECT_TRUE(palette == reference.palette) << "palette differs from libpng's";
}
