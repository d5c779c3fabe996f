#!/usr/bin/env bash
# Builds the page into build-web/ (kavaro.html and its files) with Debian's Emscripten; the
# packages it needs are installed first when missing. Extra CMake options may follow.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-web"
packages=(emscripten cmake make python3)
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
# Emscripten's JavaScript optimiser finds its modules among Debian's node packages.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "The page is in $dir/kavaro.html; serve it with: scripts/serve-web.sh [PORT]"
