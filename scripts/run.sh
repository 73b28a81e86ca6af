#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it. Without a camera the simulated
# document camera is used.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane
args=()
if ! compgen -G "/dev/video*" >/dev/null; then
  args+=(--simulated-camera)
fi
exec ./build/quorvane "${args[@]}" "$@"
