#!/usr/bin/env bash
# The real kavaro's window shows, pixel for pixel, the page the simulation draws: with a state
# file that stops the turning and hides the particles, the picture is fixed, and the same
# program rendered headless gives the page to compare with.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"

# A factory file from a first start, then shape 7 (no particles) and no auto-rotation.
mkdir -p "$WORK/seed"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"
sed -e '17011s/.*/ 7 \r/' -e '17018s/.*/ 0 \r/' "$WORK/seed/kavaro.dat" >"$WORK/kavaro.dat"
mkdir -p "$WORK/expect"
cp "$WORK/kavaro.dat" "$WORK/expect/"
"$RENDER_PAGE" "$WORK/expect" 200 300 "$WORK/expected.ppm" || fail "headless render failed"

e2e_start
win=$("$XTOOL" find Kavaro) || fail "no window"
"$XTOOL" move "$win" 0 0
xdotool mousemove --window "$win" 200 300
for _ in $(seq 50); do
  [ "$("$XTOOL" size "$win")" = "640 480" ] && break
  sleep 0.1
done
sleep 1
"$XTOOL" grab "$win" "$WORK/shot.ppm"
cmp -s "$WORK/shot.ppm" "$WORK/expected.ppm" || {
  python3 - "$WORK/shot.ppm" "$WORK/expected.ppm" <<'PY'
import sys
a, b = (open(f, 'rb').read().split(b'\n', 3) for f in sys.argv[1:3])
print("header", a[:3], b[:3])
pa, pb = a[3], b[3]
diff = [i // 3 for i in range(0, min(len(pa), len(pb)), 3) if pa[i:i + 3] != pb[i:i + 3]]
print("%d pixels differ; first at" % len(diff), [(d % 640, d // 640) for d in diff[:5]])
PY
  fail "the window does not show the page"
}
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 2000
[ "$EXIT_STATUS" = 0 ] || fail "close ended with '$EXIT_STATUS'"
echo ok
