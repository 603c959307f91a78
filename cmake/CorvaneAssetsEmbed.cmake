# Run as cmake -DSURFACE=<file.srf> [-DPALETTE=<file.pal>] -DNAME=<name> -DOUTPUT_STEM=<path> -P CorvaneAssetsEmbed.cmake.
# Writes <path>.h, declaring `const uint8_t <name>_surface[]` (aligned to 4 bytes)
# and `const size_t <name>_surface_size`, and <path>.cpp, defining them as the
# bytes of the surface file and their count; with a PALETTE file that is not
# empty, also `<name>_palette[]` and `<name>_palette_size`, its bytes and count.
#
# The bytes become a plain C++ array rather than an assembler .incbin: every
# compiler of the target takes it, cross compilers included, whatever its
# assembler syntax and object format; the compiler's dependency scan sees no
# hidden input; and being const it goes to read-only data. The text depends on
# the bytes and the name only, so every run writes the same files.
cmake_minimum_required(VERSION 3.25)

set(bytesPerLine 16)

# Sets `out` to the bytes of `path` as the lines of a C array initialiser.
function(byte_array path out)
  file(READ "${path}" hex HEX)
  if(hex STREQUAL "")
    message(FATAL_ERROR "cannot embed surface ${NAME}: ${path} is empty")
  endif()
  string(REGEX REPLACE "(..)" "0x\\1, " array "${hex}")
  string(REPEAT "0x.., " ${bytesPerLine} linePattern)
  string(REGEX REPLACE "(${linePattern})" "\\1\n" array "${array}")
  string(REGEX REPLACE "([^\n]+)" "    \\1" array "${array}")
  string(REGEX REPLACE ", (\n|$)" ",\n" array "${array}")
  set(${out} "${array}" PARENT_SCOPE)
endfunction()

byte_array("${SURFACE}" array)
string(TOUPPER "${NAME}_SURFACE_H" guard)
set(paletteDeclarations "")
set(paletteDefinitions "")
if(NOT "${PALETTE}" STREQUAL "")
  byte_array("${PALETTE}" paletteArray)
  set(paletteDeclarations "
alignas(4) extern const uint8_t ${NAME}_palette[]; // the palette file: entry count, then B, G, R, A entries
extern const size_t ${NAME}_palette_size;          // its size in bytes
")
  set(paletteDefinitions "
alignas(4) const uint8_t ${NAME}_palette[] = {
${paletteArray}};

const size_t ${NAME}_palette_size = sizeof(${NAME}_palette);
")
endif()

# Writes `text` to `path` through a temporary file beside it, so that a run
# that stops half way leaves the previous file or none.
function(write_whole path text)
  file(WRITE "${path}.tmp" "${text}")
  file(RENAME "${path}.tmp" "${path}")
endfunction()

write_whole("${OUTPUT_STEM}.h" "\
// Surface ${NAME}: the bytes of ${NAME}.srf, made by corvane_add_surface.
#ifndef ${guard}
#define ${guard}

#include <stddef.h>
#include <stdint.h>

alignas(4) extern const uint8_t ${NAME}_surface[]; // the surface file, header and pixel rows
extern const size_t ${NAME}_surface_size;          // its size in bytes
${paletteDeclarations}
#endif
")

write_whole("${OUTPUT_STEM}.cpp" "\
// Surface ${NAME}: the bytes of ${NAME}.srf, made by corvane_add_surface.
#include \"${NAME}_surface.h\"

alignas(4) const uint8_t ${NAME}_surface[] = {
${array}};

const size_t ${NAME}_surface_size = sizeof(${NAME}_surface);
${paletteDefinitions}")
