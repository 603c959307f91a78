#include "font_source_reader.h"

#include <algorithm>
#include <memory>
#include <utility>

using namespace font_text;

namespace {

// Ranges of the fields, from the types ds_font.h gives them.
constexpr int64_t kUint16Max = 0xFFFF;
constexpr int64_t kInt16Min = -0x8000;
constexpr int64_t kInt16Max = 0x7FFF;
constexpr int64_t kInt8Min = -0x80;
constexpr int64_t kInt8Max = 0x7F;
constexpr int64_t kLargestCode = kLargestFontCode;
// Decimal magnitudes above this are out of every field's range; stopping
// there keeps the arithmetic far from overflow.
constexpr int64_t kLargestMagnitude = 1000000;

constexpr size_t kRotationCount = kFontRotations.size();

// A read position in the text that knows its line, and the line of the
// first byte that did not fit the format.
class SourceCursor {
public:
    explicit SourceCursor(std::string_view text) : mRest(text) { }

    bool startsWith(std::string_view piece) const { return mRest.substr(0, piece.size()) == piece; }
    bool atEnd() const { return mRest.empty(); }
    uint32_t errorLine() const { return mErrorLine; }

    // Consumes `piece` if the text goes on with it.
    bool accept(std::string_view piece)
    {
        if (!startsWith(piece))
            return false;
        advance(piece.size());
        return true;
    }

    // As accept, but a mismatch is an error at the line of its first
    // differing byte.
    bool expect(std::string_view piece)
    {
        if (accept(piece))
            return true;
        const size_t same = std::mismatch(piece.begin(), piece.end(), mRest.begin(), mRest.end()).first - piece.begin();
        mErrorLine = mLine + uint32_t(std::count(piece.begin(), piece.begin() + same, kLineEnd));
        return false;
    }

    bool expect(char byte) { return expect(std::string_view(&byte, 1)); }

    // Records an error at the current line; returns false for the caller.
    bool fail()
    {
        mErrorLine = mLine;
        return false;
    }

    // A decimal number as std::to_chars writes it (no '+', no leading zeros,
    // no "-0") from `lowest` to `highest`.
    bool number(int64_t lowest, int64_t highest, int64_t& value)
    {
        const bool negative = startsWith("-");
        size_t at = negative ? 1 : 0;
        if (at >= mRest.size() || !isDigit(mRest[at]) || (mRest[at] == '0' && (negative || followedByDigit(at))))
            return fail();
        int64_t magnitude = 0;
        for (; at < mRest.size() && isDigit(mRest[at]); ++at) {
            magnitude = magnitude * 10 + (mRest[at] - '0');
            if (magnitude > kLargestMagnitude)
                return fail();
        }
        value = negative ? -magnitude : magnitude;
        if (value < lowest || value > highest)
            return fail();
        advance(at);
        return true;
    }

    // One character of `digits`; its position there is the value.
    bool digit(std::string_view digits, uint32_t& value)
    {
        const size_t position = mRest.empty() ? std::string_view::npos : digits.find(mRest[0]);
        if (position == std::string_view::npos)
            return fail();
        value = uint32_t(position);
        advance(1);
        return true;
    }

    // Consumes a whole line that begins with `start`, its line end included;
    // false, consuming nothing, when the text does not go on with `start`
    // or the line has no end.
    bool acceptLine(std::string_view start)
    {
        const size_t end = mRest.find(kLineEnd);
        if (!startsWith(start) || end == std::string_view::npos)
            return false;
        advance(end + 1);
        return true;
    }

    // One or more of A-Z, a-z, 0-9 and '_': the characters of a sanitized name.
    bool name(std::string& value)
    {
        size_t length = 0;
        while (length < mRest.size() && isNameCharacter(mRest[length]))
            ++length;
        if (length == 0)
            return fail();
        value.assign(mRest.substr(0, length));
        advance(length);
        return true;
    }

private:
    static bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }
    static bool isNameCharacter(char byte)
    {
        return isDigit(byte) || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_';
    }
    bool followedByDigit(size_t at) const { return at + 1 < mRest.size() && isDigit(mRest[at + 1]); }

    void advance(size_t count)
    {
        mLine += uint32_t(std::count(mRest.begin(), mRest.begin() + count, kLineEnd));
        mRest.remove_prefix(count);
    }

    std::string_view mRest;  // text not read yet
    uint32_t mLine = 1;      // line of mRest's first byte
    uint32_t mErrorLine = 0; // line of the last mismatch
};

