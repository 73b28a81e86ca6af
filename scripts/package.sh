#!/usr/bin/env bash
# Builds the Debian package build/quorvane_<version>_amd64.deb. Install it with
#   apt install ./build/quorvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane quorvane_docs
(cd build && cpack -G DEB >/dev/null)
ls build/quorvane_*_amd64.deb
