// Draws the scene twice, into an upright framebuffer and into one stored at
// 90 degrees with the assets of that rotation, and writes each framebuffer's
// stored rows (RGB565, little-endian) to a file: scene_0.rgb565 (320 x 240,
// 640 bytes a row) and scene_90.rgb565 (240 x 320, 480 bytes a row). On the
// device the files go to the host through semihosting. Exit status 0 when
// both are drawn and written, 1 otherwise.
#include <stdio.h>

#include <badge_90_surface.h>
#include <badge_surface.h>
#include <label_16.h>
#include <logo_surface.h>
#include <mask_90_surface.h>
#include <mask_surface.h>
#include <sans_16.h>

#include "scene.h"

namespace {

uint16_t framebufferPixels[kSceneWidth * kSceneHeight];

// Writes `size` bytes at `bytes` to the file `name`; false when it cannot.
bool writeFile(const char* name, const uint8_t* bytes, size_t size)
{
    FILE* file = fopen(name, "wb");
    if (!file)
        return false;
    const bool written = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

// Draws the scene into a framebuffer stored at `rotation` and writes it to `name`.
bool drawAndWrite(int32_t rotation, const SceneAssets& assets, const char* name)
{
    const uint32_t pitch = dsPackedPitch(kSceneWidth, kSceneHeight, rotation, RGB565);
    uint8_t* pixels = reinterpret_cast<uint8_t*>(framebufferPixels);
    DsSurface framebuffer(kSceneWidth, kSceneHeight, rotation, RGB565, pixels, pitch, sizeof framebufferPixels);
    const int result = drawScene(framebuffer, assets);
    if (result != DS_DRAW_OK) {
        printf("%s: drawing failed with result %d\n", name, result);
        return false;
    }
    if (!writeFile(name, pixels, sizeof framebufferPixels)) {
        printf("%s: cannot write the framebuffer\n", name);
        return false;
    }
    return true;
}

} // namespace

int main()
{
    const SceneAssets upright{font_sans_16_0, font_label_16_0, logo_surface, logo_surface_size, badge_surface,
        badge_surface_size, mask_surface, mask_surface_size};
    const SceneAssets turned{font_sans_16_90, font_label_16_90, logo_surface, logo_surface_size, badge_90_surface,
        badge_90_surface_size, mask_90_surface, mask_90_surface_size};
    if (!drawAndWrite(0, upright, "scene_0.rgb565") || !drawAndWrite(90, turned, "scene_90.rgb565"))
        return 1;
    printf("scene_0.rgb565 and scene_90.rgb565 written\n");
    return 0;
}
