// The Thumb-2 loops of ds_draw_thumb2.h. Each does, per pixel, what
// over565() of ds_draw_fast.cpp does, in the same order:
//   lanes  = red | blue << 16 of the destination, widened (x << 3 | x >> 2)
//   lanes  = colour lanes * sa + 0x00800080 + lanes * (255 - sa)
//   lanes += the high byte of each lane                     (uxtab16)
//   green  = the same in the low lane of its own word
//   result = red: bits 11-15 of lanes, blue: bits 27-31, green: bits 10-15
// Registers of the pixel loop: r0 destination, r1 source, r2 its row end,
// r3 sa, r4 255 - sa, r5 destination pixel, r6 red and blue, r7 green,
// r11 0x00800080, r12 0x00070007, lr scratch. The Thumb2Rows pointer is
// kept on the stack.
#include "ds_draw_thumb2.h"

#if DS_DRAW_THUMB2

static_assert(offsetof(ds::Thumb2Rows, destination) == 0 && offsetof(ds::Thumb2Rows, source) == 4 &&
        offsetof(ds::Thumb2Rows, width) == 8 && offsetof(ds::Thumb2Rows, height) == 12 &&
        offsetof(ds::Thumb2Rows, destinationPitch) == 16 && offsetof(ds::Thumb2Rows, sourcePitch) == 20 &&
        offsetof(ds::Thumb2Rows, redBlue) == 24 && offsetof(ds::Thumb2Rows, green) == 28 &&
        offsetof(ds::Thumb2Rows, parameter) == 32,
    "the loops address the fields by these offsets");

// One instruction a line, as the assembler lists them.
// clang-format off

// Saves the registers and the Thumb2Rows pointer (r0), and sets the two
// constants of the blend.
#define DS_START                                                                                                       \
    "push {r0, r4-r11, lr}\n"                                                                                          \
    "mov r11, #0x00800080\n"                                                                                           \
    "mov r12, #0x00070007\n"

// Label 1, a row: r0 and r1 its first pixels, r2 the end of its source
// pixels, each 1 << shift bytes.
#define DS_ROW_START(shift)                                                                                            \
    "1:\n"                                                                                                             \
    "ldr lr, [sp]\n"                                                                                                   \
    "ldr r0, [lr, #0]\n"                                                                                               \
    "ldr r1, [lr, #4]\n"                                                                                               \
    "ldr r2, [lr, #8]\n"                                                                                               \
    "add r2, r1, r2, lsl #" #shift "\n"

// Stores the pixel in `reg` and goes on with the row (label 2), else to the
// next row (label 6).
#define DS_STORE_AND_NEXT(reg)                                                                                         \
    "strh " reg ", [r0], #2\n"                                                                                         \
    "cmp r1, r2\n"                                                                                                     \
    "bne 2b\n"                                                                                                         \
    "b 6f\n"

// Label 5: a pixel left as it is.
#define DS_SKIP                                                                                                        \
    "5:\n"                                                                                                             \
    "adds r0, r0, #2\n"                                                                                                \
    "cmp r1, r2\n"                                                                                                     \
    "bne 2b\n"

// Label 6: the next row, back to label 1 while rows are left; then returns.
#define DS_ROW_NEXT_AND_RETURN                                                                                         \
    "6:\n"                                                                                                             \
    "ldr lr, [sp]\n"                                                                                                   \
    "ldr r0, [lr, #0]\n"                                                                                               \
    "ldr r3, [lr, #16]\n"                                                                                              \
    "add r0, r0, r3\n"                                                                                                 \
    "str r0, [lr, #0]\n"                                                                                               \
    "ldr r1, [lr, #4]\n"                                                                                               \
    "ldr r3, [lr, #20]\n"                                                                                              \
    "add r1, r1, r3\n"                                                                                                 \
    "str r1, [lr, #4]\n"                                                                                               \
    "ldr r3, [lr, #12]\n"                                                                                              \
    "subs r3, r3, #1\n"                                                                                                \
    "str r3, [lr, #12]\n"                                                                                              \
    "bne 1b\n"                                                                                                         \
    "pop {r0, r4-r11, pc}\n"

// Blends over the destination pixel with alpha r3: `colourLanes` leaves
// the colour's red and blue lanes times sa plus the bias in lr, then
// `colourGreen` its green likewise; stores the result. `swap` is empty for
// RGB565 and exchanges the pixel's bytes for RGB565_SWAPPED.
#define DS_OVER_RGB565(colourLanes, colourGreen, swap)                                                                 \
    "ldrh r5, [r0]\n"                                                                                                  \
    swap                                                                                                               \
    "rsb r4, r3, #255\n"                                                                                               \
    "ubfx r6, r5, #11, #5\n"                                                                                           \
    "bfi r6, r5, #16, #5\n"                                                                                            \
    "and lr, r12, r6, lsr #2\n"                                                                                        \
    "orr r6, lr, r6, lsl #3\n"                                                                                         \
    colourLanes                                                                                                        \
    "mla r6, r6, r4, lr\n"                                                                                             \
    "uxtab16 r6, r6, r6, ror #8\n"                                                                                     \
    "and r7, r5, #0x7E0\n"                                                                                             \
    "add r7, r7, r7, lsl #6\n"                                                                                         \
    "lsr r7, r7, #9\n"                                                                                                 \
    colourGreen                                                                                                        \
    "mla r7, r7, r4, lr\n"                                                                                             \
    "uxtab16 r7, r7, r7, ror #8\n"                                                                                     \
    "and r5, r6, #0xF800\n"                                                                                            \
    "orr r5, r5, r6, lsr #27\n"                                                                                        \
    "ubfx r7, r7, #10, #6\n"                                                                                           \
    "orr r5, r5, r7, lsl #5\n"                                                                                         \
    swap                                                                                                               \
    DS_STORE_AND_NEXT("r5")

