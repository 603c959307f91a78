#include "font_source_text.h"

#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstring>

namespace {

constexpr size_t kPixelTextLength = 6;      // "0xAB, "
constexpr int64_t kPixelsPerUnit = 64;      // 26.6 fixed point
constexpr uint8_t kLargestSignedChar = 127; // larger codes do not fit a signed char as they are

// "0x00, " to "0xFF, " side by side, so a pixel costs one copy.
constexpr std::array<char, 256 * kPixelTextLength> makePixelTexts()
{
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 256 * kPixelTextLength> texts{};
    for (size_t value = 0; value < 256; ++value) {
        char* text = &texts[value * kPixelTextLength];
        text[0] = '0';
        text[1] = 'x';
        text[2] = digits[value >> 4];
        text[3] = digits[value & 0xF];
        text[4] = ',';
        text[5] = ' ';
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

// Walks a bitmap as one rotation sees it: `lines` lines of `values` pixels,
// pixel k of line l at offset start + l * lineStep + k * valueStep.
struct RotatedWalk {
    uint32_t lines;      // lines of the rotated image
    uint32_t values;     // pixels per line of the rotated image
    ptrdiff_t start;     // offset of the first pixel written
    ptrdiff_t lineStep;  // offset from one line to the next
    ptrdiff_t valueStep; // offset from one pixel of a line to the next
};

// 90 turns counter-clockwise, 180 upside down, 270 clockwise.
RotatedWalk rotatedWalk(const GlyphBitmap& bitmap, uint32_t rotation)
{
    const ptrdiff_t pitch = bitmap.pitch;
    const ptrdiff_t lastRow = ptrdiff_t(bitmap.rows) - 1;
    const ptrdiff_t lastColumn = ptrdiff_t(bitmap.width) - 1;
    switch (rotation) {
    case 90: return {bitmap.width, bitmap.rows, lastColumn, -1, pitch};
    case 180: return {bitmap.rows, bitmap.width, lastRow * pitch + lastColumn, -pitch, -1};
    case 270: return {bitmap.width, bitmap.rows, lastRow * pitch, 1, -pitch};
    default: return {bitmap.rows, bitmap.width, 0, pitch, 1};
    }
}

void appendPixelArray(std::string& out, uint32_t code, const GlyphBitmap& bitmap, uint32_t rotation)
{
    out += "static const uint8_t char_";
    appendNumber(out, code);
    out += "_pixels_";
    appendNumber(out, rotation);
    out += "[] = {\n";
    // The array's size is known up front: write the digits straight into it.
    const RotatedWalk walk = rotatedWalk(bitmap, rotation);
    const size_t first = out.size();
    out.resize(first + size_t(walk.lines) * (size_t(walk.values) * kPixelTextLength + 1));
    char* cursor = &out[first];
    for (uint32_t line = 0; line < walk.lines; ++line) {
        const uint8_t* pixel = bitmap.buffer + walk.start + ptrdiff_t(line) * walk.lineStep;
        for (uint32_t value = 0; value < walk.values; ++value, pixel += walk.valueStep) {
            std::memcpy(cursor, &kPixelTexts[size_t(*pixel) * kPixelTextLength], kPixelTextLength);
            cursor += kPixelTextLength;
        }
        *cursor++ = '\n';
    }
    out += "};\n\n";
}

void appendKerningArrays(std::string& out, uint32_t code, const KerningPairs& pairs)
{
    out += "static const char char_";
    appendNumber(out, code);
    out += "_ktp[] = {";
    for (const KerningPair& pair : pairs) {
        // A code above 127 is cast so that the array compiles whether char is
        // signed or unsigned, and holds that byte either way.
        if (pair.prev > kLargestSignedChar)
            out += "(char)";
        appendNumber(out, unsigned(pair.prev));
        out += ", ";
    }
    out += "0};\n";
    out += "static const int8_t char_";
    appendNumber(out, code);
    out += "_ktd[] = {";
    for (const KerningPair& pair : pairs) {
        appendNumber(out, int(pair.delta));
        out += ", ";
    }
    out += "0};\n";
}

void appendGlyphRecord(std::string& out, uint32_t code, const RenderedGlyph& glyph, bool kerned, uint32_t rotation)
{
    out += "static const ds_bitmap_font_char_t char_";
    appendNumber(out, code);
    out += '_';
    appendNumber(out, rotation);
    out += " = \n{\n.w = ";
    appendNumber(out, glyph.bitmap.width);
    out += ",\n.h = ";
    appendNumber(out, glyph.bitmap.rows);
    out += ",\n.xoff = ";
    appendNumber(out, glyph.xoff);
    out += ",\n.yoff = ";
    appendNumber(out, glyph.yoff);
    out += ",\n.xadvance = ";
    appendNumber(out, glyph.xadvance);
    out += ",\n";
    if (kerned) {
        out += ".kerning_table_prev = char_";
        appendNumber(out, code);
        out += "_ktp,\n.kerning_table_delta = char_";
        appendNumber(out, code);
        out += "_ktd,\n";
    } else {
        out += ".kerning_table_prev = nullptr,\n.kerning_table_delta = nullptr,\n";
    }
    if (glyph.bitmap.buffer) {
        out += ".pixels = char_";
        appendNumber(out, code);
        out += "_pixels_";
        appendNumber(out, rotation);
        out += '\n';
    } else {
        out += ".pixels = nullptr\n";
    }
    out += "};\n\n\n";
}

void appendFontRecord(std::string& out, const std::string& name, const SizeMetrics& metrics,
    const PresenceTable& present, uint32_t rotation)
{
    out += "\n\nconst ds_bitmap_font_t font_";
    out += name;
    out += '_';
    appendNumber(out, rotation);
    out += " = {\n.height = ";
    appendNumber(out, static_cast<unsigned long>(metrics.height / kPixelsPerUnit));
    out += ",\n.ascender = ";
    appendNumber(out, metrics.ascender / kPixelsPerUnit);
    out += ",\n.descender = ";
    appendNumber(out, metrics.descender / kPixelsPerUnit);
    out += ",\n.chars = {\n";
    for (uint32_t code = 0; code < present.size(); ++code) {
        if (!present[code]) {
            out += "nullptr,\n";
            continue;
        }
        out += "&char_";
        appendNumber(out, code);
        out += '_';
        appendNumber(out, rotation);
        out += ",\n";
    }
    out += "}\n};\n";
}

} // namespace

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
    out += "#include <";
    out += includeName;
    out += ">\n\n";
}

void appendGlyph(std::string& out, uint32_t code, const RenderedGlyph& glyph, const KerningPairs& pairs)
{
    if (!pairs.empty())
        appendKerningArrays(out, code, pairs);
    if (glyph.bitmap.buffer)
        for (uint32_t rotation : kFontRotations)
            appendPixelArray(out, code, glyph.bitmap, rotation);
    for (uint32_t rotation : kFontRotations)
        appendGlyphRecord(out, code, glyph, !pairs.empty(), rotation);
}

void appendFontRecords(
    std::string& out, const std::string& name, const SizeMetrics& metrics, const PresenceTable& present)
{
    for (uint32_t rotation : kFontRotations)
        appendFontRecord(out, name, metrics, present, rotation);
}

std::string headerText(const std::string& name)
{
    std::string guard = name;
    for (char& byte : guard)
        byte = char(std::toupper(static_cast<unsigned char>(byte)));
    std::string text = "#ifndef _FONT_" + guard + "_H\n#define _FONT_" + guard + "_H\n\n";
    text += "#include <ds_font.h>";
    text += "\n\nextern const ds_bitmap_font_t font_" + name + "_0;";
    text += "\nextern const ds_bitmap_font_t font_" + name + "_90;";
    text += "\nextern const ds_bitmap_font_t font_" + name + "_180;";
    text += "\nextern const ds_bitmap_font_t font_" + name + "_270;\n\n";
    text += "#endif\n";
    return text;
}
