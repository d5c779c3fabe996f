#!/usr/bin/env bash
# --lang en: the panel, the total, the menu, the hint and the help line in English, each cell a
# glyph of the font, the whole window the page drawn headless in English, also after "b". A bad
# KAVARO_LANG is told and the window is the Hungarian one; a bad --lang ends before any window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"

# Nothing started: no state file (the values the option refuses are the options test's).
status=0
(cd "$WORK" && timeout 10 ./kavaro --lang de >/dev/null 2>"$WORK/err") || status=$?
[ "$status" = 2 ] && [ "$(wc -l <"$WORK/err")" = 1 ] && [ ! -e "$WORK/kavaro.dat" ] ||
  fail "--lang de: status $status, said: $(cat "$WORK/err")"

# A fixed picture: a factory file with shape 7 (no particles) and no turning.
mkdir -p "$WORK/seed" "$WORK/expect"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"
sed -e '17011s/.*/ 7 \r/' -e '17018s/.*/ 0 \r/' "$WORK/seed/kavaro.dat" >"$WORK/kavaro.dat"
for page in "en 200 300" "en 400 101" "hu 400 101"; do
  set -- $page
  cp "$WORK/kavaro.dat" "$WORK/expect/"
  KAVARO_LANG=$1 "$RENDER_PAGE" "$WORK/expect" "$2" "$3" "$WORK/$1-$2.ppm" || fail "headless render failed"
done

start() {  # start VAR=VALUE [OPTION...]
  (cd "$WORK" && exec env "$@" 2>"$WORK/stderr") &
  APP_PID=$!
  win=$("$XTOOL" find Kavaro) || fail "no window: $(cat "$WORK/stderr")"
  "$XTOOL" move "$win" 0 0
}
shows() {  # shows X Y FILE.ppm: with the pointer at (X, Y) the window becomes FILE.ppm
  xdotool mousemove --window "$win" "$1" "$2"
  for _ in $(seq 40); do
    sleep 0.1
    "$XTOOL" grab "$win" "$WORK/shot.ppm"
    cmp -s "$WORK/shot.ppm" "$3" && return 0
  done
  fail "the window is not $(basename "$3")"
}
row() {  # row N COL LEN of the last grab; the brown cube edges may cross the glyphs
  local text
  text=$("$SCREEN_TEXT" "$WORK/shot.ppm" "$1" AA5500)
  echo "${text:$(($2 - 1)):$3}"
}
expect_row() {  # expect_row N COL TEXT
  local got
  got=$(row "$1" "$2" "${#3}")
  [ "$got" = "$3" ] || fail "row $1 column $2 reads '$got', expected '$3'"
}
reads() {  # reads X Y N COL TEXT: with the pointer at (X, Y) row N comes to read TEXT
  xdotool mousemove --window "$win" "$1" "$2"
  for _ in $(seq 40); do
    sleep 0.1
    "$XTOOL" grab "$win" "$WORK/shot.ppm"
    [ "$(row "$3" "$4" "${#5}")" = "$5" ] && return 0
  done
  expect_row "$3" "$4" "$5"
}

start KAVARO_LANG=de "$KAVARO" --lang en
shows 200 300 "$WORK/en-200.ppm"
expect_row 1 1 "central pull     : 50 "
expect_row 2 1 "particle size    : 3 "
expect_row 3 1 "closed in cube   : 0 "
expect_row 4 1 "displacement     : 50 "
expect_row 5 1 "zoom             : .8 "
expect_row 6 1 "particle shape   : 7 "
expect_row 7 1 "auto turn speed  :  0.00"
expect_row 8 1 "max particles    : 100 "
expect_row 9 1 "mean points      : 0 "
expect_row 28 63 "   particles: 99 "
shows 400 101 "$WORK/en-400.ppm"
expect_row 3 48 "?-quit   "  # ?: the Escape key's glyph
expect_row 4 48 "r-random rules          "
expect_row 5 48 "t-random rules, no chasing       "
expect_row 6 48 "d-random counts              "
expect_row 7 48 "f-equal counts                "
expect_row 8 48 "c-all to the centre (big bang) "
expect_row 9 48 "q-scatter in the cube          "
expect_row 10 48 "m-save this state          "
expect_row 11 48 "b-load the saved state     "
expect_row 12 48 "o-factory settings              "
xdotool mousemove --window "$win" 330 230
reads 331 230 14 36 "turn      "
# The rule of species 0 towards itself.
reads 44 408 29 1 "blue particles ignore (are neutral to) blue particles "
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key b
shows 200 300 "$WORK/en-200.ppm"
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
[ "$EXIT_STATUS" = 0 ] && [ ! -s "$WORK/stderr" ] || fail "ended with '$EXIT_STATUS', said: $(cat "$WORK/stderr")"

start KAVARO_LANG=english "$KAVARO"
shows 400 101 "$WORK/hu-400.ppm"
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 3000
[ "$(cat "$WORK/stderr")" = 'kavaro: KAVARO_LANG="english" is neither en nor hu; the interface stays Hungarian' ] ||
  fail "said: $(cat "$WORK/stderr")"
echo ok
