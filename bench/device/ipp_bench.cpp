// Instructions per pixel of the drawing paths that matter on a device, over
// areas of 128 x 64 and of 16 x 16 pixels (a glyph): fills, copies, blends of
// opaque and of translucent ARGB8888 and ARGB8565, A8 masks of random and of
// text-like coverage, translucent solid fills, into RGB565, RGB565_SWAPPED
// and ARGB8888; and of text: a line of 45 characters at 16 pixels into RGB565
// with the classic font (8 bits) and with the packed one (4 bits,
// compressed), per pixel of the classic glyphs' images, so that the two
// figures compare instruction counts. Run under QEMU with -icount shift=0, where the SysTick timer
// on the processor clock counts executed instructions (one tick per fixed
// number of them, calibrated here on a loop of known length).
//
// Each operation is also checked: drawn again from a copy of its source
// stored at 90 degrees, which only the general path reads, it must leave the
// same bytes (a fill: every pixel the colour's stored value). Prints one line
// per operation and size, "MISMATCH" after the figure of one that differs;
// exit status 1 when an operation fails or differs.
//
// Then a 64 x 64 icon with transparency is blended from flash into RGB565,
// from its plain surface file and from its compressed one (which must give
// the same bytes), with the calls to malloc and the stack the compressed
// blend takes.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <classic_16.h>
#include <ds_surface.h>
#include <packed_16.h>

#include "icon_argb8565_surface.h"
#include "icon_argb8565_z_surface.h"
#include "icon_argb8888_surface.h"
#include "icon_argb8888_z_surface.h"

// Every call to malloc, counted (the link wraps it).
extern "C" {
void* __real_malloc(size_t size);
volatile uint32_t gMallocCalls = 0;
void* __wrap_malloc(size_t size)
{
    ++gMallocCalls;
    return __real_malloc(size);
}
}

namespace {

constexpr int32_t kWidth = 128;
constexpr int32_t kHeight = 64;
constexpr uint32_t kPixels = uint32_t(kWidth * kHeight);

// Sources, each also stored turned by 90 degrees.
uint16_t rgb565Pixels[kPixels], rgb565Turned[kPixels];
uint32_t argbPixels[kPixels], argbTurned[kPixels];     // every byte random
uint32_t opaquePixels[kPixels], opaqueTurned[kPixels]; // the same colours, alpha 255
uint8_t argb8565Pixels[kPixels * 3], argb8565Turned[kPixels * 3];
uint8_t coveragePixels[kPixels], coverageTurned[kPixels]; // A8, uniform
uint8_t glyphPixels[kPixels], glyphTurned[kPixels];       // A8, text-like: 60 % 0, 25 % 255
uint8_t fullPixels[kPixels];                              // A8, all 255, stored turned

// Destinations: their first content, the drawn one and the checked one.
uint32_t destinationStart[kPixels], destinationPixels[kPixels], checkPixels[kPixels];

// SysTick: control and status, reload value, current value (counts down).
volatile uint32_t* const kSysTickControl = reinterpret_cast<volatile uint32_t*>(0xE000E010);
volatile uint32_t* const kSysTickReload = reinterpret_cast<volatile uint32_t*>(0xE000E014);
volatile uint32_t* const kSysTickCurrent = reinterpret_cast<volatile uint32_t*>(0xE000E018);
constexpr uint32_t kSysTickMask = 0xFFFFFF;

void startSysTick()
{
    *kSysTickReload = kSysTickMask;
    *kSysTickCurrent = 0;
    *kSysTickControl = 5; // enabled, processor clock, no interrupt
}

// Ticks from `start` to `end` of the down-counting 24-bit timer.
uint32_t ticksBetween(uint32_t start, uint32_t end)
{
    return (start - end) & kSysTickMask;
}

// Runs 2 x `iterations` instructions: a subtract and a taken branch each turn.
__attribute__((noinline)) void countedLoop(uint32_t iterations)
{
    __asm volatile("1: subs %0, %0, #1\n bne 1b" : "+r"(iterations) : : "cc");
}

// Instructions per SysTick tick, in 1/1000: the known loop timed.
uint64_t instructionsPerTickMilli()
{
    constexpr uint32_t kIterations = 1000000;
    const uint32_t start = *kSysTickCurrent;
    countedLoop(kIterations);
    const uint32_t ticks = ticksBetween(start, *kSysTickCurrent);
    return ticks ? uint64_t(2) * kIterations * 1000 / ticks : 0;
}

// Deterministic pixel values.
uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state;
}

