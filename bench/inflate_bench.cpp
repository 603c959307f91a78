// Decoding speed of our Deflate decoder against zlib's inflate and libdeflate
// on zlib level-6 streams of filtered image data. Prints the figures; it
// checks nothing but that every decoder gives the original bytes.
//
// Usage: inflate_bench [--runs N] [file.png ...]
// For each PNG file given (bench/run.sh makes them), the IDAT data are
// inflated with zlib and the filtered scanlines deflated again at level 6, so
// that every image is measured on the same kind of stream whatever made the
// file. Without files, a photo-like 2048 x 2048 RGBA image made here is used.
//
// The decoders run interleaved, one decode each per round, and the best of N
// rounds (default 5) is reported, so that the ratios to zlib compare times
// taken under the same load. Times are the thread's processor time, which
// leaves out the time other programs on a shared machine take from it. Ours runs with each compiled variant of its fast
// loop, without and with a workspace, on the whole stream (the table-driven
// path), in 8 KiB pieces (IDAT-sized, with the pauses in between) and in
// 15-byte pieces, which keep it on the bit-at-a-time path.
#include "inflate_internal.h"
#include "png_bytes.h"
#include "runs_option.h"
#include "streams.h"

#include "zlib_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using inflate_detail::fast_variant_t;

constexpr uint32_t kSide = 2048;                      // width and height of the made image
constexpr uint32_t kChannels = 4;                     // RGBA
constexpr uint32_t kRowBytes = 1 + kSide * kChannels; // filter byte and pixels
constexpr size_t kIdatPiece = 8192;                   // what PNG encoders usually put in one IDAT
constexpr size_t kSlowPiece = 15;                     // below the fast path's input threshold
constexpr size_t kPngSignatureBytes = 8;
constexpr size_t kChunkOverhead = 12; // length, type and CRC around the data

// Smooth gradients and a few soft blobs with sensor-like noise, each row
// filtered with the Sub filter as PNG encoders do for photos.
Bytes makeFilteredImage()
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 2.5);
    Bytes image(static_cast<size_t>(kRowBytes) * kSide);
    std::vector<uint8_t> row(kSide * kChannels);
    for (uint32_t y = 0; y < kSide; ++y) {
        for (uint32_t x = 0; x < kSide; ++x) {
            double blob = 60.0 * std::sin(x / 150.0) * std::cos(y / 210.0);
            double values[kChannels] = {x / 9.0 + blob, y / 10.0 + 0.5 * blob, (x + y) / 18.0 - blob, 255.0};
            for (uint32_t c = 0; c < kChannels; ++c) {
                double v = values[c] + (c < 3 ? noise(random) : 0.0);
                row[x * kChannels + c] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
            }
        }
        uint8_t* out = &image[static_cast<size_t>(y) * kRowBytes];
        out[0] = 1; // Sub
        for (uint32_t i = 0; i < kSide * kChannels; ++i) {
            uint8_t left = i >= kChannels ? row[i - kChannels] : 0;
            out[1 + i] = static_cast<uint8_t>(row[i] - left);
        }
    }
    return image;
}

// The filtered scanlines of a PNG file: its IDAT data joined and inflated
// with zlib. Empty when the file cannot be read or is not a whole PNG.
Bytes filteredScanlines(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    const Bytes png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Bytes zlibStream;
    uint32_t width = 0;
    uint32_t height = 0;
    for (size_t at = kPngSignatureBytes; at + kChunkOverhead <= png.size();) {
        const uint32_t length = pngLoadBig32(&png[at]);
        if (length > png.size() - at - kChunkOverhead)
            return {};
        const uint8_t* type = &png[at + 4];
        const uint8_t* data = type + 4;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 8) {
            width = pngLoadBig32(data);
            height = pngLoadBig32(data + 4);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            zlibStream.insert(zlibStream.end(), data, data + length);
        }
        at += kChunkOverhead + length;
    }
    // Room for 8 bytes per pixel and a filter byte per row: every 8-bit and 16-bit layout.
    Bytes filtered(static_cast<size_t>(height) * (8ull * width + 1));
    uLongf size = static_cast<uLongf>(filtered.size());
    if (zlibStream.empty() || uncompress(filtered.data(), &size, zlibStream.data(), zlibStream.size()) != Z_OK)
        return {};
    filtered.resize(size);
    return filtered;
}

// Our decoder, given the input in pieces of `piece` bytes and all output space at once.
bool decodeOurs(const Bytes& stream, Bytes& out, size_t piece, inflate_workspace_t* workspace)
{
    inflate_t inflater = {};
    inflater.workspace = workspace;
    inflate_process(&inflater, nullptr);
    inflater.output = out.data();
    inflater.output_space = static_cast<uint32_t>(out.size());
    bitstream_t bits = {};
    inflate_result_t result = INFLATE_NEED_INPUT;
    for (size_t position = 0; position < stream.size() && result == INFLATE_NEED_INPUT; position += piece) {
        bits.cur = stream.data() + position;
        bits.bytes_left = static_cast<uint32_t>(std::min(piece, stream.size() - position));
        result = inflate_process(&inflater, &bits);
    }
    return result == INFLATE_DONE;
}

