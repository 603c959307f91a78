#include "png_builder.h"

#include <dirent.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

namespace {

void appendBigEndian32(Bytes& out, uint32_t value)
{
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

uint8_t predictor(uint8_t filter, int left, int above, int aboveLeft)
{
    switch (filter) {
    case 1:
        return uint8_t(left);
    case 2:
        return uint8_t(above);
    case 3:
        return uint8_t((left + above) / 2);
    case 4: {
        const int p = left + above - aboveLeft;
        const int pa = std::abs(p - left), pb = std::abs(p - above), pc = std::abs(p - aboveLeft);
        if (pa <= pb && pa <= pc)
            return uint8_t(left);
        return uint8_t(pb <= pc ? above : aboveLeft);
    }
    default:
        return 0;
    }
}

struct MemoryReader {
    const Bytes* file; // the PNG being read
    size_t offset;     // next byte to hand to libpng
};

void readFromMemory(png_structp png, png_bytep target, png_size_t count)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->offset + count > reader->file->size())
        png_error(png, "read past the end");
    std::memcpy(target, reader->file->data() + reader->offset, count);
    reader->offset += count;
}

void ignoreWarning(png_structp, png_const_charp) {}

// Ends the read quietly; readWithLibpng reports the failure.
void quietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Leaves libpng's output as the file has it, a colour key included.
void keepAsIs(png_structp, png_infop) {}

// Expands a colour key to an alpha channel, as the surface keeps it.
void expandColorKey(png_structp png, png_infop info)
{
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
}

Bytes greyRamp()
{
    Bytes ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    return ramp;
}

// Reorders every pixel of `channels` bytes: R and B exchanged.
Bytes swapRedBlue(const Bytes& rows, uint32_t channels)
{
    Bytes out = rows;
    for (size_t i = 0; i + channels <= out.size(); i += channels)
        std::swap(out[i], out[i + 2]);
    return out;
}

} // namespace

// Kept free of objects with destructors between setjmp and longjmp.
bool readWithLibpng(const Bytes& file, LibpngSetup setup, LibpngImage& image)
{
    MemoryReader reader{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);
    png_get_IHDR(png, info, &image.width, &image.height, &image.bitDepth, &image.colorType, &image.interlace,
                 nullptr, nullptr);
    image.colorKey = image.colorType != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS);
    setup(png, info);
    if (image.interlace)
        png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image.channels = png_get_channels(png, info);
    image.rowBytes = png_get_rowbytes(png, info);
    image.rows.resize(image.rowBytes * image.height);
    for (int pass = 0, passes = image.interlace ? 7 : 1; pass < passes; ++pass)
        for (png_uint_32 row = 0; row < image.height; ++row)
            png_read_row(png, image.rows.data() + row * image.rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_colorp colors = nullptr;
    int colorCount = 0;
    if (png_get_PLTE(png, info, &colors, &colorCount))
        for (int i = 0; i < colorCount; ++i)
            image.plte.insert(image.plte.end(), {colors[i].red, colors[i].green, colors[i].blue});
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (image.colorType == PNG_COLOR_TYPE_PALETTE && png_get_tRNS(png, info, &alphas, &alphaCount, nullptr))
        image.trns.assign(alphas, alphas + alphaCount);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

uint32_t pngChannels(uint8_t colorType)
{
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

Bytes randomBytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(count);
    for (uint8_t& byte : bytes)
        byte = uint8_t(generator());
    return bytes;
}

Bytes filterRows(const PngSpec& spec)
{
    const uint32_t bpp = pngChannels(spec.colorType);
    const size_t rowBytes = size_t(spec.width) * bpp;
    Bytes out;
    for (uint32_t row = 0; row < spec.height; ++row) {
        const uint8_t filter = spec.filters.empty() ? 0 : spec.filters[row % spec.filters.size()];
        out.push_back(filter);
        const uint8_t* raw = spec.pixels.data() + row * rowBytes;
        const uint8_t* up = row > 0 ? raw - rowBytes : nullptr;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= bpp ? raw[i - bpp] : 0;
            const int above = up ? up[i] : 0;
            const int aboveLeft = up && i >= bpp ? up[i - bpp] : 0;
            out.push_back(uint8_t(raw[i] - predictor(filter, left, above, aboveLeft)));
        }
    }
    return out;
}

