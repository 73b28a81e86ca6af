#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs to build, run, test and benchmark.
# Packages already present are skipped, so a second run returns quickly.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang-14 libclang-rt-14-dev
  clang-format
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev
  # Qt's own translations (the standard dialogs in Chinese); following print jobs through CUPS
  qt6-translations-l10n libcups2-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-tools
  # interface fonts
  fonts-noto-cjk
  # text recognition: the engine, its Chinese and English language data, the simplified Han
  # script's (Chinese lines are read again with it) and its command line (the benchmark's peer)
  libtesseract-dev
  tesseract-ocr-chi-sim
  tesseract-ocr-script-hans
  tesseract-ocr-eng
  tesseract-ocr
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  libopencv-core-dev libopencv-imgproc-dev
  qpdf poppler-utils ffmpeg xvfb xauth xdotool
  gstreamer1.0-plugins-base-apps
  # FUSE mounts made by the hostile-filesystem tests (fusermount3 where the direct mount is refused)
  libfuse3-dev fuse3
  # the PDF benchmark's peer
  imagemagick
  # packaging: the Debian package and the checks of the installed desktop files
  dpkg-dev file fakeroot lintian desktop-file-utils appstream man-db
  # printing test: a private CUPS scheduler with the generic PDF printer driver of cups-filters
  cups cups-filters
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
