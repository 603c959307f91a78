// libFuzzer target for the font-source readers: any bytes as a generated
// font source, classic or packed as assetpeek tells them apart; for a
// classic one its slot notes read, and a font that reads drawn in every
// rotation it holds with the characters it has, after the one the input's
// first byte picks.
#include "ds_packed_font.h"
#include "font_source_notes.h"
#include "font_source_reader.h"
#include "packed_source_reader.h"
#include "text_picture.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Keeps each run quick; the tool's own limit is far larger.
constexpr uint64_t kLargestPicture = uint64_t(1) << 20;
constexpr size_t kLongestText = 16;

// Codes the font has, from `first` on, wrapping round.
std::vector<uint32_t> textOf(const BitmapFont& font, uint32_t first)
{
    std::vector<uint32_t> codes;
    for (uint32_t i = 0; i < font.chars.size() && codes.size() < kLongestText; ++i) {
        const uint32_t code = (first + i) % font.chars.size();
        if (font.chars[code])
            codes.push_back(code);
    }
    return codes;
}

// Up to kLongestText characters the packed font has, from the one after
// `first` on, as UTF-8.
std::string packedTextOf(const ds_packed_font_t& font, uint32_t first)
{
    std::string text;
    size_t count = 0;
    for (uint32_t character = first; character < 0x110000 && count < kLongestText; ++character) {
        DsPackedGlyph glyph;
        if (character == 0 || !dsFindPackedGlyph(font, character, glyph))
            continue;
        if (character < 0x80) {
            text += char(character);
        } else if (character < 0x800) {
            text += char(0xC0 | character >> 6);
            text += char(0x80 | (character & 0x3F));
        } else {
            // Three bytes serve below U+10000; the four-byte form beyond.
            if (character >= 0x10000) {
                text += char(0xF0 | character >> 18);
                text += char(0x80 | (character >> 12 & 0x3F));
            } else {
                text += char(0xE0 | character >> 12);
            }
            text += char(0x80 | (character >> 6 & 0x3F));
            text += char(0x80 | (character & 0x3F));
        }
        ++count;
    }
    return text;
}

void drawPacked(std::string_view text, uint32_t first)
{
    PackedSource source;
    uint32_t errorLine = 0;
    if (!readPackedSource(text, source, errorLine))
        return;
    for (const PackedFont& font : source.fonts) {
        const ds_packed_font_t device = devicePackedFont(font);
        const TextLayout layout = layoutPackedText(device, packedTextOf(device, first));
        if (layout.width() * layout.height() <= kLargestPicture)
            drawText(layout, uint32_t(font.rotation));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (isPackedSource(text)) {
        drawPacked(text, size > 0 ? data[0] : 0);
        return 0;
    }
    readSlotNotes(text);
    GeneratedFont font;
    uint32_t errorLine = 0;
    if (!readFontSource(text, font, errorLine))
        return 0;
    for (size_t index = 0; index < kFontRotations.size(); ++index) {
        const std::vector<uint32_t> codes = textOf(font.rotations[index], size > 0 ? data[0] : 0);
        const TextLayout layout = layoutText(font.rotations[index], codes);
        if (layout.width() * layout.height() <= kLargestPicture)
            drawText(layout, kFontRotations[index]);
    }
    return 0;
}
