# The device steps of package_test.sh (sourced by it, with its helpers and
# variables): the cross build for a Cortex-M4, the scene firmware under QEMU,
# corvane_add_emulator_test, and the instructions the drawing paths take.
# shellcheck shell=bash

step_cross() {
  command -v arm-none-eabi-g++ >/dev/null || skip "arm-none-eabi-g++ is not installed (Debian: gcc-arm-none-eabi)"
  local dir="$WORK/cross"
  make_inputs "$dir"
  build_example "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix"
  # The library's sources build for the device without a word from the compiler.
  grep -E "(warning|note): " "$dir/build.log" && fail "the cross build printed diagnostics"
  echo "ok: the cross build log holds no compiler diagnostics"
  local library="$dir/build/libfirmware_assets.a"
  local members
  members="$(arm-none-eabi-ar t "$library" | wc -l)"
  [[ "$(arm-none-eabi-readelf -A "$library" | grep -c 'Tag_CPU_arch: v7E-M')" == "$members" ]] ||
    fail "not every object of the library is built for a Cortex-M4"
  # Listings are read whole before grep -q: an early exit would fail the pipe.
  local sections
  sections="$(arm-none-eabi-objdump -h "$library")" || fail "objdump cannot read the library"
  grep -q '\.rodata\.font_sans_16_90 ' <<<"$sections" ||
    fail "the font rotations do not have sections of their own"
  grep -q " R logo_surface$" <<<"$(arm-none-eabi-nm "$library")" || fail "logo_surface is not in read-only data"
  echo "ok: $members Cortex-M4 objects; each font rotation in its own section, the surface in read-only data"
  local header
  header="$(arm-none-eabi-readelf -h "$dir/build/firmware_scene.elf")" || fail "firmware_scene.elf is not an ELF file"
  grep -q "Entry point address: *0x[0-9a-f]*[13579bdf]$" <<<"$header" ||
    fail "firmware_scene.elf is not a Thumb program"
  echo "ok: the scene firmware is linked"
  # The tree stays for the device step; the refusal is checked in a fresh one.
  local refused="$WORK/cross-source"
  make_inputs "$refused"
  configure_example "$refused" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCORVANE_KIT_SOURCE_DIR="$KIT_SOURCE" &&
    fail "the kit's source tree was built into a cross-compiling project"
  log_says "$refused/configure.log" "install a host build of the kit" || fail "no reason given for refusing the source tree"
  echo "ok: a cross-compiling project that adds the source tree is told to use an installed kit"
}

# The 16-bit little-endian word of pixel (x, y) = ($3, $4) of the RGB565 dump
# $1 with $2 bytes a row, in hexadecimal.
dump_pixel() {
  od -An -tx2 -j $(($4 * $2 + $3 * 2)) -N 2 "$1" | tr -d ' '
}

# Converts the framebuffer dumps of folder $1 into BMP pictures beside them:
# scene_0.rgb565 (320 x 240 stored, 640 bytes a row) and scene_90.rgb565
# (stored at 90: 240 x 320, 480 bytes a row).
snap_scenes() {
  "$prefix/bin/rawsnap" --fb "$1/scene_0.rgb565" --width 320 --height 240 --pitch 640 --format RGB565 \
    --output "$1/scene_0.bmp" >/dev/null || fail "rawsnap cannot convert $1/scene_0.rgb565"
  "$prefix/bin/rawsnap" --fb "$1/scene_90.rgb565" --width 240 --height 320 --pitch 480 --format RGB565 \
    --output "$1/scene_90.bmp" >/dev/null || fail "rawsnap cannot convert $1/scene_90.rgb565"
  # The PNG with the pitch and the height taken from the dump.
  "$prefix/bin/rawsnap" --fb "$1/scene_0.rgb565" --width 320 --format RGB565 \
    --output "$1/scene_0.png" >/dev/null || fail "rawsnap cannot write $1/scene_0.png"
}