void fillSources()
{
    uint32_t state = 2024;
    for (uint32_t i = 0; i < kPixels; ++i) {
        rgb565Pixels[i] = uint16_t(nextRandom(state) >> 16);
        argbPixels[i] = nextRandom(state);
        opaquePixels[i] = argbPixels[i] | 0xFF000000u;
        const uint32_t colour = nextRandom(state);
        memcpy(argb8565Pixels + 3 * i, &colour, 3);
        coveragePixels[i] = uint8_t(nextRandom(state) >> 24);
        const uint32_t kind = nextRandom(state) >> 16; // 0..65535
        glyphPixels[i] = kind < 39322 ? 0 : kind < 55706 ? 255 : uint8_t(1 + (nextRandom(state) >> 24) % 254);
        fullPixels[i] = 255;
        destinationStart[i] = nextRandom(state);
    }
}

// A surface over `pixels`, kWidth x kHeight logical pixels stored upright or
// at 90 degrees, rows packed.
DsSurface surfaceOver(void* pixels, uint32_t mode, int32_t rotation)
{
    return DsSurface(
        kWidth, kHeight, rotation, mode, static_cast<uint8_t*>(pixels), dsPackedPitch(kWidth, kHeight, rotation, mode));
}

// Stores the upright source `upright` turned by 90 degrees into `turned`.
void turn(void* upright, void* turned, uint32_t mode)
{
    DsSurface from = surfaceOver(upright, mode, 0);
    DsSurface to = surfaceOver(turned, mode, 90);
    to.blit(from, DsRect(0, 0, kWidth, kHeight), 0, 0);
}

enum Kind : uint8_t { kFill, kBlendFill, kBlit, kBlend, kMask };

struct Operation {
    const char* name;
    Kind kind;
    uint32_t destinationMode;
    uint32_t sourceMode;
    void* source;    // upright
    void* turned;    // the same at 90 degrees
    uint32_t colour; // fills and masks
    uint8_t opacity;
};

const Operation kOperations[] = {
    {"a  fill RGB565", kFill, RGB565, 0, nullptr, nullptr, 0xFF336699, 255},
    {"b  blit RGB565 -> RGB565", kBlit, RGB565, RGB565, rgb565Pixels, rgb565Turned, 0, 255},
    {"c0 blit ARGB8888 -> RGB565", kBlit, RGB565, ARGB8888, argbPixels, argbTurned, 0, 255},
    {"c1 blend ARGB8888 -> RGB565, alpha all 255", kBlend, RGB565, ARGB8888, opaquePixels, opaqueTurned, 0, 255},
    {"c2 blend ARGB8888 -> RGB565, random alpha", kBlend, RGB565, ARGB8888, argbPixels, argbTurned, 0, 255},
    {"d  blend ARGB8888 -> RGB565, opacity 128", kBlend, RGB565, ARGB8888, argbPixels, argbTurned, 0, 128},
    {"e  blendMask A8 (random) -> RGB565", kMask, RGB565, A8, coveragePixels, coverageTurned, 0xFF336699, 255},
    {"e2 blendMask A8 (text-like) -> RGB565", kMask, RGB565, A8, glyphPixels, glyphTurned, 0xFF336699, 255},
    {"f  blendFill RGB565, alpha 160", kBlendFill, RGB565, 0, nullptr, nullptr, 0xA0336699, 255},
    {"g  blend ARGB8565 -> RGB565", kBlend, RGB565, ARGB8565, argb8565Pixels, argb8565Turned, 0, 255},
    {"h  blit ARGB8565 -> RGB565", kBlit, RGB565, ARGB8565, argb8565Pixels, argb8565Turned, 0, 255},
    {"i  fill RGB565_SWAPPED", kFill, RGB565_SWAPPED, 0, nullptr, nullptr, 0xFF336699, 255},
    {"j  blit RGB565 -> RGB565_SWAPPED", kBlit, RGB565_SWAPPED, RGB565, rgb565Pixels, rgb565Turned, 0, 255},
    {"k  blend ARGB8888 -> RGB565_SWAPPED", kBlend, RGB565_SWAPPED, ARGB8888, argbPixels, argbTurned, 0, 255},
    {"l  blendMask A8 (text-like) -> RGB565_SWAPPED", kMask, RGB565_SWAPPED, A8, glyphPixels, glyphTurned, 0xFF336699,
        255},
    {"m  blend ARGB8888 -> ARGB8888", kBlend, ARGB8888, ARGB8888, argbPixels, argbTurned, 0, 255},
    {"n  blendMask A8 (text-like) -> ARGB8888", kMask, ARGB8888, A8, glyphPixels, glyphTurned, 0xFF336699, 255},
};