// One pixel array as written: lines of equally many values.
struct PixelArray {
    uint32_t lines = 0;          // lines of the array
    uint32_t values = 0;         // values on each line
    std::vector<uint8_t> pixels; // lines x values bytes, line by line
};

// What a glyph's block declares before its records.
struct GlyphArrays {
    std::string name;                              // "char_<code>"
    bool kerned = false;                           // the kerning arrays are there
    KerningPairs kerning;                          // their entries, all of them
    bool hasPixels = false;                        // the pixel arrays are there
    std::array<PixelArray, kRotationCount> pixels; // one per rotation
};

// Positions in kFontRotations of the rotations a source holds, ascending.
using RotationIndices = std::vector<size_t>;

// The rotations that `text` names in its glyph and font records; all four
// when it names none. Each rotation is named on hundreds of lines, so a
// line lost or damaged leaves the list as it was, and the reader fails
// where the text departs from the format, not before.
RotationIndices writtenRotations(std::string_view text, const std::string& name)
{
    std::array<bool, kRotationCount> named{};
    // Each place where `start` is followed by the rotation, after
    // "<code>_" in a glyph record's name.
    const auto collect = [&](const std::string& start, bool afterCode) {
        for (size_t at = text.find(start); at != std::string_view::npos; at = text.find(start, at + 1)) {
            std::string_view rest = text.substr(at + start.size());
            if (afterCode) {
                const size_t code = rest.find_first_not_of("0123456789");
                if (code == 0 || code == std::string_view::npos || rest[code] != kNameSeparator)
                    continue;
                rest.remove_prefix(code + 1);
            }
            for (size_t index = 0; index < kRotationCount; ++index) {
                const std::string angle = std::to_string(kFontRotations[index]) + " ";
                named[index] = named[index] || rest.substr(0, angle.size()) == angle;
            }
        }
    };
    collect(std::string(kFontRecordStart) + name + kNameSeparator, false);
    collect(std::string(kGlyphRecordType) + std::string(kGlyphPrefix), true);
    RotationIndices written;
    for (size_t index = 0; index < kRotationCount; ++index)
        if (named[index] || std::none_of(named.begin(), named.end(), [](bool n) { return n; }))
            written.push_back(index);
    return written;
}

// Glyph records read so far, by rotation and code.
using GlyphRecords = std::array<std::array<std::optional<BitmapGlyph>, kLargestFontCode + 1>, kRotationCount>;

std::string glyphName(uint32_t code)
{
    return std::string(kGlyphPrefix) + std::to_string(code);
}

// "<type><name><suffix>[] = {": the start of an array of the glyph.
bool expectArrayStart(SourceCursor& cursor, std::string_view type, const GlyphArrays& glyph, std::string_view suffix)
{
    return cursor.expect(type) && cursor.expect(glyph.name) && cursor.expect(suffix) && cursor.expect(kArrayStart);
}

// A preceding code of a kerning array, with or without the char cast.
bool readPrev(SourceCursor& cursor, uint8_t& prev)
{
    cursor.accept(kCharCast);
    int64_t value = 0;
    if (!cursor.number(0, kLargestCode, value))
        return false;
    prev = uint8_t(value);
    return true;
}

bool readKerningArrays(SourceCursor& cursor, GlyphArrays& glyph)
{
    if (!expectArrayStart(cursor, kKerningPrevType, glyph, kKerningPrevSuffix))
        return false;
    while (!cursor.accept(kKerningEnd)) {
        KerningPair pair{};
        if (!readPrev(cursor, pair.prev) || !cursor.expect(kEntrySeparator))
            return false;
        glyph.kerning.push_back(pair);
    }
    if (!expectArrayStart(cursor, kKerningDeltaType, glyph, kKerningDeltaSuffix))
        return false;
    for (KerningPair& pair : glyph.kerning) {
        int64_t delta = 0;
        if (!cursor.number(kInt8Min, kInt8Max, delta) || !cursor.expect(kEntrySeparator))
            return false;
        pair.delta = int8_t(delta);
    }
    glyph.kerned = true;
    return cursor.expect(kKerningEnd);
}

