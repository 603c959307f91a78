# Fonts and surfaces made at build time by the kit's tools, reached through the
# targets CorvaneAssets::glyphsmith_cli, CorvaneAssets::pixpack and (for the
# PREVIEW pictures) CorvaneAssets::assetpeek: imported host programs from the
# installed package, or the kit's own targets when its source tree is added with
# add_subdirectory(). Every output is remade when its input file or its tool
# changes, and only then. The tools run with --silent: a build log holds their
# result lines and errors, not their banners.
include_guard(GLOBAL)

# Functions keep the policies in force where they are defined.
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

# Stops configuration unless `target` exists and the arguments parsed by the
# caller into args_* hold no unknown argument, no keyword without its value,
# every keyword named in ARGN and a NAME that is a C identifier. Messages begin
# with `function`.
function(_corvane_check_arguments function target)
  _corvane_check_call(${function} "${target}" ${ARGN})
  # NAME becomes part of file and symbol names; the tools would change other
  # characters and their outputs would not be the files the build waits for.
  if(NOT "${args_NAME}" MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "${function}: NAME '${args_NAME}' is not a C identifier")
  endif()
endfunction()

# _corvane_check_arguments without the rule for NAME.
function(_corvane_check_call function target)
  # An empty target is a missing keyword's, reported below.
  if(NOT "${target}" STREQUAL "" AND NOT TARGET "${target}")
    message(FATAL_ERROR "${function}: no target named '${target}'")
  endif()
  if(DEFINED args_UNPARSED_ARGUMENTS)
    list(GET args_UNPARSED_ARGUMENTS 0 unknown)
    message(FATAL_ERROR "${function}: unknown argument '${unknown}'")
  endif()
  if(DEFINED args_KEYWORDS_MISSING_VALUES)
    list(GET args_KEYWORDS_MISSING_VALUES 0 keyword)
    message(FATAL_ERROR "${function}: ${keyword} needs a value")
  endif()
  foreach(keyword IN LISTS ARGN)
    if("${args_${keyword}}" STREQUAL "")
      message(FATAL_ERROR "${function}: missing ${keyword}")
    endif()
  endforeach()
endfunction()

# Makes `target` wait for the custom command outputs in ARGN through a helper
# target `helper`, so that they are made first even when `target` is defined in
# another folder than the one of the command.
function(_corvane_make_before target helper)
  if(TARGET ${helper})
    message(FATAL_ERROR "CorvaneAssets: cannot make the helper target '${helper}' for '${target}': the name is taken")
  endif()
  add_custom_target(${helper} DEPENDS ${ARGN})
  add_dependencies(${target} ${helper})
endfunction()

# Stops configuration when one of the files in ARGN, made for the call of
# NAME `name`, is already made by an earlier call in this folder (two fonts of
# one NAME and SIZE, a surface and a font whose pictures would share a name):
# the second rule would replace the first or stop CMake with a less clear
# message. Files whose names differ only in case are refused too: their
# headers' include guards are the names in capitals, and where file names
# ignore case they are one file. Messages begin with `function`.
function(_corvane_claim_outputs function name)
  get_property(claimed DIRECTORY PROPERTY _CORVANE_OUTPUTS)
  get_property(owners DIRECTORY PROPERTY _CORVANE_OUTPUT_NAMES)
  foreach(output IN LISTS ARGN)
    get_filename_component(file "${output}" NAME)
    if(output IN_LIST claimed)
      message(FATAL_ERROR "${function}: ${file} is already made by another call in this folder")
    endif()
    string(TOUPPER "${output}" upper)
    foreach(other owner IN ZIP_LISTS claimed owners)
      string(TOUPPER "${other}" otherUpper)
      if("${upper}" STREQUAL "${otherUpper}")
        get_filename_component(otherFile "${other}" NAME)
        message(FATAL_ERROR "${function}: NAME '${name}' and NAME '${owner}' of another call in this folder differ "
                            "only in case: ${file} and ${otherFile} would get one include guard, and be one file "
                            "where file names ignore case")
      endif()
    endforeach()
  endforeach()
  foreach(output IN LISTS ARGN)
    set_property(DIRECTORY APPEND PROPERTY _CORVANE_OUTPUTS "${output}")
    set_property(DIRECTORY APPEND PROPERTY _CORVANE_OUTPUT_NAMES "${name}")
  endforeach()
