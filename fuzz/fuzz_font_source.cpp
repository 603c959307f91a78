// libFuzzer target for the font-source reader: any bytes as a generated
// font source, its slot notes read, and a font that reads drawn in every
// rotation with the codes it has, after the codes the input's first byte
// picks.
#include "font_source_notes.h"
#include "font_source_reader.h"
#include "text_picture.h"

#include <cstddef>
#include <cstdint>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
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
