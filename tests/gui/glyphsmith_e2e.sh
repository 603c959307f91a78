#!/usr/bin/env bash
# Drives the real glyphsmith under its own Xvfb the way a user would:
# window and title, Ctrl+L and the font dialog, the preview compared with
# the rasteriser's rendering, the view of the glyphs as stored at the export
# height, a list committed with Enter, the height error box, exports through
# the Save dialog in the classic and the packed format and the message saying
# where each wrote, an OpenType font, and Ctrl+Q with status 0.
# Usage: glyphsmith_e2e.sh <glyphsmith> <preview-check helper> <artefact dir>
# Screenshots are left in the artefact dir. Exit status 0 when all steps pass,
# 77 when a needed program or the DejaVuSans font is missing (a failure in
# CI, CI=true, where the set-up installs them).
set -uo pipefail

skip_for_missing() {
  if [[ "${CI:-}" == true ]]; then
    echo "FAIL: $1 (missing in CI)"
    exit 1
  fi
  echo "SKIP: $1"
  exit 77
}

app="$1"
helper="$2"
artefacts="$3"
step_timeout=20 # seconds any one window or file may take to appear
title="Corvane Bitmap Font Generator v1.00"

for tool in Xvfb xdotool import xclip fc-match; do
  command -v "$tool" >/dev/null || skip_for_missing "$tool is not installed"
done
font="$(fc-match -f '%{file}' DejaVuSans)"
[[ -f "$font" ]] || skip_for_missing "DejaVuSans not found"

mkdir -p "$artefacts"
work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [[ -n "${DISPLAY:-}" ]] && import -window root "$artefacts/failure.png" 2>/dev/null
  [[ -s "$work/app.err" ]] && grep -v dconf "$work/app.err" | head -20
  exit 1
}

# Polls `command...` every 0.1 s until it succeeds or step_timeout passes.
wait_until() {
  local deadline=$((SECONDS + step_timeout))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Prints the id of the window titled exactly $1, waiting for it to appear.
window_named() {
  timeout "$step_timeout" xdotool search --sync --onlyvisible --name "^$1\$" | head -1
}

window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

shot() { import -window "$main_window" -depth 8 "$work/$1.ppm" && convert "$work/$1.ppm" "$artefacts/$1.png"; }

# Waits until the preview stops changing, then keeps that screenshot.
settled_shot() {
  local previous=""
  for _ in $(seq 1 50); do
    shot "$1" || return 1
    local sum
    sum="$(md5sum <"$work/$1.ppm")"
    [[ "$sum" == "$previous" ]] && return 0
    previous="$sum"
    sleep 0.2
  done
  return 1
}

# Reads the message of the open box titled $1 ("Error" unless given): its
# text is a selectable label.
box_text() {
  local box
  box="$(window_named "${1:-Error}")" || return 1
  xdotool windowfocus --sync "$box"
  for _ in 1 2 3; do
    xdotool key shift+Tab ctrl+a
    sleep 0.2
    local text
    text="$(xclip -o -selection primary 2>/dev/null)"
    if [[ -n "$text" ]]; then
      printf '%s\n' "$text"
      return 0
    fi
  done
  return 1
}

# Presses Return in the file dialog titled $1 until it closes: the first
# Return may only dismiss the file chooser's completion pop-up.
confirm_dialog() {
  for _ in 1 2 3 4 5; do
    xdotool key Return
    step_timeout=2 wait_until window_gone "$1" && return 0
  done
  return 1
}

# Answers the save dialog that Export opened with the file $1, checks the
# message naming the two files written, $2.cpp and $2.h, closes it and
# waits for the header.
export_to() {
  local dialog message
  dialog="$(window_named "Choose File to Save Data To")" || fail "Export opened no save dialog for $1"
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 10 "$1"
  confirm_dialog "Choose File to Save Data To" || fail "save dialog stayed open"
  message="$(box_text Export)" || fail "the export of $1 said nothing"
  [[ "$message" == "Wrote $2.cpp and $2.h" ]] || fail "the export said '$message'"
  xdotool key Return
  wait_until window_gone Export || fail "the export's message stayed open"
  wait_until test -s "$2.h" || fail "export wrote no $2.h; out holds: $(ls "$(dirname "$2")")"
  echo "ok: the export says '$message'"
}

start_xvfb() {
  local display_file="$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_until test -s "$display_file" || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$display_file")"
}