bool decodeZlib(const Bytes& stream, Bytes& out)
{
    z_stream z = {};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytes::value_type*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return result == Z_STREAM_END;
}

// One decompressor is made per decode, as zlib's stream is.
bool decodeLibdeflate(const Bytes& stream, Bytes& out)
{
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    const libdeflate_result result =
        libdeflate_deflate_decompress(decompressor, stream.data(), stream.size(), out.data(), out.size(), nullptr);
    libdeflate_free_decompressor(decompressor);
    return result == LIBDEFLATE_SUCCESS;
}

struct Contender {
    std::string name;
    fast_variant_t variant; // the variant of our fast loop it runs with
    bool (*decode)(const Bytes& stream, Bytes& out);
    double best; // best time so far in seconds; negative once a decode was wrong
};

template <size_t piece, bool withWorkspace>
bool decodeOursWith(const Bytes& stream, Bytes& out)
{
    static inflate_workspace_t workspace;
    return decodeOurs(stream, out, piece == 0 ? stream.size() : piece, withWorkspace ? &workspace : nullptr);
}

std::vector<Contender> makeContenders()
{
    std::vector<Contender> contenders = {
        {"zlib inflate", fast_variant_t::BEST, decodeZlib, 1e9},
        {"libdeflate", fast_variant_t::BEST, decodeLibdeflate, 1e9},
    };
    struct Variant {
        const char* name;
        fast_variant_t variant;
    };
    for (const Variant& v : {Variant{"best", fast_variant_t::BEST}, Variant{"portable", fast_variant_t::PORTABLE}}) {
        const std::string suffix = std::string(", ") + v.name;
        contenders.push_back({"ours" + suffix, v.variant, decodeOursWith<0, false>, 1e9});
        contenders.push_back({"ours+workspace" + suffix, v.variant, decodeOursWith<0, true>, 1e9});
    }
    contenders.push_back({"ours, 8 KiB pieces", fast_variant_t::BEST, decodeOursWith<kIdatPiece, false>, 1e9});
    contenders.push_back({"ours+workspace, 8 KiB pieces", fast_variant_t::BEST, decodeOursWith<kIdatPiece, true>, 1e9});
    contenders.push_back({"ours, 15-byte pieces", fast_variant_t::BEST, decodeOursWith<kSlowPiece, false>, 1e9});
    return contenders;
}

// Processor time of this thread in seconds.
double threadSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times every contender once per round, interleaved, keeping each one's best.
void timeInterleaved(const Bytes& stream, const Bytes& expected, int runs, std::vector<Contender>& contenders)
{
    Bytes out(expected.size());
    for (int run = 0; run < runs; ++run) {
        for (Contender& contender : contenders) {
            if (contender.best < 0)
                continue;
            std::fill(out.begin(), out.end(), 0);
            inflate_detail::force_fast_variant(contender.variant);
            const double start = threadSeconds();
            const bool ok = contender.decode(stream, out);
            const double seconds = threadSeconds() - start;
            inflate_detail::force_fast_variant(fast_variant_t::BEST);
            contender.best = ok && out == expected ? std::min(contender.best, seconds) : -1;
        }
    }
}

// Prints the figures of one image; false when a decoder gave wrong bytes.
bool benchmark(const char* name, const Bytes& data, int runs)
{
    const Bytes stream = deflateRaw(data, 6, Z_DEFAULT_STRATEGY, 15);
    std::vector<Contender> contenders = makeContenders();
    timeInterleaved(stream, data, runs, contenders);
    const double megabytes = data.size() / 1e6;
    std::printf("\n%s, zlib level 6: %.1f MB decoded from %.1f MB, best of %d interleaved rounds\n", name, megabytes,
        stream.size() / 1e6, runs);
    std::printf("  %-30s %9s %9s %8s %8s\n", "decoder", "MB/s", "ms", "x zlib", "x libdef");
    bool allRight = true;
    for (const Contender& c : contenders) {
        if (c.best < 0) {
            std::printf("  %-30s gave wrong bytes\n", c.name.c_str());
            allRight = false;
            continue;
        }
        std::printf("  %-30s %9.1f %9.2f %8.2f %8.2f\n", c.name.c_str(), megabytes / c.best, c.best * 1e3,
            contenders[0].best / c.best, contenders[1].best / c.best);
    }
    return allRight;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 0;
    const int first = readRunsOption(argc, argv, runs);
    if (first == 0) {
        std::printf("usage: %s [--runs 1..%d] [file.png ...]\n", argv[0], kMaxRuns);
        return 1;
    }
    if (first >= argc)
        return benchmark("photo-like 2048x2048 RGBA made here", makeFilteredImage(), runs) ? 0 : 1;
    bool allRight = true;
    for (int i = first; i < argc; ++i) {
        const Bytes data = filteredScanlines(argv[i]);
        if (data.empty()) {
            std::printf("%s: not a PNG file this program can read\n", argv[i]);
            allRight = false;
            continue;
        }
        allRight = benchmark(argv[i], data, runs) && allRight;
    }
    return allRight ? 0 : 1;
}