// One line of "0xAB, " values; every line of an array holds as many as the first.
bool readPixelLine(SourceCursor& cursor, PixelArray& array)
{
    uint32_t values = 0;
    while (!cursor.startsWith(std::string_view(&kLineEnd, 1))) {
        uint32_t high = 0, low = 0;
        if (!cursor.expect(kPixelValuePrefix) || !cursor.digit(kHexDigits, high) || !cursor.digit(kHexDigits, low) ||
            !cursor.expect(kEntrySeparator))
            return false;
        array.pixels.push_back(uint8_t(high << 4 | low));
        ++values;
    }
    if (values == 0 || (array.lines > 0 && values != array.values))
        return cursor.fail();
    array.values = values;
    ++array.lines;
    return cursor.expect(kLineEnd);
}

bool readPixelArrays(SourceCursor& cursor, const RotationIndices& written, GlyphArrays& glyph)
{
    for (size_t index : written) {
        const std::string suffix = std::string(kPixelsSuffix) + std::to_string(kFontRotations[index]);
        if (!expectArrayStart(cursor, kPixelArrayType, glyph, suffix) || !cursor.expect(kLineEnd))
            return false;
        PixelArray& array = glyph.pixels[index];
        do {
            if (!readPixelLine(cursor, array))
                return false;
        } while (cursor.startsWith(kPixelValuePrefix));
        if (!cursor.expect(kPixelArrayEnd))
            return false;
    }
    glyph.hasPixels = true;
    return true;
}

// "<field><number>,\n" with the number from `lowest` to `highest`.
template <typename Integer>
bool readField(SourceCursor& cursor, std::string_view field, int64_t lowest, int64_t highest, Integer& value)
{
    int64_t number = 0;
    if (!cursor.expect(field) || !cursor.number(lowest, highest, number) || !cursor.expect(kFieldEnd))
        return false;
    value = Integer(number);
    return true;
}

// "<field>" and the name of the glyph's array when it has one, else nullptr.
bool readReference(SourceCursor& cursor, std::string_view field, bool present, const std::string& name)
{
    return cursor.expect(field) && cursor.expect(present ? std::string_view(name) : kNull);
}

// The fields of a glyph record from .w to .xadvance.
bool readMetrics(SourceCursor& cursor, BitmapGlyph& record)
{
    return readField(cursor, kWidthField, 0, kUint16Max, record.width) &&
        readField(cursor, kHeightField, 0, kUint16Max, record.height) &&
        readField(cursor, kXoffField, kInt16Min, kInt16Max, record.xoff) &&
        readField(cursor, kYoffField, kInt16Min, kInt16Max, record.yoff) &&
        readField(cursor, kXadvanceField, kInt16Min, kInt16Max, record.xadvance);
}

// The kerning table as the device walks it: it stops at the first 0.
KerningPairs deviceKerningTable(const KerningPairs& entries)
{
    const auto end =
        std::find_if(entries.begin(), entries.end(), [](const KerningPair& pair) { return pair.prev == 0; });
    return KerningPairs(entries.begin(), end);
}

bool readGlyphRecord(SourceCursor& cursor, GlyphArrays& glyph, size_t index, BitmapGlyph& record)
{
    const std::string rotation = std::to_string(kFontRotations[index]);
    if (!cursor.expect(kGlyphRecordType) || !cursor.expect(glyph.name) || !cursor.expect(kNameSeparator) ||
        !cursor.expect(rotation) || !cursor.expect(kGlyphRecordStart) || !readMetrics(cursor, record))
        return false;
    if (!readReference(cursor, kKerningPrevField, glyph.kerned, glyph.name + std::string(kKerningPrevSuffix)) ||
        !cursor.expect(kFieldEnd) ||
        !readReference(cursor, kKerningDeltaField, glyph.kerned, glyph.name + std::string(kKerningDeltaSuffix)) ||
        !cursor.expect(kFieldEnd) ||
        !readReference(cursor, kPixelsField, glyph.hasPixels, glyph.name + std::string(kPixelsSuffix) + rotation))
        return false;
    PixelArray& array = glyph.pixels[index];
    const PixelArrayShape shape = pixelArrayShape(kFontRotations[index], record.width, record.height);
    if (glyph.hasPixels && (shape.lines != array.lines || shape.values != array.values))
        return cursor.fail();
    record.kerning = deviceKerningTable(glyph.kerning);
    record.pixels = std::move(array.pixels);
    return cursor.expect(kLineEnd) && cursor.expect(kGlyphRecordEnd);
}

// A glyph block begins with one of its declarations: a kerning array, a
// pixel array or a record.
bool atGlyph(const SourceCursor& cursor)
{
    return cursor.startsWith(kKerningPrevType) || cursor.startsWith(kPixelArrayType) ||
        cursor.startsWith(kGlyphRecordType);
}