Bytes zlibCompress(const Bytes& data, int level, int strategy)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, 15, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    Bytes out(deflateBound(&stream, uLong(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

Bytes pngChunk(const std::string& type, const Bytes& data)
{
    Bytes out;
    appendBigEndian32(out, uint32_t(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), uInt(data.size()));
    appendBigEndian32(out, uint32_t(crc));
    return out;
}

Bytes ihdrData(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, uint8_t interlace)
{
    Bytes data;
    appendBigEndian32(data, width);
    appendBigEndian32(data, height);
    data.insert(data.end(), {bitDepth, colorType, 0, 0, interlace});
    return data;
}

Bytes pngSignature()
{
    return {137, 80, 78, 71, 13, 10, 26, 10};
}

Bytes assemblePng(const std::vector<Bytes>& chunks)
{
    Bytes file = pngSignature();
    for (const Bytes& chunk : chunks)
        file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

Bytes buildPng(const PngSpec& spec)
{
    std::vector<Bytes> chunks{
        pngChunk("IHDR", ihdrData(spec.width, spec.height, spec.bitDepth, spec.colorType, spec.interlace))};
    if (!spec.palette.empty())
        chunks.push_back(pngChunk("PLTE", spec.palette));
    if (!spec.transparency.empty())
        chunks.push_back(pngChunk("tRNS", spec.transparency));
    const Bytes stream = zlibCompress(filterRows(spec), spec.level, spec.strategy);
    const size_t piece = spec.idatPiece ? spec.idatPiece : stream.size();
    for (size_t at = 0; at < stream.size();) {
        size_t end = std::min(stream.size(), at + piece);
        if (stream.size() - end == 1)
            end = stream.size(); // IDATs under 2 bytes are refused: the last byte joins its neighbour
        chunks.push_back(pngChunk("IDAT", Bytes(stream.begin() + at, stream.begin() + end)));
        at = end;
    }
    chunks.push_back(pngChunk("IEND", {}));
    return assemblePng(chunks);
}

ReferenceSurface referenceSurface(const Bytes& file, bool alphaOnly)
{
    ReferenceSurface surface;
    LibpngImage image;
    if (!readWithLibpng(file, alphaOnly ? keepAsIs : expandColorKey, image))
        return surface;
    surface.decoded = true;
    surface.width = image.width;
    surface.height = image.height;
    switch (image.colorType) {
    case PNG_COLOR_TYPE_GRAY:
        surface.colorMode = alphaOnly ? 9 : image.colorKey ? 7 : 5;
        surface.pixels = image.rows;
        if (!alphaOnly)
            surface.palette = greyRamp();
        break;
    case PNG_COLOR_TYPE_RGB:
        surface.colorMode = image.colorKey ? 0 : 1;
        surface.pixels = swapRedBlue(image.rows, image.colorKey ? 4 : 3);
        break;
    case PNG_COLOR_TYPE_PALETTE:
        surface.colorMode = 5;
        surface.pixels = image.rows;
        for (size_t i = 0; i * 3 < image.plte.size(); ++i) {
            surface.palette.insert(surface.palette.end(), {image.plte[3 * i + 2], image.plte[3 * i + 1], image.plte[3 * i]});
            if (!image.trns.empty())
                surface.palette.push_back(i < image.trns.size() ? image.trns[i] : 255);
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        surface.colorMode = 7;
        surface.pixels = image.rows;
        surface.palette = greyRamp();
        break;
    default:
        surface.colorMode = 0;
        surface.pixels = swapRedBlue(image.rows, 4);
        break;
    }
    return surface;
}

Bytes rotateReference(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel, int rotation)
{
    const bool quarter = rotation == 90 || rotation == 270;
    const uint32_t storedWidth = quarter ? height : width;
    const uint32_t storedHeight = quarter ? width : height;
    Bytes out(pixels.size());
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t column = x, row = y;
            if (rotation == 90) {
                column = y;
                row = storedHeight - 1 - x;
            } else if (rotation == 180) {
                column = storedWidth - 1 - x;
                row = storedHeight - 1 - y;
            } else if (rotation == 270) {
                column = storedWidth - 1 - y;
                row = x;
            }
            std::memcpy(&out[(size_t(row) * storedWidth + column) * bytesPerPixel],
                        &pixels[(size_t(y) * width + x) * bytesPerPixel], bytesPerPixel);
        }
    }
    return out;
}

std::vector<std::string> pngFilesIn(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}
