// Draws a blue rectangle on red into a 24 x 16 RGB565 framebuffer, writes it
// as frame.rgb565 through semihosting and ends with EXIT_STATUS (0 unless
// the build defines it).
#include <ds_surface.h>

#include <stdio.h>

#ifndef EXIT_STATUS
#define EXIT_STATUS 0
#endif

namespace {

constexpr int32_t kWidth = 24;
constexpr int32_t kHeight = 16;
uint16_t pixels[kWidth * kHeight];

} // namespace

int main()
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(pixels);
    DsSurface framebuffer(kWidth, kHeight, 0, RGB565, bytes, dsPackedPitch(kWidth, kHeight, 0, RGB565), sizeof pixels);
    if (framebuffer.fill(framebuffer.logicalArea(), 0xFFFF0000) != DS_DRAW_OK ||
        framebuffer.fill(DsRect(4, 2, 8, 6), 0xFF0000FF) != DS_DRAW_OK)
        return 2;
    FILE* file = fopen("frame.rgb565", "wb");
    if (!file || fwrite(bytes, 1, sizeof pixels, file) != sizeof pixels || fclose(file) != 0)
        return 3;
    return EXIT_STATUS;
}
