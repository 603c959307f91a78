#!/usr/bin/env bash
# Side-by-side speed of the tool kit against what a user would pick instead.
#
# Usage: bench/run.sh BUILD_DIR [RUNS [PART...]]
#   (parts: decoders processes inflate_speed memory fonts font_flash snapshots formats snapshot_png drawing
#    device compression)
# BUILD_DIR is a Release build with the benchmarks on:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
#         -DCORVANE_BUILD_BENCH=ON -DCORVANE_BUILD_GUI=OFF
#   cmake --build build-bench
# Makes its own images, dump and font outputs in a temporary folder and
# prints, in one run:
#   1. PNG decoding: decodePng, libpng, libspng, stb_image, lodepng (best of RUNS, default 5),
#      on photo-like, screenshot-like and grey images and the RGBA photo as 16-bit and as
#      interlaced; whole processes: pixpack against libpng_decode (png_read_image into RGBA),
#      median of 9 interleaved runs; and inflate alone on level-6 streams of the images: ours
#      without and with a workspace against zlib and libdeflate (best of RUNS interleaved rounds);
#   2. pixpack's peak memory against input + surface size (pixpack_memory.sh);
#   3. glyphsmith_cli (0-255 at 256 pixels, four rotations) against lv_font_conv
#      (0x20-0xFF at 256 pixels, one rotation; fetched with npm, so this part
#      alone needs node and npm), best of 3;
#      lv_font_conv takes --range only after --font.
#   4. rawsnap on a 4096 x 4096 RGB888 dump against cp (median of 9 interleaved
#      runs) and ImageMagick (best of 5);
#   5. pixpack --format RGB565 --dither on a 2048 x 2048 photograph (from Debian's
#      lomiri-wallpapers-16.04) against plain pixpack on the same file, median of
#      9 interleaved runs, with both surfaces' sizes.
#   6. rawsnap writing a PNG of a 4096 x 4096 RGB565 dump against PIL reading the
#      same raw bytes (raw mode BGR;16) and saving a PNG at the same zlib level, 6
#      (libpng's default), both whole processes, median of 5 interleaved runs.
#   7. the drawing code on the host against pixman, with its SIMD and fast paths
#      and with its general paths only (PIXMAN_DISABLE);
#   8. the drawing code on a Cortex-M4 under QEMU: instructions per pixel,
#      text per glyph pixel with a classic and a packed font, and flash size
#      (device_bench.sh);
#   9. the flash of packed fonts against lv_font_conv's at every depth, plain
#      and compressed (font_flash.sh; Node.js and npm as for part 3);
#  10. pixpack --compress against LVGL 9's image files compressed with LZ4, per
#      colour mode, over icons, logos and photographs (compression_sizes.sh).
# Figures are printed, never judged: the status is 1 only when something could
# not be measured (a missing program, a failed command).

