#include "surface_format.h"

#include "ds_bytes.h"

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

// Bytes of a pixel, for the modes known at compile time.
constexpr uint32_t bytesOf(uint32_t mode)
{
    return mode == ARGB8888 ? 4 : mode == RGB888 ? 3 : mode == I8 || mode == A8 ? 1 : 2;
}

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

// The colours of the 256 indices of an I8 or AI88 surface: through its
// palette, or the grey levels dsDecodeColor reads without one.
std::vector<uint32_t> indexColours(const DsSurface& surface)
{
    std::vector<uint32_t> colours(kIndexCount, kOpaqueBlack);
    if (!readsPalette(surface)) {
        for (uint32_t i = 0; i < kIndexCount; ++i)
            colours[i] = dsDecodeColor(I8, i);
        return colours;
    }
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    const uint8_t* entry = surface.palette();
    for (uint32_t i = 0; i < surface.paletteSize() && i < kIndexCount; ++i, entry += step)
        colours[i] = ds::makeArgb(step == 4 ? entry[3] : 0xFF, entry[2], entry[1], entry[0]);
    return colours;
}

// One stored row of `width` pixels of mode Mode as 0xAARRGGBB words; the
// mode is a template argument so that each conversion is compiled into its
// own loop.
template <uint32_t Mode>
void fetchRowAs(const uint8_t* pixel, int32_t width, const uint32_t* indexColour, uint32_t* colours)
{
    for (int32_t x = 0; x < width; ++x, pixel += bytesOf(Mode)) {
        if constexpr (Mode == I8)
            colours[x] = indexColour[pixel[0]];
        else if constexpr (Mode == AI88)
            colours[x] = (indexColour[pixel[0]] & 0xFFFFFF) | uint32_t(pixel[1]) << 24;
        else
            colours[x] = dsDecodeColor(Mode, loadLittleEndian(pixel, bytesOf(Mode)));
    }
}

template <uint32_t Mode>
void storeRowAs(uint8_t* pixel, int32_t width, const uint32_t* colours)
{
    for (int32_t x = 0; x < width; ++x, pixel += bytesOf(Mode))
        storeLittleEndian(pixel, bytesOf(Mode), dsEncodeColor(Mode, colours[x]));
}

using FetchRow = void (*)(const uint8_t* pixel, int32_t width, const uint32_t* indexColour, uint32_t* colours);
using StoreRow = void (*)(uint8_t* pixel, int32_t width, const uint32_t* colours);

FetchRow fetcherFor(uint32_t mode)
{
    switch (mode) {
    case ARGB8888: return fetchRowAs<ARGB8888>;
    case RGB888: return fetchRowAs<RGB888>;
    case RGB565: return fetchRowAs<RGB565>;
    case ARGB1555: return fetchRowAs<ARGB1555>;
    case ARGB4444: return fetchRowAs<ARGB4444>;
    case I8: return fetchRowAs<I8>;
    case AI88: return fetchRowAs<AI88>;
    case A8: return fetchRowAs<A8>;
    default: return nullptr;
    }
}

// I8 is never a target: its indices are not colours.
StoreRow storerFor(uint32_t mode)
{
    switch (mode) {
    case ARGB8888: return storeRowAs<ARGB8888>;
    case RGB888: return storeRowAs<RGB888>;
    case RGB565: return storeRowAs<RGB565>;
    case ARGB1555: return storeRowAs<ARGB1555>;
    case ARGB4444: return storeRowAs<ARGB4444>;
    case AI88: return storeRowAs<AI88>;
    case A8: return storeRowAs<A8>;
    default: return nullptr;
    }
}

uint32_t channelOf(uint32_t argb, uint32_t channel)
{
    return argb >> (16 - 8 * channel) & 0xFF;
}

int32_t clampLevel(int32_t level)
{
    return level < 0 ? 0 : level > 255 ? 255 : level;
}

// Error diffusion over the rows of one surface. The errors for the next row
// are kept in sixteenths of a level for each colour channel, one spare pixel
// at each end so that the edges need no test. Within a row the error passed
// ahead and the sums still open for the row below stay in registers, so
// every entry of the next row is written once instead of added to three
// times. What a level becomes is looked up in tables made from
// dsEncodeColor and dsDecodeColor, for every level a channel plus its error
// can reach.
class Ditherer {
public:
    Ditherer(uint32_t mode, int32_t width)
        : mWidth(width), mCurrent(size_t(width + 2) * kColourChannels), mNext(mCurrent.size())
    {
        for (int32_t i = 0; i < kLevelSpan; ++i) {
            const uint32_t level = uint32_t(clampLevel(i - kLowestLevel));
            const uint32_t shown = dsDecodeColor(mode, dsEncodeColor(mode, ds::makeArgb(0xFF, level, level, level)));
            for (uint32_t c = 0; c < kColourChannels; ++c)
                mTables[c][i] = Entry{int16_t(int32_t(level) - int32_t(channelOf(shown, c))), uint8_t(level)};
        }
    }