int draw(const Operation& operation, DsSurface& target, const DsSurface& source, const DsRect& area)
{
    switch (operation.kind) {
    case kFill: return target.fill(area, operation.colour);
    case kBlendFill: return target.blendFill(area, operation.colour, operation.opacity);
    case kBlit: return target.blit(source, area, 0, 0);
    case kBlend: return target.blend(source, area, 0, 0, operation.opacity);
    default: return target.blendMask(source, area, 0, 0, operation.colour, operation.opacity);
    }
}

// The same drawing by the general path, into `check`.
bool matchesGeneralPath(const Operation& operation, DsSurface& target, DsSurface& check, const DsRect& area)
{
    const uint64_t bytes = target.bufferSize();
    memcpy(checkPixels, destinationStart, size_t(bytes));
    if (operation.kind == kFill) {
        const uint32_t expected = dsEncodeColor(operation.destinationMode, operation.colour);
        for (int32_t row = 0; row < area.height; ++row)
            for (int32_t column = 0; column < area.width; ++column)
                if (memcmp(target.pixels() + row * target.pitch() + column * target.bytesPerPixel(), &expected,
                        target.bytesPerPixel()) != 0)
                    return false;
        return true;
    }
    if (operation.kind == kBlendFill) {
        const DsSurface full = surfaceOver(fullPixels, A8, 90);
        check.blendMask(full, area, 0, 0, operation.colour, operation.opacity);
    } else {
        draw(operation, check, surfaceOver(operation.turned, operation.sourceMode, 90), area);
    }
    return memcmp(target.pixels(), check.pixels(), size_t(bytes)) == 0;
}

// Prints the instructions per pixel of one drawing of `operation` over
// `area`, as x.yy, and whether it matches the general path.
bool measure(const Operation& operation, const DsRect& area, uint64_t perTickMilli)
{
    DsSurface target = surfaceOver(destinationPixels, operation.destinationMode, 0);
    DsSurface check = surfaceOver(checkPixels, operation.destinationMode, 0);
    const DsSurface source =
        operation.source ? surfaceOver(operation.source, operation.sourceMode, 0) : surfaceOver(fullPixels, A8, 0);
    memcpy(destinationPixels, destinationStart, size_t(target.bufferSize()));
    const uint32_t start = *kSysTickCurrent;
    const int result = draw(operation, target, source, area);
    const uint32_t ticks = ticksBetween(start, *kSysTickCurrent);
    if (result != DS_DRAW_OK) {
        printf("%ldx%ld %s: failed with result %d\n", long(area.width), long(area.height), operation.name, result);
        return false;
    }
    const bool matches = matchesGeneralPath(operation, target, check, area);
    const uint64_t perPixelCenti = uint64_t(ticks) * perTickMilli / uint64_t(area.width * area.height) / 10;
    printf("%3ldx%-3ld %-46s %3lu.%02lu instructions per pixel%s\n", long(area.width), long(area.height),
        operation.name, static_cast<unsigned long>(perPixelCenti / 100),
        static_cast<unsigned long>(perPixelCenti % 100), matches ? "" : "  MISMATCH");
    return matches;
}

