#!/usr/bin/env bash
# Runs a test program in a real X window system: a private Xvfb server on a free display, the
# program on Qt's xcb platform. Faults of painting, focus, keys and timing show only there.
# Exits 77 (CTest's skip) when Xvfb is missing or does not start.
set -u
command -v Xvfb >/dev/null || { echo "Xvfb is missing: test skipped" >&2; exit 77; }

fifo_dir=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/display"
# -displayfd picks a free display and writes its number once the server accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" 2>"$fifo_dir/log" &
xvfb=$!
if ! read -r -t 30 number <"$fifo_dir/display"; then
  echo "Xvfb did not start: test skipped" >&2
  cat "$fifo_dir/log" >&2
  exit 77
fi

export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
"$@"