endfunction()

# Stops configuration when the input file `path` (absolute), given as
# `keyword`, does not exist and no rule of the project makes it (its GENERATED
# property): the build would otherwise stop with no rule to make it. The
# message begins with `function`.
function(_corvane_require_input function keyword path)
  get_source_file_property(generated "${path}" GENERATED)
  if(NOT EXISTS "${path}" AND NOT generated)
    message(FATAL_ERROR "${function}: ${keyword} file '${path}' does not exist")
  endif()
endfunction()

# Writes `content` to `path` unless the file holds it already, so that a build
# step that depends on the file runs again only when the content changes.
function(_corvane_write_if_changed path content)
  if(EXISTS "${path}")
    file(READ "${path}" previous)
    if("${previous}" STREQUAL "${content}")
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()

# Sets `result` to the path of <stem>_preview.png in the current binary folder.
function(_corvane_preview_picture result stem)
  set(${result} ${CMAKE_CURRENT_BINARY_DIR}/${stem}_preview.png PARENT_SCOPE)
endfunction()

# Adds the build step that draws <stem>_preview.png (_corvane_preview_picture)
# for the call of NAME `name` with the command in ARGN, run whenever one of the
# files of the list `inputs` or assetpeek changes, and made before `target`
# through the helper target <target>_preview_<kind>_<stem>.
function(_corvane_add_preview target kind name stem inputs)
  _corvane_preview_picture(picture ${stem})
  _corvane_claim_outputs(corvane_add_${kind} ${name} ${picture})
  add_custom_command(
    OUTPUT ${picture}
    COMMAND ${ARGN}
    DEPENDS ${inputs} $<TARGET_FILE:CorvaneAssets::assetpeek>
    COMMENT "Drawing preview ${stem}_preview.png with assetpeek"
    VERBATIM)
  _corvane_make_before(${target} ${target}_preview_${kind}_${stem} ${picture})
endfunction()

# The preview of a font: assetpeek draws `text` from the generated source
# `source` in rotation `rotation` (degrees), with --codepage `codepage` and
# --chars `chars` unless they are empty. The text goes to assetpeek through a
# file written here and read by CorvaneAssetsPreview.cmake, never through a
# shell or the generator expressions of a command line, so it arrives as
# written, whatever it holds.
# Stops configuration for a text that assetpeek would take for an option.
function(_corvane_add_text_preview target name stem source text codepage chars rotation)
  if("${text}" MATCHES "^-")
    message(FATAL_ERROR "corvane_add_font: PREVIEW text '${text}' begins with '-', which assetpeek takes for an option")
  endif()
  set(textFile ${CMAKE_CURRENT_BINARY_DIR}/CorvaneAssets/${stem}_preview.txt)
  _corvane_write_if_changed(${textFile} "${text}")
  set(mapping "")
  if(NOT codepage STREQUAL "")
    list(APPEND mapping -DCODEPAGE=${codepage})
  endif()
  if(NOT chars STREQUAL "")
    list(APPEND mapping -DCHARS=${chars})
  endif()
  if(NOT rotation EQUAL 0)
    list(APPEND mapping -DROTATION=${rotation})
  endif()
  _corvane_preview_picture(picture ${stem})
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CorvaneAssetsPreview.cmake)
  _corvane_add_preview(${target} font ${name} ${stem} "${source};${textFile};${script}"
    ${CMAKE_COMMAND} -DASSETPEEK=$<TARGET_FILE:CorvaneAssets::assetpeek> -DFONT_SOURCE=${source}
    -DTEXT_FILE=${textFile} ${mapping} -DPICTURE=${picture} -P ${script})
