// The example scene: one picture drawn with the surface library into a
// 320 x 240 RGB565 framebuffer, the same code on the device and on the host,
// so that the two framebuffers can be compared byte for byte.
#ifndef FIRMWARE_SCENE_H
#define FIRMWARE_SCENE_H

#include <ds_font.h>
#include <ds_surface.h>

#include <stddef.h>
#include <stdint.h>

constexpr int32_t kSceneWidth = 320;  // logical framebuffer width
constexpr int32_t kSceneHeight = 240; // logical framebuffer height

// The assets of one framebuffer rotation: the font and the surface files of
// that rotation (the logo is stored at 90 for every framebuffer, so the
// upright scene also turns pixels on the way).
struct SceneAssets {
    const ds_bitmap_font_t& font;  // generated font of the framebuffer's rotation
    const ds_packed_font_t& label; // packed font of that rotation, for UTF-8 text
    const uint8_t* logo;           // surface file, RGB888 stored at 90
    size_t logoSize;
    const uint8_t* badge; // surface file, ARGB8888
    size_t badgeSize;
    const uint8_t* mask; // surface file, A8
    size_t maskSize;
};

// Draws the scene into `framebuffer`, a valid RGB565 surface of kSceneWidth x
// kSceneHeight logical pixels in any rotation. The picture in logical
// coordinates is the same for every rotation. Returns DS_DRAW_OK, or the
// first result code of an operation that failed (or of a surface file that
// could not be read, as DS_DRAW_INVALID_SURFACE).
int drawScene(DsSurface& framebuffer, const SceneAssets& assets);

#endif