// The two bytes of the pixel r5 exchanged.
#define DS_SWAP "rev16 r5, r5\n"

// The red-blue lanes and the green of the ARGB8888 pixel r8, times sa.
#define DS_SOURCE_LANES "uxtb16 lr, r8, ror #16\n" "mla lr, lr, r3, r11\n"
#define DS_SOURCE_GREEN "ubfx lr, r8, #8, #8\n" "mla lr, lr, r3, r11\n"

// The loops, each for RGB565 (`swap` empty) and RGB565_SWAPPED (DS_SWAP),
// as functions of their own so that no pixel decides between them.

// r8 and r9 the colour's red-blue lanes and green, r10 its stored value.
#define DS_MASK_LOOP(swap)                                                                                             \
    DS_START                                                                                                           \
    "ldr r8, [r0, #24]\n"                                                                                              \
    "ldr r9, [r0, #28]\n"                                                                                              \
    "ldr r10, [r0, #32]\n"                                                                                             \
    DS_ROW_START(0)                                                                                                    \
    "2:\n"                                                                                                             \
    "ldrb r3, [r1], #1\n"                                                                                              \
    "cbz r3, 5f\n"                                                                                                     \
    "cmp r3, #255\n"                                                                                                   \
    "beq 4f\n"                                                                                                         \
    DS_OVER_RGB565("mla lr, r3, r8, r11\n", "mla lr, r3, r9, r11\n", swap)                                             \
    "4:\n"                                                                                                             \
    DS_STORE_AND_NEXT("r10")                                                                                           \
    DS_SKIP                                                                                                            \
    DS_ROW_NEXT_AND_RETURN

// r8 the source pixel; transparent ones skipped, opaque ones narrowed.
#define DS_BLEND_LOOP(swap)                                                                                            \
    DS_START                                                                                                           \
    DS_ROW_START(2)                                                                                                    \
    "2:\n"                                                                                                             \
    "ldr r8, [r1], #4\n"                                                                                               \
    "lsrs r3, r8, #24\n"                                                                                               \
    "beq 5f\n"                                                                                                         \
    "cmp r3, #255\n"                                                                                                   \
    "beq 4f\n"                                                                                                         \
    DS_OVER_RGB565(DS_SOURCE_LANES, DS_SOURCE_GREEN, swap)                                                             \
    "4:\n"                                                                                                             \
    "lsrs r5, r8, #8\n"                                                                                                \
    "and r5, r5, #0xF800\n"                                                                                            \
    "ubfx r7, r8, #10, #6\n"                                                                                           \
    "orr r5, r5, r7, lsl #5\n"                                                                                         \
    "ubfx r7, r8, #3, #5\n"                                                                                            \
    "orr r5, r5, r7\n"                                                                                                 \
    swap                                                                                                               \
    DS_STORE_AND_NEXT("r5")                                                                                            \
    DS_SKIP                                                                                                            \
    DS_ROW_NEXT_AND_RETURN

// sa = (alpha x opacity x 257 + 32896) >> 16 (ds::mulAlpha257), r10 the
// opacity x 257 and r9 the 32896; transparent source pixels skipped.
#define DS_BLEND_OPACITY_LOOP(swap)                                                                                    \
    DS_START                                                                                                           \
    "ldr r10, [r0, #32]\n"                                                                                             \
    "movw r9, #32896\n"                                                                                                \
    DS_ROW_START(2)                                                                                                    \
    "2:\n"                                                                                                             \
    "ldr r8, [r1], #4\n"                                                                                               \
    "lsrs r3, r8, #24\n"                                                                                               \
    "beq 5f\n"                                                                                                         \
    "mla r3, r3, r10, r9\n"                                                                                            \
    "lsrs r3, r3, #16\n"                                                                                               \
    DS_OVER_RGB565(DS_SOURCE_LANES, DS_SOURCE_GREEN, swap)                                                             \
    DS_SKIP                                                                                                            \
    DS_ROW_NEXT_AND_RETURN

namespace ds {

__attribute__((naked)) void thumb2MaskRgb565(Thumb2Rows*)
{
    __asm__ volatile(DS_MASK_LOOP(""));
}

__attribute__((naked)) void thumb2MaskRgb565Swapped(Thumb2Rows*)
{
    __asm__ volatile(DS_MASK_LOOP(DS_SWAP));
}

__attribute__((naked)) void thumb2BlendRgb565(Thumb2Rows*)
{
    __asm__ volatile(DS_BLEND_LOOP(""));
}

__attribute__((naked)) void thumb2BlendRgb565Swapped(Thumb2Rows*)
{
    __asm__ volatile(DS_BLEND_LOOP(DS_SWAP));
}

__attribute__((naked)) void thumb2BlendRgb565Opacity(Thumb2Rows*)
{
    __asm__ volatile(DS_BLEND_OPACITY_LOOP(""));
}

__attribute__((naked)) void thumb2BlendRgb565SwappedOpacity(Thumb2Rows*)
{
    __asm__ volatile(DS_BLEND_OPACITY_LOOP(DS_SWAP));
}

// clang-format on

} // namespace ds

#endif
