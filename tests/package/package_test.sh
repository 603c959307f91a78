#!/usr/bin/env bash
# End-to-end tests of the CMake package CorvaneAssets and its functions, run
# one step at a time by CTest:
#   install           builds the kit (tests and GUI off) and installs it into a fresh prefix
#   find-package      builds examples/firmware against that prefix and checks what it holds
#   incremental       rebuilds that tree after touching one input or tool at a time
#   add-subdirectory  builds examples/firmware with the kit's source tree
#   misuse            bad calls stop configuration with their message
#   tool-failures     a failing tool fails the build with its own message
#   name-collisions   calls that share a NAME get files and targets of their own;
#                     NAMEs that differ only in case and would clash are refused
#   preview-texts     PREVIEW texts reach assetpeek as written, whatever they hold
#   surface-formats   FORMAT, DITHER and PALETTE, embedded and previewed
#   cross-cortex-m4   cross-builds examples/firmware for a Cortex-M4
#   device            runs the cross-built scene firmware under QEMU and compares
#                     its framebuffers with those of the find-package tree's host build
#   emulator-test     corvane_add_emulator_test in a firmware project of its own:
#                     a matching picture passes, a differing or missing one fails
#                     and leaves the picture drawn beside it, and so do a firmware
#                     that fails, writes no framebuffer or too short a one
#   device-instructions  counts the instructions per pixel of the drawing paths
#                     under QEMU (bench/device), holds each to its limit, checks
#                     that the fast paths write the general path's bytes and
#                     holds packed text to its budget
# Usage: package_test.sh <step>, with KIT_SOURCE (the kit's source tree), WORK
# (a folder for the trees and the prefix), CMAKE (the cmake program) and
# SANITIZE (ON or OFF, for the kit's own builds) in the environment.
# Exit status 0 when the step passes, 77 when a program or file it needs is missing.
set -uo pipefail

step="$1"
prefix="$WORK/prefix"
example="$KIT_SOURCE/examples/firmware"
toolchain="$prefix/share/CorvaneAssets/cortex-m4.cmake"
here="$(cd "$(dirname "$0")" && pwd)"

fail() {
  echo "FAIL: $*"
  exit 1
}
# Skips, outside CI; in CI (CI=true) every package is installed, so a missing
# one is a failure.
skip() {
  [[ "${CI:-}" == true ]] && fail "$* (missing in CI)"
  echo "SKIP: $*"
  exit 77
}

command -v ninja >/dev/null || skip "ninja is not installed"
font="$(fc-match -f '%{file}' DejaVuSans 2>/dev/null)"
[[ "$font" == *DejaVuSans.ttf && -f "$font" ]] || skip "DejaVuSans not found"

# Runs `command...` with its output in the file $log, showing that on failure.
run_logged() {
  local log="$1"
  shift
  "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
}

# Makes a fresh folder $1 holding a copy of the font and a 24 x 16 RGB image,
# inputs that the tests may touch.
make_inputs() {
  rm -rf "$1"
  mkdir -p "$1"
  cp "$font" "$1/DejaVuSans.ttf"
  command -v convert >/dev/null || skip "ImageMagick's convert is not installed"
  convert -size 24x16 gradient:red-blue -depth 8 PNG24:"$1/logo.png" || fail "convert made no image"
}

# Configures examples/firmware in $1/build with the inputs of $1 and the
# further CMake arguments given; the output is in $1/configure.log.
configure_example() {
  local dir="$1"
  shift
  "$CMAKE" -S "$example" -B "$dir/build" -G Ninja -DCORVANE_EXAMPLE_FONT="$dir/DejaVuSans.ttf" \
    -DCORVANE_EXAMPLE_IMAGE="$dir/logo.png" "$@" >"$dir/configure.log" 2>&1
}

# Configures examples/firmware as configure_example does, and builds it.
build_example() {
  configure_example "$@" || { cat "$1/configure.log"; fail "cannot configure examples/firmware"; }
  run_logged "$1/build.log" "$CMAKE" --build "$1/build" -j 2 || fail "cannot build examples/firmware"
}

