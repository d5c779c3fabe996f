#!/usr/bin/env bash
# Builds the page into build-web/ (kavaro.html and its files) with Debian's Emscripten; the
# packages it needs are installed first when missing. Extra CMake options may follow.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-web"
"$root/scripts/setup.sh" web
# Emscripten's JavaScript optimiser finds its modules among Debian's node packages.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "The page is in $dir/kavaro.html; serve it with: scripts/serve-web.sh [PORT]"
