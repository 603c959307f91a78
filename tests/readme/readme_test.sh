#!/usr/bin/env bash
# The README's code, run as a new user pastes it. A shell block (a fence of
# sh, bash or shell) that follows the line
#   <!-- runnable -->
# runs; one that follows
#   <!-- not runnable: <why> -->
# is left out for the reason given; a shell block with neither marker fails the
# test, so that no command joins the README unchecked.
#
# The blocks run in the README's order, each under bash -e -o pipefail, in one
# fresh folder that holds a copy of the source tree and stands for a checkout
# after scripts/setup.sh: its build/ is the build folder of this test run (the
# tools, ds_font.h and the install rules) and out/ exists. The blocks left out
# are the set-up ones (scripts/setup.sh and scripts/test.sh install packages
# and build the very tools this test runs), the desktop program (it waits for
# its user) and the benchmarks (a second build of the kit in Release, then
# minutes of measuring).
#
# Every C++ block (a fence of cpp) is then compiled against an install of this
# build, in one project whose targets link CorvaneAssets::surface, the font
# sans_16 (DejaVu Sans, codes 32 to 126, from corvane_add_font), the packed
# font label_16 (the same with U+00B0 and U+20AC, 4 bits, compressed, in
# rotations 0 and 90) and the
# embedded surface badge (examples/firmware/images/badge.png, from
# corvane_add_surface ... EMBED); a block that defines main is a program and
# runs in the project's build folder, and must exit with status 0. Every CMake
# block (a fence of cmake) is a project's CMakeLists.txt: it is configured
# against the same install and built for the build machine, beside a main.cpp
# with an empty main, DejaVuSans.ttf and a 24 x 16 logo.png.
#
# Usage: readme_test.sh <kit source tree> <build folder>
# Exit status 0 when every runnable block succeeds, 1 when one fails or a block
# is unmarked, 77 when a program the blocks need is missing (outside CI).
set -uo pipefail

source_tree="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
readme="$source_tree/README.md"

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

for program in convert fc-match ninja arm-none-eabi-g++; do
  command -v "$program" >/dev/null || skip "$program is not installed (scripts/install-deps.sh)"
done
[[ -x "$build/tools/pixpack" ]] || fail "$build holds no built tools"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
blocks="$work/blocks"
tree="$work/tree"
mkdir -p "$blocks" "$tree"

# Writes block N of the README to $blocks/N.sh, with its first line number in
# $blocks/N.line and its marker ("runnable", "not runnable: ..." or "none") in
# $blocks/N.marker. C++ and CMake blocks go to $blocks/code/block_<line>.cpp
# and .cmake; blocks of other kinds are not code and not written.
mkdir -p "$blocks/code"
awk -v dir="$blocks" '
  inside && /^```[ \t]*$/ { inside = 0; close(file); next }
  inside { print > file; next }
  /^```(cpp|cmake)[ \t]*$/ {
    inside = 1
    kind = $0
    sub(/^```/, "", kind)
    sub(/[ \t]*$/, "", kind)
    file = dir "/code/block_" (NR + 1) "." kind
    printf "" > file
    next
  }
  /^```(sh|bash|shell)[ \t]*$/ {
    inside = 1
    count++
    file = dir "/" count ".sh"
    printf "" > file
    print NR + 1 > (dir "/" count ".line")
    marker = "none"
    if (previous ~ /^<!-- runnable -->[ \t]*$/) {
      marker = "runnable"
    } else if (previous ~ /^<!-- not runnable: .+ -->[ \t]*$/) {
      marker = previous
      sub(/^<!-- /, "", marker)
      sub(/ -->[ \t]*$/, "", marker)
    }
    print marker > (dir "/" count ".marker")
    close(dir "/" count ".line")
    close(dir "/" count ".marker")
    next
  }
  { previous = $0 }
  END { if (inside) exit 1 }
' "$readme" || fail "README.md ends inside a code block"

count="$(find "$blocks" -name '*.sh' | wc -l)"
[[ "$count" -gt 0 ]] || fail "README.md has no shell block"

# The copy leaves out the git data, build folders and outputs of earlier runs.
tar -C "$source_tree" --exclude=./.git --exclude='./build*' --exclude=./out -cf - . | tar -C "$tree" -xf - ||
  fail "cannot copy the source tree"
ln -s "$build" "$tree/build"
mkdir "$tree/out"

ran=0
for ((n = 1; n <= count; n++)); do
  line="$(cat "$blocks/$n.line")"
  marker="$(cat "$blocks/$n.marker")"
  case "$marker" in
    runnable) ;;
    "not runnable: "*)
      echo "left out: the block at README.md:$line (${marker#not runnable: })"
      continue
      ;;
    *) fail "the shell block at README.md:$line is marked neither '<!-- runnable -->' nor '<!-- not runnable: <why> -->'" ;;
  esac
  if ! (cd "$tree" && bash -e -o pipefail "$blocks/$n.sh") >"$work/block.log" 2>&1; then
    cat "$work/block.log"
    echo "--- the block at README.md:$line:"
    cat "$blocks/$n.sh"
    fail "the block at README.md:$line failed"
  fi
  echo "ok: the block at README.md:$line ($(wc -l <"$blocks/$n.sh") lines)"
  ran=$((ran + 1))
