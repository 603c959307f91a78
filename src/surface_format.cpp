#include "surface_format.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kIndexCount = 256;         // the values a byte of I8 or AI88 can take
constexpr uint32_t kOpaqueBlack = 0xFF000000; // an index past the palette
constexpr uint32_t kColourChannels = 3;       // red, green, blue: the channels that are dithered

// Floyd-Steinberg weights in sixteenths: ahead in the row, then behind,
// straight below and ahead in the next row.
constexpr int32_t kAhead = 7;
constexpr int32_t kBelowBehind = 3;
constexpr int32_t kBelow = 5;
constexpr int32_t kBelowAhead = 1;
constexpr int32_t kWeightShift = 4; // the weights add up to 16
// An accumulated error never passes 16 x 255 either way (each pixel's error
// is at most 255 and the weights add up to 16), so this bias keeps it
// positive for the rounding shift.
constexpr int32_t kErrorBias = 1 << 12;

uint32_t loadLittleEndian(const uint8_t* pixel, uint32_t bytes)
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i)
        value |= uint32_t(pixel[i]) << (8 * i);
    return value;
}

void storeLittleEndian(uint8_t* pixel, uint32_t bytes, uint32_t value)
{
    for (uint32_t i = 0; i < bytes; ++i)
        pixel[i] = uint8_t(value >> (8 * i));
}

bool readsPalette(const DsSurface& surface)
{
    return (surface.colorMode() == I8 || surface.colorMode() == AI88) && surface.palette();
}

// The colours of the 256 indices through the surface's palette.
std::vector<uint32_t> paletteColours(const DsSurface& surface)
{
    std::vector<uint32_t> colours(kIndexCount, kOpaqueBlack);
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    const uint8_t* entry = surface.palette();
    for (uint32_t i = 0; i < surface.paletteSize() && i < kIndexCount; ++i, entry += step)
        colours[i] = ds::makeArgb(step == 4 ? entry[3] : 0xFF, entry[2], entry[1], entry[0]);
    return colours;
}

// Fetches one stored row of `surface` as 0xAARRGGBB words.
void fetchRow(const DsSurface& surface, const std::vector<uint32_t>& palette, int32_t row, uint32_t* colours)
{
    const uint32_t bytes = surface.bytesPerPixel();
    const uint8_t* pixel = surface.pixels() + uint64_t(row) * surface.pitch();
    const uint32_t mode = surface.colorMode();
    for (int32_t x = 0; x < surface.width(); ++x, pixel += bytes) {
        if (palette.empty())
            colours[x] = dsDecodeColor(mode, loadLittleEndian(pixel, bytes));
        else if (mode == I8)
            colours[x] = palette[pixel[0]];
        else
            colours[x] = (palette[pixel[0]] & 0xFFFFFF) | uint32_t(pixel[1]) << 24;
    }
}

void storeRow(DsSurface& target, int32_t row, const uint32_t* colours)
{
    const uint32_t bytes = target.bytesPerPixel();
    uint8_t* pixel = target.pixels() + uint64_t(row) * target.pitch();
    for (int32_t x = 0; x < target.width(); ++x, pixel += bytes)
        storeLittleEndian(pixel, bytes, dsEncodeColor(target.colorMode(), colours[x]));
}

uint32_t channelOf(uint32_t argb, uint32_t channel)
{
    return argb >> (16 - 8 * channel) & 0xFF;
}

// The error accumulated for one pixel, in whole levels, rounded.
int32_t roundedError(int32_t sixteenths)
{
    return int32_t(uint32_t(sixteenths + 8 + (kErrorBias << kWeightShift)) >> kWeightShift) - kErrorBias;
}

// Error diffusion over the rows of one surface. The accumulators hold
// sixteenths of a level for each colour channel of the current and the next
// row, one spare entry at each end so that the edges need no test.
class Ditherer {
public:
    explicit Ditherer(int32_t width)
        : mWidth(width), mCurrent(size_t(width + 2) * kColourChannels), mNext(mCurrent.size())
    {
    }

