// Decoding speed of our Deflate decoder against zlib's inflate on the same
// raw level-6 stream of a few MB. Prints the figures; it checks nothing but
// that both decoders give the original bytes.
#include "streams.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t kDataSize = 8 * 1024 * 1024; // bytes decoded per run
constexpr int kRuns = 5;                      // the best of these is reported

// Text-like data with runs and far repeats: what a PNG row stream looks like to Deflate.
Bytes makeData()
{
    static const char* const kWords[] = {"surface ", "glyph ", "pixel ", "rotation ", "alpha ", "\n"};
    std::mt19937 random(1);
    Bytes data;
    data.reserve(kDataSize + 1024);
    while (data.size() < kDataSize) {
        switch (random() % 4) {
        case 0: data.insert(data.end(), random() % 40 + 1, static_cast<uint8_t>(random())); break;
        case 1: data.push_back(static_cast<uint8_t>(random())); break;
        default: {
            std::string word = kWords[random() % 6];
            data.insert(data.end(), word.begin(), word.end());
        }
        }
    }
    data.resize(kDataSize);
    return data;
}

Bytes deflateRaw(const Bytes& data)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytes::value_type*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool decodeOurs(const Bytes& stream, Bytes& out)
{
    inflate_t inflater = {};
    inflate_process(&inflater, nullptr);
    inflater.output = out.data();
    inflater.output_space = static_cast<uint32_t>(out.size());
    bitstream_t bits = {stream.data(), static_cast<uint32_t>(stream.size()), 0, 0};
    return inflate_process(&inflater, &bits) == INFLATE_DONE;
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
    for (int run = 0; run < kRuns; ++run) {
        Bytes out(expected.size());
        Clock::time_point start = Clock::now();
        bool ok = decode(stream, out);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!ok || out != expected) {
            return -1;
        }
        best = seconds < best ? seconds : best;
    }
    return best;
}

} // namespace

int main()
{
    Bytes data = makeData();
    Bytes stream = deflateRaw(data);
    double ours = bestTime(stream, data, decodeOurs);
    double zlib = bestTime(stream, data, decodeZlib);
    if (ours < 0 || zlib < 0) {
        std::printf("a decoder gave wrong bytes\n");
        return 1;
    }
    double megabytes = data.size() / 1e6;
    std::printf("raw Deflate, level 6: %.1f MB decoded from %.1f MB, best of %d runs\n", megabytes,
                stream.size() / 1e6, kRuns);
    std::printf("corvane inflate: %8.1f MB/s (%.3f s)\n", megabytes / ours, ours);
    std::printf("zlib inflate:    %8.1f MB/s (%.3f s)\n", megabytes / zlib, zlib);
    std::printf("corvane time / zlib time: %.2f\n", ours / zlib);
    return 0;
}