# Runs the example's host program in tree $1 and checks its report against the
# surface file; the embedded bytes must be those of the file.
check_inspect_report() {
  local build="$1/build"
  local report
  report="$("$build/firmware_inspect" "$1/embedded.srf")" || fail "firmware_inspect failed"
  local size
  size="$(stat -c %s "$build/logo.srf")"
  local expected="surface logo: $size bytes, 16 x 24 pixels, rotation 90"
  grep -q "^font sans_16: 95 glyphs, height " <<<"$report" || fail "font report: $report"
  grep -qxF "$expected" <<<"$report" || fail "surface report: '$report', expected '$expected'"
  cmp "$1/embedded.srf" "$build/logo.srf" || fail "the embedded bytes differ from logo.srf"
  echo "ok: $report"
}

generated_files=(sans_16.cpp sans_16.h logo.srf logo_surface.cpp logo_surface.h sans_16_preview.png logo_preview.png)

# The previews of tree $1 are assetpeek's pictures of the generated files: the
# surface's picture is the source image, the font's is the text drawn from
# the generated source.
check_previews() {
  local build="$1/build"
  command -v compare >/dev/null || skip "ImageMagick's compare is not installed"
  local differing
  differing="$(compare -metric AE "$1/logo.png" "$build/logo_preview.png" null: 2>&1)"
  [[ "$differing" == 0 ]] || fail "logo_preview.png differs from logo.png in $differing pixels"
  "$prefix/bin/assetpeek" --font "$build/sans_16.cpp" --text "Corvane AV" --output "$1/expected_preview.png" \
    >/dev/null || fail "assetpeek cannot draw the font preview"
  cmp "$1/expected_preview.png" "$build/sans_16_preview.png" || fail "sans_16_preview.png is not assetpeek's picture"
  echo "ok: the previews show the surface's image and the font's text"
}

step_install() {
  local kit="$WORK/kit"
  rm -rf "$kit" "$prefix"
  run_logged "$WORK/kit.log" "$CMAKE" -S "$KIT_SOURCE" -B "$kit" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_GUI=OFF -DCORVANE_SANITIZE="$SANITIZE" || fail "cannot configure the kit"
  run_logged "$WORK/kit.log" "$CMAKE" --build "$kit" -j 2 || fail "cannot build the kit"
  run_logged "$WORK/install.log" "$CMAKE" --install "$kit" --prefix "$prefix" || fail "cannot install the kit"
  local package=lib/cmake/CorvaneAssets
  for file in bin/glyphsmith_cli bin/pixpack bin/rawsnap bin/assetpeek include/ds_font.h include/ds_surface.h \
    include/ds_color.h include/ds_rect.h share/CorvaneAssets/surface/ds_surface.cpp share/CorvaneAssets/cortex-m4.cmake \
    share/CorvaneAssets/emulator/startup.cpp share/CorvaneAssets/emulator/mps2_an386.ld \
    "$package/CorvaneAssetsEmulatorTest.cmake" "$package/CorvaneAssetsConfig.cmake" \
    "$package/CorvaneAssetsConfigVersion.cmake" "$package/CorvaneAssetsTargets.cmake"; do
    [[ -f "$prefix/$file" ]] || fail "the install lacks $file"
  done
  [[ -e "$prefix/bin/glyphsmith" ]] && fail "a build without the GUI installed glyphsmith"
  echo "ok: the programs, the library's headers and sources and the package are installed, glyphsmith is not"
  check_version_requests
}

# A request for version 1.0 or 1 finds the package; 1.1, 2.0 and 0.9 do not.
check_version_requests() {
  local request expected
  while read -r request expected; do
    rm -rf "$WORK/version"
    run_logged "$WORK/version.log" "$CMAKE" -S "$here/version" -B "$WORK/version" -DREQUEST="$request" \
      -DCMAKE_PREFIX_PATH="$prefix" || fail "version request $request"
    grep -qx -- "-- $expected" "$WORK/version.log" || fail "version request $request: expected '$expected'"
    echo "ok: find_package(CorvaneAssets $request): $expected"
  done <<'EOF'
1.0 found
1 found
1.1 not found
2.0 not found
0.9 not found
EOF
}

