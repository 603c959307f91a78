// Pictures of surface files, drawn through the device library's own reading
// of their pixels.
#pragma once

#include "ds_surface.h"
#include "picture.h"
#include "surface_format.h"

// The picture of a surface file read by dsReadSurfaceFile: its stored rows as
// they are, or with `upright` the stored rotation undone, which gives back
// the image the surface was made from. ARGB8888, ARGB1555 and ARGB4444 become
// RGBA; RGB888 and RGB565 RGB; I8 grey (the file holds no palette); AI88
// grey with alpha; A8 black with its alpha. A compressed file gives the
// picture of the same file uncompressed, its rows decoded by the library.
Picture surfacePicture(const DsSurfaceFile& file, bool upright);

// The picture of an I8 surface file in the colours of `palette`, as the
// device draws the surface with that palette: RGBA.
Picture palettePicture(const DsSurfaceFile& file, bool upright, const DsPaletteFile& palette);
