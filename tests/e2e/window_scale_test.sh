#!/usr/bin/env bash
# The window scaled, on a 3840 x 2160 screen, with the probe in place of the simulation:
# --scale 3 gives a 1920 x 1440 window whose picture, taken down by 3 with nearest sampling, is
# the 1x picture pixel for pixel (every page pixel a whole 3 x 3 square); the pointer at window
# (300, 300) reads page (100, 100); a resize and the five Alt+Enter steps return to 1920 x 1440;
# --scale auto gives 4x (2560 x 1920).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
E2E_SCREEN=3840x2160 e2e_setup "${KAVARO_PROBE:?}" "$2"
cp "$KAVARO_PROBE" "$WORK/probe"

start_probe() {  # start_probe WANT_SIZE ARGS...: the probe's window at that size (sets win)
  local want=$1
  shift
  (cd "$WORK" && exec ./probe "$@" >"$WORK/out" 2>"$WORK/stderr") &
  APP_PID=$!
  win=$("$XTOOL" find Kavaro) || fail "no window ($*)"
  "$XTOOL" move "$win" 0 0
  wait_size "$want" || fail "window is $("$XTOOL" size "$win") with $*, not $want"
}
wait_size() {
  for _ in $(seq 50); do
    [ "$("$XTOOL" size "$win")" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
stop_probe() {
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 3000
  [ "$EXIT_STATUS" = 0 ] || fail "close ended the probe with '$EXIT_STATUS'"
}

start_probe "640 480"
sleep 0.5
"$XTOOL" grab "$win" "$WORK/one.ppm"
stop_probe

start_probe "1920 1440" --scale 3
sleep 0.5
"$XTOOL" grab "$win" "$WORK/three.ppm"
python3 - "$WORK/one.ppm" "$WORK/three.ppm" <<'PY'
import sys

def read(path):
    parts = open(path, 'rb').read().split(b'\n', 3)
    w, h = map(int, parts[1].split())
    return w, h, parts[3]

w1, h1, one = read(sys.argv[1])
w3, h3, three = read(sys.argv[2])
assert (w1, h1, w3, h3) == (640, 480, 1920, 1440), (w1, h1, w3, h3)
taken = bytearray()
for y in range(480):
    for x in range(640):
        i = 3 * (3 * y * 1920 + 3 * x)
        taken += three[i:i + 3]
if bytes(taken) != one:
    bad = sum(taken[i:i + 3] != one[i:i + 3] for i in range(0, len(one), 3))
    sys.exit("scaled down by 3, %d pixels differ from the 1x picture" % bad)
# Square pixels: every pixel of a 3 x 3 square is its corner's.
for y in range(1440):
    row = three[3 * y * 1920:3 * (y + 1) * 1920]
    src = three[3 * (y - y % 3) * 1920:3 * (y - y % 3 + 1) * 1920]
    for x in range(0, 1920, 3):
        corner = src[3 * x:3 * x + 3]
        if row[3 * x:3 * x + 9] != corner * 3:
            sys.exit("pixel square at (%d, %d) is not whole" % (x, y))
PY

xdotool mousemove --window "$win" 300 300
sleep 0.3
tail -n 1 "$WORK/out" | grep -q '^mouse 100 100 0$' || fail "pointer at (300, 300): $(grep '^mouse' "$WORK/out" | tail -n 2)"

"$XTOOL" resize "$win" 700 500
sleep 0.1
wait_size "1920 1440" || fail "resized window stays $("$XTOOL" size "$win")"

xdotool windowfocus --sync "$win" 2>/dev/null || true
for step in 1 2 3 4 5; do
  xdotool key alt+Return
  sleep 0.4
  size=$("$XTOOL" size "$win")
  case $step in
    5) ;;
    *) [ "$size" = "3840 2160" ] || fail "Alt+Enter step $step: window is $size, not full screen" ;;
  esac
done
wait_size "1920 1440" || fail "after five Alt+Enter steps the window is $("$XTOOL" size "$win")"
stop_probe

start_probe "2560 1920" --scale auto
stop_probe
echo ok