step_find_package() {
  local dir="$WORK/find-package"
  make_inputs "$dir"
  build_example "$dir" -DCMAKE_PREFIX_PATH="$prefix"
  check_inspect_report "$dir"
  check_previews "$dir"
  # The tools run silent: the log holds their result lines, not their banners.
  grep -F "Asset tools for the Corvane embedded graphics library" "$dir/build.log" &&
    fail "the build log holds a tool's banner"
  for line in "Generated bitmap font for" "Generated surface for" "Generated picture"; do
    grep -q "^$line '" "$dir/build.log" || fail "the build log lacks the line '$line ...'"
  done
  echo "ok: the build log holds the tools' result lines and no banner"
  # Only the upright font is used: --gc-sections must drop the other rotations,
  # which the font source's data sections allow.
  local symbols
  symbols="$(nm "$dir/build/firmware_inspect")" || fail "nm failed"
  grep -q " font_sans_16_0$" <<<"$symbols" || fail "the program lacks font_sans_16_0"
  grep -qE " font_sans_16_(90|180|270)$" <<<"$symbols" && fail "the unused rotations were linked"
  grep -q " R logo_surface$" <<<"$symbols" || fail "logo_surface is not in read-only data"
  echo "ok: the link kept only the upright font; the surface is read-only data"
  mkdir -p "$dir/reference"
  for file in "${generated_files[@]}"; do cp "$dir/build/$file" "$dir/reference/"; done
}

# Builds tree $1 again and prints the steps that ran, one a line, or the
# build's output when it fails.
rebuild_steps() {
  "$CMAKE" --build "$1" -j 2 >"$1/../rebuild.log" 2>&1 || { cat "$1/../rebuild.log"; return 1; }
  grep -E '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' "$1/../rebuild.log"
}

step_incremental() {
  local dir="$WORK/find-package"
  local build="$dir/build"
  [[ -x "$build/firmware_inspect" ]] || fail "the find-package step left no built tree"
  local font_step="Generating font sans_16" surface_step="Packing surface logo"
  local font_preview="Drawing preview sans_16_preview.png" surface_preview="Drawing preview logo_preview.png"
  # touched file | step that must run | step that must not
  local touched must_run must_not_run steps
  while IFS='|' read -r touched must_run must_not_run; do
    touch "$touched"
    steps="$(rebuild_steps "$build")" || fail "the build after touching $touched failed: $steps"
    grep -qF "$must_run" <<<"$steps" || fail "touching $touched did not run '$must_run': $steps"
    grep -qF "$must_not_run" <<<"$steps" && fail "touching $touched ran '$must_not_run': $steps"
    echo "ok: touching ${touched#"$WORK/"} runs '$must_run' and not '$must_not_run'"
  done <<EOF
$dir/DejaVuSans.ttf|$font_step|$surface_step
$dir/logo.png|$surface_step|$font_step
$prefix/bin/glyphsmith_cli|$font_step|$surface_step
$prefix/bin/pixpack|$surface_step|$font_step
$dir/DejaVuSans.ttf|$font_preview|$surface_preview
$dir/logo.png|$surface_preview|$font_preview
$prefix/bin/assetpeek|$font_preview|$font_step
$prefix/bin/assetpeek|$surface_preview|$surface_step
$dir/DejaVuSans.ttf|sans_16.cpp.o|logo_surface.cpp.o
$dir/logo.png|logo_surface.cpp.o|sans_16.cpp.o
EOF
  steps="$(rebuild_steps "$build")" || fail "the build with nothing changed failed: $steps"
  grep -qx "ninja: no work to do." <<<"$steps" || fail "a build with nothing changed did work: $steps"
  echo "ok: a build with nothing changed does no work"
  for file in "${generated_files[@]}"; do
    cmp "$build/$file" "$dir/reference/$file" || fail "$file changed when remade from the same input"
  done
  echo "ok: remade outputs are the same bytes"
}

step_add_subdirectory() {
  local dir="$WORK/add-subdirectory"
  make_inputs "$dir"
  build_example "$dir" -DCORVANE_KIT_SOURCE_DIR="$KIT_SOURCE" -DCORVANE_SANITIZE="$SANITIZE"
  check_inspect_report "$dir"
  for file in "${generated_files[@]}"; do
    cmp "$dir/build/$file" "$WORK/find-package/reference/$file" ||
      fail "$file differs from the one made with the installed tools"
  done
  echo "ok: the in-tree tools make the same bytes as the installed ones"
  [[ -e "$dir/build/corvane_assets/tests" || -e "$dir/build/corvane_assets/gui" ]] &&
    fail "the kit added its tests or GUI to a project that did not ask"
  ninja -C "$dir/build" -t commands firmware_inspect | grep -E 'inspect\.cpp|assets\.cpp' | grep -q -- "-Wextra" &&
    fail "the kit's warning options reached the project's own sources"
  echo "ok: the kit's tests, GUI and warning options stay out of the project"
}

