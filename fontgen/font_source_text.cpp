#include "font_source_text.h"

#include "font_header_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstring>

using namespace font_text;

namespace {

constexpr size_t kPixelTextLength = kPixelValuePrefix.size() + 2 + kEntrySeparator.size(); // "0xAB, "
constexpr int64_t kPixelsPerUnit = 64;                                                     // 26.6 fixed point
constexpr uint8_t kLargestSignedChar = 127; // larger codes do not fit a signed char as they are

// "0x00, " to "0xFF, " side by side, so a pixel costs one copy.
constexpr std::array<char, 256 * kPixelTextLength> makePixelTexts()
{
    std::array<char, 256 * kPixelTextLength> texts{};
    for (size_t value = 0; value < 256; ++value) {
        char* text = &texts[value * kPixelTextLength];
        for (char prefix : kPixelValuePrefix)
            *text++ = prefix;
        *text++ = kHexDigits[value >> 4];
        *text++ = kHexDigits[value & 0xF];
        for (char separator : kEntrySeparator)
            *text++ = separator;
    }
    return texts;
}

constexpr std::array<char, 256 * kPixelTextLength> kPixelTexts = makePixelTexts();

template <typename Integer>
void appendNumber(std::string& out, Integer value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// "char_<code>", the start of every name that belongs to a glyph.
void appendGlyphName(std::string& out, uint32_t code)
{
    out += kGlyphPrefix;
    appendNumber(out, code);
}

void appendPixelArray(std::string& out, uint32_t code, const GlyphBitmap& bitmap, uint32_t rotation)
{
    out += kPixelArrayType;
    appendGlyphName(out, code);
    out += kPixelsSuffix;
    appendNumber(out, rotation);
    out += kArrayStart;
    out += kLineEnd;
    // The array's size is known up front: write the digits straight into it.
    const RotatedWalk walk = rotatedWalk(bitmap.width, bitmap.rows, bitmap.pitch, rotation);
    const size_t first = out.size();
    out.resize(first + size_t(walk.shape.lines) * (size_t(walk.shape.values) * kPixelTextLength + 1));
    char* cursor = &out[first];
    for (uint32_t line = 0; line < walk.shape.lines; ++line) {
        const uint8_t* pixel = bitmap.buffer + walk.start + ptrdiff_t(line) * walk.lineStep;
        for (uint32_t value = 0; value < walk.shape.values; ++value, pixel += walk.valueStep) {
            std::memcpy(cursor, &kPixelTexts[size_t(*pixel) * kPixelTextLength], kPixelTextLength);
            cursor += kPixelTextLength;
        }
        *cursor++ = kLineEnd;
    }
    out += kPixelArrayEnd;
}

// One kerning array: `type`, the glyph's name with `suffix`, then each entry
// as `appendEntry` writes it.
template <typename AppendEntry>
void appendKerningArray(std::string& out, std::string_view type, uint32_t code, std::string_view suffix,
    const KerningPairs& pairs, AppendEntry appendEntry)
{
    out += type;
    appendGlyphName(out, code);
    out += suffix;
    out += kArrayStart;
    for (const KerningPair& pair : pairs) {
        appendEntry(out, pair);
        out += kEntrySeparator;
    }
    out += kKerningEnd;
}

void appendKerningArrays(std::string& out, uint32_t code, const KerningPairs& pairs)
{
    // A preceding code above 127 is cast, so that the array compiles whether
    // char is signed or unsigned, and holds that byte either way.
    appendKerningArray(
        out, kKerningPrevType, code, kKerningPrevSuffix, pairs, [](std::string& text, const KerningPair& pair) {
            if (pair.prev > kLargestSignedChar)
                text += kCharCast;
            appendNumber(text, unsigned(pair.prev));
        });
    appendKerningArray(out, kKerningDeltaType, code, kKerningDeltaSuffix, pairs,
        [](std::string& text, const KerningPair& pair) { appendNumber(text, int(pair.delta)); });
}

template <typename Integer>
void appendField(std::string& out, std::string_view field, Integer value)
{
    out += field;
    appendNumber(out, value);
    out += kFieldEnd;
}

// A field that names one of the glyph's arrays, or holds nullptr.
void appendReference(std::string& out, std::string_view field, bool present, uint32_t code, std::string_view suffix)
{
    out += field;
    if (present) {
        appendGlyphName(out, code);
        out += suffix;
    } else {
        out += kNull;
    }
}

void appendGlyphRecord(std::string& out, uint32_t code, const RenderedGlyph& glyph, bool kerned, uint32_t rotation)
{
    out += kGlyphRecordType;
    appendGlyphName(out, code);
    out += kNameSeparator;
    appendNumber(out, rotation);
    out += kGlyphRecordStart;
    appendField(out, kWidthField, glyph.bitmap.width);
    appendField(out, kHeightField, glyph.bitmap.rows);
    appendField(out, kXoffField, glyph.xoff);
    appendField(out, kYoffField, glyph.yoff);
    appendField(out, kXadvanceField, glyph.xadvance);
    appendReference(out, kKerningPrevField, kerned, code, kKerningPrevSuffix);
    out += kFieldEnd;
    appendReference(out, kKerningDeltaField, kerned, code, kKerningDeltaSuffix);
    out += kFieldEnd;
    const bool hasPixels = glyph.bitmap.buffer != nullptr;
    appendReference(out, kPixelsField, hasPixels, code, kPixelsSuffix);
    if (hasPixels)
        appendNumber(out, rotation);
    out += kLineEnd;
    out += kGlyphRecordEnd;
}

void appendFontRecord(std::string& out, const std::string& name, const SizeMetrics& metrics,
    const PresenceTable& present, uint32_t rotation)
{
    out += kFontRecordStart;
    out += name;
    out += kNameSeparator;
    appendNumber(out, rotation);
    out += kFontRecordOpen;
    const StoredFontMetrics stored = storedFontMetrics(metrics);
    appendField(out, kFontHeightField, static_cast<unsigned long>(stored.height));
    appendField(out, kAscenderField, stored.ascender);
    appendField(out, kDescenderField, stored.descender);
    out += kCharsStart;
    for (uint32_t code = 0; code < present.size(); ++code) {
        if (present[code]) {
            out += kAddressOf;
            appendGlyphName(out, code);
            out += kNameSeparator;
            appendNumber(out, rotation);
        } else {
            out += kNull;
        }
        out += kFieldEnd;
    }
    out += kFontRecordEnd;
}

// `value` in upper-case hex, at least `digits` digits.
void appendHex(std::string& out, uint32_t value, size_t digits)
{
    std::string text;
    do {
        text.insert(text.begin(), kHexDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), '0');
    out += text;
}

// A run of slots: codes first..last showing characters from `character` on,
// from font `font`.
struct SlotRun {
    uint32_t first;
    uint32_t last;
    uint32_t character;
    uint32_t font;
};

// The runs of `glyphs` that differ from code N showing U+N from the main
// font, in code order.
std::vector<SlotRun> notedRuns(const FontGlyphSet& glyphs)
{
    std::vector<const FontGlyph*> noted;
    for (const FontGlyph& glyph : glyphs.glyphs)
        if (glyph.character != glyph.code || glyph.font != 0)
            noted.push_back(&glyph);
    std::sort(noted.begin(), noted.end(), [](const FontGlyph* a, const FontGlyph* b) { return a->code < b->code; });
    std::vector<SlotRun> runs;
    for (const FontGlyph* glyph : noted) {
        if (!runs.empty()) {
            SlotRun& run = runs.back();
            if (glyph->code == run.last + 1 && glyph->font == run.font &&
                glyph->character == run.character + (glyph->code - run.first)) {
                run.last = glyph->code;
                continue;
            }
        }
        runs.push_back({glyph->code, glyph->code, glyph->character, glyph->font});
    }
    return runs;
}

void appendRunNote(std::string& out, const SlotRun& run, const std::vector<std::string>& fallbackNames)
{
    out += kCommentStart;
    out += kCodePrefix;
    appendHex(out, run.first, 2);
    if (run.last != run.first) {
        out += kRangeDash;
        out += kCodePrefix;
        appendHex(out, run.last, 2);
    }
    out += kSlotSeparator;
    out += kCharacterPrefix;
    appendHex(out, run.character, 4);
    if (run.last != run.first) {
        out += kRangeDash;
        out += kCharacterPrefix;
        appendHex(out, run.character + (run.last - run.first), 4);
    }
    if (run.font != 0 && run.font <= fallbackNames.size()) {
        out += kFromFont;
        appendFontNote(out, fallbackNames[run.font - 1]);
        out += kQuoteEnd;
    }
    out += kLineEnd;
}

} // namespace

void appendFontNote(std::string& out, const std::string& name)
{
    for (char byte : name)
        out += (uint8_t(byte) < 0x20 || byte == 0x7F || byte == '\\') ? '?' : byte;
}

void appendSlotNotes(std::string& out, const FontGlyphSet& glyphs, const std::vector<std::string>& fallbackNames)
{
    const std::vector<SlotRun> runs = notedRuns(glyphs);
    if (runs.empty() && fallbackNames.empty())
        return;
    for (const std::string& name : fallbackNames) {
        out += kCommentStart;
        out += kFallbackNote;
        appendFontNote(out, name);
        out += kQuoteEnd;
        out += kLineEnd;
    }
    for (const SlotRun& run : runs)
        appendRunNote(out, run, fallbackNames);
    out += kLineEnd;
}

StoredFontMetrics storedFontMetrics(const SizeMetrics& metrics)
{
    return {metrics.height / kPixelsPerUnit, metrics.ascender / kPixelsPerUnit, metrics.descender / kPixelsPerUnit};
}

void sanitizeFontName(std::string& name)
{
    for (char& byte : name) {
        const bool letterOrDigit =
            (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
        if (!letterOrDigit && byte != '_')
            byte = '_';
    }
}

void appendIncludeLine(std::string& out, const std::string& includeName)
{
    out += kIncludeStart;
    out += includeName;
    out += kIncludeEnd;
}

const FontRotations& allFontRotations()
{
    static const FontRotations rotations(kFontRotations.begin(), kFontRotations.end());
    return rotations;
}

void appendGlyph(std::string& out, uint32_t code, const RenderedGlyph& glyph, const KerningPairs& pairs,
    const FontRotations& rotations)
{
    if (!pairs.empty())
        appendKerningArrays(out, code, pairs);
    if (glyph.bitmap.buffer) {
        for (uint32_t rotation : rotations)
            appendPixelArray(out, code, glyph.bitmap, rotation);
    }
    for (uint32_t rotation : rotations)
        appendGlyphRecord(out, code, glyph, !pairs.empty(), rotation);
}

void appendFontRecords(std::string& out, const std::string& name, const SizeMetrics& metrics,
    const PresenceTable& present, const FontRotations& rotations)
{
    for (uint32_t rotation : rotations)
        appendFontRecord(out, name, metrics, present, rotation);
}

std::string headerText(const std::string& name, const std::vector<uint32_t>& rotations)
{
    return fontHeaderText(name, rotations, "ds_bitmap_font_t");
}
