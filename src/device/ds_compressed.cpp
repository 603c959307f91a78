#include "ds_compressed.h"

#include "ds_bytes.h"
#include "ds_color.h"

#include <string.h>

// The word loads and stores below read pixels in the host's byte order,
// which must be the surfaces' little-endian one.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the decoder reads little-endian words");

namespace ds {
namespace {

// Words at any alignment: one load or store where the processor takes
// unaligned words (Cortex-M3 to M7), bytes where it does not. memcpy of a
// word would do the same, but is a call at -Os.
typedef uint16_t __attribute__((aligned(1), may_alias)) Unaligned16;
typedef uint32_t __attribute__((aligned(1), may_alias)) Unaligned32;

DS_ALWAYS_INLINE uint32_t load16(const uint8_t* at)
{
    return *reinterpret_cast<const Unaligned16*>(at);
}

DS_ALWAYS_INLINE uint32_t load32(const uint8_t* at)
{
    return *reinterpret_cast<const Unaligned32*>(at);
}

DS_ALWAYS_INLINE void store16(uint8_t* at, uint32_t value)
{
    *reinterpret_cast<Unaligned16*>(at) = uint16_t(value);
}

DS_ALWAYS_INLINE void store32(uint8_t* at, uint32_t value)
{
    *reinterpret_cast<Unaligned32*>(at) = value;
}

// A run as its first byte (or two) gives it.
struct Run {
    uint32_t kind;
    uint32_t length; // pixels, 1 to kLongestRun
};

// Reads the run that opens at `code`, `x` pixels into a row of `width`;
// returns where its payload starts.
DS_ALWAYS_INLINE const uint8_t* readRun(const uint8_t* code, uint32_t x, uint32_t width, Run& run)
{
    const uint32_t first = *code++;
    run.kind = first >> kRunKindShift;
    run.length = first & kRunLengthMask;
    if (run.kind == kRunRest)
        run.length = width - x;
    else if (run.length == 0)
        run.length = kLongRun + *code++;
    return code;
}

// Bits of a residual run's pixel: the widths its descriptor byte gives.
uint32_t pixelResidualBits(uint32_t descriptor, const FieldLayout& layout)
{
    uint32_t bits = 0;
    for (uint32_t field = 0; field < layout.count; ++field)
        bits += kResidualBits[descriptor >> (2 * field) & 3];
    return bits;
}

// Bytes that follow the run's first byte (or two): its pixels, its one
// pixel, nothing, or its descriptor and residuals rounded up to whole bytes.
uint32_t payloadBytes(const Run& run, const uint8_t* payload, uint32_t pixelBytes, const FieldLayout& layout)
{
    switch (run.kind) {
    case kRunCopy: return run.length * pixelBytes;
    case kRunFill: return pixelBytes;
    case kRunResidual: return 1 + (run.length * pixelResidualBits(payload[0], layout) + 7) / 8;
    default: return 0;
    }
}

// The stored value of a pixel of Bytes bytes, and back: one load or store
// of a word where the processor takes unaligned words.
template <uint32_t Bytes, bool HighByteFirst>
DS_ALWAYS_INLINE uint32_t loadValue(const uint8_t* pixel)
{
    if constexpr (HighByteFirst)
        return uint32_t(pixel[0]) << 8 | pixel[1];
    else if constexpr (Bytes == 1)
        return pixel[0];
    else if constexpr (Bytes == 2)
        return load16(pixel);
    else if constexpr (Bytes == 3)
        return dsLoadLittle24(pixel);
    else
        return load32(pixel);
}

template <uint32_t Bytes, bool HighByteFirst>
DS_ALWAYS_INLINE void storeValue(uint8_t* pixel, uint32_t value)
{
    if constexpr (HighByteFirst) {
        pixel[0] = uint8_t(value >> 8);
        pixel[1] = uint8_t(value);
    } else if constexpr (Bytes == 1)
        pixel[0] = uint8_t(value);
    else if constexpr (Bytes == 2)
        store16(pixel, value);
    else if constexpr (Bytes == 3)
        dsStoreLittle24(pixel, value);
    else
        store32(pixel, value);
}

// `count` copies of the pixel at `pixel`, a word at a time where the
// pixels fill words.
template <uint32_t Bytes>
DS_ALWAYS_INLINE void fillPixels(uint8_t* out, const uint8_t* pixel, uint32_t count)
{
    if constexpr (Bytes == 1) {
        memset(out, pixel[0], count);
    } else if constexpr (Bytes == 3) {
        // Four pixels are three words: abca bcab cabc.
        const uint32_t value = dsLoadLittle24(pixel);
        const uint32_t first = value | value << 24, second = value >> 8 | value << 16, third = value >> 16 | value << 8;
        for (; count >= 4; count -= 4, out += 12) {
            store32(out, first);
            store32(out + 4, second);
            store32(out + 8, third);
        }
        for (; count > 0; --count, out += 3)
            dsStoreLittle24(out, value);
    } else {
        uint32_t word = Bytes == 2 ? load16(pixel) * 0x10001u : load32(pixel);
        if constexpr (Bytes == 2) {
            if (count & 1) {
                store16(out, word);
                out += 2;
            }
            count /= 2;
        }
        for (; count >= 4; count -= 4, out += 16) {
            store32(out, word);
            store32(out + 4, word);
            store32(out + 8, word);
            store32(out + 12, word);
        }
        for (; count > 0; --count, out += 4)
            store32(out, word);
    }
}

// `bytes` bytes from `from` to `out`, a word at a time: the runs are short,
// where a call to memcpy would cost more than the copy.
DS_ALWAYS_INLINE void copyBytes(uint8_t* out, const uint8_t* from, uint32_t bytes)
{
    for (; bytes >= 4; bytes -= 4, out += 4, from += 4)
        store32(out, load32(from));
    for (; bytes > 0; --bytes)
        *out++ = *from++;
}

// A residual run's field widths, from its descriptor byte.
struct Residuals {
    uint32_t width[4];  // residual bits of each field
    uint32_t pixelBits; // the residual bits of a pixel
};

DS_ALWAYS_INLINE Residuals residualsOf(uint32_t descriptor, uint32_t fields)
{
    Residuals residuals{{}, 0};
    for (uint32_t field = 0; field < fields; ++field) {
        residuals.width[field] = kResidualBits[descriptor >> (2 * field) & 3];
        residuals.pixelBits += residuals.width[field];
    }
    return residuals;
}

// Pixels `from` to `from + count - 1` of a residual run whose residuals
// start at `bits`: each field the pixel above's plus its residual.
template <uint32_t Bytes, bool HighByteFirst>
void addResiduals(const RowDecoder& decoder, const Residuals& residuals, const uint8_t* bits, uint32_t from,
    uint32_t count, const uint8_t* above, uint8_t* out)
{
    const uint32_t firstBit = from * residuals.pixelBits;
    const uint8_t* next = bits + firstBit / 8;
    uint32_t buffer = 0, available = 0;
    if (firstBit % 8 != 0) {
        buffer = uint32_t(*next++) >> (firstBit % 8);
        available = 8 - firstBit % 8;
    }
    const uint32_t fields = decoder.layout.count;
    for (uint32_t i = 0; i < count; ++i, above += Bytes, out += Bytes) {
        while (available < residuals.pixelBits) {
            buffer |= uint32_t(*next++) << available;
            available += 8;
        }
        uint32_t pixel = buffer;
        buffer >>= residuals.pixelBits;
        available -= residuals.pixelBits;
        const uint32_t value = loadValue<Bytes, HighByteFirst>(above);
        uint32_t result = 0;
        for (uint32_t field = 0; field < fields; ++field) {
            const uint32_t width = residuals.width[field], mask = decoder.mask[field];
            // The residual, sign-extended, in the field's place.
            const uint32_t residual = width == 0 ? 0 : uint32_t(int32_t(pixel << (32 - width)) >> (32 - width));
            pixel >>= width;
            result |= ((value & mask) + (residual << decoder.shift[field])) & mask;
        }
        storeValue<Bytes, HighByteFirst>(out, result);
    }
}

} // namespace

FieldLayout fieldLayout(uint32_t colorMode)
{
    switch (colorMode) {
    case ARGB8888: return {4, {8, 8, 8, 8}, false};
    case RGB888: return {3, {8, 8, 8, 0}, false};
    case RGB565: return {3, {5, 6, 5, 0}, false};
    case ARGB1555: return {4, {5, 5, 5, 1}, false};
    case ARGB4444: return {4, {4, 4, 4, 4}, false};
    case I8:
    case A8: return {1, {8, 0, 0, 0}, false};
    case AI88: return {2, {8, 8, 0, 0}, false};
    case RGB565_SWAPPED: return {3, {5, 6, 5, 0}, true};
    case ARGB8565: return {4, {5, 6, 5, 8}, false};
    default: return {0, {0, 0, 0, 0}, false};
    }
}

bool checkCodedRows(const CodedRows& rows)
{
    const uint32_t pixelBytes = dsBytesPerPixel(rows.colorMode);
    const FieldLayout layout = fieldLayout(rows.colorMode);
    const uint8_t* code = rows.code;
    const uint8_t* const end = rows.code + rows.codeBytes;
    for (uint32_t row = 0; row < rows.height; ++row) {
        const bool blockStart = row % rows.rowsPerBlock == 0;
        if (blockStart && dsLoadLittle32(rows.blocks + 4 * (row / rows.rowsPerBlock)) != uint32_t(code - rows.code))
            return false;
        for (uint32_t covered = 0; covered < rows.width;) {
            // A run's first byte, its second when the length needs one, and
            // a residual run's descriptor.
            if (end - code < 1)
                return false;
            const uint32_t kind = *code >> kRunKindShift, lengthField = *code & kRunLengthMask;
            const ptrdiff_t opening = 1 + (kind != kRunRest && lengthField == 0) + (kind == kRunResidual);
            if (end - code < opening || kind >= kRunKindCount || (kind == kRunRest && lengthField != 0) ||
                (blockStart && kind != kRunCopy && kind != kRunFill))
                return false;
            Run run;
            code = readRun(code, covered, rows.width, run);
            if (run.length > rows.width - covered)
                return false;
            const uint32_t payload = payloadBytes(run, code, pixelBytes, layout);
            if (uint64_t(end - code) < payload)
                return false;
            code += payload;
            covered += run.length;
        }
    }
    return code == end;
}

const uint8_t* blockCode(const CodedRows& rows, uint32_t row)
{
    return rows.code + dsLoadLittle32(rows.blocks + 4 * (row / rows.rowsPerBlock));
}

namespace {

// decodeRow for pixels of Bytes bytes: a run's pixels outside the span are
// skipped by its bytes alone.
template <uint32_t Bytes, bool HighByteFirst>
const uint8_t* decodeRowOf(const RowDecoder& decoder, const uint8_t* code, uint32_t first, uint32_t count,
    const uint8_t* above, uint8_t* out)
{
    const uint32_t width = decoder.rows.width, end = first + count;
    for (uint32_t x = 0; x < width;) {
        const uint32_t head = *code++, kind = head >> kRunKindShift;
        uint32_t length = head & kRunLengthMask;
        if (kind == kRunRest)
            length = width - x;
        else if (length == 0)
            length = kLongRun + *code++;
        const uint32_t runEnd = x + length;
        // The run's pixels inside the span: low to high - 1 (none when low >= high).
        const uint32_t low = x > first ? x : first, high = runEnd < end ? runEnd : end;
        uint8_t* const target = out + size_t(low - first) * Bytes;
        switch (kind) {
        case kRunCopy:
            if (low < high)
                copyBytes(target, code + size_t(low - x) * Bytes, (high - low) * Bytes);
            code += size_t(length) * Bytes;
            break;
        case kRunFill:
            if (low < high)
                fillPixels<Bytes>(target, code, high - low);
            code += Bytes;
            break;
        case kRunResidual: {
            const Residuals residuals = residualsOf(code[0], decoder.layout.count);
            if (low < high)
                addResiduals<Bytes, HighByteFirst>(
                    decoder, residuals, code + 1, low - x, high - low, above + size_t(low - first) * Bytes, target);
            code += 1 + (length * residuals.pixelBits + 7) / 8;
            break;
        }
        default:
            if (low < high && above != out)
                copyBytes(target, above + size_t(low - first) * Bytes, (high - low) * Bytes);
        }
        x = runEnd;
    }
    return code;
}

// decodeRowOf for the whole row, the drawing of an image that fits the
// buffer: each run's pixels go where the previous run's ended, with no span
// to cut them to.
template <uint32_t Bytes, bool HighByteFirst>
const uint8_t* decodeWholeRow(const RowDecoder& decoder, const uint8_t* code, const uint8_t* above, uint8_t* out)
{
    uint8_t* target = out;
    uint8_t* const end = out + size_t(decoder.rows.width) * Bytes;
    const ptrdiff_t toAbove = above - out;
    while (target != end) {
        const uint32_t head = *code++;
        uint32_t length = head & kRunLengthMask;
        if (length == 0 && head >> kRunKindShift != kRunRest)
            length = kLongRun + *code++;
        const uint32_t bytes = length * Bytes;
        switch (head >> kRunKindShift) {
        case kRunCopy:
            copyBytes(target, code, bytes);
            code += bytes;
            break;
        case kRunFill:
            fillPixels<Bytes>(target, code, length);
            code += Bytes;
            break;
        case kRunAbove:
            if (toAbove != 0)
                copyBytes(target, target + toAbove, bytes);
            break;
        case kRunResidual: {
            const Residuals residuals = residualsOf(code[0], decoder.layout.count);
            addResiduals<Bytes, HighByteFirst>(decoder, residuals, code + 1, 0, length, target + toAbove, target);
            code += 1 + (length * residuals.pixelBits + 7) / 8;
            break;
        }
        default:
            if (toAbove != 0)
                copyBytes(target, target + toAbove, uint32_t(end - target));
            target = end;
            continue;
        }
        target += bytes;
    }
    return code;
}

template <uint32_t Bytes, bool HighByteFirst>
const uint8_t* decodeSpan(const RowDecoder& decoder, const uint8_t* code, uint32_t first, uint32_t count,
    const uint8_t* above, uint8_t* out)
{
    if (first == 0 && count == decoder.rows.width)
        return decodeWholeRow<Bytes, HighByteFirst>(decoder, code, above, out);
    return decodeRowOf<Bytes, HighByteFirst>(decoder, code, first, count, above, out);
}

} // namespace

RowDecoder rowDecoder(const CodedRows& rows)
{
    RowDecoder decoder{rows, fieldLayout(rows.colorMode), {}, {}, nullptr};
    uint32_t shift = 0;
    for (uint32_t field = 0; field < decoder.layout.count; ++field) {
        decoder.shift[field] = shift;
        decoder.mask[field] = ((1u << decoder.layout.bits[field]) - 1) << shift;
        shift += decoder.layout.bits[field];
    }
    switch (dsBytesPerPixel(rows.colorMode)) {
    case 1: decoder.decodeSpan = decodeSpan<1, false>; break;
    case 2: decoder.decodeSpan = decoder.layout.highByteFirst ? decodeSpan<2, true> : decodeSpan<2, false>; break;
    case 3: decoder.decodeSpan = decodeSpan<3, false>; break;
    default: decoder.decodeSpan = decodeSpan<4, false>;
    }
    return decoder;
}

} // namespace ds
