// Instructions per pixel of the drawing paths that matter on a device, on
// 320 x 240 pixels: fill RGB565, blit RGB565 -> RGB565, blit ARGB8888 ->
// RGB565, blend ARGB8888 -> RGB565 at opacity 255 and 128; and of text: a
// line of 45 characters at 16 pixels into RGB565 with the classic font
// (8 bits) and with the packed one (4 bits, compressed), per pixel of the
// classic glyphs' images, so that the two figures compare instruction
// counts. Run under QEMU with -icount shift=0, where the SysTick timer on
// the processor clock counts executed instructions (one tick per fixed
// number of them, calibrated here on a loop of known length). Prints one
// line a path; exit status 1 when an operation fails.
#include <stdint.h>
#include <stdio.h>

#include <classic_16.h>
#include <ds_surface.h>
#include <packed_16.h>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr uint32_t kPixels = uint32_t(kWidth * kHeight);

uint16_t destinationPixels[kPixels];
uint16_t rgb565Pixels[kPixels];
uint32_t argbPixels[kPixels];

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
    uint32_t state = 12345;
    for (uint32_t i = 0; i < kPixels; ++i) {
        rgb565Pixels[i] = uint16_t(nextRandom(state) >> 16);
        argbPixels[i] = nextRandom(state);
    }
}

// Prints the instructions per pixel of one run of `operation` over
// `pixels` pixels, as x.yy, with `unit` ("pixel", "glyph pixel").
template <typename Operation>
bool measure(const char* name, uint64_t perTickMilli, Operation operation, uint32_t pixels = kPixels,
    const char* unit = "pixel")
{
    const uint32_t start = *kSysTickCurrent;
    const int result = operation();
    const uint32_t ticks = ticksBetween(start, *kSysTickCurrent);
    if (result != DS_DRAW_OK) {
        printf("%s: failed with result %d\n", name, result);
        return false;
    }
    const uint64_t perPixelCenti = uint64_t(ticks) * perTickMilli / pixels / 10;
    printf("%-40s %3lu.%02lu instructions per %s\n", name, static_cast<unsigned long>(perPixelCenti / 100),
        static_cast<unsigned long>(perPixelCenti % 100), unit);
    return true;
}

// A line of 45 characters, with kerned pairs.
constexpr const char* kTextLine = "AVATAR To: a quick fix for 45 WAVY glyphs, ok";
static_assert(sizeof "AVATAR To: a quick fix for 45 WAVY glyphs, ok" == 46, "the line holds 45 characters");

// Pixels of the classic glyphs' images along the line: what the text
// figures are per.
uint32_t glyphPixels(const ds_bitmap_font_t& font, const char* text)
{
    uint32_t pixels = 0;
    for (const char* at = text; *at != 0; ++at)
        if (const ds_bitmap_font_char_t* glyph = font.chars[uint8_t(*at)])
            pixels += uint32_t(glyph->w) * glyph->h;
    return pixels;
}

} // namespace

int main()
{
    startSysTick();
    const uint64_t perTickMilli = instructionsPerTickMilli();
    printf("SysTick: %lu.%03lu instructions per tick\n", static_cast<unsigned long>(perTickMilli / 1000),
        static_cast<unsigned long>(perTickMilli % 1000));
    fillSources();
    DsSurface destination(kWidth, kHeight, 0, RGB565, reinterpret_cast<uint8_t*>(destinationPixels), kWidth * 2);
    const DsSurface rgb565(kWidth, kHeight, 0, RGB565, reinterpret_cast<uint8_t*>(rgb565Pixels), kWidth * 2);
    const DsSurface argb(kWidth, kHeight, 0, ARGB8888, reinterpret_cast<uint8_t*>(argbPixels), kWidth * 4);
    const DsRect whole(0, 0, kWidth, kHeight);
    bool ok = measure("fill RGB565", perTickMilli, [&] { return destination.fill(whole, 0xFF336699); });
    ok = ok && measure("blit RGB565 -> RGB565", perTickMilli, [&] { return destination.blit(rgb565, whole, 0, 0); });
    ok = ok && measure("blit ARGB8888 -> RGB565", perTickMilli, [&] { return destination.blit(argb, whole, 0, 0); });
    ok = ok && measure("blend ARGB8888 -> RGB565, opacity 255", perTickMilli, [&] {
        return destination.blend(argb, whole, 0, 0, 255);
    });
    ok = ok && measure("blend ARGB8888 -> RGB565, opacity 128", perTickMilli, [&] {
        return destination.blend(argb, whole, 0, 0, 128);
    });
    const uint32_t line = glyphPixels(font_classic_16_0, kTextLine);
    ok = ok && measure("text classic 8 bpp -> RGB565", perTickMilli, [&] {
        return dsDrawText(destination, font_classic_16_0, 4, 40, kTextLine, 0xFFFFFFFF);
    }, line, "glyph pixel");
    ok = ok && measure("text packed 4 bpp compressed -> RGB565", perTickMilli, [&] {
        return dsDrawText(destination, font_packed_16_0, 4, 80, kTextLine, 0xFFFFFFFF);
    }, line, "glyph pixel");
    return ok ? 0 : 1;
}
