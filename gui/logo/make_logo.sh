#!/usr/bin/env bash
# Draws the glyphsmith logo (a pixel-grid "G" on a rounded tile with a
# coverage ramp beneath it) as a 128 x 128 RGBA PNG with ImageMagick, and
# writes it as the C++ byte array gui/logo_png.inc that the program embeds.
# Run it from anywhere; it rewrites only the .inc file.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
png="$work/logo.png"
inc="$here/../logo_png.inc"

# The letter, 5 columns x 7 rows; '#' is an inked cell.
letter=(
  ".###."
  "#...#"
  "#...."
  "#.###"
  "#...#"
  "#...#"
  ".###."
)
cell=12        # pixels per letter cell
gap=2          # unlit border inside each cell
left=34        # position of the letter's top-left cell
top=16

draw=()
for row in "${!letter[@]}"; do
  line="${letter[$row]}"
  for col in $(seq 0 4); do
    [[ "${line:$col:1}" == "#" ]] || continue
    x0=$((left + col * cell + gap)); y0=$((top + row * cell + gap))
    x1=$((x0 + cell - 2 * gap - 1)); y1=$((y0 + cell - 2 * gap - 1))
    draw+=(-draw "rectangle $x0,$y0 $x1,$y1")
  done
done

# Five steps of grey under the letter: the coverage levels of a glyph edge.
ramp=()
for step in 0 1 2 3 4; do
  x0=$((24 + step * 16)); x1=$((x0 + 13))
  level=$((255 - step * 50))
  ramp+=(-fill "rgb($level,$level,$level)" -draw "rectangle $x0,104 $x1,113")
done

convert -size 128x128 xc:none \
  -fill "#1f3a5f" -draw "roundrectangle 2,2 125,125 18,18" \
  -fill "#f2c14e" "${draw[@]}" \
  "${ramp[@]}" \
  -define png:exclude-chunks=date,time -strip "PNG32:$png"

{
  echo "// The glyphsmith logo, a 128 x 128 RGBA PNG made by gui/logo/make_logo.sh."
  echo "// Generated; run that script again instead of editing this file."
  echo "static const unsigned char kLogoPngData[] = {"
  od -An -v -tx1 "$png" | sed -e 's/ *$//' -e 's/ \([0-9a-f][0-9a-f]\)/0x\1, /g' -e 's/, $/,/' -e 's/^/    /'
  echo "};"
} >"$inc"
echo "wrote $inc ($(stat -c %s "$png") PNG bytes)"
