#!/usr/bin/env bash
# Swarm codes. A damaged, cut, lengthened or foreign code ends with status 2 and one line
# saying which, before any window, nothing written; --code prints the code of a state file, of
# a preset and of the state a start would load; three presets and their codes (with the same
# start number, and with the start number in the code) record the same PNG files byte for byte,
# and the end line of a --swarm run names the code; m saves the swarm to the --state file.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
PRESETS="$(cd "$(dirname "$0")/../../presets" && pwd)"
xdotool mousemove 1200 1000

mapfile -t presets < <("$KAVARO" --list-presets)
[ "${#presets[@]}" -ge 6 ] || fail "${#presets[@]} presets listed"

# 1. --code: one line on standard output, nothing on standard error, status 0.
code_of() {
  local out
  out=$(cd "$WORK" && env -u DISPLAY "$KAVARO" --code "$@" 2>"$WORK/code.err") || fail "--code $* ended with $?"
  [ ! -s "$WORK/code.err" ] || { cat "$WORK/code.err" >&2; fail "--code $* said something"; }
  [[ "$out" =~ ^1[A-Za-z0-9_-]+$ ]] || fail "--code $* printed '$out'"
  echo "$out"
}
for p in "${presets[@]}"; do
  c=$(code_of "$PRESETS/$p.dat")
  [ "$(code_of --preset "$p")" = "$c" ] || fail "--preset $p --code is not the code of its file"
  [ "${#c}" -le 70 ] || fail "the code of $p is ${#c} characters"
  eval "code_$(echo "$p" | tr - _)=$c"
done
# Without a state file: the code of the factory settings, and a line saying so.
out=$(cd "$WORK" && env -u DISPLAY "$KAVARO" --code --state none.dat 2>"$WORK/code.err")
[ "$out" = 1MSMAoBQCvKgAAAwAAyBkDIMkDwU7rVv ] || fail "the factory code is '$out'"
grep -q "there is no state file $WORK/none.dat yet" "$WORK/code.err" || fail "no line about the missing file"
[ ! -e "$WORK/none.dat" ] || fail "--code wrote the state file"
echo "ok: --code"

# 2. Bad codes: one line, status 2, nothing written (no state file, no folder); without a
#    display, so that a refusal after the display check (status 1) would show.
good=$code_kite
while IFS='|' read -r code says; do
  status=0
  (cd "$WORK" && exec env -u DISPLAY "$KAVARO" --swarm "$code" --record rec) >"$WORK/out" 2>"$WORK/err" || status=$?
  [ "$status" = 2 ] || fail "--swarm '$code' ended with $status, not 2"
  [ "$(wc -l <"$WORK/err")" = 1 ] && grep -qF "kavaro: $says" "$WORK/err" || {
    cat "$WORK/err" >&2
    fail "--swarm '$code' did not say '$says'"
  }
  [ ! -s "$WORK/out" ] || fail "--swarm '$code' printed on standard output"
  [ ! -e "$WORK/kavaro.dat" ] && [ ! -e "$WORK/rec" ] || fail "--swarm '$code' wrote something"
done <<EOF
2${good:1}|the swarm code is of another version (it begins with "2"
${good:0:9}=${good:10}|the swarm code is damaged ("=", its character 10, is none of A-Z, a-z, 0-9, - and _)
${good:0:9}$([ "${good:9:1}" = A ] && echo B || echo A)${good:10}|the swarm code is damaged (its check value does not match)
${good:0:${#good}-3}|the swarm code is damaged (it is cut short)
${good}AB|the swarm code is damaged (it goes on past its end)
1sSMAoBQCvKgAAAwAAyBkDIMkDwbnq6r|the swarm code holds a value outside the editor's limits (11 species; the editor has 1 to 10)
http://example.org/kavaro.html|the link holds no swarm code
EOF
status=0
(cd "$WORK" && env -u DISPLAY "$KAVARO" --swarm "$good" --preset kite) 2>"$WORK/err" || status=$?
[ "$status" = 2 ] && grep -q "both name the swarm" "$WORK/err" || fail "--swarm with --preset: $status $(cat "$WORK/err")"
echo "ok: bad codes"

# 3. A preset and its code record the same pictures, byte for byte, with --start 5 and with the
#    start number in the code; the end line names the code with the start in it.
record() {
  local dir=$1
  shift
  rm -f "$WORK/rec.dat"
  e2e_start --state rec.dat --record "$dir" --all-frames --record-limit 60 "$@"
  for _ in $(seq 600); do
    [ "$(ls "$WORK/$dir" 2>/dev/null | wc -l)" -ge 60 ] && break
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.05
  done
  win=$("$XTOOL" find Kavaro) || fail "no window"
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 5000
  [ "$EXIT_STATUS" = 0 ] || { cat "$WORK/stderr" >&2; fail "the run ended with '$EXIT_STATUS'"; }
  [ "$(ls "$WORK/$dir" | wc -l)" = 60 ] || fail "$dir: $(ls "$WORK/$dir" | wc -l) pictures"
  [ ! -e "$WORK/rec.dat" ] || fail "a recorded run saved its state"
}
same_pictures() {
  for f in "$WORK/$1"/*.png; do
    cmp -s "$f" "$WORK/$2/$(basename "$f")" || fail "$(basename "$f") differs between $1 and $2"
  done
}
# (Three presets of 4, 7 and 8 species, to keep the test short; the unit tests load every
# preset from its code.)
for p in lasso ribbons whips; do
  eval "c=\$code_$p"
  record "$p-preset" --preset "$p" --start 5
  record "$p-code" --swarm "$c" --start 5
  c5=$(code_of "$PRESETS/$p.dat" --start 5)
  grep -q "every frame the program drew; the same run again: kavaro --swarm $c5$" "$WORK/stderr" || {
    cat "$WORK/stderr" >&2
    fail "$p: the end line does not name the code with start 5"
  }
  same_pictures "$p-preset" "$p-code"
  rm -rf "$WORK/$p-code"
done
# The start number in the code, and the code inside a page's link.
record start-in-code --swarm "https://example.org/kavaro.html?lang=en#$c5"
same_pictures whips-preset start-in-code
echo "ok: presets record the same pictures from their codes"

# 4. m saves the swarm to the --state file (after the first frames' count normalisation, as
#    it saves the preset the code was made of), never to kavaro.dat.
save_with_m() {
  local state=$1
  shift
  rm -f "$WORK/$state"
  e2e_start --state "$state" "$@"
  win=$("$XTOOL" find Kavaro) || fail "no window"
  sleep 1
  [ ! -e "$WORK/$state" ] || fail "$*: saved before m"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key m
  for _ in $(seq 50); do [ -s "$WORK/$state" ] && break; sleep 0.1; done
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 5000
  [ "$(wc -l <"$WORK/$state")" = 17018 ] || fail "$*: m did not save to the --state file"
}
save_with_m from-preset.dat --preset whips
save_with_m from-code.dat --swarm "$code_whips"
[ "$(code_of "$WORK/from-code.dat")" = "$(code_of "$WORK/from-preset.dat")" ] || fail "the saved swarm is another"
[ ! -e "$WORK/kavaro.dat" ] || fail "kavaro.dat was written"
echo "ok: m saves the swarm"
