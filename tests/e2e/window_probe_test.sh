#!/usr/bin/env bash
# The runtime's window with a probe program in place of the simulation: the window follows the
# mode-12 page, the picture is the page through its palette pixel for pixel, keys typed with
# xdotool reach the keyboard ring with their codes, the pointer reads in page pixels, a window
# resized by hand returns to 640 x 480, and the close button ends the run with status 0.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "${KAVARO_PROBE:?}" "$2"
cp "$KAVARO_PROBE" "$WORK/probe"
(cd "$WORK" && exec ./probe >"$WORK/out" 2>"$WORK/stderr") &
APP_PID=$!
win=$("$XTOOL" find Kavaro) || fail "no window"
"$XTOOL" move "$win" 0 0
for _ in $(seq 50); do
  [ "$("$XTOOL" size "$win")" = "640 480" ] && break
  sleep 0.1
done
[ "$("$XTOOL" size "$win")" = "640 480" ] || fail "window is $("$XTOOL" size "$win"), not 640 480"
sleep 0.5

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
for _ in $(seq 30); do
  [ "$("$XTOOL" size "$win")" = "640 480" ] && break
  sleep 0.1
done
[ "$("$XTOOL" size "$win")" = "640 480" ] || fail "resized window stays $("$XTOOL" size "$win")"

"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
if [ "$EXIT_STATUS" != 0 ]; then
  cat "$WORK/stderr" >&2
  tail -n 5 "$WORK/out" >&2
  e2e_wait_exit "$APP_PID" 5000
  fail "close did not end the run within 3 s (then: '$EXIT_STATUS')"
fi
echo "ok"