// Prints the instructions per pixel of the classic glyphs' images of one
// drawing of `draw`, as x.yy, under `name`.
template <typename Drawing>
bool measureTextDrawing(const char* name, uint32_t glyphPixels, uint64_t perTickMilli, Drawing draw)
{
    const uint32_t start = *kSysTickCurrent;
    const int result = draw();
    const uint32_t ticks = ticksBetween(start, *kSysTickCurrent);
    if (result != DS_DRAW_OK) {
        printf("%s: failed with result %d\n", name, result);
        return false;
    }
    const uint64_t perPixelCenti = uint64_t(ticks) * perTickMilli / glyphPixels / 10;
    printf("%-54s %3lu.%02lu instructions per glyph pixel\n", name, static_cast<unsigned long>(perPixelCenti / 100),
        static_cast<unsigned long>(perPixelCenti % 100));
    return true;
}

// A line of 45 characters, with kerned pairs.
constexpr const char* kTextLine = "AVATAR To: a quick fix for 45 WAVY glyphs, ok";
static_assert(sizeof "AVATAR To: a quick fix for 45 WAVY glyphs, ok" == 46, "the line holds 45 characters");

// Pixels of the classic glyphs' images along the line: what the text
// figures are per.
uint32_t classicGlyphPixels(const ds_bitmap_font_t& font, const char* text)
{
    uint32_t pixels = 0;
    for (const char* at = text; *at != 0; ++at)
        if (const ds_bitmap_font_char_t* glyph = font.chars[uint8_t(*at)])
            pixels += uint32_t(glyph->w) * glyph->h;
    return pixels;
}

// The line drawn with each font into an RGB565 surface over the destination
// pixels, wide and tall enough for the whole line, its baseline the font's
// ascender below the top, so that no glyph is clipped.
bool measureText(uint64_t perTickMilli)
{
    constexpr int32_t kTextWidth = 512;
    constexpr int32_t kTextHeight = int32_t(sizeof destinationPixels / 2 / kTextWidth);
    DsSurface target(kTextWidth, kTextHeight, 0, RGB565, reinterpret_cast<uint8_t*>(destinationPixels), kTextWidth * 2);
    const int32_t widths[] = {dsTextWidth(font_classic_16_0, kTextLine), dsTextWidth(font_packed_16_0, kTextLine)};
    for (const int32_t width : widths)
        if (width + 8 > kTextWidth || font_classic_16_0.height + 8 > kTextHeight ||
            font_packed_16_0.height + 8 > kTextHeight) {
            printf("text: the line of %ld pixels does not fit the surface\n", long(width));
            return false;
        }
    const uint32_t line = classicGlyphPixels(font_classic_16_0, kTextLine);
    bool ok = measureTextDrawing("text classic 8 bpp -> RGB565", line, perTickMilli, [&] {
        return dsDrawText(target, font_classic_16_0, 4, 4 + font_classic_16_0.ascender, kTextLine, 0xFFFFFFFF);
    });
    ok = measureTextDrawing("text packed 4 bpp compressed -> RGB565", line, perTickMilli,
             [&] {
                 return dsDrawText(target, font_packed_16_0, 4, 4 + font_packed_16_0.ascender, kTextLine, 0xFFFFFFFF);
             }) &&
        ok;
    return ok;
}

// The stack below the caller's frame, painted, for the depth a call reaches.
constexpr uint32_t kStackPaint = 0xA5A5A5A5u;
constexpr uint32_t kPaintedWords = 3072; // 12 KiB, more than any drawing may take

__attribute__((noinline)) uint32_t* paintStack()
{
    uint32_t* top = static_cast<uint32_t*>(__builtin_frame_address(0)) - 64;
    for (uint32_t i = 1; i <= kPaintedWords; ++i)
        *(volatile uint32_t*)(top - i) = kStackPaint;
    return top;
}

// Bytes of stack below `top` written since paintStack.
uint32_t stackUsed(const uint32_t* top)
{
    uint32_t deepest = 0;
    for (uint32_t i = 1; i <= kPaintedWords; ++i)
        if (*(volatile const uint32_t*)(top - i) != kStackPaint)
            deepest = i;
    return deepest * 4;
}

struct Icon {
    const char* plainName;
    const char* compressedName;
    const uint8_t* plain;
    size_t plainSize;
    const uint8_t* compressed;
    size_t compressedSize;
};

