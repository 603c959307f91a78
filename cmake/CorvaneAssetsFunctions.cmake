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
  if(NOT TARGET "${target}")
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
  # NAME becomes part of file and symbol names; the tools would change other
  # characters and their outputs would not be the files the build waits for.
  if(NOT "${args_NAME}" MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "${function}: NAME '${args_NAME}' is not a C identifier")
  endif()
endfunction()

# Makes `target` wait for the custom command outputs in ARGN through a helper
# target `helper`, so that they are made first even when `target` is defined in
# another folder than the one of the command.
function(_corvane_make_before target helper)
  add_custom_target(${helper} DEPENDS ${ARGN})
  add_dependencies(${target} ${helper})
endfunction()

# Adds the build step that draws <name>_preview.png in the current binary folder
# with assetpeek from the generated file `input`, made before `target`; the
# further arguments are assetpeek's options besides --output.
function(_corvane_add_preview target name input)
  set(picture ${CMAKE_CURRENT_BINARY_DIR}/${name}_preview.png)
  set(tool CorvaneAssets::assetpeek)
  add_custom_command(
    OUTPUT ${picture}
    COMMAND $<TARGET_FILE:${tool}> --silent ${ARGN} --output ${picture}
    DEPENDS ${input} $<TARGET_FILE:${tool}>
    COMMENT "Drawing preview ${name}_preview.png with assetpeek"
    VERBATIM)
  _corvane_make_before(${target} ${target}_preview_${name} ${picture})
endfunction()

# Compiles the generated `sources` into `target`, with the current binary folder,
# where they and their headers are, on its include path and on that of the
# targets that link it.
function(_corvane_add_generated_sources target)
  target_sources(${target} PRIVATE ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# corvane_add_font(<target> NAME <name> FONT <font.ttf> SIZE <pixels> CHARS <list> [PREVIEW <text>])
# Exports the font with glyphsmith_cli at build time into <name>_<pixels>.cpp and
# .h in the current binary folder and compiles the source into <target>, which
# links CorvaneAssets::ds_font. Each global table gets a section of its own with
# GCC and Clang, so a link with --gc-sections keeps only the rotations used.
# With PREVIEW, assetpeek also draws <text> from the generated source into
# <name>_preview.png.
function(corvane_add_font target)
  cmake_parse_arguments(PARSE_ARGV 1 args "" "NAME;FONT;SIZE;CHARS;PREVIEW" "")
  _corvane_check_arguments(corvane_add_font "${target}" NAME FONT SIZE CHARS)
  if(NOT "${args_SIZE}" MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "corvane_add_font: SIZE must be a whole number of pixels, not '${args_SIZE}'")
  endif()
  set(fontName ${args_NAME}_${args_SIZE})
  set(stem ${CMAKE_CURRENT_BINARY_DIR}/${fontName})
  get_filename_component(font "${args_FONT}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(tool CorvaneAssets::glyphsmith_cli)
  add_custom_command(
    OUTPUT ${stem}.cpp ${stem}.h
    COMMAND $<TARGET_FILE:${tool}> --silent --font ${font} --chars ${args_CHARS} --size ${args_SIZE}
            --output_path ${CMAKE_CURRENT_BINARY_DIR} ${args_NAME}
    DEPENDS ${font} $<TARGET_FILE:${tool}>
    COMMENT "Generating font ${fontName} with glyphsmith_cli"
    VERBATIM)
  _corvane_make_before(${target} ${target}_font_${fontName} ${stem}.cpp ${stem}.h)
  _corvane_add_generated_sources(${target} ${stem}.cpp ${stem}.h)
  set_source_files_properties(${stem}.cpp TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-fdata-sections>")
  target_link_libraries(${target} PUBLIC CorvaneAssets::ds_font)
  if(DEFINED args_PREVIEW)
    _corvane_add_preview(${target} ${args_NAME} ${stem}.cpp --font ${stem}.cpp --text ${args_PREVIEW})
  endif()
endfunction()

# corvane_add_surface(<target> NAME <name> IMAGE <image.png> [ROTATION 90|180|270] [ALPHAONLY] [EMBED] [PREVIEW])
# Packs the image with pixpack at build time into <name>.srf in the current
# binary folder, made before <target>. With EMBED, also <name>_surface.h and
# <name>_surface.cpp, compiled into <target>, which define the file's bytes as
# <name>_surface and their count as <name>_surface_size. With PREVIEW, assetpeek
# also draws the surface file, its rotation undone, into <name>_preview.png.
function(corvane_add_surface target)
  cmake_parse_arguments(PARSE_ARGV 1 args "ALPHAONLY;EMBED;PREVIEW" "NAME;IMAGE;ROTATION" "")
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
  set(surface ${CMAKE_CURRENT_BINARY_DIR}/${args_NAME}.srf)
  get_filename_component(image "${args_IMAGE}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(tool CorvaneAssets::pixpack)
  add_custom_command(
    OUTPUT ${surface}
    COMMAND $<TARGET_FILE:${tool}> --silent --image ${image} ${pixpackOptions} --output ${surface}
    DEPENDS ${image} $<TARGET_FILE:${tool}>
    COMMENT "Packing surface ${args_NAME} with pixpack"
    VERBATIM)
  if(args_EMBED)
    _corvane_embed_surface(${target} ${args_NAME} ${surface})
  else()
    _corvane_make_before(${target} ${target}_surface_${args_NAME} ${surface})
  endif()
  if(args_PREVIEW)
    _corvane_add_preview(${target} ${args_NAME} ${surface} --surface ${surface} --upright)
  endif()
endfunction()

# Turns the surface file `surface` into <name>_surface.cpp and .h at build time
# and compiles them into `target`.
function(_corvane_embed_surface target name surface)
  set(stem ${CMAKE_CURRENT_BINARY_DIR}/${name}_surface)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CorvaneAssetsEmbed.cmake)
  add_custom_command(
    OUTPUT ${stem}.cpp ${stem}.h
    COMMAND ${CMAKE_COMMAND} -DSURFACE=${surface} -DNAME=${name} -DOUTPUT_STEM=${stem} -P ${script}
    DEPENDS ${surface} ${script}
    COMMENT "Embedding surface ${name}"
    VERBATIM)
  _corvane_make_before(${target} ${target}_surface_${name} ${stem}.cpp ${stem}.h)
  _corvane_add_generated_sources(${target} ${stem}.cpp ${stem}.h)
endfunction()

cmake_policy(POP)
