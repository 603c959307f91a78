#include "dump_format.h"

#include "ds_bytes.h"
#include "ds_color.h"

#include <cassert>

const DumpFormatInfo kDumpFormats[] = {
    {DumpFormat::Rgb888, "RGB888", 3, false, BmpPixels::Bgr24, true, "bytes B, G, R"},
    {DumpFormat::Rgb565, "RGB565", 2, false, BmpPixels::Rgb565, true,
        "little-endian 16 bits: R in bits 11-15, G 5-10, B 0-4"},
    {DumpFormat::Rgb565Swapped, "RGB565_SWAPPED", 2, false, BmpPixels::Rgb565, false,
        "16 bits, high byte first (RGB565 swapped, as SPI panels hold it)"},
    {DumpFormat::Bgr565, "BGR565", 2, false, BmpPixels::Rgb565, false,
        "little-endian 16 bits: B in bits 11-15, G 5-10, R 0-4"},
    {DumpFormat::Bgr888, "BGR888", 3, false, BmpPixels::Bgr24, false, "bytes R, G, B"},
    {DumpFormat::Xrgb8888, "XRGB8888", 4, false, BmpPixels::Bgrx32, true, "bytes B, G, R, X (X ignored)"},
    {DumpFormat::Argb8888, "ARGB8888", 4, true, BmpPixels::Bgra32, true, "bytes B, G, R, A"},
    {DumpFormat::Argb1555, "ARGB1555", 2, true, BmpPixels::Bgra32, false,
        "little-endian 16 bits: A in bit 15, R 10-14, G 5-9, B 0-4"},
    {DumpFormat::Argb4444, "ARGB4444", 2, true, BmpPixels::Bgra32, false,
        "little-endian 16 bits: A in bits 12-15, R 8-11, G 4-7, B 0-3"},
    {DumpFormat::Argb8565, "ARGB8565", 3, true, BmpPixels::Bgra32, false,
        "3 bytes: an RGB565 word (little-endian), then A"},
};
const int kDumpFormatCount = int(sizeof kDumpFormats / sizeof kDumpFormats[0]);

const DumpFormatInfo* findDumpFormat(const std::string& name)
{
    for (const DumpFormatInfo& info : kDumpFormats)
        if (name == info.name)
            return &info;
    return nullptr;
}

namespace {

// One pixel of each format as a 0xAARRGGBB word, narrow fields widened by
// the device library's rules.
struct DecodeRgb888 {
    static constexpr uint32_t kBytes = 3;
    uint32_t operator()(const uint8_t* p) const { return ds::makeArgb(255, p[2], p[1], p[0]); }
};
struct DecodeBgr888 {
    static constexpr uint32_t kBytes = 3;
    uint32_t operator()(const uint8_t* p) const { return ds::makeArgb(255, p[0], p[1], p[2]); }
};
struct DecodeXrgb8888 {
    static constexpr uint32_t kBytes = 4;
    uint32_t operator()(const uint8_t* p) const { return ds::makeArgb(255, p[2], p[1], p[0]); }
};
struct DecodeArgb8888 {
    static constexpr uint32_t kBytes = 4;
    uint32_t operator()(const uint8_t* p) const { return dsLoadLittle32(p); }
};
struct DecodeRgb565 {
    static constexpr uint32_t kBytes = 2;
    uint32_t operator()(const uint8_t* p) const { return ds::argbOfRgb565(dsLoadLittle16(p)); }
};
struct DecodeRgb565Swapped {
    static constexpr uint32_t kBytes = 2;
    uint32_t operator()(const uint8_t* p) const { return ds::argbOfRgb565(uint32_t(p[0]) << 8 | p[1]); }
};
struct DecodeBgr565 {
    static constexpr uint32_t kBytes = 2;
    uint32_t operator()(const uint8_t* p) const
    {
        const uint32_t v = dsLoadLittle16(p);
        return ds::makeArgb(255, ds::widen5(v & 0x1F), ds::widen6(v >> 5 & 0x3F), ds::widen5(v >> 11));
    }
};
struct DecodeArgb1555 {
    static constexpr uint32_t kBytes = 2;
    uint32_t operator()(const uint8_t* p) const { return ds::argbOfArgb1555(dsLoadLittle16(p)); }
};
struct DecodeArgb4444 {
    static constexpr uint32_t kBytes = 2;
    uint32_t operator()(const uint8_t* p) const { return ds::argbOfArgb4444(dsLoadLittle16(p)); }
};

struct DecodeArgb8565 {
    static constexpr uint32_t kBytes = 3;
    uint32_t operator()(const uint8_t* p) const { return dsDecodeColor(ARGB8565, dsLoadLittle24(p)); }
};

// The loops are instantiated per format so that the decoding inlines.
template <typename Decode, bool kAlpha>
void toRgb(const uint8_t* in, uint32_t width, uint8_t* out)
{
    const Decode decode;
    for (uint32_t x = 0; x < width; ++x, in += Decode::kBytes) {
        const uint32_t argb = decode(in);
        *out++ = uint8_t(ds::redOf(argb));
        *out++ = uint8_t(ds::greenOf(argb));
        *out++ = uint8_t(ds::blueOf(argb));
        if (kAlpha)
            *out++ = uint8_t(ds::alphaOf(argb));
    }
}

template <typename Decode>
void toBgra(const uint8_t* in, uint32_t width, uint8_t* out)
{
    const Decode decode;
    for (uint32_t x = 0; x < width; ++x, in += Decode::kBytes)
        dsStoreLittle32(out + 4 * x, decode(in));
}

} // namespace

