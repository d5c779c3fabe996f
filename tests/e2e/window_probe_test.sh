#!/usr/bin/env bash
# The runtime's window with a probe program in place of the simulation: the window follows the
# mode-12 page, the picture is the page through its palette pixel for pixel, keys typed with
# xdotool reach the keyboard ring with their codes, the pointer reads in page pixels, a window
# resized by hand returns to 640 x 480, and the close button ends the run with status 0.
# Scaled, on a 3840 x 2160 screen: --scale 3 gives 1920 x 1440, whose picture taken down by 3
# with nearest sampling is the 1x picture pixel for pixel, in whole 3 x 3 squares; window
# (300, 300) reads page (100, 100); a resize and the five Alt+Enter steps return to 1920 x 1440;
# --scale auto gives 4x.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
E2E_SCREEN=3840x2160 e2e_setup "${KAVARO_PROBE:?}" "$2"
cp "$KAVARO_PROBE" "$WORK/probe"
wait_size() {
  for _ in $(seq 50); do
    [ "$("$XTOOL" size "$win")" = "$1" ] && return 0
    sleep 0.1
  done
  fail "window is $("$XTOOL" size "$win"), not $1 ($2)"
}
start_probe() {  # start_probe SIZE ARGS...
  (cd "$WORK" && exec ./probe "${@:2}" >"$WORK/out" 2>"$WORK/stderr") &
  APP_PID=$!
  win=$("$XTOOL" find Kavaro) || fail "no window"
  "$XTOOL" move "$win" 0 0
  wait_size "$1" "${*:2}"
  sleep 0.5
}
start_probe "640 480"

# The picture: colour bars 0..15 of the default palette below y = 300, "probe" at row 2.
"$XTOOL" grab "$win" "$WORK/shot.ppm"
python3 - "$WORK/shot.ppm" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
parts = data.split(b'\n', 3)
w, h = map(int, parts[1].split())
px = parts[3]
pal = [0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
       0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF]
bad = 0
for y in range(h):
    for x in range(w):
        i = 3 * (y * w + x)
        p = (px[i] << 16) | (px[i + 1] << 8) | px[i + 2]
        if y >= 300:
            want = pal[x // 40]
        elif 16 <= y < 32 and 16 <= x < 56:
            continue  # the text cell row, read separately
        else:
            want = 0
        if p != want:
            bad += 1
if bad:
    sys.exit("%d pixels differ from the page" % bad)
PY
[ "$("$SCREEN_TEXT" "$WORK/shot.ppm" 2 | cut -c3-7)" = "probe" ] || fail "text row 2 does not read probe"

# Keys.
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key Escape Up F1 alt+a ctrl+a shift+Tab ctrl+1 x
sleep 0.5
keys=$(grep '^key' "$WORK/out" | tr '\n' ',')
[ "$keys" = "key 27,key 0 72,key 0 59,key 0 30,key 1,key 0 15,key 120," ] || fail "keys read: $keys"

# Pointer and buttons.
xdotool mousemove --window "$win" 123 321
sleep 0.3
grep -q '^mouse 123 321 0$' "$WORK/out" || fail "pointer: $(grep '^mouse' "$WORK/out" | tail -n 3)"
xdotool mousedown 1
sleep 0.2
grep -q '^mouse 123 321 1$' "$WORK/out" || fail "left button not seen"
xdotool mouseup 1

# A window resized by hand returns to the frame size.
"$XTOOL" resize "$win" 300 200
sleep 0.1
wait_size "640 480" "resized by hand"

"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
if [ "$EXIT_STATUS" != 0 ]; then
  cat "$WORK/stderr" >&2
  tail -n 5 "$WORK/out" >&2
  e2e_wait_exit "$APP_PID" 5000
  fail "close did not end the run within 3 s (then: '$EXIT_STATUS')"
fi

start_probe "1920 1440" --scale 3
"$XTOOL" grab "$win" "$WORK/three.ppm"
python3 - "$WORK/shot.ppm" "$WORK/three.ppm" <<'PY'
import sys
one, three = (open(f, 'rb').read().split(b'\n', 3)[3] for f in sys.argv[1:3])
for y in range(1440):
    # Each pixel of the 1x picture as a 3 x 3 square.
    src = one[3 * 640 * (y // 3):3 * 640 * (y // 3 + 1)]
    if three[3 * 1920 * y:3 * 1920 * (y + 1)] != b''.join(src[i:i + 3] * 3 for i in range(0, len(src), 3)):
        sys.exit("scaled picture row %d is not the 1x picture in 3 x 3 squares" % y)
PY
xdotool mousemove --window "$win" 300 300
sleep 0.3
tail -n 1 "$WORK/out" | grep -q '^mouse 100 100 0$' || fail "window (300, 300) reads $(tail -n 1 "$WORK/out")"
"$XTOOL" resize "$win" 700 500
sleep 0.1
wait_size "1920 1440" "scaled, resized by hand"
xdotool windowfocus --sync "$win" 2>/dev/null || true
for step in 1 2 3 4 5; do
  xdotool key alt+Return
  sleep 0.4
  [ $step = 5 ] || [ "$("$XTOOL" size "$win")" = "3840 2160" ] || fail "Alt+Enter step $step: $("$XTOOL" size "$win")"
done
wait_size "1920 1440" "after five Alt+Enter steps"
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
start_probe "2560 1920" --scale auto
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
[ "$EXIT_STATUS" = 0 ] || fail "close of the auto-scaled probe: '$EXIT_STATUS'"
echo "ok"