step_device() {
  command -v qemu-system-arm >/dev/null || skip "qemu-system-arm is not installed (Debian: qemu-system-arm)"
  command -v compare >/dev/null || skip "ImageMagick's compare is not installed"
  local host_program="$WORK/find-package/build/firmware_scene" firmware="$WORK/cross/build/firmware_scene.elf"
  [[ -x "$host_program" ]] || fail "the find-package step left no firmware_scene"
  [[ -f "$firmware" ]] || fail "the cross-cortex-m4 step left no firmware_scene.elf"
  local dir="$WORK/device"
  rm -rf "$dir"
  mkdir -p "$dir/host" "$dir/qemu"
  (cd "$dir/host" && "$host_program" >"$dir/host.log" 2>&1) || { cat "$dir/host.log"; fail "firmware_scene failed"; }
  local status=0
  (cd "$dir/qemu" && timeout 60 qemu-system-arm -M mps2-an386 -nographic -semihosting-config enable=on,target=native \
    -kernel "$firmware" </dev/null >"$dir/qemu.log" 2>&1) || status=$?
  [[ "$status" == 0 ]] || { cat "$dir/qemu.log"; fail "the firmware under QEMU ended with status $status"; }
  grep -qF "scene_0.rgb565 and scene_90.rgb565 written" "$dir/qemu.log" || fail "the firmware did not report its dumps"
  echo "ok: the firmware ran under QEMU and exited with status 0"
  local scene
  for scene in scene_0 scene_90; do
    [[ "$(stat -c %s "$dir/qemu/$scene.rgb565")" == $((320 * 240 * 2)) ]] || fail "$scene.rgb565 is not 320 x 240 RGB565"
    cmp "$dir/host/$scene.rgb565" "$dir/qemu/$scene.rgb565" || fail "the device's $scene.rgb565 differs from the host's"
  done
  echo "ok: the device's framebuffers are the host's, byte for byte"
  snap_scenes "$dir/host"
  snap_scenes "$dir/qemu"
  local differing
  for scene in scene_0 scene_90; do
    differing="$(compare -metric AE "$dir/qemu/$scene.bmp" "$dir/host/$scene.bmp" null: 2>&1)"
    [[ "$differing" == 0 ]] || fail "the device's $scene.bmp differs from the host's in $differing pixels"
  done
  differing="$(compare -metric AE "$dir/qemu/scene_0.png" "$dir/host/scene_0.bmp" null: 2>&1)"
  [[ "$differing" == 0 ]] || fail "the device's scene_0.png differs from the host's BMP in $differing pixels"
  # Stored at 90, the rightmost column is the top row: a quarter turn
  # clockwise shows the upright picture, which must be the upright scene's.
  differing="$(convert "$dir/qemu/scene_90.bmp" -rotate 90 png:- | compare -metric AE - "$dir/qemu/scene_0.bmp" null: 2>&1)"
  [[ "$differing" == 0 ]] ||
    fail "the scene stored at 90, turned upright, differs from the upright one in $differing pixels"
  echo "ok: the pictures match, and the scene stored at 90 is the upright scene turned"
  # Pixels of the upright scene: background, the band at the bottom, and the
  # clip (180, 180, 100, 14) that cuts a larger fill.
  local x y expected found
  while read -r x y expected; do
    found="$(dump_pixel "$dir/qemu/scene_0.rgb565" 640 "$x" "$y")"
    [[ "$found" == "$expected" ]] || fail "pixel ($x, $y) of scene_0 is $found, expected $expected"
  done <<'EOF'
300 120 2188
160 220 e71c
275 182 4210
285 182 2188
275 176 2188
EOF
  echo "ok: background, band and clipped fill have their colours"
}

# Runs the test $2 of the emulator project in $1 alone; its output, without
# the test numbers that ctest puts before each line, is in $1/ctest.log.
run_emulator_test() {
  ctest --test-dir "$1/build" -R "^$2\$" --verbose 2>&1 | sed -E 's/^[0-9]+: //' >"$1/ctest.log"
}

