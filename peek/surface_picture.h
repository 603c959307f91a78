// Pictures of surface files.
#pragma once

#include "ds_surface.h"
#include "picture.h"

#include <vector>

// The picture of a surface file read by dsReadSurfaceFile: its stored rows as
// they are, or with `upright` the stored rotation undone, which gives back
// the image the surface was made from. ARGB8888, ARGB1555 and ARGB4444 become
// RGBA; RGB888 and RGB565 RGB; I8 grey (the file holds no palette); AI88
// grey with alpha; A8 black with its alpha.
Picture surfacePicture(const DsSurfaceFile& file, bool upright);

// The picture of an I8 surface file in the colours of `palette`, the entries
// of its palette file: RGBA, an index past the palette opaque black.
Picture palettePicture(const DsSurfaceFile& file, bool upright, const std::vector<DsColor>& palette);

// Reads a palette file (a little-endian 32-bit entry count, 1 to 65535,
// then B, G, R, A for each entry) of `size` bytes into `palette`. False
// for a file of any other size.
bool readPaletteFile(const uint8_t* data, uint64_t size, std::vector<DsColor>& palette);