// Blends the icon at `file` over the destination's first content at (0, 0),
// RGB565 64 x 64; prints the instructions per pixel and returns the ticks.
bool blendIcon(const char* name, const uint8_t* bytes, size_t size, uint64_t perTickMilli, bool compressed)
{
    DsSurfaceFile file{};
    if (dsReadSurfaceFile(bytes, size, file) != SURFACE_FILE_OK) {
        printf("64x64   %s: cannot read its surface file\n", name);
        return false;
    }
    const DsSurface icon(file);
    DsSurface target = DsSurface(64, 64, 0, RGB565, reinterpret_cast<uint8_t*>(destinationPixels), 128);
    memcpy(destinationPixels, destinationStart, 64 * 128);
    const uint32_t* top = compressed ? paintStack() : nullptr;
    const uint32_t mallocs = gMallocCalls;
    const uint32_t start = *kSysTickCurrent;
    const int result = target.blend(icon, DsRect(0, 0, 64, 64), 0, 0);
    const uint32_t ticks = ticksBetween(start, *kSysTickCurrent);
    const uint32_t mallocCalls = gMallocCalls - mallocs;
    const uint64_t perPixelCenti = uint64_t(ticks) * perTickMilli / (64 * 64) / 10;
    printf("%3ldx%-3ld %-46s %3lu.%02lu instructions per pixel\n", 64L, 64L, name,
        static_cast<unsigned long>(perPixelCenti / 100), static_cast<unsigned long>(perPixelCenti % 100));
    if (compressed)
        printf("  %s: %lu calls to malloc, %lu bytes of stack\n", name, static_cast<unsigned long>(mallocCalls),
            static_cast<unsigned long>(stackUsed(top)));
    return result == DS_DRAW_OK;
}

// The plain icon's blend, then the compressed one's, which must leave the
// same bytes.
bool measureIcon(const Icon& icon, uint64_t perTickMilli)
{
    bool ok = blendIcon(icon.plainName, icon.plain, icon.plainSize, perTickMilli, false);
    memcpy(checkPixels, destinationPixels, 64 * 128);
    ok = blendIcon(icon.compressedName, icon.compressed, icon.compressedSize, perTickMilli, true) && ok;
    if (memcmp(checkPixels, destinationPixels, 64 * 128) != 0) {
        printf("  %s: MISMATCH against the plain icon\n", icon.compressedName);
        return false;
    }
    return ok;
}

} // namespace

int main()
{
    startSysTick();
    const uint64_t perTickMilli = instructionsPerTickMilli();
    printf("SysTick: %lu.%03lu instructions per tick\n", static_cast<unsigned long>(perTickMilli / 1000),
        static_cast<unsigned long>(perTickMilli % 1000));
    fillSources();
    turn(rgb565Pixels, rgb565Turned, RGB565);
    turn(argbPixels, argbTurned, ARGB8888);
    turn(opaquePixels, opaqueTurned, ARGB8888);
    turn(argb8565Pixels, argb8565Turned, ARGB8565);
    turn(coveragePixels, coverageTurned, A8);
    turn(glyphPixels, glyphTurned, A8);
    // The whole area, then a glyph's.
    const DsRect areas[] = {DsRect(0, 0, kWidth, kHeight), DsRect(0, 0, 16, 16)};
    bool ok = true;
    for (const DsRect& area : areas)
        for (const Operation& operation : kOperations)
            ok = measure(operation, area, perTickMilli) && ok;
    ok = measureText(perTickMilli) && ok;
    const Icon icons[] = {
        {"o  blend icon ARGB8888 -> RGB565", "p  blend compressed icon ARGB8888 -> RGB565", icon_argb8888_surface,
            icon_argb8888_surface_size, icon_argb8888_z_surface, icon_argb8888_z_surface_size},
        {"q  blend icon ARGB8565 -> RGB565", "r  blend compressed icon ARGB8565 -> RGB565", icon_argb8565_surface,
            icon_argb8565_surface_size, icon_argb8565_z_surface, icon_argb8565_z_surface_size},
    };
    for (const Icon& icon : icons)
        ok = measureIcon(icon, perTickMilli) && ok;
    return ok ? 0 : 1;
}