    // Replaces each colour of the row by the one `mode` stores for it, with
    // the errors so far added, and passes the new errors on.
    void ditherRow(uint32_t mode, bool leftToRight, uint32_t* colours)
    {
        const int32_t step = leftToRight ? 1 : -1;
        int32_t x = leftToRight ? 0 : mWidth - 1;
        for (int32_t n = 0; n < mWidth; ++n, x += step)
            colours[x] = ditherPixel(mode, colours[x], x + 1, step);
        mCurrent.swap(mNext);
        std::fill(mNext.begin(), mNext.end(), 0);
    }

private:
    // The stored value's colour for `argb` plus the error at slot `at`;
    // spreads the pixel's own error in the direction `step`.
    uint32_t ditherPixel(uint32_t mode, uint32_t argb, int32_t at, int32_t step)
    {
        int32_t levels[kColourChannels];
        for (uint32_t c = 0; c < kColourChannels; ++c) {
            const int32_t level = int32_t(channelOf(argb, c)) + roundedError(mCurrent[at * kColourChannels + c]);
            levels[c] = level < 0 ? 0 : level > 255 ? 255 : level;
        }
        const uint32_t wanted =
            ds::makeArgb(ds::alphaOf(argb), uint32_t(levels[0]), uint32_t(levels[1]), uint32_t(levels[2]));
        const uint32_t shown = dsDecodeColor(mode, dsEncodeColor(mode, wanted));
        for (uint32_t c = 0; c < kColourChannels; ++c) {
            const int32_t error = levels[c] - int32_t(channelOf(shown, c));
            mCurrent[(at + step) * kColourChannels + c] += kAhead * error;
            mNext[(at - step) * kColourChannels + c] += kBelowBehind * error;
            mNext[at * kColourChannels + c] += kBelow * error;
            mNext[(at + step) * kColourChannels + c] += kBelowAhead * error;
        }
        return wanted;
    }

    int32_t mWidth;                // pixels of a row
    std::vector<int32_t> mCurrent; // errors for the row being dithered
    std::vector<int32_t> mNext;    // errors for the row below it
};

} // namespace

uint32_t dsSurfaceColor(const DsSurface& surface, const uint8_t* pixel)
{
    const uint32_t mode = surface.colorMode();
    if (!readsPalette(surface))
        return dsDecodeColor(mode, loadLittleEndian(pixel, surface.bytesPerPixel()));
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    uint32_t colour = kOpaqueBlack;
    if (pixel[0] < surface.paletteSize()) {
        const uint8_t* entry = surface.palette() + pixel[0] * step;
        colour = ds::makeArgb(step == 4 ? entry[3] : 0xFF, entry[2], entry[1], entry[0]);
    }
    return mode == AI88 ? (colour & 0xFFFFFF) | uint32_t(pixel[1]) << 24 : colour;
}

bool dsCanDither(uint32_t colorMode)
{
    return colorMode == RGB565 || colorMode == ARGB1555 || colorMode == ARGB4444;
}

DsSurface* dsConvertSurface(const DsSurface& source, uint32_t colorMode, bool dither)
{
    if (!source.isValid() || source.rotation() != 0 || colorMode == I8 || dsBytesPerPixel(colorMode) == 0 ||
        (dither && !dsCanDither(colorMode)))
        return nullptr;
    const int32_t noRotation = 0;
    const uint64_t greyPalette = colorMode == AI88 ? kIndexCount : 0;
    auto target = std::make_unique<DsSurface>(
        source.width(), source.height(), &noRotation, colorMode, false, greyPalette, dsMalloc, dsFree, 1, 0);
    if (!target->isValid())
        return nullptr;
    if (greyPalette)
        for (uint32_t i = 0; i < kIndexCount; ++i)
            std::memset(target->palette() + 3 * i, int(i), 3);
    const std::vector<uint32_t> palette = readsPalette(source) ? paletteColours(source) : std::vector<uint32_t>();
    std::vector<uint32_t> colours(size_t(source.width()));
    Ditherer ditherer(dither ? source.width() : 0);
    for (int32_t row = 0; row < source.height(); ++row) {
        fetchRow(source, palette, row, colours.data());
        if (dither)
            ditherer.ditherRow(colorMode, row % 2 == 0, colours.data());
        storeRow(*target, row, colours.data());
    }
    return target.release();
}

uint64_t dsPaletteFileSize(const DsSurface& surface)
{
    if (!readsPalette(surface) || surface.paletteSize() == 0)
        return 0;
    return kDsPaletteFileHeaderBytes + kDsPaletteFileEntryBytes * surface.paletteSize();
}

void dsWritePaletteFile(const DsSurface& surface, uint8_t* destination)
{
    const uint32_t entries = surface.paletteSize();
    storeLittleEndian(destination, 4, entries);
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    const uint8_t* entry = surface.palette();
    uint8_t* out = destination + kDsPaletteFileHeaderBytes;
    for (uint32_t i = 0; i < entries; ++i, entry += step, out += kDsPaletteFileEntryBytes) {
        std::memcpy(out, entry, 3);
        out[3] = step == 4 ? entry[3] : 0xFF;
    }
}
