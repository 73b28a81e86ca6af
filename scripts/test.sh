#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test, ending with CTest's summary.
#   1. the core libraries under AddressSanitizer and UndefinedBehaviorSanitizer (clang), with
#      the fuzz targets replaying the picture corpus;
#   2. the whole program and all tests, UI tests on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DQUORVANE_CORE_ONLY=ON -DQUORVANE_SANITIZE=ON -DQUORVANE_FUZZ=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