# Configures and builds the consumer project in $WORK/<step>/consumer with the
# call $1 and the inputs FONT and IMAGE=$2; the output of both is in
# $WORK/<step>/consumer.log.
consumer_build() {
  local consumer="$WORK/$step/consumer"
  "$CMAKE" -S "$here/consumer" -B "$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCALL="$1" \
    -DFONT="$WORK/$step/DejaVuSans.ttf" -DIMAGE="$2" >"$consumer.log" 2>&1 &&
    "$CMAKE" --build "$consumer" >>"$consumer.log" 2>&1
}

# Whether the file $1 holds the text $2, CMake's line wrapping undone.
log_says() {
  tr -s ' \n' '  ' <"$1" | grep -qF -- "$2"
}

# Whether the consumer's last output holds the text $1.
consumer_said() {
  log_says "$WORK/$step/consumer.log" "$1"
}

step_misuse() {
  make_inputs "$WORK/$step"
  local call message
  while IFS='|' read -r call message; do
    rm -rf "$WORK/$step/consumer"
    consumer_build "$call" "$WORK/$step/logo.png" && fail "$call was accepted"
    if ! consumer_said "CMake Error" || ! consumer_said "$message"; then
      cat "$WORK/$step/consumer.log"
      fail "$call: expected '$message'"
    fi
    echo "ok: $call -> $message"
  done <<'EOF'
corvane_add_font(app FONT ${FONT} SIZE 16 CHARS 32-126)|corvane_add_font: missing NAME
corvane_add_font(app NAME sans SIZE 16 CHARS 32-126)|corvane_add_font: missing FONT
corvane_add_font(app NAME sans FONT ${FONT} CHARS 32-126)|corvane_add_font: missing SIZE
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16)|corvane_add_font: missing CHARS
corvane_add_font(app NAME FONT ${FONT} SIZE 16 CHARS 32-126)|corvane_add_font: NAME needs a value
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 BOLD)|corvane_add_font: unknown argument 'BOLD'
corvane_add_font(app NAME sans-serif FONT ${FONT} SIZE 16 CHARS 32-126)|corvane_add_font: NAME 'sans-serif' is not a C identifier
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16px CHARS 32-126)|corvane_add_font: SIZE must be a whole number of pixels, not '16px'
corvane_add_font(NAME sans FONT ${FONT} SIZE 16 CHARS 32-126)|corvane_add_font: no target named 'NAME'
corvane_add_surface(app IMAGE ${IMAGE})|corvane_add_surface: missing NAME
corvane_add_surface(app NAME logo)|corvane_add_surface: missing IMAGE
corvane_add_surface(app NAME logo IMAGE ${IMAGE} ROTATION 45)|corvane_add_surface: ROTATION must be 90, 180 or 270, not '45'
corvane_add_surface(app NAME logo IMAGE ${IMAGE} ROTATION)|corvane_add_surface: ROTATION needs a value
corvane_add_surface(app NAME logo IMAGE ${IMAGE} EMBED ON)|corvane_add_surface: unknown argument 'ON'
corvane_add_surface(app NAME 2logo IMAGE ${IMAGE} EMBED)|corvane_add_surface: NAME '2logo' is not a C identifier
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 PREVIEW)|corvane_add_font: PREVIEW needs a value
corvane_add_surface(app NAME logo IMAGE ${IMAGE} PREVIEW yes)|corvane_add_surface: unknown argument 'yes'
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 45,65 PREVIEW -A)|corvane_add_font: PREVIEW text '-A' begins with '-', which assetpeek takes for an option
corvane_add_surface(app NAME logo IMAGE ${IMAGE} FORMAT RGB555)|corvane_add_surface: FORMAT must be ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, AI88, A8, I8, RGB565_SWAPPED or ARGB8565, not 'RGB555'
corvane_add_surface(app NAME logo IMAGE ${IMAGE} FORMAT)|corvane_add_surface: FORMAT needs a value
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 CODEPAGE)|corvane_add_font: CODEPAGE needs a value
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 FALLBACK)|corvane_add_font: FALLBACK needs a value
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 BPP 3)|corvane_add_font: BPP must be 1, 2, 4 or 8, not '3'
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 BPP)|corvane_add_font: BPP needs a value
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 COMPRESS)|corvane_add_font: COMPRESS needs BPP
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 BPP 4 CODEPAGE CP1251)|corvane_add_font: CODEPAGE cannot be used with BPP
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 ROTATIONS 0 45)|corvane_add_font: ROTATIONS must be 0, 90, 180 or 270, not '45'
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 BPP 2 ROTATIONS 90 90)|corvane_add_font: ROTATIONS names 90 twice
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 ROTATIONS)|corvane_add_font: ROTATIONS needs a value
corvane_add_font(app NAME sans FONT /nonexistent/sans.ttf SIZE 16 CHARS 32-126)|corvane_add_font: FONT file '/nonexistent/sans.ttf' does not exist
corvane_add_emulator_test(NAME t FRAMEBUFFER f FORMAT RGB565 WIDTH 2 HEIGHT 2 EXPECT e.png)|corvane_add_emulator_test: missing TARGET
corvane_add_emulator_test(NAME t TARGET nothing FRAMEBUFFER f FORMAT RGB565 WIDTH 2 HEIGHT 2 EXPECT e.png)|corvane_add_emulator_test: no target named 'nothing'
corvane_add_emulator_test(NAME t TARGET app FORMAT RGB565 WIDTH 2 HEIGHT 2 EXPECT e.png)|corvane_add_emulator_test: missing FRAMEBUFFER
corvane_add_emulator_test(NAME t TARGET app FRAMEBUFFER f FORMAT RGB666 WIDTH 2 HEIGHT 2 EXPECT e.png)|corvane_add_emulator_test: FORMAT must be RGB888, RGB565, RGB565_SWAPPED, BGR565, BGR888, XRGB8888, ARGB8888, ARGB1555, ARGB4444 or ARGB8565, not 'RGB666'
corvane_add_emulator_test(NAME t TARGET app FRAMEBUFFER f FORMAT RGB565 WIDTH 0 HEIGHT 2 EXPECT e.png)|corvane_add_emulator_test: WIDTH must be a whole number of pixels, not '0'
corvane_add_emulator_test(NAME t TARGET app FRAMEBUFFER f FORMAT RGB565 WIDTH 2 HEIGHT 2)|corvane_add_emulator_test: missing EXPECT
corvane_add_emulator_test(NAME t TARGET app FRAMEBUFFER f FORMAT RGB565 WIDTH 2 HEIGHT 2 EXPECT e.bmp)|corvane_add_emulator_test: EXPECT 'e.bmp' is not a .png picture
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126 FALLBACK ${FONT} /nonexistent/icons.ttf)|corvane_add_font: FALLBACK file '/nonexistent/icons.ttf' does not exist
corvane_add_surface(app NAME logo IMAGE /nonexistent/logo.png)|corvane_add_surface: IMAGE file '/nonexistent/logo.png' does not exist
EOF
}