    // Replaces each colour of the row by the one to store for it, with the
    // errors so far added, and passes the new errors on.
    void ditherRow(bool leftToRight, uint32_t* colours)
    {
        const int32_t step = leftToRight ? 1 : -1;
        const int32_t stride = step * int32_t(kColourChannels);
        int32_t x = leftToRight ? 0 : mWidth - 1;
        const int32_t* current = mCurrent.data() + kColourChannels + x * int32_t(kColourChannels);
        int32_t* finished = mNext.data() + kColourChannels + x * int32_t(kColourChannels) - stride;
        Carry red{}, green{}, blue{};
        for (int32_t n = 0; n < mWidth; ++n, x += step, current += stride, finished += stride) {
            const uint32_t argb = colours[x];
            const uint32_t r = ditherChannel(mTables[0], ds::redOf(argb), current[0], finished[0], red);
            const uint32_t g = ditherChannel(mTables[1], ds::greenOf(argb), current[1], finished[1], green);
            const uint32_t b = ditherChannel(mTables[2], ds::blueOf(argb), current[2], finished[2], blue);
            colours[x] = ds::makeArgb(ds::alphaOf(argb), r, g, b);
        }
        finished[0] = red.behind;
        finished[1] = green.behind;
        finished[2] = blue.behind;
        mCurrent.swap(mNext);
    }

private:
    // Levels a channel plus its rounded error can reach: an error never
    // passes 255 either way.
    static constexpr int32_t kLowestLevel = 256;
    static constexpr int32_t kLevelSpan = 3 * 256;

    struct Entry {
        int16_t error; // the clamped level less the one its stored value shows
        uint8_t level; // the level clamped to 0..255
    };
    using ChannelTable = Entry[kLevelSpan];
    // Added to a sum of sixteenths before the shift that rounds it: half a
    // level, and the table's offset, which also keeps the sum positive.
    static constexpr int32_t kRounding = 8 + (kLowestLevel << kWeightShift);

    // What one pixel hands to the next one of its row, in sixteenths.
    struct Carry {
        int32_t ahead;  // 7/16 of the pixel's error, for the next pixel
        int32_t behind; // open sum for the next row below this pixel
        int32_t below;  // open sum for the next row below the next pixel
    };

    // The level to store for `level` with the errors `error` (from the row
    // above) and carry.ahead added; writes the finished sum below the previous
    // pixel to `finished` and leaves the pixel's own error in `carry`.
    static uint32_t ditherChannel(
        const ChannelTable& table, uint32_t level, int32_t error, int32_t& finished, Carry& carry)
    {
        const int32_t start = error + kRounding + (int32_t(level) << kWeightShift);
        const Entry entry = table[uint32_t(start + carry.ahead) >> kWeightShift];
        const int32_t own = entry.error;
        carry.ahead = kAhead * own;
        finished = carry.behind + kBelowBehind * own;
        carry.behind = carry.below + kBelow * own;
        carry.below = kBelowAhead * own;
        return entry.level;
    }

    int32_t mWidth;                        // pixels of a row
    std::vector<int32_t> mCurrent;         // errors for the row being dithered
    std::vector<int32_t> mNext;            // errors for the row below it
    ChannelTable mTables[kColourChannels]; // red, green, blue
};

} // namespace

bool dsCanDither(uint32_t colorMode)
{
    return colorMode == RGB565 || colorMode == ARGB1555 || colorMode == ARGB4444;
}

DsSurface* dsConvertSurface(const DsSurface& source, uint32_t colorMode, bool dither)
{
    const FetchRow fetch = source.isValid() ? fetcherFor(source.colorMode()) : nullptr;
    const StoreRow store = storerFor(colorMode);
    if (!fetch || !store || source.rotation() != 0 || (dither && !dsCanDither(colorMode)))
        return nullptr;
    const int32_t noRotation = 0;
    const uint64_t greyPalette = colorMode == AI88 ? kIndexCount : 0;
    auto target = std::make_unique<DsSurface>(
        source.width(), source.height(), &noRotation, colorMode, false, greyPalette, dsMalloc, dsFree, 1, 0);
    if (!target->isValid())
        return nullptr;
    for (uint32_t i = 0; i < greyPalette; ++i)
        std::memset(target->palette() + 3 * i, int(i), 3);
    const std::vector<uint32_t> indexColour = indexColours(source);
    std::vector<uint32_t> colours(size_t(source.width()));
    auto ditherer = std::make_unique<Ditherer>(colorMode, dither ? source.width() : 0);
    for (int32_t row = 0; row < source.height(); ++row) {
        fetch(source.pixels() + uint64_t(row) * source.pitch(), source.width(), indexColour.data(), colours.data());
        if (dither)
            ditherer->ditherRow(row % 2 == 0, colours.data());
        store(target->pixels() + uint64_t(row) * target->pitch(), target->width(), colours.data());
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
    dsStoreLittle32(destination, entries);
    const uint32_t step = surface.paletteHasAlpha() ? 4 : 3;
    const uint8_t* entry = surface.palette();
    uint8_t* out = destination + kDsPaletteFileHeaderBytes;
    for (uint32_t i = 0; i < entries; ++i, entry += step, out += kDsPaletteFileEntryBytes) {
        std::memcpy(out, entry, 3);
        out[3] = step == 4 ? entry[3] : 0xFF;
    }
}

bool dsReadPaletteFile(const uint8_t* data, uint64_t size, DsPaletteFile& palette)
{
    if (!data || size < kDsPaletteFileHeaderBytes)
        return false;
    const uint32_t count = dsLoadLittle32(data);
    if (count == 0 || count > DsSurface::kMaxPaletteSize ||
        size != kDsPaletteFileHeaderBytes + kDsPaletteFileEntryBytes * uint64_t(count))
        return false;
    palette.entries = data + kDsPaletteFileHeaderBytes;
    palette.count = uint16_t(count);
    return true;
}
