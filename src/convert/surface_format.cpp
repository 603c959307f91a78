#include "surface_format.h"

#include "ds_bytes.h"
#include "ds_draw_paths.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kIndexCount = 256;   // the values a byte of I8 or AI88 can take
constexpr uint32_t kColourChannels = 3; // red, green, blue: the channels that are dithered

// Floyd-Steinberg weights in sixteenths: ahead in the row, then behind,
// straight below and ahead in the next row.
constexpr int32_t kAhead = 7;
constexpr int32_t kBelowBehind = 3;
constexpr int32_t kBelow = 5;
constexpr int32_t kBelowAhead = 1;
constexpr int32_t kWeightShift = 4; // the weights add up to 16

bool readsPalette(const DsSurface& surface)
{
    return (surface.colorMode() == I8 || surface.colorMode() == AI88) && surface.palette();
}

// True for the modes a conversion makes: every sized mode but I8, whose
// values are indices, not colours.
bool convertsTo(uint32_t colorMode)
{
    return dsBytesPerPixel(colorMode) != 0 && colorMode != I8;
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

    // The general path's step between fetch and store: the rows come top
    // down, the first left to right.
    static void filterRow(void* context, uint32_t* colours, uint32_t)
    {
        auto* ditherer = static_cast<Ditherer*>(context);
        ditherer->ditherRow(ditherer->mRows++ % 2 == 0, colours);
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
    uint32_t mRows = 0;                    // rows dithered so far
    std::vector<int32_t> mCurrent;         // errors for the row being dithered
    std::vector<int32_t> mNext;            // errors for the row below it
    ChannelTable mTables[kColourChannels]; // red, green, blue
};

} // namespace

bool dsCanDither(uint32_t colorMode)
{
    return colorMode == RGB565 || colorMode == ARGB1555 || colorMode == ARGB4444 || colorMode == RGB565_SWAPPED ||
        colorMode == ARGB8565;
}

DsSurface* dsConvertSurface(const DsSurface& source, uint32_t colorMode, bool dither)
{
    if (!source.isValid() || source.rotation() != 0 || !convertsTo(colorMode) || (dither && !dsCanDither(colorMode)))
        return nullptr;
    const int32_t noRotation = 0;
    const uint64_t greyPalette = colorMode == AI88 ? kIndexCount : 0;
    auto target = std::make_unique<DsSurface>(
        source.width(), source.height(), &noRotation, colorMode, false, greyPalette, dsMalloc, dsFree, 1, 0);
    if (!target->isValid())
        return nullptr;
    for (uint32_t i = 0; i < greyPalette; ++i)
        std::memset(target->palette() + 3 * i, int(i), 3);
    const ds::Job job{ds::Operation::Copy, source.colorMode(), colorMode, ds::paletteOf(source),
        ds::Palette{nullptr, 0, 3}, 255, 0, 0};
    const ds::Area area{target->pixels(), ptrdiff_t(target->pitch()), source.pixels(),
        ptrdiff_t(source.bytesPerPixel()), ptrdiff_t(source.pitch()), uint32_t(source.width()),
        uint32_t(source.height())};
    std::vector<uint32_t> row(size_t(source.width()));
    std::unique_ptr<Ditherer> ditherer;
    std::unique_ptr<ds::RowFilter> filter;
    if (dither) {
        ditherer = std::make_unique<Ditherer>(colorMode, source.width());
        filter = std::make_unique<ds::RowFilter>(ds::RowFilter{Ditherer::filterRow, ditherer.get()});
    }
    ds::convertArea(job, area, row.data(), filter.get());
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

bool dsHasTranslucentPixel(const DsSurface& surface)
{
    // Without an alpha channel or a palette that has one, every pixel is opaque.
    if (!surface.isValid() || (!dsHasAlpha(surface.colorMode()) && !surface.paletteHasAlpha()))
        return false;
    // RGBA images decode to ARGB8888: their alpha bytes are read straight
    // from the rows, without a pixel read through the mode for each.
    if (surface.colorMode() == ARGB8888) {
        constexpr uint32_t kAlphaByte = 3;
        for (int32_t row = 0; row < surface.height(); ++row) {
            const uint8_t* pixel = surface.pixels() + uint64_t(row) * surface.pitch() + kAlphaByte;
            for (int32_t column = 0; column < surface.width(); ++column, pixel += 4)
                if (*pixel != 0xFF)
                    return true;
        }
        return false;
    }
    for (int32_t y = 0; y < surface.logicalHeight(); ++y)
        for (int32_t x = 0; x < surface.logicalWidth(); ++x)
            if (ds::alphaOf(surface.pixel(x, y)) != 0xFF)
                return true;
    return false;
}
