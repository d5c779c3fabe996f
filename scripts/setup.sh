#!/usr/bin/env bash
# Installs the Debian packages that are missing, for one purpose:
# scripts/setup.sh [run|package|test|web|web-test]
#   run       building and running the program (scripts/run.sh)
#   package   that, and making and checking the Debian package (scripts/package.sh)
#   test      everything: the tests, the benchmarks, the sanitizer and fuzz builds, the helper
#             scripts (the default; scripts/test.sh)
#   web       building the page with Emscripten (scripts/web.sh)
#   web-test  that, the tests, and Chromium for driving the page (scripts/test-web.sh)
set -euo pipefail
what="${1:-test}"
packages=(cmake g++ make python3 pkg-config freeglut3-dev libglew-dev libglu1-mesa-dev libx11-dev libpng-dev libhwy-dev)
# Video files (--record FILE.gif, .webm, .mp4) are written through FFmpeg's libraries.
packages+=(libavformat-dev libavcodec-dev libswscale-dev libavutil-dev)
package_tools=(file dpkg-dev lintian desktop-file-utils appstream man-db imagemagick)
case $what in
  run) ;;
  package) packages+=("${package_tools[@]}") ;;
  web) packages=(cmake make python3 emscripten) ;;
  web-test)
    "$0" test
    packages=(cmake make python3 emscripten chromium)
    # A machine's own node and npm serve as well as Debian's.
    command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
    ;;
  test)
    packages+=("${package_tools[@]}")
    packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-apps)
    # The force kernels' polynomial coefficients and error bounds (scripts/force_coefficients.py).
    packages+=(python3-mpmath)
    # Keyboard layouts for the end-to-end key test.
    packages+=(x11-xkb-utils)
    # ffmpeg and ffprobe read the recorded videos back in the end-to-end test.
    packages+=(ffmpeg)
    # The icons are drawn as SVG and rendered by rsvg-convert; xprop reads the window's properties.
    packages+=(librsvg2-bin x11-utils)
    ;;
  *)
    echo "usage: scripts/setup.sh [run|package|test|web|web-test]" >&2
    exit 2
    ;;
esac
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
