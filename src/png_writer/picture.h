// An 8-bit picture as PNG stores it: what the PNG writer writes, and the
// common ground of everything assetpeek draws.
#pragma once

#include <cstdint>
#include <vector>

// PNG's 8-bit layouts; the value is the number of channels.
enum class PictureFormat : uint8_t {
    Grey = 1,      // one grey byte
    GreyAlpha = 2, // grey, alpha
    Rgb = 3,       // red, green, blue
    Rgba = 4,      // red, green, blue, alpha
};

struct Picture {
    uint32_t width = 0;                         // pixels per row
    uint32_t height = 0;                        // rows
    PictureFormat format = PictureFormat::Grey; // layout of every pixel
    std::vector<uint8_t> pixels;                // rows from the top, width x channels bytes each, no padding
};

inline uint32_t pictureChannels(PictureFormat format)
{
    return uint32_t(format);
}
