#!/usr/bin/env bash
# Draws the program's icons from its own picture: scripts/make-icons.sh [OUT_DIR]
# (default packaging/icons). A swarm of three species under crossing rules is rendered headless,
# cropped square around the centre of the view and scaled to 256, 128 and 48 pixels, keeping
# to the colours of the page. Builds the renderer first when needed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/packaging/icons}"
build="${KAVARO_BUILD:-$root/build}"
[ -x "$build/tests/render_page" ] || "$root/scripts/build.sh" "$build"
work=$(mktemp -d /tmp/kavaro-icons.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The factory state first, then the rules of the README's picture and bigger particles.
"$build/tests/render_page" "$work" 200 100 "$work/first.ppm"
python3 - "$work/kavaro.dat" <<'PY'
import sys
path = sys.argv[1]
lines = open(path, newline='').read().split('\n')
rules = [[1, 0, 0], [0, 1, -1], [0, -1, -1]]  # row a: what species a does towards b
for a in range(3):
    for b in range(3):
        lines[(80 + 40 * a + b) * 10 + 2] = '%2d \r' % rules[a][b]
lines[17011] = ' 5 \r'  # particle size
open(path, 'w', newline='').write('\n'.join(lines))
PY
"$build/tests/render_page" "$work" 200 100 "$work/page.ppm" 600
mkdir -p "$out"
convert "$work/page.ppm" -crop 256x256+192+92 +repage "$out/kavaro-256.png"
convert "$work/page.ppm" -crop 256x256+192+92 +repage -scale 128x128 +dither -remap "$work/page.ppm" "$out/kavaro-128.png"
convert "$work/page.ppm" -crop 192x192+224+124 +repage -scale 48x48 +dither -remap "$work/page.ppm" "$out/kavaro-48.png"
ls "$out"/kavaro-*.png
