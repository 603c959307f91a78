// Prints what the firmware's assets hold: the font's glyph count and height,
// and the embedded surface's size and header. Given a file name, also writes
// the embedded bytes there, to be compared with the surface file.
#include <cstdio>

#include <logo_surface.h>

#include "assets.h"

// Glyphs of `font`: the codes that have one.
static unsigned glyph_count(const ds_bitmap_font_t& font)
{
    unsigned count = 0;
    for (const ds_bitmap_font_char_t* glyph : font.chars)
        count += glyph != nullptr;
    return count;
}

// Word `index` of the surface file's header: five little-endian 32-bit words,
// rotation, colour mode, width, height and pitch.
static unsigned long surface_header_word(int index)
{
    const uint8_t* word = logo_surface + 4 * index;
    return word[0] | word[1] << 8 | word[2] << 16 | static_cast<unsigned long>(word[3]) << 24;
}

int main(int argc, char** argv)
{
    std::printf("font sans_16: %u glyphs, height %u\n", glyph_count(ui_font()), unsigned(ui_font().height));
    std::printf("surface logo: %zu bytes, %lu x %lu pixels, rotation %lu\n", logo_surface_size, surface_header_word(2),
        surface_header_word(3), surface_header_word(0));
    if (argc < 2)
        return 0;
    std::FILE* copy = std::fopen(argv[1], "wb");
    const bool written = copy && std::fwrite(logo_surface, 1, logo_surface_size, copy) == logo_surface_size;
    if (copy && std::fclose(copy) != 0)
        return 1;
    return written ? 0 : 1;
}
