// Decoding speed of our Deflate decoder against zlib's inflate on the zlib
// level-6 stream of a photo-like 2048 x 2048 RGBA image, filtered as a PNG
// encoder would. Prints the figures; it checks nothing but that every decoder
// gives the original bytes.
//
// Three ways of feeding our decoder are timed: the whole stream at once (the
// table-driven fast path), 8 KiB pieces (IDAT-sized, with the pauses in
// between), and 15-byte pieces, which keep it on the bit-at-a-time path.
#include "streams.h"

#include "zlib_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kSide = 2048;                      // width and height of the image
constexpr uint32_t kChannels = 4;                     // RGBA
constexpr uint32_t kRowBytes = 1 + kSide * kChannels; // filter byte and pixels
constexpr int kRuns = 5;                              // the best of these is reported
constexpr size_t kIdatPiece = 8192;                   // what PNG encoders usually put in one IDAT
constexpr size_t kSlowPiece = 15;                     // below the fast path's input threshold

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

// Our decoder, given the input in pieces of `piece` bytes and all output space at once.
bool decodeOurs(const Bytes& stream, Bytes& out, size_t piece)
{
    inflate_t inflater = {};
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

// Best time of kRuns decodes, in seconds; negative when a decode was wrong.
template <typename Decode>
double bestTime(const Bytes& stream, const Bytes& expected, Decode decode)
{
    double best = 1e9;
    Bytes out(expected.size());
    for (int run = 0; run < kRuns; ++run) {
        std::fill(out.begin(), out.end(), 0);
        Clock::time_point start = Clock::now();
        bool ok = decode(stream, out);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!ok || out != expected)
            return -1;
        best = std::min(best, seconds);
    }
    return best;
}

} // namespace

int main()
{
    Bytes data = makeFilteredImage();
    Bytes stream = deflateRaw(data, 6, Z_DEFAULT_STRATEGY, 15);
    struct Entry {
        const char* name;
        double seconds;
    };
    const Entry entries[] = {
        {"corvane, whole stream",
            bestTime(stream, data, [](const Bytes& s, Bytes& o) { return decodeOurs(s, o, s.size()); })},
        {"corvane, 8 KiB pieces",
            bestTime(stream, data, [](const Bytes& s, Bytes& o) { return decodeOurs(s, o, kIdatPiece); })},
        {"corvane, 15-byte pieces",
            bestTime(stream, data, [](const Bytes& s, Bytes& o) { return decodeOurs(s, o, kSlowPiece); })},
        {"zlib inflate", bestTime(stream, data, decodeZlib)},
    };
    const double zlib = entries[3].seconds;
    for (const Entry& entry : entries) {
        if (entry.seconds < 0) {
            std::printf("%s gave wrong bytes\n", entry.name);
            return 1;
        }
    }
    double megabytes = data.size() / 1e6;
    std::printf("photo-like %ux%u RGBA, zlib level 6: %.1f MB decoded from %.1f MB, best of %d runs\n", kSide, kSide,
        megabytes, stream.size() / 1e6, kRuns);
    for (const Entry& entry : entries) {
        std::printf("%-24s %8.1f MB/s  %.4f s  %.2f x zlib's time\n", entry.name, megabytes / entry.seconds,
            entry.seconds, entry.seconds / zlib);
    }
    return 0;
}