# GTK keeps its settings and recent files away from the user's own.
mkdir -p "$work/home" "$work/out"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local"
export XDG_CACHE_HOME="$work/home/.cache" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 LC_ALL=C.UTF-8
start_xvfb

"$app" >"$work/app.out" 2>"$work/app.err" &
app_pid=$!
main_window="$(window_named "$title")" || fail "no window titled '$title'"
echo "ok: window '$title' is shown"
xdotool windowfocus --sync "$main_window"
settled_shot before_font || fail "cannot take a screenshot"
places="$("$helper" locate "$work/before_font.ppm")" || fail "$places"
read -r canvas_x canvas_y chars_x chars_y stored_x stored_y <<<"$places"
echo "ok: empty white 800x600 preview at $canvas_x,$canvas_y, the stored glyphs' view at $stored_x,$stored_y"

xdotool key ctrl+l
load_dialog="$(window_named "Choose File to Load Font From")" || fail "Ctrl+L opened no font dialog"
xdotool windowfocus --sync "$load_dialog"
xdotool type --delay 10 "$font"
confirm_dialog "Choose File to Load Font From" || fail "font dialog stayed open"
settled_shot after_font || fail "cannot take a screenshot"
"$helper" compare "$work/after_font.ppm" "$canvas_x" "$canvas_y" "$font" 32-126 ||
  fail "preview of 32-126 differs from the rasteriser's glyphs"
echo "ok: preview shows 32-126 as FreeType renders them"
"$helper" stored "$work/after_font.ppm" "$stored_x" "$stored_y" "$font" 32-126 16 ||
  fail "the stored view of 32-126 at 16 pixels differs from the export's glyphs"
echo "ok: the stored view shows 32-126 as the export stores them at 16 pixels"

xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key ctrl+a
xdotool type --delay 10 "65-70"
xdotool key Return
settled_shot after_list || fail "cannot take a screenshot"
"$helper" compare "$work/after_list.ppm" "$canvas_x" "$canvas_y" "$font" 65-70 ||
  fail "Enter did not commit 65-70 to the preview"
echo "ok: Enter committed 65-70 and the preview changed"

# From the characters field: back to the height, which the stored view
# follows as it is typed, then forward to Export.
xdotool key shift+Tab ctrl+a
xdotool type "24"
settled_shot height_24 || fail "cannot take a screenshot"
"$helper" stored "$work/height_24.ppm" "$stored_x" "$stored_y" "$font" 65-70 24 ||
  fail "the stored view does not follow the height 24"
echo "ok: the stored view follows the height field: 65-70 at 24 pixels"
xdotool key ctrl+a
xdotool type "5"
xdotool key Tab Tab space
message="$(box_text)" || fail "height 5 raised no error box"
[[ "$message" == "Font size must be in between 6 and 256 !" ]] || fail "error box says '$message'"
shot height_error
xdotool key Return
wait_until window_gone Error || fail "error box stayed open"
echo "ok: height 5 shows '$message'"
xdotool windowfocus --sync "$main_window"
settled_shot height_5 || fail "cannot take a screenshot"
"$helper" stored "$work/height_5.ppm" "$stored_x" "$stored_y" "$font" 65-70 0 ||
  fail "the stored view is not white for a height that cannot be exported"
echo "ok: the stored view is white for the height 5"

xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key shift+Tab ctrl+a
xdotool type "16"
xdotool key Tab Tab space
export_to "$work/out/myfont.CPP" "$work/out/myfont"
grep -q "font_myfont_270" "$work/out/myfont.h" || fail "header lacks font_myfont_270"
grep -q "char_65_0" "$work/out/myfont.cpp" || fail "source lacks the committed code 65"
grep -q "char_32_0" "$work/out/myfont.cpp" && fail "source holds code 32 of the old list"
echo "ok: Export at 16 wrote myfont.cpp and myfont.h with the committed list"

xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key ctrl+a
xdotool type --delay 10 "192-197=U+0410"
xdotool key Return
settled_shot after_mapping || fail "cannot take a screenshot"
"$helper" compare "$work/after_mapping.ppm" "$canvas_x" "$canvas_y" "$font" 1040-1045 ||
  fail "the preview of 192-197=U+0410 does not show U+0410-U+0415"