void dumpRowToRgb(DumpFormat format, const uint8_t* pixels, uint32_t width, uint8_t* out)
{
    switch (format) {
    case DumpFormat::Rgb888: return toRgb<DecodeRgb888, false>(pixels, width, out);
    case DumpFormat::Rgb565: return toRgb<DecodeRgb565, false>(pixels, width, out);
    case DumpFormat::Rgb565Swapped: return toRgb<DecodeRgb565Swapped, false>(pixels, width, out);
    case DumpFormat::Bgr565: return toRgb<DecodeBgr565, false>(pixels, width, out);
    case DumpFormat::Bgr888: return toRgb<DecodeBgr888, false>(pixels, width, out);
    case DumpFormat::Xrgb8888: return toRgb<DecodeXrgb8888, false>(pixels, width, out);
    case DumpFormat::Argb8888: return toRgb<DecodeArgb8888, true>(pixels, width, out);
    case DumpFormat::Argb1555: return toRgb<DecodeArgb1555, true>(pixels, width, out);
    case DumpFormat::Argb4444: return toRgb<DecodeArgb4444, true>(pixels, width, out);
    case DumpFormat::Argb8565: return toRgb<DecodeArgb8565, true>(pixels, width, out);
    }
}

void dumpRowToBmp(DumpFormat format, const uint8_t* pixels, uint32_t width, uint8_t* out)
{
    switch (format) {
    case DumpFormat::Rgb565Swapped:
        for (uint32_t x = 0; x < width; ++x, pixels += 2) {
            *out++ = pixels[1];
            *out++ = pixels[0];
        }
        return;
    case DumpFormat::Bgr565:
        for (uint32_t x = 0; x < width; ++x, pixels += 2) {
            const uint32_t v = dsLoadLittle16(pixels);
            dsStoreLittle16(out, (v & 0x1F) << 11 | (v & 0x07E0) | v >> 11);
            out += 2;
        }
        return;
    case DumpFormat::Bgr888:
        for (uint32_t x = 0; x < width; ++x, pixels += 3) {
            *out++ = pixels[2];
            *out++ = pixels[1];
            *out++ = pixels[0];
        }
        return;
    case DumpFormat::Argb1555: return toBgra<DecodeArgb1555>(pixels, width, out);
    case DumpFormat::Argb4444: return toBgra<DecodeArgb4444>(pixels, width, out);
    case DumpFormat::Argb8565: return toBgra<DecodeArgb8565>(pixels, width, out);
    default: assert(!"the format's bytes are copied as they are"); return;
    }
}
