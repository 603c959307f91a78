#include "zlib_deflate.h"

#include <zlib.h>

#include <stdexcept>

std::vector<uint8_t> deflateRaw(const std::vector<uint8_t>& data, int level, int strategy, int windowBits)
{
    z_stream z = {};
    if (deflateInit2(&z, level, Z_DEFLATED, -windowBits, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<uint8_t> out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}
