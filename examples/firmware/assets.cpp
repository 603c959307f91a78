#include "assets.h"

#include <sans_16.h>

const ds_bitmap_font_t& ui_font()
{
    return font_sans_16_0;
}
