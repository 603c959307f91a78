// Shared by the assetpeek tests: a small generated font and pictures read
// back with libpng.
#pragma once

#include "png_builder.h"

#include <string>
#include <vector>

// A generated source of the font "tiny_16" (line height 12, ascender 9),
// made by the emitter from hand-made glyphs:
//   'A' 3 x 4 at xoff 0, yoff 9, advance 4; kerns -1 after 'V', -3 after
//       'A' and -2 after code 200;
//   'V' 3 x 3 at xoff -1, yoff 7, advance 3;
//   'g' 2 x 4 at xoff 0, yoff -1, advance 3 (below the line's bottom);
//   code 200 2 x 5 at xoff 0, yoff 11, advance 3 (above the line's top);
//   ' ' without ink, advance 2.
// With `castPrev` the kerning entry for code 200 is written "(char)200".
std::string smallFontSource(bool castPrev = false);

// The pixels of the glyphs of smallFontSource, upright, row by row.
Bytes smallFontPixels(uint32_t code);

// The PNG file at `path` decoded by libpng as it is stored; fails the test
// and returns an empty image when libpng refuses it.
LibpngImage readPicture(const std::string& path);
