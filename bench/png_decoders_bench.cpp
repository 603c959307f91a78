// Decoding time of PNG files: decodePng against the decoders a user would
// pick instead (libpng, libspng, stb_image, lodepng).
//
// Usage: png_decoders_bench [--runs N] file.png ...
// Every decoder decodes the same file from memory, into memory of its own,
// N times (default 5); the best time of each is printed in milliseconds and
// as a ratio to libpng's. Each decoder is asked for the file's own pixel
// format with samples of 8 bits (16-bit samples cut to their high byte, as
// pixpack keeps them), so no one pays for a conversion the others skip. The program checks
// nothing but that every decoder accepts the file and yields as many pixel
// bytes as the others; a refusal or a disagreement is reported and makes the
// exit status 1.
#include "libpng_rows.h"
#include "png_decoder.h"
#include "runs_option.h"

#include <lodepng.h>
#include <png.h>
#include <spng.h>

// stb_image is a header library: its code is compiled here, with its own
// warnings silenced.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t kRefused = 0; // pixel byte count of a decode that failed

// One decode of a whole file held in memory; returns the pixel bytes it
// produced, kRefused on failure. The pixels are released before returning.
using Decoder = size_t (*)(const Bytes& file);

size_t decodeWithOurs(const Bytes& file)
{
    DsSurface* surface = decodePng(file.data(), file.size(), false, 0);
    if (!surface)
        return kRefused;
    const size_t bytes = size_t(surface->width()) * size_t(surface->height()) * surface->bytesPerPixel();
    surface->release();
    delete surface;
    return bytes;
}

struct MemoryReader {
    const Bytes* file; // PNG being read
    size_t offset;     // next byte to hand out
};

void readFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->file->size() - reader->offset)
        png_error(png, "read past the end");
    std::memcpy(data, reader->file->data() + reader->offset, length);
    reader->offset += length;
}

// 8-bit samples: 16-bit ones cut to their high byte, as pixpack keeps them.
void requestEightBitSamples(png_structp png, png_infop)
{
    png_set_strip_16(png);
}

size_t decodeWithLibpng(const Bytes& file)
{
    MemoryReader reader{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return kRefused;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    Bytes pixels;
    std::vector<png_bytep> rows;
    const bool read = readRowsWithLibpng(png, info, requestEightBitSamples, pixels, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return read ? pixels.size() : kRefused;
}

size_t decodeWithSpng(const Bytes& file)
{
    spng_ctx* context = spng_ctx_new(0);
    if (!context)
        return kRefused;
    size_t bytes = kRefused;
    spng_ihdr header{};
    const bool readable =
        spng_set_png_buffer(context, file.data(), file.size()) == 0 && spng_get_ihdr(context, &header) == 0;
    // libspng has no "strip 16" of its own: 16-bit images are asked for as 8-bit RGB(A).
    const bool alpha = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    const int format = header.bit_depth != 16 ? SPNG_FMT_PNG : alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    if (readable && spng_decoded_image_size(context, format, &bytes) == 0) {
        void* pixels = std::malloc(bytes);
        if (!pixels || spng_decode_image(context, pixels, bytes, format, 0) != 0)
            bytes = kRefused;
        std::free(pixels);
    } else {
        bytes = kRefused;
    }
    spng_ctx_free(context);
    return bytes;
}

size_t decodeWithStb(const Bytes& file)
{
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &channels, 0);
    if (!pixels)
        return kRefused;
    stbi_image_free(pixels);
    return size_t(width) * size_t(height) * size_t(channels);
}

size_t decodeWithLodepng(const Bytes& file)
{
    unsigned width = 0, height = 0;
    LodePNGState state;
    lodepng_state_init(&state);
    const bool inspected = lodepng_inspect(&width, &height, &state, file.data(), file.size()) == 0;
    const LodePNGColorType colorType = state.info_png.color.colortype;
    const size_t channels = lodepng_get_channels(&state.info_png.color);
    lodepng_state_cleanup(&state);
    unsigned char* pixels = nullptr;
    if (!inspected || lodepng_decode_memory(&pixels, &width, &height, file.data(), file.size(), colorType, 8) != 0) {
        std::free(pixels);
        return kRefused;
    }
    std::free(pixels);
    return size_t(width) * size_t(height) * channels;
}

struct NamedDecoder {
    const char* name; // as printed
    Decoder decode;   // one whole decode
};

// libpng first: it is what every ratio is taken against.
constexpr NamedDecoder kDecoders[] = {
    {"libpng", decodeWithLibpng},
    {"decodePng", decodeWithOurs},
    {"libspng", decodeWithSpng},
    {"stb_image", decodeWithStb},
    {"lodepng", decodeWithLodepng},
};

// Best wall time of `runs` decodes in milliseconds, or a negative value when
// a decode fails; `bytes` gets the pixel byte count of the last decode.
double bestMilliseconds(const NamedDecoder& decoder, const Bytes& file, int runs, size_t& bytes)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        bytes = decoder.decode(file);
        const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
        if (bytes == kRefused)
            return -1;
        best = std::min(best, elapsed.count());
    }
    return best;
}

bool readFile(const char* path, Bytes& contents)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool read = std::fseek(file, 0, SEEK_END) == 0;
    const long size = read ? std::ftell(file) : -1;
    read = size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (read) {
        contents.resize(size_t(size));
        read = std::fread(contents.data(), contents.size(), 1, file) == 1;
    }
    std::fclose(file);
    return read;
}

// Prints one table for `path`; false when a decoder refused it or the
// decoders disagree on the size of the image.
bool benchmarkFile(const char* path, int runs)
{
    Bytes file;
    if (!readFile(path, file)) {
        std::printf("cannot read '%s'\n", path);
        return false;
    }
    std::printf("\n%s: %zu bytes, best of %d runs\n", path, file.size(), runs);
    std::printf("  %-10s %10s %10s %14s\n", "decoder", "ms", "x libpng", "pixel bytes");
    bool agreed = true;
    double reference = 0;
    size_t referenceBytes = 0;
    for (const NamedDecoder& decoder : kDecoders) {
        size_t bytes = 0;
        const double milliseconds = bestMilliseconds(decoder, file, runs, bytes);
        if (milliseconds < 0) {
            std::printf("  %-10s refused the file\n", decoder.name);
            agreed = false;
            continue;
        }
        if (&decoder == &kDecoders[0]) {
            reference = milliseconds;
            referenceBytes = bytes;
        }
        const double ratio = reference > 0 ? milliseconds / reference : 0;
        std::printf("  %-10s %10.1f %10.2f %14zu%s\n", decoder.name, milliseconds, ratio, bytes,
            bytes == referenceBytes ? "" : "  (size differs from libpng)");
        agreed = agreed && bytes == referenceBytes;
    }
    return agreed;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 0;
    const int first = readRunsOption(argc, argv, runs);
    if (first == 0 || first >= argc) {
        std::printf("usage: %s [--runs 1..%d] file.png ...\n", argv[0], kMaxRuns);
        return 1;
    }
    bool allDecoded = true;
    for (int i = first; i < argc; ++i)
        allDecoded = benchmarkFile(argv[i], runs) && allDecoded;
    return allDecoded ? 0 : 1;
}
