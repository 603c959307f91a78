// Pictures of text drawn with a generated font, from the font's own tables,
// the way the device library draws it.
#pragma once

#include "ds_font.h"
#include "font_source_reader.h"
#include "picture.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The largest text picture drawn, in pixels: it takes one byte a pixel.
constexpr uint64_t kMaxTextPicturePixels = uint64_t(1) << 28;

// The character codes of the UTF-8 text `text`. False for a text that is not
// UTF-8: a stray or missing continuation byte, an overlong form, a surrogate
// or a code above 0x10FFFF.
bool decodeUtf8(std::string_view text, std::vector<uint32_t>& codes);

// The first of `codes` that `font` has no glyph for.
std::optional<uint32_t> missingCharacter(const BitmapFont& font, const std::vector<uint32_t>& codes);

// A glyph the pen has placed, in the coordinates of the upright text: x to
// the right of the pen's start, y down from the top of the font's line.
struct PlacedGlyph {
    const BitmapGlyph* glyph; // its record; its pixels are width x height values
    int64_t x;                // column of the upright image's left edge
    int64_t y;                // row of the upright image's top edge
};

// A BitmapFont as the device holds it: ds_bitmap_font_t records pointing
// into this object's arrays. Glyphs whose pixel array does not match their
// size (which layoutText draws as no ink) get no pixels.
class DeviceFont {
public:
    explicit DeviceFont(const BitmapFont& font);
    DeviceFont(const DeviceFont&) = delete;
    DeviceFont& operator=(const DeviceFont&) = delete;

    const ds_bitmap_font_t& font() const { return mFont; }

private:
    void addGlyph(uint8_t code, const BitmapGlyph& glyph);

    ds_bitmap_font_t mFont{};                           // the record dsDrawText takes
    std::array<ds_bitmap_font_char_t, 256> mChars{};    // the glyph records it points at
    std::array<std::string, 256> mKerningPrev;          // each glyph's preceding codes, 0-terminated
    std::array<std::vector<int8_t>, 256> mKerningDelta; // and their deltas
};

class DsSurface;

// A text laid out, and the upright picture around it: columns left to
// right - 1, rows top to bottom - 1.
struct TextLayout {
    std::shared_ptr<const DeviceFont> deviceFont; // a classic font's tables as the device holds them
    std::vector<PlacedGlyph> glyphs;              // a classic font's glyphs with pixels, in text order
    // Draws the text with the device library, black, the left end of its
    // baseline at (x, y); returns dsDrawText's result.
    std::function<int(DsSurface& surface, int32_t x, int32_t y)> draw;
    int64_t ascender = 0;             // the font's: baseline below the line's top
    int64_t left = 0;                 // min(0, leftmost ink)
    int64_t top = 0;                  // min(0, top ink)
    int64_t right = 1;                // max(final pen, rightmost ink + 1), at least left + 1
    int64_t bottom = 1;               // max(font height, bottom ink + 1), at least top + 1

    uint64_t width() const { return uint64_t(right - left); }
    uint64_t height() const { return uint64_t(bottom - top); }
};

// Lays `codes` out as the device does with `font`, one rotation's records:
// the pen starts at 0; before each glyph, the kerning delta dsKerningDelta
// gives for the previous code is added to the pen; the
// glyph's image goes to (pen + xoff, ascender - yoff); the pen then advances
// by xadvance. Every code must have a glyph (see missingCharacter). A glyph's
// whole image counts as ink, whatever its coverage.
TextLayout layoutText(const BitmapFont& font, const std::vector<uint32_t>& codes);

// Lays the UTF-8 `text` out as dsDrawText does with the packed `font`, from
// the font's own tables (the device's glyph walk); glyphs are placed as
// layoutText places them. `font` and its tables must outlive the layout.
TextLayout layoutPackedText(const ds_packed_font_t& font, const std::string& text);

// Draws `layout`, whose glyphs come from the font of `rotation` degrees (0,
// 90, 180 or 270), with the device library's dsDrawText: black coverage into
// an A8 surface stored in that rotation (where glyphs overlap, an A8 surface
// keeps the larger coverage), then an 8-bit grey picture of its stored rows,
// 255 where there is no ink and 255 - coverage where there is. As the font's
// pixel arrays hold turned images, the picture is the upright one turned the
// same way. The caller keeps width x height within kMaxTextPicturePixels.
Picture drawText(const TextLayout& layout, uint32_t rotation);