step_emulator_test() {
  command -v qemu-system-arm >/dev/null || skip "qemu-system-arm is not installed (Debian: qemu-system-arm)"
  command -v arm-none-eabi-g++ >/dev/null || skip "arm-none-eabi-g++ is not installed (Debian: gcc-arm-none-eabi)"
  command -v compare >/dev/null || skip "ImageMagick's compare is not installed"
  local dir="$WORK/$step" pictures="$WORK/$step/pictures"
  rm -rf "$dir"
  mkdir -p "$pictures"
  # What the firmware draws, as an RGBA picture (pixels count, not the PNG's
  # colour type), and the same with one pixel changed.
  convert -size 24x16 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 4,2 11,7' PNG32:"$pictures/expected.png" &&
    convert "$pictures/expected.png" -fill '#00FF00' -draw 'point 23,15' PNG24:"$pictures/wrong.png" ||
    fail "convert made no pictures"
  run_logged "$dir/build.log" "$CMAKE" -S "$here/emulator" -B "$dir/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DPICTURES="$pictures" || fail "cannot configure the emulator project"
  run_logged "$dir/build.log" "$CMAKE" --build "$dir/build" || fail "cannot build the emulator project"
  local test passes message
  # test | passes | what its output says
  while IFS='|' read -r test passes message; do
    if run_emulator_test "$dir" "$test"; then
      [[ "$passes" == yes ]] || { cat "$dir/ctest.log"; fail "$test passed"; }
    else
      [[ "$passes" == no ]] || { cat "$dir/ctest.log"; fail "$test failed"; }
    fi
    log_says "$dir/ctest.log" "$message" || { cat "$dir/ctest.log"; fail "$test: expected '$message'"; }
    echo "ok: $test: $message"
  done <<LIST
matches|yes|matches: the framebuffer matches $pictures/expected.png
differs|no|differs: the framebuffer differs from $pictures/wrong.png; the firmware drew $pictures/wrong.got.png
first_run|no|first_run: there is no expected picture $pictures/new.png; the firmware drew $pictures/new.got.png
exits_1|no|exits_1: the firmware under QEMU ended with status '1'
no_framebuffer|no|no_framebuffer: the firmware wrote no framebuffer 'other.rgb565'
too_tall|no|too_tall: rawsnap cannot read the framebuffer: ERROR:
LIST
  local differing
  differing="$(compare -metric AE "$pictures/wrong.got.png" "$pictures/expected.png" null: 2>&1)"
  [[ "$differing" == 0 ]] || fail "wrong.got.png is not the picture drawn: $differing pixels differ"
  [[ -e "$pictures/expected.got.png" ]] && fail "a passing test left a picture beside expected.png"
  echo "ok: the picture drawn is left beside a differing expected picture, and not beside a matching one"
  # The picture of a first run, taken as the expected one, passes, and the
  # copy beside it goes.
  mv "$pictures/new.got.png" "$pictures/new.png"
  run_emulator_test "$dir" first_run || { cat "$dir/ctest.log"; fail "the accepted picture does not pass"; }
  [[ -e "$pictures/new.got.png" ]] && fail "a passing test left new.got.png"
  echo "ok: the picture of a first run, taken as the expected one, passes"
}

# Instructions per pixel are counted, not timed (QEMU's -icount), so the same
# build gives the same figures on every machine: the fast path of the blit that
# a firmware uses most must stay within its budget, and text with a packed font
# (4 bits, compressed) within 1.3 times the classic font's figure.
# The most instructions per pixel each row of bench/device may take, at -Os
# (MinSizeRel, as examples/firmware builds): what the drawing code reaches
# under this compiler, with 3 % to spare and one SysTick tick (40
# instructions, 0.16 a pixel over 16 x 16). Rows a to e2 are the operations
# compared side by side with LVGL's software renderer; rows o to r blend a
# 64 x 64 icon from its plain and from its compressed surface file.
device_instruction_limits="
128x64 a 1.02
128x64 b 1.97
128x64 c0 10.01
128x64 c1 14.65
128x64 c2 29.94
128x64 d 30.00
128x64 e 26.85
128x64 e2 9.02
128x64 f 22.80
128x64 g 52.46
128x64 h 3.82
128x64 i 1.02
128x64 j 5.35
128x64 k 31.99
128x64 l 9.33
128x64 m 59.55
128x64 n 17.89
16x16 a 4.02
16x16 b 6.60
16x16 c0 13.36
16x16 c1 18.02
16x16 c2 33.31
16x16 d 33.15
16x16 e 30.41
16x16 e2 11.90
16x16 f 25.26
16x16 g 55.68
16x16 h 7.07
16x16 i 4.18
16x16 j 8.36
16x16 k 35.40
16x16 l 12.07
16x16 m 62.60
16x16 n 19.63
64x64 o 13.00
64x64 p 18.40
64x64 q 18.50
64x64 r 24.40"