# The parts below are only called through run_part, which shellcheck cannot follow.
# shellcheck disable=SC2317
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [RUNS [PART...]]}
runs=${2:-5}
all_parts=(decoders processes inflate_speed memory fonts font_flash snapshots formats snapshot_png drawing device compression)
parts=("${@:3}")
[ ${#parts[@]} -gt 0 ] || parts=("${all_parts[@]}")
for part in "${parts[@]}"; do
  [[ " ${all_parts[*]} " == *" $part "* ]] || { echo "error: unknown part '$part' (${all_parts[*]})"; exit 1; }
done
[[ $runs =~ ^[1-9][0-9]{0,2}$ ]] || { echo "error: RUNS must be a number from 1 to 999"; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
decoders_bench=$build/bench/png_decoders_bench
inflate_bench=$build/bench/inflate_bench
pixpack=$build/tools/pixpack
libpng_decode=$build/bench/libpng_decode
glyphsmith_cli=$build/tools/glyphsmith_cli
rawsnap=$build/tools/rawsnap
# The peer font converter, pinned so that every run compares against the same version.
lv_font_conv_version=1.5.3

for program in "$decoders_bench" "$libpng_decode" "$inflate_bench" "$pixpack" "$glyphsmith_cli" "$rawsnap"; do
  [ -x "$program" ] || { echo "error: $program is not built (see the usage above)"; exit 1; }
done
for command in convert file cp fc-match /usr/bin/time bc; do
  command -v "$command" >/dev/null || { echo "error: $command is not installed (scripts/install-deps.sh)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best wall time of `count` runs of a command, in milliseconds; its output is discarded.
# With FRESH_OUTPUT set to a path, that file is removed and the disk synced
# before each run (untimed), so every tool writes a new file to an idle disk
# instead of paying for the writeback of the run before.
best_ms() {
  local count=$1 best='' start end elapsed
  shift
  for _ in $(seq "$count"); do
    if [ -n "${FRESH_OUTPUT:-}" ]; then rm -f "$FRESH_OUTPUT"; sync; fi
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "error: '$*' failed" >&2; return 1; }
    end=$(date +%s%N)
    elapsed=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  echo "$best" | awk '{ printf "%.1f", $1 / 1000 }'
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

section() {
  printf '\n== %s\n' "$1"
}

# Photo-like, screenshot-like and greyscale test images, all 8 bits per channel.
make_images() {
  local font
  font=$(fc-match -f '%{file}' DejaVuSans)
  convert -seed 11 -size 2048x2048 plasma:fractal -depth 8 "PNG24:$work/photo_rgb.png"
  convert -seed 12 -size 2048x2048 plasma:fractal \
    \( -seed 13 -size 2048x2048 plasma:fractal -colorspace Gray \) \
    -alpha off -compose CopyOpacity -composite -depth 8 "PNG32:$work/photo_rgba.png"
  local draw=(-fill '#2b2d30' -draw 'rectangle 0,0 1919,47' -fill '#dfe1e5' -draw 'rectangle 0,48 279,1079')
  local y
  for y in $(seq 80 36 1040); do
    draw+=(-fill '#1e1f22' -annotate "+16+$y" "Project item $y"
           -fill '#3574f0' -draw "roundrectangle 320,$((y - 22)) 900,$((y + 6)) 6,6"
           -fill white -annotate "+336+$y" "Button label $((y * 7)) - OK / Cancel"
           -fill '#00000040' -draw "rectangle 940,$((y - 20)) 1880,$((y + 4))"
           -fill '#202020' -annotate "+952+$y" "status: $((y * 13)) items, 0x$(printf %04X "$y") flags set")
  done
  convert -size 1920x1080 xc:'#f7f8fa' -font "$font" -pointsize 16 "${draw[@]}" \
    -alpha set -region 400x400+1500+600 -alpha transparent +region -depth 8 "PNG32:$work/screenshot_rgba.png"
  convert -size 4096x4096 gradient:black-white -attenuate 0.15 +noise Gaussian -colorspace Gray -depth 8 \
    -define png:color-type=0 -define png:bit-depth=8 "PNG:$work/grey.png"
  # The RGBA photo again, with 16-bit samples and Adam7-interlaced.
  convert "$work/photo_rgba.png" -depth 16 "PNG64:$work/photo_rgba16.png"
  convert "$work/photo_rgba.png" -depth 8 -interlace PNG "PNG32:$work/photo_rgba_interlaced.png"
}

bench_images=(photo_rgb photo_rgba screenshot_rgba grey photo_rgba16 photo_rgba_interlaced)

decoders() {
  section "PNG decoding, best of $runs (ms and ratio to libpng)"
  make_images
  file "$work"/*.png | sed "s|$work/||"
  local image files=()
  for image in "${bench_images[@]}"; do files+=("$work/$image.png"); done
  "$decoders_bench" --runs "$runs" "${files[@]}"
}

# Whole processes, as a user runs them: pixpack writing its surface file
# against libpng_decode, libpng's png_read_image into RGBA.
processes() {
  section "whole process: pixpack against libpng into RGBA, median of 9 interleaved runs"
  [ -f "$work/grey.png" ] || make_images
  printf '  %-28s %10s %10s %7s\n' image pixpack_ms libpng_ms ratio
  local image ours=() theirs=()
  for image in "${bench_images[@]}"; do
    ours=() theirs=()
    for _ in $(seq 9); do
      theirs+=("$(best_ms 1 "$libpng_decode" "$work/$image.png")")
      ours+=("$(FRESH_OUTPUT=$work/out.srf best_ms 1 "$pixpack" --image "$work/$image.png" --output "$work/out.srf")")
    done
    printf '  %-28s %10s %10s %7s\n' "$image" "$(median "${ours[@]}")" "$(median "${theirs[@]}")" \
      "$(ratio "$(median "${ours[@]}")" "$(median "${theirs[@]}")")"
  done
}

inflate_speed() {
  section "inflate alone, level-6 streams of the images above (ratios of speed, same run)"
  [ -f "$work/grey.png" ] || make_images
  "$inflate_bench" --runs "$runs" "$work/photo_rgb.png" "$work/photo_rgba.png" \
    "$work/screenshot_rgba.png" "$work/grey.png"
}

memory() {
  section "pixpack peak memory (GNU time) against input + surface"
  "$here/pixpack_memory.sh" "$pixpack" 2048 4096
}

fonts() {
  section "font export: DejaVuSans at 256 pixels, best of 3"
  local font lv_font_conv command
  # Only this part needs Node.js, whose packages scripts/install-deps.sh leaves
  # to the machine: any node with npm runs the peer converter.
  for command in node npm; do
    command -v "$command" >/dev/null || { echo "error: part 'fonts' needs $command (Node.js)"; return 1; }
  done
  font=$(fc-match -f '%{file}' DejaVuSans)
  npm install --silent --no-audit --no-fund --prefix "$work/npm" "lv_font_conv@$lv_font_conv_version" >/dev/null
  lv_font_conv=$work/npm/node_modules/.bin/lv_font_conv
  mkdir -p "$work/glyphsmith" "$work/lv"
  local ours theirs
  ours=$(best_ms 3 "$glyphsmith_cli" --silent --font "$font" --chars 0-255 --size 256 \
           --output_path "$work/glyphsmith/" dejavu)
  theirs=$(best_ms 3 "$lv_font_conv" --bpp 8 --no-compress --format lvgl --font "$font" --range 0x20-0xFF \
             --size 256 -o "$work/lv/dejavu_256.c")
  printf '  %-44s %10s %12s %9s\n' tool ms output_bytes x_lv
  printf '  %-44s %10s %12d %9s\n' "glyphsmith_cli 0-255, four rotations" "$ours" \
    "$(stat -c %s "$work/glyphsmith/dejavu_256.cpp")" "$(ratio "$ours" "$theirs")"
  printf '  %-44s %10s %12d %9s\n' "lv_font_conv $("$lv_font_conv" --version) 0x20-0xFF, one rotation" \
    "$theirs" "$(stat -c %s "$work/lv/dejavu_256.c")" 1.00
}

font_flash() {
  section "font flash: packed fonts against lv_font_conv"
  bash "$here/font_flash.sh" "$build"
}

# Median of the numbers given.
median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

snapshots() {
  section "4096 x 4096 RGB888 dump to BMP, median of 9 interleaved runs (cp, rawsnap, cp, ...)"
  local dump=$work/fb.raw
  head -c $((4096 * 4096 * 3)) /dev/urandom >"$dump"
  local copies=() bmps=() copy bmp magick
  for _ in $(seq 9); do
    copies+=("$(FRESH_OUTPUT=$work/copy.raw best_ms 1 cp "$dump" "$work/copy.raw")")
    bmps+=("$(FRESH_OUTPUT=$work/rawsnap.bmp best_ms 1 "$rawsnap" --fb "$dump" --width 4096 --height 4096 \
              --pitch 12288 --format RGB888 --output "$work/rawsnap.bmp")")
  done
  copy=$(median "${copies[@]}")
  bmp=$(median "${bmps[@]}")
  magick=$(FRESH_OUTPUT=$work/convert.bmp best_ms 5 convert -size 4096x4096 -depth 8 "bgr:$dump" \
             "BMP3:$work/convert.bmp")
  printf '  %-24s %10s %12s %7s\n' tool ms output_bytes x_cp
  printf '  %-24s %10s %12d %7s\n' cp "$copy" "$(stat -c %s "$work/copy.raw")" 1.00
  printf '  %-24s %10s %12d %7s\n' rawsnap "$bmp" "$(stat -c %s "$work/rawsnap.bmp")" "$(ratio "$bmp" "$copy")"
  printf '  %-24s %10s %12d %7s\n' "convert bgr: BMP3:" "$magick" "$(stat -c %s "$work/convert.bmp")" \
    "$(ratio "$magick" "$copy")"
}

# The cost of converting and dithering, on a real photograph: the only
# difference between the two runs is --format RGB565 --dither.
formats() {
  section "2048 x 2048 photograph: pixpack --format RGB565 --dither against plain pixpack, median of 9 interleaved runs"
  local source=/usr/share/backgrounds/sunset_by_Aitzol_Berasategi.jpg
  [ -f "$source" ] || { echo "error: $source is not installed (Debian package lomiri-wallpapers-16.04)"; return 1; }
  convert "$source" -resize 2048x2048^ -gravity center -extent 2048x2048 -depth 8 "PNG24:$work/sunset.png"
  local plain=() dithered=()
  for _ in $(seq 9); do
    plain+=("$(FRESH_OUTPUT=$work/plain.srf best_ms 1 "$pixpack" --image "$work/sunset.png" --output "$work/plain.srf")")
    dithered+=("$(FRESH_OUTPUT=$work/rgb565.srf best_ms 1 "$pixpack" --image "$work/sunset.png" \
                  --format RGB565 --dither --output "$work/rgb565.srf")")
  done
  printf '  %-28s %10s %12s %7s\n' run ms surface_bytes x_plain
  printf '  %-28s %10s %12d %7s\n' "plain (RGB888)" "$(median "${plain[@]}")" "$(stat -c %s "$work/plain.srf")" 1.00
  printf '  %-28s %10s %12d %7s\n' "--format RGB565 --dither" "$(median "${dithered[@]}")" \
    "$(stat -c %s "$work/rgb565.srf")" "$(ratio "$(median "${dithered[@]}")" "$(median "${plain[@]}")")"
}

snapshot_png() {
  section "4096 x 4096 RGB565 dump to PNG at zlib level 6, median of 5 interleaved runs (PIL, rawsnap, ...)"
  if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
    echo "error: PIL is not installed (python3-pil, scripts/install-deps.sh)"
    return 1
  fi
  # Photo-like (a plasma's 16-bit grey levels taken as RGB565 words) and noise.
  convert -seed 17 -size 4096x4096 plasma:fractal -colorspace Gray -depth 16 -endian LSB "gray:$work/plasma565.raw"
  head -c $((4096 * 4096 * 2)) /dev/urandom >"$work/noise565.raw"
  local pil_save='import sys
from PIL import Image
with open(sys.argv[1], "rb") as dump:
    pixels = dump.read()
Image.frombytes("RGB", (4096, 4096), pixels, "raw", "BGR;16").save(sys.argv[2], compress_level=6)'
  printf '  %-24s %10s %12s %7s\n' tool ms output_bytes x_pil
  local name pils ours pil png
  for name in plasma565 noise565; do
    pils=() ours=()
    for _ in $(seq 5); do
      pils+=("$(FRESH_OUTPUT=$work/pil.png best_ms 1 /usr/bin/python3 -c "$pil_save" "$work/$name.raw" "$work/pil.png")")
      ours+=("$(FRESH_OUTPUT=$work/rawsnap.png best_ms 1 "$rawsnap" --fb "$work/$name.raw" --width 4096 \
                --format RGB565 --output "$work/rawsnap.png")")
    done
    pil=$(median "${pils[@]}")
    png=$(median "${ours[@]}")
    printf '  %-24s %10s %12d %7s\n' "PIL $name" "$pil" "$(stat -c %s "$work/pil.png")" 1.00
    printf '  %-24s %10s %12d %7s\n' "rawsnap $name" "$png" "$(stat -c %s "$work/rawsnap.png")" "$(ratio "$png" "$pil")"
  done
}

drawing() {
  section "drawing into RGB565 against pixman with its fast paths"
  "$build/bench/draw_bench"
  section "drawing into RGB565 against pixman's general paths (PIXMAN_DISABLE=\"sse2 ssse3 mmx fast\")"
  PIXMAN_DISABLE="sse2 ssse3 mmx fast" "$build/bench/draw_bench" 2>/dev/null
}

device() {
  section "drawing on a Cortex-M4 (QEMU mps2-an386)"
  bash "$here/device_bench.sh" "$build"
}

compression() {
  section "pixpack --compress against LVGL 9 image files compressed with LZ4"
  bash "$here/compression_sizes.sh" "$pixpack"
}

# Each part runs in its own subshell, so a failure in one still lets the
# others print their figures; the status says whether all of them ran.
status=0
run_part() {
  local result
  set +e
  # Not in a condition: there, bash would ignore set -e inside the subshell.
  (set -e; "$1")
  result=$?
  set -e
  [ "$result" -eq 0 ] || { echo "error: part '$1' did not complete"; status=1; }
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); build: $build"
for part in "${parts[@]}"; do
  run_part "$part"
done
exit "$status"
