// A small generated font made by the emitter from hand-made glyphs, for the
// assetpeek tests and the font-source fuzzer's seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A generated source of the font "tiny_16" (line height 12, ascender 9):
//   'A' 3 x 4 at xoff 0, yoff 9, advance 4; kerns -1 after 'V', -3 after
//       'A' and -2 after code 200;
//   'V' 3 x 3 at xoff -1, yoff 7, advance 3;
//   'g' 2 x 4 at xoff 0, yoff -1, advance 3 (below the line's bottom);
//   code 200 2 x 5 at xoff 0, yoff 11, advance 3 (above the line's top);
//   ' ' without ink, advance 2.
// With `castPrev` the kerning entry for code 200 is written "(char)200".
std::string smallFontSource(bool castPrev = false);

// The pixels of a glyph of smallFontSource, upright, row by row; every one
// has some ink. Empty for a code without ink or not in the font.
std::vector<uint8_t> smallFontPixels(uint32_t code);