step_device_instructions() {
  command -v qemu-system-arm >/dev/null || skip "qemu-system-arm is not installed (Debian: qemu-system-arm)"
  command -v arm-none-eabi-g++ >/dev/null || skip "arm-none-eabi-g++ is not installed (Debian: gcc-arm-none-eabi)"
  local dir="$WORK/device-instructions"
  rm -rf "$dir"
  run_logged "$dir.log" "$CMAKE" -S "$KIT_SOURCE/bench/device" -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel || fail "cannot configure bench/device"
  run_logged "$dir.log" "$CMAKE" --build "$dir" || fail "cannot build bench/device"
  local report status=0
  report="$(cd "$dir" && timeout 60 qemu-system-arm -M mps2-an386 -nographic -semihosting-config enable=on,target=native \
    -icount shift=0 -kernel surface_ipp.elf </dev/null 2>&1)" || status=$?
  echo "$report"
  grep -q "MISMATCH" <<<"$report" && fail "a fast path on the device does not write the general path's bytes"
  [[ "$status" == 0 ]] || fail "surface_ipp ended with status $status"
  grep -q "^SysTick: 40.000 instructions per tick$" <<<"$report" || fail "SysTick does not count instructions as expected"
  local size row limit figure
  while read -r size row limit; do
    [[ -n "$size" ]] || continue
    figure="$(awk -v size="$size" -v row="$row" '$1 == size && $2 == row { print $(NF - 3) }' <<<"$report")"
    [[ -n "$figure" ]] || fail "no figure for $size $row"
    awk -v figure="$figure" -v limit="$limit" 'BEGIN { exit !(figure <= limit) }' ||
      fail "$size $row takes $figure instructions per pixel, more than $limit"
  done <<<"$device_instruction_limits"
  echo "ok: every row at 128x64 and 16x16 within its limit, every fast path writes the general path's bytes"
  local classic packed
  classic="$(sed -n 's/^text classic 8 bpp -> RGB565 *\([0-9.]*\) instructions per glyph pixel$/\1/p' <<<"$report")"
  packed="$(sed -n 's/^text packed 4 bpp compressed -> RGB565 *\([0-9.]*\) instructions per glyph pixel$/\1/p' <<<"$report")"
  [[ -n "$classic" && -n "$packed" ]] || fail "no figures for text"
  awk -v classic="$classic" -v packed="$packed" 'BEGIN { exit !(packed <= 1.3 * classic) }' ||
    fail "packed text takes $packed instructions per glyph pixel, more than 1.3 x the classic font's $classic"
  echo "ok: packed text takes $packed instructions per glyph pixel, classic $classic (at most 1.3 x)"
  # Blending the compressed icons: no heap, and at most kDsDecodeBufferBytes
  # (2048) of buffer with the drawing's frames, within 4 KiB of stack.
  local line calls stack
  for row in p r; do
    line="$(grep -E "^  $row  blend compressed icon .*calls to malloc" <<<"$report")" || fail "no memory figures for $row"
    calls="$(awk '{ print $(NF - 7) }' <<<"$line")"
    stack="$(awk '{ print $(NF - 3) }' <<<"$line")"
    [[ "$calls" == 0 ]] || fail "$row calls malloc $calls times"
    [[ "$stack" -le 4096 ]] || fail "$row takes $stack bytes of stack"
  done
  echo "ok: the compressed icons blend without malloc, in less than 4 KiB of stack"
  # And at most 1.5 times the instructions a pixel of blending the plain icon.
  local plain packed
  for pair in "o p" "q r"; do
    read -r plain packed <<<"$pair"
    plain="$(awk -v row="$plain" '$1 == "64x64" && $2 == row { print $(NF - 3) }' <<<"$report")"
    packed="$(awk -v row="$packed" '$1 == "64x64" && $2 == row { print $(NF - 3) }' <<<"$report")"
    awk -v plain="$plain" -v packed="$packed" 'BEGIN { exit !(packed <= 1.5 * plain) }' ||
      fail "the compressed icon takes $packed instructions per pixel, more than 1.5 times the plain icon's $plain"
  done
  echo "ok: a compressed icon blends in at most 1.5 times the instructions of the plain one"
}
