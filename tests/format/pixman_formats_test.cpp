// pixpack --format on every PngSuite image, in every rotation, against an
// independent conversion: libpng's RGBA decoding converted by pixman into
// each format pixman has, and references written here for AI88, A8 and I8.
// The palette file of every indexed image is drawn back by assetpeek and
// must give libpng's colours.
#include "format_check.h"
#include "missing_data.h"

#include <gtest/gtest.h>
#include <pixman.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kSuiteDir = CORVANE_PNGSUITE_DIR;

void asStored(png_structp, png_infop)
{
}

struct PixmanFormat {
    const char* mode;            // --format
    uint32_t colorMode;          // DsColorMode in the file
    pixman_format_code_t format; // pixman's format of the same layout
    uint32_t bytesPerPixel;
};

const PixmanFormat kPixmanFormats[] = {
    {"ARGB8888", 0, PIXMAN_a8r8g8b8, 4},
    {"RGB888", 1, PIXMAN_r8g8b8, 3},
    {"RGB565", 2, PIXMAN_r5g6b5, 2},
    {"ARGB1555", 3, PIXMAN_a1r5g5b5, 2},
    {"ARGB4444", 4, PIXMAN_a4r4g4b4, 2},
    {"A8", 9, PIXMAN_a8, 1},
};

// libpng's R, G, B, A bytes as pixman's a8r8g8b8 words.
std::vector<uint32_t> argbWords(const Bytes& rgba)
{
    std::vector<uint32_t> words(rgba.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t(rgba[4 * i + 3]) << 24 | uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 |
            rgba[4 * i + 2];
    return words;
}

// pixman's SRC composite of the a8r8g8b8 image into `format`: rows without padding.
Bytes pixmanConvert(std::vector<uint32_t> argb, uint32_t width, uint32_t height, const PixmanFormat& format)
{
    const int sourceStride = int(width * 4);
    const int targetStride = int((width * format.bytesPerPixel + 3) / 4 * 4);
    std::vector<uint32_t> target(size_t(targetStride / 4) * height);
    pixman_image_t* source =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, int(width), int(height), argb.data(), sourceStride);
    pixman_image_t* destination =
        pixman_image_create_bits(format.format, int(width), int(height), target.data(), targetStride);
    pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, destination, 0, 0, 0, 0, 0, 0, int(width), int(height));
    pixman_image_unref(source);
    pixman_image_unref(destination);
    const auto* bytes = reinterpret_cast<const uint8_t*>(target.data());
    Bytes rows;
    for (uint32_t y = 0; y < height; ++y)
        rows.insert(rows.end(), bytes + size_t(y) * targetStride,
            bytes + size_t(y) * targetStride + width * format.bytesPerPixel);
    return rows;
}

// A suite image that pixpack takes, with libpng's decoding of it.
struct SuiteImage {
    std::string name, path;
    Bytes file, rgba;
    uint32_t width = 0, height = 0;
    int colorType = 0;
};

std::vector<SuiteImage> suiteImages()
{
    std::vector<SuiteImage> images;
    TemporaryDirectory folder;
    for (const std::string& name : pngFilesIn(kSuiteDir)) {
        SuiteImage image;
        image.name = name;
        image.path = kSuiteDir + "/" + name;
        const std::string bytes = readFileBytes(image.path);
        image.file.assign(bytes.begin(), bytes.end());
        LibpngImage header;
        if (!readWithLibpng(image.file, asStored, header) ||
            pixpackRun(image.path, folder.file("s.srf"), 0, {}).status != 0)
            continue; // refused by pixpack: its own tests say why
        image.rgba = referenceRgba(image.file);
        image.width = header.width;
        image.height = header.height;
        image.colorType = header.colorType;
        images.push_back(image);
    }
    return images;
}

const std::vector<SuiteImage>& suite()
{
    static const std::vector<SuiteImage> images = suiteImages();
    return images;
}

// AI88 written here: libpng's grey level (any of R, G, B) and alpha.
Bytes ai88Reference(const Bytes& rgba)
{
    Bytes pixels;
    for (size_t i = 0; i < rgba.size(); i += 4)
        pixels.insert(pixels.end(), {rgba[i], rgba[i + 3]});
    return pixels;
}

Bytes alphaReference(const Bytes& rgba)
{
    Bytes pixels;
    for (size_t i = 3; i < rgba.size(); i += 4)
        pixels.push_back(rgba[i]);
    return pixels;
}

const char* colorTypeName(int colorType)
{
    switch (colorType) {
    case 0: return "greyscale";
    case 2: return "RGB";
    case 3: return "indexed";
    case 4: return "greyscale with alpha";
    default: return "RGBA";
    }
}