xdotool key Tab space
export_to "$work/out/mapped.cpp" "$work/out/mapped"
grep -qx "// 0xC0-0xC5: U+0410-U+0415" "$work/out/mapped.cpp" || fail "mapped.cpp does not say what 0xC0-0xC5 show"
echo "ok: 192-197=U+0410 previews and exports the Cyrillic glyphs"

# The code-page choice follows Export in the tab order: none, CP1250, CP1251.
xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key ctrl+a
xdotool type --delay 10 "192-197"
xdotool key Return Tab Tab Down Down
settled_shot after_code_page || fail "cannot take a screenshot"
"$helper" compare "$work/after_code_page.ppm" "$canvas_x" "$canvas_y" "$font" 1040-1045 ||
  fail "the preview of 192-197 in CP1251 does not show U+0410-U+0415"
echo "ok: choosing CP1251 previews 192-197 as the Cyrillic glyphs"

# The packed format: codes above 255, 4 bits, compressed, rotations 0 and 90.
# After the code-page choice the tab order goes on with the format choice,
# Compress and the rotation boxes 0, 90, 180 and 270.
xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key ctrl+a
xdotool type --delay 10 "65-70,1040-1045,8364"
xdotool key Return Tab Tab Up Up Tab Down Down Down Tab space Tab Tab space
xdotool key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
export_to "$work/out/packed.cpp" "$work/out/packed"
grep -qx "extern const ds_packed_font_t font_packed_0;" "$work/out/packed.h" &&
  grep -qx "extern const ds_packed_font_t font_packed_90;" "$work/out/packed.h" ||
  fail "packed.h does not declare the rotations 0 and 90: $(cat "$work/out/packed.h")"
grep -q "font_packed_180" "$work/out/packed.h" && fail "packed.h declares a rotation left unchecked"
grep -qx ".bpp = 4," "$work/out/packed.cpp" && grep -qx ".compressed = 1," "$work/out/packed.cpp" &&
  grep -qx ".glyph_count = 13," "$work/out/packed.cpp" || fail "packed.cpp is not the 4-bit compressed font of 13 glyphs"
echo "ok: Export wrote a packed font of 13 characters, 4 bits, compressed, at 0 and 90"

# A code page goes with the classic format only.
xdotool windowfocus --sync "$main_window"
xdotool mousemove --window "$main_window" "$chars_x" "$chars_y" click 1
xdotool key Tab Tab Down shift+Tab space
message="$(box_text)" || fail "a code page with the packed format raised no error box"
[[ "$message" == "Code pages and '=' items need the classic format !" ]] || fail "error box says '$message'"
xdotool key Return
wait_until window_gone Error || fail "error box stayed open"
echo "ok: a code page with the packed format shows '$message'"

# An OpenType font loads like a TrueType one.
otf_font=/usr/share/fonts-font-awesome/fonts/FontAwesome.otf
if [[ -f "$otf_font" ]]; then
  xdotool windowfocus --sync "$main_window"
  xdotool key ctrl+l
  load_dialog="$(window_named "Choose File to Load Font From")" || fail "Ctrl+L opened no font dialog"
  xdotool windowfocus --sync "$load_dialog"
  xdotool type --delay 10 "$otf_font"
  confirm_dialog "Choose File to Load Font From" || fail "font dialog stayed open for the .otf font"
  settled_shot after_otf || fail "cannot take a screenshot"
  window_gone Error || fail "loading $otf_font raised an error box"
  cmp -s "$work/after_otf.ppm" "$work/after_code_page.ppm" && fail "the .otf font did not change the preview"
  echo "ok: the OpenType font $otf_font loads"
else
  skip_for_missing "$otf_font (Debian package fonts-font-awesome)"
fi

xdotool windowfocus --sync "$main_window"
xdotool key ctrl+q
wait_until window_gone "$title" || fail "Ctrl+Q left the window open"
wait "$app_pid"
status=$?
app_pid=""
[[ $status -eq 0 ]] || fail "glyphsmith exited with status $status"
echo "ok: Ctrl+Q ended glyphsmith with status 0"
echo "PASS (screenshots in $artefacts)"
