#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
set -euo pipefail
packages=(cmake g++ make clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  freeglut3-dev libglew-dev libglu1-mesa-dev libx11-dev xvfb xauth xdotool x11-apps imagemagick python3
  file dpkg-dev lintian desktop-file-utils appstream man-db libpng-dev libhwy-dev)
# The force kernels' polynomial coefficients and error bounds (scripts/force_coefficients.py).
packages+=(python3-mpmath)
# Keyboard layouts for the end-to-end key test.
packages+=(x11-xkb-utils)
# The icons are drawn as SVG and rendered by rsvg-convert; xprop reads the window's properties.
packages+=(librsvg2-bin x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
