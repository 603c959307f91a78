#!/usr/bin/env bash
# Sizes of compressed surface files against LVGL 9's image files of the same
# pixel layout compressed with LZ4 (bench/lvgl_lz4_size.py), over icons and
# logos with transparency and photographs, per colour mode.
#
# Usage: bench/compression_sizes.sh PIXPACK
# The images come from Debian packages, made at run time in a temporary folder:
#   adwaita-icon-theme: 19 icons of its 512 x 512 sets, made 64 x 64 and 128 x 128;
#   lomiri-wallpapers-16.04: two photographs (CC-BY-4.0) cut to 320 x 240.
# I8 takes indexed versions of them (ImageMagick, 256 colours at most), and
# counts the palette file beside the surface; LVGL's I8 file holds a 1 KiB
# palette before its indices, compressed with them.
# Figures are printed, never judged: the status is 1 only when something could
# not be measured.
set -euo pipefail

pixpack=${1:?usage: $0 PIXPACK}
here=$(cd "$(dirname "$0")" && pwd)
for command in convert /usr/bin/python3; do
  command -v "$command" >/dev/null || { echo "error: $command is not installed (scripts/install-deps.sh)"; exit 1; }
done
/usr/bin/python3 -c 'import lz4.block' 2>/dev/null || { echo "error: python3-lz4 is not installed"; exit 1; }
icons=/usr/share/icons/Adwaita/512x512
photos=/usr/share/backgrounds
[ -d "$icons" ] || { echo "error: $icons is missing (Debian package adwaita-icon-theme)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/rgba" "$work/indexed"
for icon in places/{folder,folder-music,user-home,network-server} \
  devices/{computer,drive-harddisk,input-gaming,printer,phone,camera-web,audio-headphones} \
  mimetypes/{text-x-generic,x-office-spreadsheet,image-x-generic,package-x-generic,audio-x-generic}; do
  [ -f "$icons/$icon.png" ] || { echo "error: $icons/$icon.png is missing"; exit 1; }
  convert "$icons/$icon.png" -resize 64x64 "PNG32:$work/rgba/icon64_${icon#*/}.png"
done
for icon in places/folder-pictures devices/video-display emblems/emblem-shared; do
  convert "$icons/$icon.png" -resize 128x128 "PNG32:$work/rgba/logo128_${icon#*/}.png"
done
for photo in sunset_by_Aitzol_Berasategi aitzgorri_by_Aitzol_Berasategi; do
  [ -f "$photos/$photo.jpg" ] || { echo "error: $photos/$photo.jpg is missing (Debian package lomiri-wallpapers-16.04)"; exit 1; }
  convert "$photos/$photo.jpg" -resize '320x240^' -gravity center -extent 320x240 "PNG24:$work/rgba/photo_$photo.png"
done
for image in "$work"/rgba/*.png; do
  convert "$image" -colors 256 "PNG8:$work/indexed/$(basename "$image")"
done

# Adds one image's sizes in mode $1 to the totals: ours and LVGL's.
measure() {
  local mode=$1 image=$2 plain=$work/plain.srf packed=$work/packed.srf palette=() paletteFile=$work/palette.pal
  [ "$mode" == I8 ] && palette=(--palette "$paletteFile")
  "$pixpack" --silent --image "$image" --format "$mode" --output "$plain" "${palette[@]}" >/dev/null
  "$pixpack" --silent --image "$image" --format "$mode" --compress --output "$packed" >/dev/null
  local ours lvgl
  ours=$(stat -c %s "$packed")
  if [ "$mode" == I8 ]; then
    ours=$((ours + $(stat -c %s "$paletteFile")))
    lvgl=$(/usr/bin/python3 "$here/lvgl_lz4_size.py" "$plain" "$paletteFile")
  else
    lvgl=$(/usr/bin/python3 "$here/lvgl_lz4_size.py" "$plain")
  fi
  raw=$((raw + $(stat -c %s "$plain"))); oursTotal=$((oursTotal + ours)); lvglTotal=$((lvglTotal + lvgl))
}

echo "-- $(ls "$work/rgba" | wc -l) images (icons and logos 64 x 64 and 128 x 128, photographs 320 x 240)"
printf "  %-9s %10s %12s %12s %8s\n" mode raw "LVGL+LZ4" compressed ratio
allOurs=0
allLvgl=0
for mode in ARGB8888 RGB565 ARGB8565 A8 I8; do
  raw=0 oursTotal=0 lvglTotal=0
  folder=$work/rgba
  [ "$mode" == I8 ] && folder=$work/indexed
  for image in "$folder"/*.png; do
    measure "$mode" "$image"
  done
  allOurs=$((allOurs + oursTotal)); allLvgl=$((allLvgl + lvglTotal))
  printf "  %-9s %10d %12d %12d %8s\n" "$mode" "$raw" "$lvglTotal" "$oursTotal" \
    "$(awk -v a="$oursTotal" -v b="$lvglTotal" 'BEGIN { printf "%.3f", a / b }')"
done
printf "  %-9s %10s %12d %12d %8s\n" all "" "$allLvgl" "$allOurs" \
  "$(awk -v a="$allOurs" -v b="$allLvgl" 'BEGIN { printf "%.3f", a / b }')"
