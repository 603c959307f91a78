// What the example firmware takes from its generated assets.
#ifndef FIRMWARE_ASSETS_H
#define FIRMWARE_ASSETS_H

#include <ds_font.h>

// The user-interface font, upright: the only rotation the firmware uses, so a
// link with --gc-sections leaves the other three out.
const ds_bitmap_font_t& ui_font();

#endif