# Calls whose generated files and helper targets share a NAME: each gets names
# of its own (a font's name and size), a PREVIEW text keeps its ';', and the
# one call that would make a file twice stops the configuration, naming it.
step_name_collisions() {
  make_inputs "$WORK/$step"
  local build="$WORK/$step/consumer"
  # shellcheck disable=SC2016 # CMake expands the variables
  consumer_build 'corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 59,65,66 PREVIEW "A;B")
corvane_add_font(app NAME sans FONT ${FONT} SIZE 24 CHARS 65 PREVIEW A)
corvane_add_surface(app NAME sans IMAGE ${IMAGE} PREVIEW)' "$WORK/$step/logo.png" ||
    { cat "$WORK/$step/consumer.log"; fail "the calls of one NAME did not build"; }
  "$prefix/bin/assetpeek" --font "$build/sans_16.cpp" --text "A;B" --output "$WORK/$step/expected.png" >/dev/null ||
    fail "assetpeek cannot draw 'A;B'"
  cmp "$WORK/$step/expected.png" "$build/sans_16_preview.png" || fail "sans_16_preview.png is not the text 'A;B'"
  [[ -f "$build/sans_24_preview.png" && -f "$build/sans_preview.png" ]] || fail "a preview of one NAME is missing"
  echo "ok: two fonts and a surface of one NAME build, each with its own preview"
  rm -rf "$build"
  # shellcheck disable=SC2016
  consumer_build 'corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 65)
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 66)' "$WORK/$step/logo.png" &&
    fail "two fonts of one NAME and SIZE were accepted"
  consumer_said "corvane_add_font: sans_16.cpp is already made by another call in this folder" ||
    { cat "$WORK/$step/consumer.log"; fail "no message names the file made twice"; }
  echo "ok: a font made twice stops the configuration, naming sans_16.cpp"
  check_case_collisions
}

