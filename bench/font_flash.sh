#!/usr/bin/env bash
# Flash of packed fonts against lv_font_conv's: DejaVu Sans and Serif at 12,
# 16, 24 and 48 pixels, codes 32-126 and 32-255, at 1, 2, 4 and 8 bits per
# pixel, plain and compressed. Each font is compiled for a Cortex-M4 at -Os
# and measured as the bytes of its .rodata sections (arm-none-eabi-size -A):
# glyphsmith_cli --bpp N [--compress] (our kerning kept), and lv_font_conv's
# "--format lvgl" output ([--no-compress]) with the stub header of
# bench/lvgl_stub (lv_font_conv leaves out DejaVu Sans' kerning). Prints one
# row per font, its ratio (ours / theirs), the geometric mean and the largest.
#
# Usage: bench/font_flash.sh BUILD_DIR
# lv_font_conv is installed with npm into a temporary folder (only this needs
# Node.js and npm). The status is 1 only when something could not be measured.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
kit=$(cd "$here/.." && pwd)
glyphsmith_cli=$build/tools/glyphsmith_cli
# The peer font converter, pinned as in bench/run.sh.
lv_font_conv_version=1.5.3
[ -x "$glyphsmith_cli" ] || { echo "error: $glyphsmith_cli is not built"; exit 1; }
for command in node npm arm-none-eabi-g++ arm-none-eabi-gcc arm-none-eabi-size fc-match; do
  command -v "$command" >/dev/null || { echo "error: $command is not installed"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm install --silent --no-audit --no-fund --prefix "$work/npm" "lv_font_conv@$lv_font_conv_version" >/dev/null
lv_font_conv=$work/npm/node_modules/.bin/lv_font_conv
cpu=(-mcpu=cortex-m4 -mthumb -mfloat-abi=hard -mfpu=fpv4-sp-d16 -Os)

# Bytes of the .rodata sections of the object $1.
rodata() {
  arm-none-eabi-size -A "$1" | awk '$1 ~ /^\.rodata/ { bytes += $2 } END { print bytes + 0 }'
}

# ours FONT SIZE RANGE BPP COMPRESS(yes/no): the packed font's bytes.
ours() {
  local name options=(--bpp "$4")
  name=ours_$(basename "$1" .ttf)_$2_${3/-/_}_$4_$5
  [ "$5" = yes ] && options+=(--compress)
  "$glyphsmith_cli" --silent --font "$1" --chars "$3" --size "$2" "${options[@]}" --output_path "$work" "$name" \
    >/dev/null
  arm-none-eabi-g++ "${cpu[@]}" -std=c++20 -fno-exceptions -fno-rtti -I"$kit/src/device" -I"$work" \
    -c "$work/${name}_$2.cpp" -o "$work/$name.o"
  rodata "$work/$name.o"
}

# theirs FONT SIZE RANGE BPP COMPRESS(yes/no): lv_font_conv's bytes.
theirs() {
  local name options=(--bpp "$4")
  name=lv_$(basename "$1" .ttf)_$2_${3/-/_}_$4_$5
  [ "$5" = no ] && options+=(--no-compress)
  "$lv_font_conv" "${options[@]}" --format lvgl --font "$1" -r "$3" --size "$2" -o "$work/$name.c" >/dev/null
  arm-none-eabi-gcc "${cpu[@]}" -DLV_LVGL_H_INCLUDE_SIMPLE -I"$here/lvgl_stub" -c "$work/$name.c" -o "$work/$name.o"
  rodata "$work/$name.o"
}

echo "-- flash (.rodata, Cortex-M4 -Os) of packed fonts against lv_font_conv $lv_font_conv_version"
printf '  %-6s %4s %-7s %4s %-10s %9s %9s %7s\n' font px codes bpp compressed lv_bytes our_bytes x_lv
rows=$work/rows
for family in Sans Serif; do
  font=$(fc-match -f '%{file}' "DejaVu $family")
  [[ "$font" == *DejaVu$family.ttf ]] || { echo "error: DejaVu $family is not installed"; exit 1; }
  for size in 12 16 24 48; do
    for codes in 32-126 32-255; do
      for bpp in 1 2 4 8; do
        for compressed in no yes; do
          lv=$(theirs "$font" $size $codes $bpp $compressed)
          us=$(ours "$font" $size $codes $bpp $compressed)
          ratio=$(awk -v a="$us" -v b="$lv" 'BEGIN { printf "%.3f", a / b }')
          printf '  %-6s %4s %-7s %4s %-10s %9s %9s %7s\n' "$family" $size $codes $bpp $compressed "$lv" "$us" "$ratio" |
            tee -a "$rows"
        done
      done
    done
  done
done
awk '{ log_sum += log($NF); rows++; if ($NF > largest) largest = $NF }
     END { printf "  %d fonts: geometric mean %.3f, largest %.3f\n", rows, exp(log_sum / rows), largest }' "$rows"