class SuiteFormats : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (suite().empty())
            SKIP_FOR_MISSING("no PngSuite images under " << kSuiteDir);
    }

    // pixpack --format `mode` of `image` gives `expected` (surface file bytes or an error line).
    void expectFile(const SuiteImage& image, const std::string& mode, const std::string& expected, bool refused)
    {
        std::remove(surface.c_str());
        const ProgramResult result = pixpackRun(image.path, surface, GetParam(), {"--format", mode});
        const std::string label = image.name + " " + mode + " rotation " + std::to_string(GetParam());
        if (refused) {
            EXPECT_EQ(errorOf(result), expected) << label;
            EXPECT_EQ(result.status, 1) << label;
            EXPECT_FALSE(fileExists(surface)) << label;
            return;
        }
        EXPECT_EQ(result.status, 0) << label << "\n" << result.output;
        EXPECT_TRUE(readFileBytes(surface) == expected) << label;
    }

    TemporaryDirectory folder;
    const std::string surface = folder.file("image.srf");
};

// The six formats pixman has, byte for byte.
TEST_P(SuiteFormats, EqualPixmansConversionOfLibpngsDecoding)
{
    for (const SuiteImage& image : suite()) {
        const std::vector<uint32_t> argb = argbWords(image.rgba);
        for (const PixmanFormat& format : kPixmanFormats) {
            const Bytes pixels = pixmanConvert(argb, image.width, image.height, format);
            expectFile(image, format.mode,
                surfaceFileBytes(pixels, image.width, image.height, format.colorMode, format.bytesPerPixel, GetParam()),
                false);
            if (format.colorMode == 9) {
                EXPECT_TRUE(pixels == alphaReference(image.rgba)) << "pixman's a8 is the alpha channel";
            }
        }
    }
}

// The RGB565 word high byte first, and followed by the alpha byte.
Bytes swappedReference(const Bytes& rgb565)
{
    Bytes pixels;
    for (size_t i = 0; i < rgb565.size(); i += 2)
        pixels.insert(pixels.end(), {rgb565[i + 1], rgb565[i]});
    return pixels;
}

Bytes argb8565Reference(const Bytes& rgb565, const Bytes& alpha)
{
    Bytes pixels;
    for (size_t i = 0; i < alpha.size(); ++i)
        pixels.insert(pixels.end(), {rgb565[2 * i], rgb565[2 * i + 1], alpha[i]});
    return pixels;
}

const PixmanFormat& pixmanFormat(uint32_t colorMode)
{
    return *std::find_if(std::begin(kPixmanFormats), std::end(kPixmanFormats),
        [colorMode](const PixmanFormat& format) { return format.colorMode == colorMode; });
}

// The display's own modes: pixman's RGB565 with its bytes exchanged, and
// followed by pixman's A8; turned by 90 degrees, as 3-byte RGB888 pixels
// are in every rotation.
TEST(SuiteDisplayModes, ArePixmansRgb565Rearranged)
{
    if (suite().empty())
        SKIP_FOR_MISSING("no PngSuite images under " << kSuiteDir);
    TemporaryDirectory folder;
    const std::string file = folder.file("s.srf");
    for (const SuiteImage& image : suite()) {
        const std::vector<uint32_t> argb = argbWords(image.rgba);
        const Bytes rgb565 = pixmanConvert(argb, image.width, image.height, pixmanFormat(2));
        const Bytes alpha = pixmanConvert(argb, image.width, image.height, pixmanFormat(9));
        const struct {
            const char* mode;
            std::string expected;
        } cases[] = {
            {"RGB565_SWAPPED", surfaceFileBytes(swappedReference(rgb565), image.width, image.height, 10, 2, 90)},
            {"ARGB8565", surfaceFileBytes(argb8565Reference(rgb565, alpha), image.width, image.height, 11, 3, 90)},
        };
        for (const auto& c : cases) {
            const ProgramResult result = pixpackRun(image.path, file, 90, {"--format", c.mode});
            EXPECT_EQ(result.status, 0) << image.name << " " << c.mode << "\n" << result.output;
            EXPECT_TRUE(readFileBytes(file) == c.expected) << image.name << " " << c.mode;
        }
    }
}