# NAMEs that differ only in case would give two headers one include guard (and
# be one file where names ignore case): the second call stops the
# configuration, naming both. Names that differ in case but make different
# files are taken.
check_case_collisions() {
  local first second message
  while IFS='|' read -r first second message; do
    rm -rf "$WORK/$step/consumer"
    consumer_build "$first"$'\n'"$second" "$WORK/$step/logo.png" && fail "$second after $first was accepted"
    consumer_said "$message" || { cat "$WORK/$step/consumer.log"; fail "$second: expected '$message'"; }
    echo "ok: $second after $first -> $message"
  done <<'EOF'
corvane_add_surface(app NAME icon IMAGE ${IMAGE} EMBED)|corvane_add_surface(app NAME Icon IMAGE ${IMAGE} EMBED)|corvane_add_surface: NAME 'Icon' and NAME 'icon' of another call in this folder differ only in case: Icon.srf and icon.srf
corvane_add_surface(app NAME icon IMAGE ${IMAGE})|corvane_add_surface(app NAME ICON IMAGE ${IMAGE})|corvane_add_surface: NAME 'ICON' and NAME 'icon' of another call in this folder differ only in case: ICON.srf and icon.srf
corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 65)|corvane_add_font(app NAME Sans FONT ${FONT} SIZE 16 CHARS 65)|corvane_add_font: NAME 'Sans' and NAME 'sans' of another call in this folder differ only in case: Sans_16.cpp and sans_16.cpp
EOF
  rm -rf "$WORK/$step/consumer"
  # shellcheck disable=SC2016 # CMake expands the variables
  consumer_build 'corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 65)
corvane_add_font(app NAME Sans FONT ${FONT} SIZE 24 CHARS 65)' "$WORK/$step/logo.png" ||
    { cat "$WORK/$step/consumer.log"; fail "sans at 16 and Sans at 24 were refused"; }
  echo "ok: sans at 16 and Sans at 24 make files of their own and build"
}

# The CMake call that gives font t<i> the PREVIEW text $2, written as a quoted
# CMake argument (its backslashes and quotes escaped).
preview_call() {
  local text="${2//\\/\\\\}"
  text="${text//\"/\\\"}"
  # shellcheck disable=SC2016 # CMake expands ${FONT}
  printf 'corvane_add_font(app NAME t%s FONT ${FONT} SIZE 16 CHARS 32-126 PREVIEW "%s")\n' "$1" "$text"
}

