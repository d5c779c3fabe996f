#!/usr/bin/env bash
# The English interface: --lang en shows the panel, the total, the menu and the rotation hint in
# English, each cell exactly a glyph of the font, and the whole window exactly the page the
# simulation draws headless in English. --lang wins over KAVARO_LANG; a bad KAVARO_LANG is told
# and the window is the Hungarian one, pixel for pixel; a bad --lang ends before any window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"

# A bad --lang: one line, status 2, nothing started (no state file written).
for v in de "" EN; do
  status=0
  (cd "$WORK" && timeout 10 ./kavaro --lang "$v" >/dev/null 2>"$WORK/err") || status=$?
  [ "$status" = 2 ] || fail "--lang '$v' ended with status $status"
  [ "$(wc -l <"$WORK/err")" = 1 ] || fail "--lang '$v' said: $(cat "$WORK/err")"
  [ ! -e "$WORK/kavaro.dat" ] || fail "--lang '$v' started the program"
done
grep -q -- '--lang takes en or hu, not "EN"' "$WORK/err" || fail "message: $(cat "$WORK/err")"

# A fixed picture: a factory file with shape 7 (no particles) and no turning.
mkdir -p "$WORK/seed"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"
sed -e '17011s/.*/ 7 \r/' -e '17018s/.*/ 0 \r/' "$WORK/seed/kavaro.dat" >"$WORK/kavaro.dat"
expect() {  # expect LANG X Y: the headless page with the pointer at (X, Y) as $WORK/LANG-X-Y.ppm
  mkdir -p "$WORK/expect"
  cp "$WORK/kavaro.dat" "$WORK/expect/"
  KAVARO_LANG=$1 "$RENDER_PAGE" "$WORK/expect" "$2" "$3" "$WORK/$1-$2-$3.ppm" || fail "headless render failed"
}
expect en 200 300
expect en 400 116
expect hu 400 116

start() {  # start ENV...: kavaro with that environment and the given options after "--"
  local envs=() arg
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  (cd "$WORK" && exec env "${envs[@]}" "$KAVARO" "$@" 2>"$WORK/stderr") &
  APP_PID=$!
  win=$("$XTOOL" find Untitled) || fail "no window: $(cat "$WORK/stderr")"
  "$XTOOL" move "$win" 0 0
  for _ in $(seq 50); do
    [ "$("$XTOOL" size "$win")" = "640 480" ] && break
    sleep 0.1
  done
}
stop() {
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 3000
  [ "$EXIT_STATUS" = 0 ] || fail "close ended with '$EXIT_STATUS'"
}
same_as() {  # same_as FILE.ppm: the window, grabbed again for a while, equals FILE.ppm
  for _ in $(seq 30); do
    sleep 0.1
    "$XTOOL" grab "$win" "$WORK/shot.ppm"
    cmp -s "$WORK/shot.ppm" "$1" && return 0
  done
  fail "the window is not $(basename "$1")"
}
row() {  # row N COL LEN: text of a screen row of the last grab, every cell a glyph of the font
  local text  # (but for the brown pixels of the boundary cube's edges drawn across it)
  text=$("$SCREEN_TEXT" "$WORK/shot.ppm" "$1" AA5500)
  echo "${text:$(($2 - 1)):$3}"
}
expect_row() {  # expect_row N COL TEXT
  local got
  got=$(row "$1" "$2" "${#3}")
  [ "$got" = "$3" ] || fail "row $1 column $2 reads '$got', expected '$3'"
}

start KAVARO_LANG=hu -- --lang en
xdotool mousemove --window "$win" 200 300
same_as "$WORK/en-200-300.ppm"
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
xdotool mousemove --window "$win" 400 116
same_as "$WORK/en-400-116.ppm"
# "?": the Escape key's glyph (code 27) is not a letter the reader knows.
expect_row 3 48 "?-quit   "
expect_row 4 48 "r-random rules          "
expect_row 5 48 "t-random rules, no chasing       "
expect_row 6 48 "d-random counts              "
expect_row 7 48 "f-equal counts                "
expect_row 8 48 "c-all to the centre (big bang) "
expect_row 9 48 "q-scatter in the cube          "
expect_row 10 48 "m-save this state          "
expect_row 11 48 "b-load the saved state     "
expect_row 12 48 "o-factory settings              "
expect_row 28 63 "   particles: 99 "
xdotool mousemove --window "$win" 330 230
sleep 0.3
xdotool mousemove --window "$win" 331 230
for _ in $(seq 30); do
  sleep 0.1
  "$XTOOL" grab "$win" "$WORK/shot.ppm"
  [ "$(row 14 36 10)" = "turn      " ] && break
done
expect_row 14 36 "turn      "
stop
[ ! -s "$WORK/stderr" ] || fail "said: $(cat "$WORK/stderr")"

# The variable alone chooses English.
start KAVARO_LANG=en --
xdotool mousemove --window "$win" 200 300
same_as "$WORK/en-200-300.ppm"
stop

# A bad variable: one line, and the Hungarian window as it always was.
start KAVARO_LANG=english --
xdotool mousemove --window "$win" 400 116
same_as "$WORK/hu-400-116.ppm"
expect_row 8 48 "c-babuk helyzete 0-ra (bigbang)"
stop
[ "$(wc -l <"$WORK/stderr")" = 1 ] && grep -q 'KAVARO_LANG="english" is neither en nor hu' "$WORK/stderr" ||
  fail "said: $(cat "$WORK/stderr")"
echo ok
