#!/usr/bin/env bash
# Renders the program's icons from their source, packaging/icons/kavaro.svg, at 16, 32, 48, 128
# and 256 pixels (rsvg-convert, from librsvg2-bin).
#   scripts/make-icons.sh            into build/icons/ (nothing tracked changes)
#   scripts/make-icons.sh OUT_DIR    into OUT_DIR
#   scripts/make-icons.sh --refresh  over the tracked copies in packaging/icons/
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
src="$root/packaging/icons/kavaro.svg"
case "${1:-}" in
  --refresh) out="$root/packaging/icons" ;;
  -*) echo "usage: $0 [--refresh | OUT_DIR]" >&2; exit 2 ;;
  "") out="${KAVARO_BUILD:-$root/build}/icons" ;;
  *) out="$1" ;;
esac
command -v rsvg-convert >/dev/null || { echo "make-icons: no rsvg-convert (scripts/setup.sh installs librsvg2-bin)" >&2; exit 1; }
mkdir -p "$out"
for size in 16 32 48 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$src" --output "$out/kavaro-$size.png"
done
ls "$out"/kavaro-*.png