# PREVIEW texts reach assetpeek as one argument, exactly as written: shell
# operators, quotes, a backslash, ';', a generator expression, a leading
# space. Each preview is assetpeek's own picture of the text; the build makes
# no stray file; a text that changes redraws its preview, and only its own.
step_preview_texts() {
  make_inputs "$WORK/$step"
  local build="$WORK/$step/consumer" calls="" i
  local texts=(">" "|" "&&" "2>" ";" '"' 'A$<1:B>C' '\' " A" "a'b c")
  for i in "${!texts[@]}"; do calls+="$(preview_call "$i" "${texts[$i]}")"$'\n'; done
  consumer_build "$calls" "$WORK/$step/logo.png" || { cat "$build.log"; fail "the PREVIEW texts did not build"; }
  for i in "${!texts[@]}"; do
    "$prefix/bin/assetpeek" --font "$build/t${i}_16.cpp" --text "${texts[$i]}" --output "$WORK/$step/expected.png" \
      >/dev/null || fail "assetpeek cannot draw '${texts[$i]}'"
    cmp "$WORK/$step/expected.png" "$build/t${i}_16_preview.png" ||
      fail "t${i}_16_preview.png is not the text '${texts[$i]}'"
  done
  [[ -e "$build/--output" ]] && fail "a PREVIEW text made a file named --output"
  echo "ok: ${#texts[@]} PREVIEW texts are drawn as written"
  consumer_build "$calls" "$WORK/$step/logo.png" || fail "the unchanged calls did not build again"
  grep -q "Drawing preview" "$build.log" && fail "configuring the same texts again redrew a preview"
  consumer_build "$(preview_call 0 "<")"$'\n'"${calls#*$'\n'}" "$WORK/$step/logo.png" ||
    { cat "$build.log"; fail "a changed text did not build"; }
  grep -qF "Drawing preview t0_16_preview.png" "$build.log" || fail "a changed text did not redraw its preview"
  grep -qF "Drawing preview t1_16_preview.png" "$build.log" && fail "a changed text redrew another preview"
  echo "ok: a preview is redrawn when its text changes, and only then"
}

step_tool_failures() {
  make_inputs "$WORK/$step"
  echo "not a PNG file" >"$WORK/$step/broken.png"
  # shellcheck disable=SC2016 # CMake expands the variables
  consumer_build 'corvane_add_font(app NAME sans FONT ${FONT} SIZE 16 CHARS 32-126)
corvane_add_surface(app NAME logo IMAGE ${IMAGE} EMBED)' "$WORK/$step/logo.png" ||
    { cat "$WORK/$step/consumer.log"; fail "the good calls failed"; }
  echo "ok: the good calls build"
  local call message output
  # call, with IMAGE a file that is no PNG | the tool's message | output that must not be left behind
  while IFS='|' read -r call message output; do
    rm -rf "$WORK/$step/consumer"
    consumer_build "$call" "$WORK/$step/broken.png" && fail "$call: the build passed"
    consumer_said "$message" || { cat "$WORK/$step/consumer.log"; fail "$call: the tool's message '$message' is missing"; }
    [[ -e "$WORK/$step/consumer/$output" ]] && fail "$call: the failed build left $output"
    consumer_build "$call" "$WORK/$step/broken.png" && fail "$call: a second build took the failed output as made"
    echo "ok: $call fails the build with '$message' and leaves no $output"
  done <<'EOF'
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 5 CHARS 65)|ERROR: '--size' height has to be between 6 and 256|tiny_5.cpp
corvane_add_surface(app NAME broken IMAGE ${IMAGE} EMBED)|ERROR: cannot decode PNG file|broken.srf
corvane_add_surface(app NAME broken IMAGE ${IMAGE} PALETTE)|ERROR: cannot decode PNG file|broken.pal
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 16 CHARS 65 PREVIEW B)|ERROR: character 66 is not in the font|tiny_16_preview.png
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 16 CHARS 65 CODEPAGE CP9999)|ERROR: '--codepage' unknown code page 'CP9999'|tiny_16.cpp
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 16 CHARS 192-223 CODEPAGE CP1251 PREVIEW Жж)|ERROR: character U+0436 is not in the font|tiny_16_preview.png
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 16 CHARS 65,U+110000 BPP 4)|ERROR: '--chars' character beyond U+10FFFF in 'U+110000'|tiny_16.cpp
corvane_add_font(app NAME tiny FONT ${FONT} SIZE 16 CHARS U+0410-U+044F BPP 2 COMPRESS PREVIEW Жx)|ERROR: character U+0078 is not in the font|tiny_16_preview.png
EOF
  check_mapped_font
}

# A CP1251 font with a fallback font: the preview draws Cyrillic text, and
# touching the fallback font remakes the export.
check_mapped_font() {
  local fallback="$WORK/$step/fallback.ttf" consumer="$WORK/$step/consumer"
  rm -rf "$consumer"
  cp "$font" "$fallback"
  # shellcheck disable=SC2016 # CMake expands ${FONT}
  consumer_build 'corvane_add_font(app NAME cyr FONT ${FONT} SIZE 16 CHARS 32-255 CODEPAGE CP1251 PREVIEW "Привет, мир"
  FALLBACK '"$fallback"')' "$WORK/$step/logo.png" || { cat "$consumer.log"; fail "the CP1251 font with a fallback failed"; }
  [[ -s "$consumer/cyr_16_preview.png" ]] || fail "the CP1251 font has no preview"
  grep -qx "// fallback font 'fallback.ttf'" "$consumer/cyr_16.cpp" || fail "the export names no fallback font"
  touch "$fallback"
  rebuild_steps "$consumer" | grep -qF "Generating font cyr_16" || fail "touching the fallback font did not remake the export"
  echo "ok: a CP1251 font with a fallback draws its preview and is remade when the fallback font changes"
}

