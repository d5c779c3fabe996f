#!/usr/bin/env bash
# A state file that ends early: the error dialog shows in the window with its caption and text,
# and a copy of the file is kept beside it first; Y continues (the program goes on drawing) and
# Escape saves the new state over the file, N ends the run with status 0 and writes nothing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"

short_file() {
  for _ in $(seq 100); do printf ' 5 \r\n'; done >"$WORK/kavaro.dat"  # colours within their limits
}

wait_for_text() {  # wait_for_text TEXT: grabs until TEXT shows, up to 10 s
  for _ in $(seq 50); do
    "$XTOOL" grab "$win" "$WORK/shot.ppm" 2>/dev/null && "$SCREEN_TEXT" "$WORK/shot.ppm" find "$1" >/dev/null && return 0
    sleep 0.2
  done
  return 1
}

short_file
cp "$WORK/kavaro.dat" "$WORK/short.dat"
e2e_start
win=$("$XTOOL" find Kavaro) || fail "no window"
"$XTOOL" move "$win" 0 0
wait_for_text "Unhandled Error #62" || fail "no error dialog in the window"
"$SCREEN_TEXT" "$WORK/shot.ppm" find "Input past end of file" >/dev/null || fail "dialog text missing"
"$SCREEN_TEXT" "$WORK/shot.ppm" find "Continue?" >/dev/null || fail "dialog question missing"
grep -q "Unhandled Error #62" "$WORK/stderr" || fail "dialog not echoed to standard error"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key y
wait_for_text "osszes babu:" || fail "the program did not go on after Y"
kill -0 "$APP_PID" || fail "the program ended after Y"
grep -qx "kavaro: $WORK/kavaro.dat could not be loaded whole; it is kept as it was in $WORK/kavaro.dat.damaged" \
  "$WORK/stderr" || { cat "$WORK/stderr" >&2; fail "no line naming the copy"; }
cmp -s "$WORK/kavaro.dat.damaged" "$WORK/short.dat" || fail "the copy is not the damaged file"
xdotool key Escape
e2e_wait_exit "$APP_PID" 3000
[ "$EXIT_STATUS" = 0 ] || fail "Escape ended with '$EXIT_STATUS'"
cmp -s "$WORK/kavaro.dat.damaged" "$WORK/short.dat" || fail "the copy changed"
[ "$(wc -l <"$WORK/kavaro.dat")" = 17018 ] || fail "Escape did not save the new state"

short_file
e2e_start
win=$("$XTOOL" find Kavaro) || fail "no window (second run)"
"$XTOOL" move "$win" 0 0
wait_for_text "Unhandled Error #62" || fail "no error dialog in the second run"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key n
e2e_wait_exit "$APP_PID" 2000
[ "$EXIT_STATUS" = 0 ] || fail "N ended with '$EXIT_STATUS'"
[ "$(wc -l <"$WORK/kavaro.dat")" = 100 ] || fail "the damaged file was overwritten"
# The same damage again: the copy there is of the same bytes and is kept, not numbered.
cmp -s "$WORK/kavaro.dat.damaged" "$WORK/short.dat" || fail "the copy is not the damaged file (second run)"
[ ! -e "$WORK/kavaro.dat.damaged.1" ] || fail "the same bytes were copied again"
echo ok
