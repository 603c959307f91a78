#!/usr/bin/env bash
# Installs what building and running the kit needs, builds the tools, the
# desktop program and the CMake package (without the test suite, which
# scripts/test.sh adds), and exports a first bitmap font: the printable ASCII
# range of DejaVu Sans at 16 pixels, into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCORVANE_BUILD_TESTS=OFF
font=$(fc-match -f '%{file}' 'DejaVu Sans')
mkdir -p out
build/tools/glyphsmith_cli --font "$font" --chars 32-126 --size 16 --output_path out dejavu_sans
echo "The font's source and header are out/dejavu_sans_16.cpp and out/dejavu_sans_16.h;"
echo "compile them (C++20) with build/tools/ds_font.h on the include path."
