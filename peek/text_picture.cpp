#include "text_picture.h"

#include "ds_surface.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint32_t kLargestCode = 0x10FFFF;
constexpr uint32_t kFirstSurrogate = 0xD800;
constexpr uint32_t kLastSurrogate = 0xDFFF;
constexpr uint8_t kNoInk = 255;

// A UTF-8 sequence by its first byte: the bits of the code in that byte,
// the bytes of the sequence and the smallest code it may carry.
struct SequenceStart {
    uint8_t mask;     // payload bits of the first byte
    uint8_t pattern;  // the first byte with those bits clear
    uint32_t length;  // bytes of the sequence
    uint32_t minimum; // smaller codes must take a shorter form
};

constexpr SequenceStart kSequenceStarts[] = {
    {0x7F, 0x00, 1, 0},
    {0x1F, 0xC0, 2, 0x80},
    {0x0F, 0xE0, 3, 0x800},
    {0x07, 0xF0, 4, 0x10000},
};

const SequenceStart* sequenceStart(uint8_t first)
{
    for (const SequenceStart& start : kSequenceStarts)
        if ((first & ~start.mask) == start.pattern)
            return &start;
    return nullptr;
}

// The delta of the first kerning entry for `prev`, as the device looks it up.
int32_t kerningDelta(const BitmapGlyph& glyph, uint32_t prev)
{
    for (const KerningPair& pair : glyph.kerning)
        if (pair.prev == prev)
            return pair.delta;
    return 0;
}

// Draws one glyph's pixel array into `coverage` (rows of `pictureWidth`
// values, the turned picture), keeping the larger coverage.
void drawGlyph(const PlacedGlyph& placed, const TextLayout& layout, uint32_t rotation, uint64_t pictureWidth,
    std::vector<uint8_t>& coverage)
{
    const BitmapGlyph& glyph = *placed.glyph;
    const int64_t width = int64_t(layout.width()), height = int64_t(layout.height());
    const int64_t x = placed.x - layout.left, y = placed.y - layout.top;
    // The turned image's top-left corner is the turned box's smallest corner.
    const DsStoredPosition first = dsStoredPosition(int32_t(rotation), width, height, x, y);
    const DsStoredPosition last =
        dsStoredPosition(int32_t(rotation), width, height, x + glyph.width - 1, y + glyph.height - 1);
    const uint64_t column = uint64_t(std::min(first.column, last.column));
    const uint64_t row = uint64_t(std::min(first.row, last.row));
    const PixelArrayShape shape = pixelArrayShape(rotation, glyph.width, glyph.height);
    const uint8_t* value = glyph.pixels.data();
    for (uint64_t line = 0; line < shape.lines; ++line) {
        uint8_t* target = &coverage[(row + line) * pictureWidth + column];
        for (uint32_t k = 0; k < shape.values; ++k, ++value)
            target[k] = std::max(target[k], *value);
    }
}

} // namespace

bool decodeUtf8(std::string_view text, std::vector<uint32_t>& codes)
{
    codes.clear();
    for (size_t at = 0; at < text.size();) {
        const SequenceStart* start = sequenceStart(uint8_t(text[at]));
        if (!start || start->length > text.size() - at)
            return false;
        uint32_t code = uint8_t(text[at]) & start->mask;
        for (uint32_t i = 1; i < start->length; ++i) {
            const uint8_t next = uint8_t(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        if (code < start->minimum || code > kLargestCode || (code >= kFirstSurrogate && code <= kLastSurrogate))
            return false;
        codes.push_back(code);
        at += start->length;
    }
    return true;
}

std::optional<uint32_t> missingCharacter(const BitmapFont& font, const std::vector<uint32_t>& codes)
{
    for (uint32_t code : codes)
        if (code >= font.chars.size() || !font.chars[code])
            return code;
    return std::nullopt;
}

TextLayout layoutText(const BitmapFont& font, const std::vector<uint32_t>& codes)
{
    TextLayout layout;
    int64_t pen = 0;
    int64_t inkRight = std::numeric_limits<int64_t>::min();  // rightmost ink + 1
    int64_t inkBottom = std::numeric_limits<int64_t>::min(); // bottom ink + 1
    for (size_t i = 0; i < codes.size(); ++i) {
        const BitmapGlyph& glyph = *font.chars[codes[i]];
        if (i > 0)
            pen += kerningDelta(glyph, codes[i - 1]);
        const bool hasImage = !glyph.pixels.empty() && glyph.pixels.size() == uint64_t(glyph.width) * glyph.height;
        if (hasImage) {
            const PlacedGlyph placed{&glyph, pen + glyph.xoff, int64_t(font.ascender) - glyph.yoff};
            layout.glyphs.push_back(placed);
            layout.left = std::min(layout.left, placed.x);
            layout.top = std::min(layout.top, placed.y);
            inkRight = std::max(inkRight, placed.x + int64_t(glyph.width));
            inkBottom = std::max(inkBottom, placed.y + int64_t(glyph.height));
        }
        pen += glyph.xadvance;
    }
    // A picture of nothing is still one pixel wide and high.
    layout.right = std::max({pen, inkRight, layout.left + 1});
    layout.bottom = std::max({int64_t(font.height), inkBottom, layout.top + 1});
    return layout;
}

Picture drawText(const TextLayout& layout, uint32_t rotation)
{
    const bool quarterTurn = rotation == 90 || rotation == 270;
    Picture picture;
    picture.width = uint32_t(quarterTurn ? layout.height() : layout.width());
    picture.height = uint32_t(quarterTurn ? layout.width() : layout.height());
    picture.format = PictureFormat::Grey;
    std::vector<uint8_t> coverage(size_t(layout.width() * layout.height()), 0);
    for (const PlacedGlyph& placed : layout.glyphs)
        drawGlyph(placed, layout, rotation, picture.width, coverage);
    for (uint8_t& value : coverage)
        value = uint8_t(kNoInk - value);
    picture.pixels = std::move(coverage);
    return picture;
}