endfunction()

# Compiles the generated `sources` into `target`, with the current binary folder,
# where they and their headers are, on its include path and on that of the
# targets that link it.
function(_corvane_add_generated_sources target)
  target_sources(${target} PRIVATE ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# Sets `result` to glyphsmith_cli's options for the format of a
# corvane_add_font call, from the BPP, COMPRESS and ROTATIONS it parsed into
# args_*, and `previewRotation` to the rotation its preview is drawn in: 0,
# or the first of ROTATIONS when they leave 0 out. Stops configuration for
# values the tool would refuse.
function(_corvane_font_format result previewRotation)
  set(options "")
  if(DEFINED args_BPP)
    if(NOT "${args_BPP}" MATCHES "^(1|2|4|8)$")
      message(FATAL_ERROR "corvane_add_font: BPP must be 1, 2, 4 or 8, not '${args_BPP}'")
    endif()
    if(DEFINED args_CODEPAGE)
      message(FATAL_ERROR "corvane_add_font: CODEPAGE cannot be used with BPP")
    endif()
    list(APPEND options --bpp ${args_BPP})
  endif()
  if(args_COMPRESS)
    if(NOT DEFINED args_BPP)
      message(FATAL_ERROR "corvane_add_font: COMPRESS needs BPP")
    endif()
    list(APPEND options --compress)
  endif()
  set(first 0)
  if(DEFINED args_ROTATIONS)
    set(seen "")
    foreach(rotation IN LISTS args_ROTATIONS)
      if(NOT "${rotation}" MATCHES "^(0|90|180|270)$")
        message(FATAL_ERROR "corvane_add_font: ROTATIONS must be 0, 90, 180 or 270, not '${rotation}'")
      endif()
      if(rotation IN_LIST seen)
        message(FATAL_ERROR "corvane_add_font: ROTATIONS names ${rotation} twice")
      endif()
      list(APPEND seen ${rotation})
    endforeach()
    list(SORT seen COMPARE NATURAL)
    list(GET seen 0 first)
    string(REPLACE ";" "," rotations "${seen}")
    list(APPEND options --rotations ${rotations})
  endif()
  set(${result} "${options}" PARENT_SCOPE)
  set(${previewRotation} ${first} PARENT_SCOPE)
endfunction()

# corvane_add_font(<target> NAME <name> FONT <font.ttf> SIZE <pixels> CHARS <list> [PREVIEW <text>]
#                  [CODEPAGE <name>] [FALLBACK <font>...] [BPP 1|2|4|8] [COMPRESS] [ROTATIONS <angle>...])
# Exports the font with glyphsmith_cli at build time into <name>_<pixels>.cpp and
# .h in the current binary folder and compiles the source into <target>, which
# links CorvaneAssets::ds_font. Each global table gets a section of its own with
# GCC and Clang, so a link with --gc-sections keeps only the rotations used.
# With PREVIEW, assetpeek also draws <text> (which may not begin with '-') from
# the generated source into <name>_<pixels>_preview.png.
# CODEPAGE maps the codes through that 8-bit code page; the FALLBACK fonts,
# tried in order, give the characters FONT lacks, and the export is remade
# when one of them changes. BPP writes the packed format with that many bits
# per pixel (CHARS then lists Unicode characters), COMPRESS compresses its
# images, and ROTATIONS chooses the rotations written (glyphsmith_cli's
# --bpp, --compress and --rotations).
function(corvane_add_font target)
  cmake_parse_arguments(PARSE_ARGV 1 args "COMPRESS" "NAME;FONT;SIZE;CHARS;PREVIEW;CODEPAGE;BPP" "FALLBACK;ROTATIONS")
  _corvane_check_arguments(corvane_add_font "${target}" NAME FONT SIZE CHARS)
  _corvane_font_format(format previewRotation)
  # The mapping options, for the export and for the preview's text.
  set(mapping)
  if(DEFINED args_CODEPAGE)
    list(APPEND mapping --codepage ${args_CODEPAGE})
  endif()
  set(fallbacks)
  set(fallbackOptions)
  foreach(fallback IN LISTS args_FALLBACK)
    get_filename_component(fallback "${fallback}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    _corvane_require_input(corvane_add_font FALLBACK "${fallback}")
    list(APPEND fallbacks ${fallback})
    list(APPEND fallbackOptions --fallback ${fallback})
  endforeach()
  if(NOT "${args_SIZE}" MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "corvane_add_font: SIZE must be a whole number of pixels, not '${args_SIZE}'")
  endif()
  set(fontName ${args_NAME}_${args_SIZE})
  set(stem ${CMAKE_CURRENT_BINARY_DIR}/${fontName})
  get_filename_component(font "${args_FONT}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  _corvane_require_input(corvane_add_font FONT "${font}")
  _corvane_claim_outputs(corvane_add_font ${args_NAME} ${stem}.cpp ${stem}.h)
  set(tool CorvaneAssets::glyphsmith_cli)
  add_custom_command(
    OUTPUT ${stem}.cpp ${stem}.h
    COMMAND $<TARGET_FILE:${tool}> --silent --font ${font} --chars ${args_CHARS} --size ${args_SIZE}
            --output_path ${CMAKE_CURRENT_BINARY_DIR} ${mapping} ${fallbackOptions} ${format} ${args_NAME}
    DEPENDS ${font} ${fallbacks} $<TARGET_FILE:${tool}>
    COMMENT "Generating font ${fontName} with glyphsmith_cli"
    VERBATIM)
  _corvane_make_before(${target} ${target}_font_${fontName} ${stem}.cpp ${stem}.h)
  _corvane_add_generated_sources(${target} ${stem}.cpp ${stem}.h)
  set_source_files_properties(${stem}.cpp TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-fdata-sections>")
  target_link_libraries(${target} PUBLIC CorvaneAssets::ds_font)
  if(DEFINED args_PREVIEW)
    # The text is read as the export mapped it: --chars only matters with a
    # code page or `=` items.
    set(previewChars "")
    if(mapping OR "${args_CHARS}" MATCHES "=")
      set(previewChars ${args_CHARS})
    endif()
    _corvane_add_text_preview(${target} ${args_NAME} ${fontName} ${stem}.cpp "${args_PREVIEW}" "${args_CODEPAGE}"
      "${previewChars}" ${previewRotation})
  endif()
endfunction()

# corvane_add_surface(<target> NAME <name> IMAGE <image.png> [ROTATION 90|180|270] [ALPHAONLY]
#                     [FORMAT <mode>] [DITHER] [PALETTE] [COMPRESS] [EMBED] [PREVIEW])
# Packs the image with pixpack at build time into <name>.srf in the current
# binary folder, made before <target>; FORMAT and DITHER are pixpack's --format
# and --dither, COMPRESS its --compress (EMBED then embeds the compressed file). PALETTE also writes the indexed image's palette into
# <name>.pal. With EMBED, also <name>_surface.h and <name>_surface.cpp,
# compiled into <target>, which define the file's bytes as <name>_surface and
# their count as <name>_surface_size, and with PALETTE the palette file's as
# <name>_palette and <name>_palette_size. With PREVIEW, assetpeek also draws
# the surface file, its rotation undone (in its palette's colours with
# PALETTE), into <name>_preview.png.
function(corvane_add_surface target)
  cmake_parse_arguments(PARSE_ARGV 1 args "ALPHAONLY;DITHER;PALETTE;COMPRESS;EMBED;PREVIEW" "NAME;IMAGE;ROTATION;FORMAT" "")
  _corvane_check_arguments(corvane_add_surface "${target}" NAME IMAGE)
  set(pixpackOptions "")
  if(DEFINED args_ROTATION)
    if(NOT "${args_ROTATION}" MATCHES "^(90|180|270)$")
      message(FATAL_ERROR "corvane_add_surface: ROTATION must be 90, 180 or 270, not '${args_ROTATION}'")
    endif()
    list(APPEND pixpackOptions --rotation ${args_ROTATION})
  endif()
  if(args_ALPHAONLY)
    list(APPEND pixpackOptions --alphaonly)
  endif()
  if(DEFINED args_FORMAT)
    if(NOT "${args_FORMAT}" MATCHES "^(ARGB8888|RGB888|RGB565|ARGB1555|ARGB4444|AI88|A8|I8|RGB565_SWAPPED|ARGB8565)$")
      message(FATAL_ERROR "corvane_add_surface: FORMAT must be ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, AI88, A8, I8, RGB565_SWAPPED or ARGB8565, not '${args_FORMAT}'")
    endif()
    list(APPEND pixpackOptions --format ${args_FORMAT})
  endif()
  if(args_DITHER)
    list(APPEND pixpackOptions --dither)
  endif()
  if(args_COMPRESS)
    list(APPEND pixpackOptions --compress)
  endif()
  set(surface ${CMAKE_CURRENT_BINARY_DIR}/${args_NAME}.srf)
  set(outputs ${surface})
  set(palette "")
  set(previewPalette "")
  if(args_PALETTE)
    set(palette ${CMAKE_CURRENT_BINARY_DIR}/${args_NAME}.pal)
    list(APPEND pixpackOptions --palette ${palette})
    list(APPEND outputs ${palette})
    set(previewPalette --palette ${palette})
  endif()
  _corvane_claim_outputs(corvane_add_surface ${args_NAME} ${outputs})
  get_filename_component(image "${args_IMAGE}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  _corvane_require_input(corvane_add_surface IMAGE "${image}")
  set(tool CorvaneAssets::pixpack)
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND $<TARGET_FILE:${tool}> --silent --image ${image} ${pixpackOptions} --output ${surface}
    DEPENDS ${image} $<TARGET_FILE:${tool}>
    COMMENT "Packing surface ${args_NAME} with pixpack"
    VERBATIM)
  if(args_EMBED)
    _corvane_embed_surface(${target} ${args_NAME} ${surface} "${palette}")
  else()
    _corvane_make_before(${target} ${target}_surface_${args_NAME} ${outputs})
  endif()
  if(args_PREVIEW)
    _corvane_preview_picture(picture ${args_NAME})
    _corvane_add_preview(${target} surface ${args_NAME} ${args_NAME} "${outputs}"
      $<TARGET_FILE:CorvaneAssets::assetpeek> --silent --surface ${surface} ${previewPalette} --upright
      --output ${picture})
  endif()
endfunction()

# Turns the surface file `surface` (and the palette file `palette` unless it
# is empty) into <name>_surface.cpp and .h at build time and compiles them
# into `target`.
function(_corvane_embed_surface target name surface palette)
  set(stem ${CMAKE_CURRENT_BINARY_DIR}/${name}_surface)
  _corvane_claim_outputs(corvane_add_surface ${name} ${stem}.cpp ${stem}.h)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CorvaneAssetsEmbed.cmake)
  add_custom_command(
    OUTPUT ${stem}.cpp ${stem}.h
    COMMAND ${CMAKE_COMMAND} -DSURFACE=${surface} -DPALETTE=${palette} -DNAME=${name} -DOUTPUT_STEM=${stem} -P ${script}
    DEPENDS ${surface} ${palette} ${script}
    COMMENT "Embedding surface ${name}"
    VERBATIM)
  _corvane_make_before(${target} ${target}_surface_${name} ${stem}.cpp ${stem}.h)
  _corvane_add_generated_sources(${target} ${stem}.cpp ${stem}.h)
endfunction()

# corvane_add_emulator_test(NAME <test> TARGET <firmware> FRAMEBUFFER <file> FORMAT <mode> WIDTH <pixels>
#                           HEIGHT <lines> EXPECT <picture.png>)
# Adds the CTest <test> (label "emulator") that runs the firmware <firmware>,
# cross-built for QEMU's mps2-an386 board (cortex-m4.cmake, linked with
# CorvaneAssets::emulator_board), under qemu-system-arm in the folder
# <test> of the current binary folder; the firmware writes its framebuffer
# there as <file> through semihosting. rawsnap turns the first HEIGHT lines of
# WIDTH pixels of the dump, in its format <mode>, into <test>.png beside it,
# and the test passes when that picture has the pixels of <picture.png>
# (any PNG of the same size and colours; both are read by pixpack). When they
# differ, or <picture.png> does not exist yet, the test fails and leaves the
# picture it got beside the expected one as <picture>.got.png, to look at or
# to take as the new expected picture; a passing run removes it. A macro, so
# that its enable_testing() reaches the caller's folder: a call in the top
# folder is all ctest needs there.
macro(corvane_add_emulator_test)
  enable_testing()
  _corvane_add_emulator_test(${ARGN})
endmacro()

function(_corvane_add_emulator_test)
  cmake_parse_arguments(PARSE_ARGV 0 args "" "NAME;TARGET;FRAMEBUFFER;FORMAT;WIDTH;HEIGHT;EXPECT" "")
  _corvane_check_call(corvane_add_emulator_test "${args_TARGET}" NAME TARGET FRAMEBUFFER FORMAT WIDTH HEIGHT EXPECT)
  if(NOT "${args_FORMAT}" MATCHES "^(RGB888|RGB565|RGB565_SWAPPED|BGR565|BGR888|XRGB8888|ARGB8888|ARGB1555|ARGB4444|ARGB8565)$")
    message(FATAL_ERROR "corvane_add_emulator_test: FORMAT must be RGB888, RGB565, RGB565_SWAPPED, BGR565, BGR888, XRGB8888, ARGB8888, ARGB1555, ARGB4444 or ARGB8565, not '${args_FORMAT}'")
  endif()
  foreach(keyword WIDTH HEIGHT)
    if(NOT "${args_${keyword}}" MATCHES "^[1-9][0-9]*$")
      message(FATAL_ERROR "corvane_add_emulator_test: ${keyword} must be a whole number of pixels, not '${args_${keyword}}'")
    endif()
  endforeach()
  get_filename_component(expected "${args_EXPECT}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT expected MATCHES "\\.png$")
    message(FATAL_ERROR "corvane_add_emulator_test: EXPECT '${args_EXPECT}' is not a .png picture")
  endif()
  find_program(CORVANE_QEMU_SYSTEM_ARM qemu-system-arm)
  add_test(NAME ${args_NAME}
    COMMAND ${CMAKE_COMMAND} -DQEMU=${CORVANE_QEMU_SYSTEM_ARM} -DFIRMWARE=$<TARGET_FILE:${args_TARGET}>
            -DRAWSNAP=$<TARGET_FILE:CorvaneAssets::rawsnap> -DPIXPACK=$<TARGET_FILE:CorvaneAssets::pixpack>
            -DRUN_DIR=${CMAKE_CURRENT_BINARY_DIR}/${args_NAME} -DFRAMEBUFFER=${args_FRAMEBUFFER}
            -DFORMAT=${args_FORMAT} -DWIDTH=${args_WIDTH} -DHEIGHT=${args_HEIGHT} -DEXPECT=${expected}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CorvaneAssetsEmulatorTest.cmake)
  set_tests_properties(${args_NAME} PROPERTIES LABELS emulator TIMEOUT 120)
endfunction()

cmake_policy(POP)
