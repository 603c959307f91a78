// Decoding time of a large RGBA PNG: our decoder against libpng.
//
// Makes a 4096 x 4096 RGBA image with libpng (default compression and
// adaptive filters), decodes it several times with decodePng and with
// libpng, and prints the best time of each and their ratio.
#include "png_decoder.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kSide = 4096;  // width and height of the image
constexpr int kRepetitions = 3;   // best of this many runs is reported
constexpr uint32_t kChannels = 4; // RGBA

using Bytes = std::vector<uint8_t>;

// Smooth gradients with some noise, so that every filter type gets used.
Bytes makePixels()
{
    std::mt19937 noise(1);
    Bytes pixels(size_t(kSide) * kSide * kChannels);
    for (uint32_t y = 0; y < kSide; ++y) {
        uint8_t* row = &pixels[size_t(y) * kSide * kChannels];
        for (uint32_t x = 0; x < kSide; ++x) {
            row[4 * x] = uint8_t(x / 16 + (noise() & 7));
            row[4 * x + 1] = uint8_t(y / 16);
            row[4 * x + 2] = uint8_t((x + y) / 32 + (noise() & 3));
            row[4 * x + 3] = uint8_t(255 - (x ^ y) / 64);
        }
    }
    return pixels;
}

void appendToBuffer(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

bool encode(const Bytes& pixels, Bytes& file)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, appendToBuffer, flushNothing);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < kSide; ++y)
        png_write_row(png, &pixels[size_t(y) * kSide * kChannels]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct MemoryReader {
    const Bytes* file; // PNG being read
    size_t offset;     // next byte to hand out
};

void readFromBuffer(png_structp png, png_bytep data, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->offset + length > reader->file->size())
        png_error(png, "read past the end");
    std::memcpy(data, reader->file->data() + reader->offset, length);
    reader->offset += length;
}

bool decodeWithLibpng(const Bytes& file, Bytes& pixels)
{
    MemoryReader reader{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readFromBuffer);
    png_read_info(png, info);
    for (uint32_t y = 0; y < kSide; ++y)
        png_read_row(png, &pixels[size_t(y) * kSide * kChannels], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

template <class Work>
double bestMilliseconds(Work work)
{
    double best = 1e300;
    for (int i = 0; i < kRepetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!work())
            return -1;
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

} // namespace

int main()
{
    const Bytes pixels = makePixels();
    Bytes file;
    if (!encode(pixels, file)) {
        std::puts("cannot encode the benchmark image");
        return 1;
    }
    std::printf("image %u x %u RGBA, PNG file %zu bytes, %zu bytes of pixels\n", kSide, kSide, file.size(),
                pixels.size());

    const double ours = bestMilliseconds([&] {
        DsSurface* surface = decodePng(file.data(), file.size(), false, 0);
        if (!surface)
            return false;
        surface->release();
        delete surface;
        return true;
    });
    Bytes decoded(pixels.size());
    const double theirs = bestMilliseconds([&] { return decodeWithLibpng(file, decoded); });
    if (ours < 0 || theirs < 0) {
        std::puts("a decoder refused the benchmark image");
        return 1;
    }
    std::printf("decodePng: %.1f ms (best of %d)\n", ours, kRepetitions);
    std::printf("libpng:    %.1f ms (best of %d)\n", theirs, kRepetitions);
    std::printf("ratio decodePng / libpng: %.2f\n", ours / theirs);
    return 0;
}