# FORMAT and DITHER give the bytes pixpack gives; PALETTE writes the palette
# file, embeds it beside the surface and draws the preview in its colours.
step_surface_formats() {
  local dir="$WORK/$step"
  make_inputs "$dir"
  convert "$dir/logo.png" -colors 6 PNG8:"$dir/indexed.png" || fail "convert made no indexed image"
  consumer_build "corvane_add_surface(app NAME photo IMAGE \${IMAGE} FORMAT RGB565 DITHER ROTATION 90 EMBED)
corvane_add_surface(app NAME icon IMAGE $dir/indexed.png FORMAT I8 PALETTE EMBED PREVIEW)
corvane_add_surface(app NAME badge IMAGE \${IMAGE} FORMAT ARGB8565 PREVIEW)
corvane_add_surface(app NAME packed IMAGE \${IMAGE} FORMAT ARGB8565 ROTATION 270 COMPRESS EMBED PREVIEW)" "$dir/logo.png" ||
    { cat "$dir/consumer.log"; fail "the calls failed"; }
  local out="$dir/consumer" tools="$prefix/bin"
  "$tools/pixpack" --image "$dir/logo.png" --format RGB565 --dither --rotation 90 --output "$dir/photo.srf" >/dev/null &&
    cmp "$out/photo.srf" "$dir/photo.srf" || fail "photo.srf is not what pixpack --format RGB565 --dither writes"
  "$tools/pixpack" --image "$dir/logo.png" --format ARGB8565 --output "$dir/badge.srf" >/dev/null &&
    cmp "$out/badge.srf" "$dir/badge.srf" || fail "badge.srf is not what pixpack --format ARGB8565 writes"
  "$tools/assetpeek" --surface "$dir/badge.srf" --upright --output "$dir/badge_preview.png" >/dev/null &&
    cmp "$out/badge_preview.png" "$dir/badge_preview.png" || fail "the ARGB8565 preview is not what assetpeek draws"
  "$tools/pixpack" --image "$dir/indexed.png" --palette "$dir/icon.pal" --output "$dir/icon.srf" >/dev/null &&
    cmp "$out/icon.pal" "$dir/icon.pal" || fail "icon.pal is not what pixpack --palette writes"
  grep -q "extern const uint8_t icon_palette\[\]" "$out/icon_surface.h" &&
    grep -q "extern const size_t icon_palette_size" "$out/icon_surface.h" || fail "icon_surface.h declares no palette"
  grep -q "palette" "$out/photo_surface.h" && fail "photo_surface.h declares a palette it does not have"
  local entries
  entries="$(grep -c '^    0x' "$out/icon_surface.cpp")"
  [[ "$entries" -gt 0 ]] || fail "icon_surface.cpp holds no bytes"
  "$tools/assetpeek" --surface "$dir/icon.srf" --palette "$dir/icon.pal" --output "$dir/icon_preview.png" >/dev/null &&
    cmp "$out/icon_preview.png" "$dir/icon_preview.png" || fail "the preview is not drawn in the palette's colours"
  echo "ok: FORMAT (ARGB8565 too) and DITHER pack as pixpack does; PALETTE is written, embedded and used by the preview"
  "$tools/pixpack" --image "$dir/logo.png" --format ARGB8565 --rotation 270 --compress --output "$dir/packed.srf" \
    >/dev/null && cmp "$out/packed.srf" "$dir/packed.srf" || fail "packed.srf is not what pixpack --compress writes"
  "$tools/pixpack" --image "$dir/logo.png" --format ARGB8565 --rotation 270 --output "$dir/plain.srf" >/dev/null &&
    "$tools/assetpeek" --surface "$dir/plain.srf" --upright --output "$dir/plain_preview.png" >/dev/null &&
    cmp "$out/packed_preview.png" "$dir/plain_preview.png" || fail "the compressed preview is not the plain file's"
  [[ "$(grep -c '^    0x' "$out/packed_surface.cpp")" -gt 0 ]] || fail "packed_surface.cpp holds no bytes"
  echo "ok: COMPRESS embeds what pixpack --compress writes, and its preview is the uncompressed surface's"
}

# shellcheck source=package_device_steps.sh
source "$here/package_device_steps.sh"

mkdir -p "$WORK"
case "$step" in
  install) step_install ;;
  find-package) step_find_package ;;
  incremental) step_incremental ;;
  add-subdirectory) step_add_subdirectory ;;
  misuse) step_misuse ;;
  tool-failures) step_tool_failures ;;
  name-collisions) step_name_collisions ;;
  preview-texts) step_preview_texts ;;
  surface-formats) step_surface_formats ;;
  cross-cortex-m4) step_cross ;;
  device) step_device ;;
  emulator-test) step_emulator_test ;;
  device-instructions) step_device_instructions ;;
  *) fail "unknown step '$step'" ;;
esac
echo "PASS: $step"