// Dithered, the display's own modes store the dithered RGB565 words: the
// error diffusion sees the same colour channels (every fifth image).
TEST(SuiteDither, DisplayModesStoreTheDitheredRgb565)
{
    if (suite().empty())
        SKIP_FOR_MISSING("no PngSuite images under " << kSuiteDir);
    TemporaryDirectory folder;
    const std::string file = folder.file("s.srf");
    auto dithered = [&](const SuiteImage& image, const char* mode) {
        const ProgramResult result = pixpackRun(image.path, file, 0, {"--format", mode, "--dither"});
        EXPECT_EQ(result.status, 0) << image.name << " " << mode << "\n" << result.output;
        const std::string bytes = readFileBytes(file);
        return Bytes(bytes.begin() + std::min<size_t>(bytes.size(), 20), bytes.end());
    };
    for (size_t i = 0; i < suite().size(); i += 5) {
        const SuiteImage& image = suite()[i];
        Bytes rgb565 = dithered(image, "RGB565");
        rgb565.resize(size_t(image.width) * image.height * 2);
        const std::vector<uint32_t> argb = argbWords(image.rgba);
        const Bytes alpha = pixmanConvert(argb, image.width, image.height, pixmanFormat(9));
        Bytes swapped = dithered(image, "RGB565_SWAPPED"), argb8565 = dithered(image, "ARGB8565");
        swapped.resize(rgb565.size());
        argb8565.resize(alpha.size() * 3);
        EXPECT_TRUE(swapped == swappedReference(rgb565)) << image.name;
        EXPECT_TRUE(argb8565 == argb8565Reference(rgb565, alpha)) << image.name;
    }
}

// AI88 from grey images, I8 from indexed ones (the decoded indices, as
// without --format); each refused for the other colour types.
TEST_P(SuiteFormats, GreyAndIndexedModes)
{
    for (const SuiteImage& image : suite()) {
        const bool grey = image.colorType == 0 || image.colorType == 4;
        const std::string type = colorTypeName(image.colorType);
        expectFile(image, "AI88",
            grey ? surfaceFileBytes(ai88Reference(image.rgba), image.width, image.height, 7, 2, GetParam())
                 : "AI88 needs a greyscale image; this one is " + type,
            !grey);
        std::string plain;
        if (image.colorType == 3) {
            EXPECT_EQ(pixpackRun(image.path, surface, GetParam(), {}).status, 0);
            plain = readFileBytes(surface);
        }
        expectFile(image, "I8", image.colorType == 3 ? plain : "I8 needs an indexed image; this one is " + type,
            image.colorType != 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, SuiteFormats, testing::Values(0, 90, 180, 270),
    [](const testing::TestParamInfo<int>& info) { return "Rotation" + std::to_string(info.param); });

// The palette file of every indexed image, written beside a turned surface
// and drawn back upright by assetpeek, gives libpng's colours; for every
// other image --palette is refused and neither file is written.
TEST(PaletteFile, AssetpeekDrawsLibpngsColours)
{
    if (suite().empty())
        SKIP_FOR_MISSING("no PngSuite images under " << kSuiteDir);
    TemporaryDirectory folder;
    const std::string surface = folder.file("s.srf"), palette = folder.file("p.bin"), picture = folder.file("p.png");
    size_t indexed = 0;
    for (const SuiteImage& image : suite()) {
        const int rotation = int(indexed % 4) * 90;
        std::remove(surface.c_str());
        std::remove(palette.c_str());
        const ProgramResult pack = pixpackRun(image.path, surface, rotation, {"--palette", palette});
        if (image.colorType != 3) {
            EXPECT_EQ(errorOf(pack),
                std::string("--palette needs an indexed image; this one is ") + colorTypeName(image.colorType))
                << image.name;
            EXPECT_FALSE(fileExists(surface) || fileExists(palette)) << image.name;
            continue;
        }
        ++indexed;
        ASSERT_EQ(pack.status, 0) << image.name << pack.output;
        const ProgramResult peek =
            runProgram(ASSETPEEK_PATH, {"--surface", surface, "--palette", palette, "--upright", "--output", picture});
        ASSERT_EQ(peek.status, 0) << image.name << peek.output;
        LibpngImage drawn;
        const std::string png = readFileBytes(picture);
        ASSERT_TRUE(readWithLibpng(Bytes(png.begin(), png.end()), asStored, drawn)) << image.name;
        EXPECT_EQ(drawn.colorType, PNG_COLOR_TYPE_RGB_ALPHA) << image.name;
        EXPECT_TRUE(drawn.rows == image.rgba) << image.name;
        const size_t entries = readFileBytes(palette).size() / 4 - 1;
        EXPECT_GE(entries, 1u) << image.name;
        EXPECT_LE(entries, 256u) << image.name;
    }
    EXPECT_GE(indexed, 15u) << "the suite's indexed images";
}

} // namespace
