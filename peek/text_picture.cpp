#include "text_picture.h"

#include "character_map.h"
#include "ds_packed_font.h"
#include "ds_surface.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <string>

namespace {

constexpr uint8_t kNoInk = 255;
constexpr uint32_t kBlack = 0xFF000000u; // text colour: its alpha is the coverage

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

bool hasImage(const BitmapGlyph& glyph)
{
    return !glyph.pixels.empty() && glyph.pixels.size() == uint64_t(glyph.width) * glyph.height;
}

} // namespace

DeviceFont::DeviceFont(const BitmapFont& font)
{
    mFont.height = uint16_t(font.height);
    mFont.ascender = int16_t(font.ascender);
    mFont.descender = int16_t(font.descender);
    for (size_t code = 0; code < font.chars.size(); ++code)
        if (font.chars[code])
            addGlyph(uint8_t(code), *font.chars[code]);
}

void DeviceFont::addGlyph(uint8_t code, const BitmapGlyph& glyph)
{
    std::string& prev = mKerningPrev[code];
    std::vector<int8_t>& delta = mKerningDelta[code];
    for (const KerningPair& pair : glyph.kerning) {
        prev.push_back(char(pair.prev));
        delta.push_back(int8_t(pair.delta));
    }
    mChars[code] = ds_bitmap_font_char_t{uint16_t(glyph.width), uint16_t(glyph.height), int16_t(glyph.xoff),
        int16_t(glyph.yoff), int16_t(glyph.xadvance), prev.c_str(), delta.data(),
        hasImage(glyph) ? glyph.pixels.data() : nullptr};
    mFont.chars[code] = &mChars[code];
}

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
        if (code < start->minimum || code > kLargestCharacter || (code >= kFirstSurrogate && code <= kLastSurrogate))
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
    layout.deviceFont = std::make_shared<const DeviceFont>(font);
    layout.ascender = font.ascender;
    const std::string text(codes.begin(), codes.end());
    layout.draw = [deviceFont = layout.deviceFont, text](DsSurface& surface, int32_t x, int32_t y) {
        return dsDrawText(surface, deviceFont->font(), x, y, text.c_str(), kBlack);
    };
    int64_t pen = 0;
    int64_t inkRight = std::numeric_limits<int64_t>::min();  // rightmost ink + 1
    int64_t inkBottom = std::numeric_limits<int64_t>::min(); // bottom ink + 1
    for (size_t i = 0; i < codes.size(); ++i) {
        const BitmapGlyph& glyph = *font.chars[codes[i]];
        if (i > 0)
            pen += dsKerningDelta(*layout.deviceFont->font().chars[codes[i]], uint8_t(codes[i - 1]));
        if (hasImage(glyph)) {
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

TextLayout layoutPackedText(const ds_packed_font_t& font, const std::string& text)
{
    struct Extent {
        TextLayout& layout;
        int64_t inkRight;  // rightmost ink + 1
        int64_t inkBottom; // bottom ink + 1
    };
    TextLayout layout;
    layout.ascender = font.ascender;
    layout.draw = [&font, text](DsSurface& surface, int32_t x, int32_t y) {
        return dsDrawText(surface, font, x, y, text.c_str(), kBlack);
    };
    Extent extent{layout, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::min()};
    const auto visit = [](const DsPackedGlyph& glyph, int64_t pen, void* context) {
        Extent& extent = *static_cast<Extent*>(context);
        if (glyph.width > 0 && glyph.height > 0) {
            const int64_t x = pen + glyph.xoff, y = extent.layout.ascender - glyph.yoff;
            extent.layout.left = std::min(extent.layout.left, x);
            extent.layout.top = std::min(extent.layout.top, y);
            extent.inkRight = std::max(extent.inkRight, x + glyph.width);
            extent.inkBottom = std::max(extent.inkBottom, y + glyph.height);
        }
        return 0;
    };
    int stop;
    const int64_t pen = dsWalkPackedText(font, text.c_str(), visit, &extent, stop);
    layout.right = std::max({pen, extent.inkRight, layout.left + 1});
    layout.bottom = std::max({int64_t(font.height), extent.inkBottom, layout.top + 1});
    return layout;
}

Picture drawText(const TextLayout& layout, uint32_t rotation)
{
    Picture picture;
    picture.format = PictureFormat::Grey;
    const int32_t angle = int32_t(rotation);
    DsSurface surface(int32_t(layout.width()), int32_t(layout.height()), &angle, A8, false, 0, dsMalloc, dsFree, 1, 0);
    if (!surface.isValid())
        throw std::bad_alloc();
    picture.width = uint32_t(surface.width());
    picture.height = uint32_t(surface.height());
    std::fill_n(surface.pixels(), size_t(surface.bufferSize()), uint8_t(0));
    if (layout.draw) {
        // The pen starts at the picture's column -left; the baseline lies
        // `ascender` rows below the line's top, which is row -top.
        layout.draw(surface, int32_t(-layout.left), int32_t(layout.ascender - layout.top));
    }
    // The surface's rows are `width` bytes apart (alignment 1): the picture.
    picture.pixels.assign(surface.pixels(), surface.pixels() + surface.bufferSize());
    surface.release();
    for (uint8_t& value : picture.pixels)
        value = uint8_t(kNoInk - value);
    return picture;
}
