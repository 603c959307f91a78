#include "ds_compressed.h"

#include "ds_bytes.h"
#include "ds_color.h"

#include <string.h>

namespace ds {
namespace {

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
    else if constexpr (Bytes == 2) {
        uint16_t value;
        memcpy(&value, pixel, 2);
        return value;
    } else if constexpr (Bytes == 3)
        return dsLoadLittle24(pixel);
    else {
        uint32_t value;
        memcpy(&value, pixel, 4);
        return value;
    }
}

template <uint32_t Bytes, bool HighByteFirst>
DS_ALWAYS_INLINE void storeValue(uint8_t* pixel, uint32_t value)
{
    if constexpr (HighByteFirst) {
        pixel[0] = uint8_t(value >> 8);
        pixel[1] = uint8_t(value);
    } else if constexpr (Bytes == 1)
        pixel[0] = uint8_t(value);
    else if constexpr (Bytes == 2) {
        const uint16_t narrow = uint16_t(value);
        memcpy(pixel, &narrow, 2);
    } else if constexpr (Bytes == 3)
        dsStoreLittle24(pixel, value);
    else
        memcpy(pixel, &value, 4);
}

// `count` copies of the pixel at `pixel`.
void fillPixels(uint8_t* out, const uint8_t* pixel, uint32_t bytes, uint32_t count)
{
    if (bytes == 1) {
        memset(out, pixel[0], count);
    } else if (bytes == 2) {
        uint16_t value;
        memcpy(&value, pixel, 2);
        for (uint32_t i = 0; i < count; ++i, out += 2)
            memcpy(out, &value, 2);
    } else if (bytes == 4) {
        uint32_t value;
        memcpy(&value, pixel, 4);
        for (uint32_t i = 0; i < count; ++i, out += 4)
            memcpy(out, &value, 4);
    } else {
        for (uint32_t i = 0; i < count; ++i, out += bytes)
            memcpy(out, pixel, bytes);
    }
}

// A residual run's field widths, ready for the pixel loop.
struct Residuals {
    uint32_t count;     // fields
    uint32_t width[4];  // residual bits of each field
    uint32_t shift[4];  // where each field starts in the stored value
    uint32_t mask[4];   // the field's bits, in place
    uint32_t pixelBits; // the residual bits of a pixel
};

// Pixels `from` to `from + count - 1` of a residual run whose residuals
// start at `bits`: each field the pixel above's plus its residual.
template <uint32_t Bytes, bool HighByteFirst>
void addResiduals(
    const Residuals& residuals, const uint8_t* bits, uint32_t from, uint32_t count, const uint8_t* above, uint8_t* out)
{
    const uint32_t firstBit = from * residuals.pixelBits;
    const uint8_t* next = bits + firstBit / 8;
    uint32_t buffer = 0, available = 0;
    if (firstBit % 8 != 0) {
        buffer = uint32_t(*next++) >> (firstBit % 8);
        available = 8 - firstBit % 8;
    }
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
        for (uint32_t field = 0; field < residuals.count; ++field) {
            const uint32_t width = residuals.width[field], shift = residuals.shift[field];
            // The residual, sign-extended, in the field's place.
            const uint32_t residual = width == 0 ? 0 : uint32_t(int32_t(pixel << (32 - width)) >> (32 - width));
            pixel >>= width;
            result |= ((value & residuals.mask[field]) + (residual << shift)) & residuals.mask[field];
        }
        storeValue<Bytes, HighByteFirst>(out, result);
    }
}

// The widths of a residual run's fields from its descriptor byte.
Residuals residualsOf(uint32_t descriptor, const FieldLayout& layout)
{
    Residuals residuals{layout.count, {}, {}, {}, 0};
    uint32_t shift = 0;
    for (uint32_t field = 0; field < layout.count; ++field) {
        residuals.width[field] = kResidualBits[descriptor >> (2 * field) & 3];
        residuals.shift[field] = shift;
        residuals.mask[field] = ((1u << layout.bits[field]) - 1) << shift;
        residuals.pixelBits += residuals.width[field];
        shift += layout.bits[field];
    }
    return residuals;
}

// addResiduals for the pixel size and byte order of `layout`.
void addResidualRun(const FieldLayout& layout, uint32_t pixelBytes, const uint8_t* payload, uint32_t from,
    uint32_t count, const uint8_t* above, uint8_t* out)
{
    const Residuals residuals = residualsOf(payload[0], layout);
    const uint8_t* bits = payload + 1;
    switch (pixelBytes) {
    case 1: return addResiduals<1, false>(residuals, bits, from, count, above, out);
    case 2:
        if (layout.highByteFirst)
            return addResiduals<2, true>(residuals, bits, from, count, above, out);
        return addResiduals<2, false>(residuals, bits, from, count, above, out);
    case 3: return addResiduals<3, false>(residuals, bits, from, count, above, out);
    default: return addResiduals<4, false>(residuals, bits, from, count, above, out);
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

const uint8_t* decodeRow(
    const CodedRows& rows, const uint8_t* code, uint32_t first, uint32_t count, const uint8_t* above, uint8_t* out)
{
    const uint32_t pixelBytes = dsBytesPerPixel(rows.colorMode);
    const FieldLayout layout = fieldLayout(rows.colorMode);
    const uint32_t end = first + count;
    for (uint32_t x = 0; x < rows.width;) {
        Run run;
        const uint8_t* payload = readRun(code, x, rows.width, run);
        code = payload + payloadBytes(run, payload, pixelBytes, layout);
        const uint32_t runEnd = x + run.length;
        if (runEnd > first && x < end) {
            // The part of the run inside the span: its pixels from..to - 1.
            const uint32_t from = x < first ? first - x : 0;
            const uint32_t to = (runEnd < end ? runEnd : end) - x;
            const size_t at = size_t(x + from - first) * pixelBytes;
            const size_t bytes = size_t(to - from) * pixelBytes;
            switch (run.kind) {
            case kRunCopy: memcpy(out + at, payload + size_t(from) * pixelBytes, bytes); break;
            case kRunFill: fillPixels(out + at, payload, pixelBytes, to - from); break;
            case kRunResidual:
                addResidualRun(layout, pixelBytes, payload, from, to - from, above + at, out + at);
                break;
            default:
                if (above != out)
                    memcpy(out + at, above + at, bytes);
            }
        }
        x = runEnd;
    }
    return code;
}

} // namespace ds
