#!/usr/bin/env bash
# Installs what building the kit and running its tests, fuzzers and
# benchmarks needs, builds everything with the test suite and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
bash scripts/build.sh build -DCORVANE_BUILD_TESTS=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"