done
# The kit installed for the C++ and CMake blocks.
prefix="$work/prefix"
if compgen -G "$blocks/code/block_*" >/dev/null; then
  cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cannot install $build"; }
  font="$(fc-match -f '%{file}' 'DejaVu Sans')"
fi

# The project that builds every C++ block with the assets the guide uses.
if compgen -G "$blocks/code/block_*.cpp" >/dev/null; then
  project="$work/cpp"
  mkdir -p "$project"
  cp "$blocks"/code/block_*.cpp "$project/"
  : >"$project/assets.cpp"
  cat >"$project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(readme_blocks LANGUAGES CXX)
find_package(CorvaneAssets 1.0 REQUIRED)
# The drawing library and the assets, compiled once for every block.
add_library(readme_assets STATIC assets.cpp)
target_link_libraries(readme_assets PUBLIC CorvaneAssets::surface)
corvane_add_font(readme_assets NAME sans FONT ${FONT} SIZE 16 CHARS 32-126)
corvane_add_font(readme_assets NAME label FONT ${FONT} SIZE 16 CHARS 32-126,U+00B0,U+20AC BPP 4 COMPRESS
                 ROTATIONS 0 90)
corvane_add_surface(readme_assets NAME badge IMAGE ${BADGE} EMBED)
file(GLOB blocks ${CMAKE_SOURCE_DIR}/block_*.cpp)
foreach(block IN LISTS blocks)
  get_filename_component(name ${block} NAME_WE)
  file(READ ${block} text)
  if(text MATCHES "int main\\(")
    add_executable(${name} ${block})
  else()
    add_library(${name} OBJECT ${block})
  endif()
  # The library's objects come from readme_assets; the block takes only
  # its headers, so that the library is compiled once.
  target_include_directories(${name} PRIVATE $<TARGET_PROPERTY:readme_assets,INTERFACE_INCLUDE_DIRECTORIES>
                                             $<TARGET_PROPERTY:CorvaneAssets::surface,INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_features(${name} PRIVATE cxx_std_20)
  target_link_libraries(${name} PRIVATE $<LINK_ONLY:readme_assets>)
endforeach()
CMAKE
  cmake -S "$project" -B "$project/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DFONT="$font" \
    -DBADGE="$source_tree/examples/firmware/images/badge.png" >"$work/cpp.log" 2>&1 ||
    { cat "$work/cpp.log"; fail "cannot configure the project of the C++ blocks"; }
  for block in "$project"/block_*.cpp; do
    name="$(basename "$block" .cpp)"
    line="${name#block_}"
    if ! cmake --build "$project/build" --target "$name" >"$work/block.log" 2>&1; then
      cat "$work/block.log"
      fail "the C++ block at README.md:$line does not compile"
    fi
    if [[ -x "$project/build/$name" ]]; then
      if ! (cd "$project/build" && "./$name") >"$work/block.log" 2>&1; then
        cat "$work/block.log"
        fail "the C++ block at README.md:$line ran and failed"
      fi
      echo "ok: the C++ block at README.md:$line compiles and runs"
    else
      echo "ok: the C++ block at README.md:$line compiles"
    fi
    ran=$((ran + 1))
  done
fi

for block in "$blocks"/code/block_*.cmake; do
  [[ -e "$block" ]] || continue
  line="$(basename "$block" .cmake)"
  line="${line#block_}"
  project="$work/cmake_$line"
  mkdir -p "$project"
  cp "$block" "$project/CMakeLists.txt"
  echo "int main() { return 0; }" >"$project/main.cpp"
  cp "$font" "$project/DejaVuSans.ttf"
  convert -size 24x16 gradient:red-blue -depth 8 PNG24:"$project/logo.png" || fail "convert made no logo.png"
  if ! { cmake -S "$project" -B "$project/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" &&
    cmake --build "$project/build"; } >"$work/block.log" 2>&1; then
    cat "$work/block.log"
    fail "the CMake block at README.md:$line does not build"
  fi
  echo "ok: the CMake block at README.md:$line builds"
  ran=$((ran + 1))
done
echo "PASS: $ran README blocks ran as written"