// The code in the name of the first declaration of the glyph block at the cursor.
bool peekGlyphCode(SourceCursor& cursor, uint32_t& code)
{
    SourceCursor ahead = cursor;
    int64_t value = 0;
    if (!(ahead.accept(kKerningPrevType) || ahead.accept(kPixelArrayType) || ahead.accept(kGlyphRecordType)) ||
        !ahead.expect(kGlyphPrefix) || !ahead.number(0, kLargestCode, value)) {
        cursor = ahead;
        return false;
    }
    code = uint32_t(value);
    return true;
}

// One glyph: its kerning arrays, its pixel arrays and its records. A code
// defined twice would not compile.
bool readGlyph(SourceCursor& cursor, const RotationIndices& written, GlyphRecords& records)
{
    uint32_t code = 0;
    if (!peekGlyphCode(cursor, code))
        return false;
    if (records[written.front()][code])
        return cursor.fail();
    GlyphArrays glyph;
    glyph.name = glyphName(code);
    if (cursor.startsWith(kKerningPrevType) && !readKerningArrays(cursor, glyph))
        return false;
    if (cursor.startsWith(kPixelArrayType) && !readPixelArrays(cursor, written, glyph))
        return false;
    for (size_t index : written) {
        BitmapGlyph record;
        if (!readGlyphRecord(cursor, glyph, index, record))
            return false;
        records[index][code] = std::move(record);
    }
    return true;
}

// The `.chars` table: per code, nullptr or the address of the glyph record
// of this rotation, which must have been defined.
bool readCharTable(SourceCursor& cursor, GlyphRecords& records, size_t index, BitmapFont& font)
{
    const std::string rotation = std::string(1, kNameSeparator) + std::to_string(kFontRotations[index]);
    for (uint32_t code = 0; code <= kLargestFontCode; ++code) {
        if (!cursor.accept(kNull)) {
            if (!cursor.expect(kAddressOf) || !cursor.expect(glyphName(code)) || !cursor.expect(rotation))
                return false;
            if (!records[index][code])
                return cursor.fail();
            font.chars[code] = std::move(records[index][code]);
        }
        if (!cursor.expect(kFieldEnd))
            return false;
    }
    return cursor.expect(kFontRecordEnd);
}

bool readFontRecord(
    SourceCursor& cursor, const std::string& name, GlyphRecords& records, size_t index, BitmapFont& font)
{
    return cursor.expect(kFontRecordStart) && cursor.expect(name) && cursor.expect(kNameSeparator) &&
        cursor.expect(std::to_string(kFontRotations[index])) && cursor.expect(kFontRecordOpen) &&
        readField(cursor, kFontHeightField, 0, kUint16Max, font.height) &&
        readField(cursor, kAscenderField, kInt16Min, kInt16Max, font.ascender) &&
        readField(cursor, kDescenderField, kInt16Min, kInt16Max, font.descender) && cursor.expect(kCharsStart) &&
        readCharTable(cursor, records, index, font);
}

bool readSource(std::string_view text, SourceCursor& cursor, GeneratedFont& font)
{
    if (!cursor.expect(kIncludeStart) || !cursor.name(font.name) || !cursor.expect(kHeaderSuffix) ||
        !cursor.expect(kIncludeEnd))
        return false;
    // Comment lines say what remapped slots show; an empty line closes them.
    bool notes = false;
    while (cursor.acceptLine(kCommentStart))
        notes = true;
    if (notes && !cursor.expect(kLineEnd))
        return false;
    const RotationIndices written = writtenRotations(text, font.name);
    // A thousand records do not belong on the stack.
    const auto records = std::make_unique<GlyphRecords>();
    while (atGlyph(cursor)) {
        if (!readGlyph(cursor, written, *records))
            return false;
    }
    font.rotations = {};
    font.written.clear();
    for (size_t index : written) {
        if (!readFontRecord(cursor, font.name, *records, index, font.rotations[index]))
            return false;
        font.written.push_back(kFontRotations[index]);
    }
    return cursor.atEnd() || cursor.fail();
}

} // namespace

size_t fontRotationIndex(uint32_t rotation)
{
    return size_t(std::find(kFontRotations.begin(), kFontRotations.end(), rotation) - kFontRotations.begin());
}

bool readFontSource(std::string_view text, GeneratedFont& font, uint32_t& errorLine)
{
    SourceCursor cursor(text);
    if (readSource(text, cursor, font))
        return true;
    errorLine = cursor.errorLine();
    return false;
}
