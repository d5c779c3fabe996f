#!/usr/bin/env bash
# Swarms to keep, share and replay. Bad --state, --start, --preset and --all-frames values end
# with status 2 and one line before any window; --state saves to and reloads from the named
# file and leaves kavaro.dat alone; two runs with the same --start and --all-frames
# --record-limit 40 write the same PNG files byte for byte, also with KAVARO_ISA=scalar and avx2
# (the machine's best otherwise), and another start number writes others; every preset starts
# without a dialog.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
CHECK="python3 $(cd "$(dirname "$0")" && pwd)/png_check.py"
# The pointer far from the window: the pictures depend on nothing but the state and the start.
xdotool mousemove 1200 1000

# The usual state file, which no run below may change.
mkdir -p "$WORK/seed"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"
cp "$WORK/seed/kavaro.dat" "$WORK/kavaro.dat"
cp "$WORK/kavaro.dat" "$WORK/usual.dat"
usual_untouched() {
  cmp -s "$WORK/kavaro.dat" "$WORK/usual.dat" || fail "kavaro.dat changed ($1)"
  ! ls "$WORK"/*.tmp >/dev/null 2>&1 || fail "a temporary file was left ($1)"
}

# 1. Bad input: one line, status 2, nothing written; without a display, so a refusal that came
#    after the display check (status 1) would show.
mkdir -p "$WORK/afolder"
while IFS= read -r args; do
  eval "set -- $args"
  status=0
  (cd "$WORK" && exec env -u DISPLAY "$KAVARO" "$@") >"$WORK/out" 2>"$WORK/err" || status=$?
  [ "$status" = 2 ] || fail "'$args' ended with $status, not 2"
  [ "$(wc -l <"$WORK/err")" = 1 ] && grep -q '^kavaro: ' "$WORK/err" || {
    cat "$WORK/err" >&2
    fail "'$args' did not say one line"
  }
  [ ! -s "$WORK/out" ] || fail "'$args' printed on standard output"
  usual_untouched "$args"
done <<'ARGS'
--state afolder
--state nowhere/swarm.dat
--state "$WORK/kavaro.dat/x"
--start 0
--preset no-such-swarm
--preset ../kavaro
--record rec --record-limit 3 --all-frames --start 5.5
--all-frames
--record-limit 5
--snapshot-after 3
ARGS
[ ! -e "$WORK/rec" ] || fail "a refused run made its record folder"
echo "ok: bad input"

# Starts kavaro in $WORK with the given arguments; finds its window.
start() {
  e2e_start "$@"
  win=$("$XTOOL" find Kavaro) || { cat "$WORK/stderr" >&2; fail "no window"; }
  "$XTOOL" move "$win" 0 0
}
key() {
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key "$1"
  sleep 0.5
}
close() {
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 5000
  [ "$EXIT_STATUS" = 0 ] || { cat "$WORK/stderr" >&2; fail "the run ended with '$EXIT_STATUS'"; }
}

# 2. --state: a missing file starts from the factory state and is created; "m" saves to it, "b"
#    reloads it, Escape saves to it, "o" resets it; the usual file stays as it was.
mkdir -p "$WORK/mine"
start --state mine/swarm.dat
for _ in $(seq 50); do [ -s "$WORK/mine/swarm.dat" ] && break; sleep 0.1; done
[ "$(wc -l <"$WORK/mine/swarm.dat")" = 17018 ] || fail "no factory file at the named place"
cmp -s "$WORK/mine/swarm.dat" "$WORK/usual.dat" || fail "the named file is not the factory state"
key r
key m
cp "$WORK/mine/swarm.dat" "$WORK/saved.dat"
cmp -s "$WORK/saved.dat" "$WORK/usual.dat" && fail "m did not save the new rules to the named file"
key r
key b
key Escape
e2e_wait_exit "$APP_PID" 5000
[ "$EXIT_STATUS" = 0 ] || fail "Escape ended with '$EXIT_STATUS'"
cmp -s "$WORK/mine/swarm.dat" "$WORK/saved.dat" || fail "b did not reload the named file"
! ls "$WORK"/mine/*.tmp >/dev/null 2>&1 || fail "a temporary file was left beside the named file"
grep -q . "$WORK/stderr" && { cat "$WORK/stderr" >&2; fail "a message or dialog"; }
start --state mine/swarm.dat
key o
close
cmp -s "$WORK/mine/swarm.dat" "$WORK/usual.dat" || fail "o did not reset the named file"
usual_untouched "--state"
echo "ok: --state"

# 3. Replays: frames 1-40 of every frame the program drew, from a preset and a start number.
mapfile -t presets < <("$KAVARO" --list-presets)
[ "${#presets[@]}" -ge 6 ] && [ "${#presets[@]}" -le 10 ] || fail "${#presets[@]} presets listed"
replay() {
  local dir=$1 n=$2
  shift 2
  rm -f "$WORK/replay.dat"
  e2e_start --preset "${presets[0]}" --state replay.dat --start "$n" --record "$dir" --all-frames --record-limit 40
  for _ in $(seq 300); do
    [ "$(ls "$WORK/$dir" 2>/dev/null | wc -l)" -ge 40 ] && break
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  win=$("$XTOOL" find Kavaro) || fail "no window"
  close
  grep -q "recording into $WORK/$dir: 40 frames written, 0 dropped, every frame the program drew; the same run again: kavaro --preset ${presets[0]} --state $WORK/replay.dat --start $n$" \
    "$WORK/stderr" || { cat "$WORK/stderr" >&2; fail "no end line naming the preset, the state file and start $n"; }
  [ ! -e "$WORK/replay.dat" ] || fail "a replay saved its state"
}
replay a 17
replay b 17
KAVARO_ISA=scalar replay scalar 17
KAVARO_ISA=avx2 replay avx2 17
replay other 18
cd "$WORK/a"
mapfile -t shots < <(ls)
[ "${#shots[@]}" = 40 ] || fail "${#shots[@]} pictures, not 40"
$CHECK differ "${shots[@]}" || fail "not 40 new pictures of the moving swarm"
for f in "${shots[@]}"; do
  cmp -s "$f" "../b/$f" || fail "$f differs between two runs with the same start"
  cmp -s "$f" "../scalar/$f" || fail "$f differs with KAVARO_ISA=scalar"
  cmp -s "$f" "../avx2/$f" || fail "$f differs with KAVARO_ISA=avx2"
done
same=0
for f in "${shots[@]}"; do cmp -s "$f" "../other/$f" && same=$((same + 1)); done
[ "$same" = 0 ] || fail "$same pictures are the same with another start number"
cd "$WORK"
usual_untouched "replays"
echo "ok: replays"

# 4. Every preset starts without a dialog and shows its own swarm; saves go to the state file.
for p in "${presets[@]}"; do
  rm -f "$WORK/p.dat"
  start --preset "$p" --state p.dat --start 1 --snapshot "$WORK/$p.png"
  for _ in $(seq 100); do [ -s "$WORK/$p.png" ] && break; sleep 0.1; done
  [ -s "$WORK/$p.png" ] || fail "no picture of $p"
  close
  [ ! -s "$WORK/stderr" ] || { cat "$WORK/stderr" >&2; fail "$p: a dialog or message"; }
  [ ! -e "$WORK/p.dat" ] || fail "$p: the state file was written without a save"
done
for i in $(seq 1 $((${#presets[@]} - 1))); do
  cmp -s "$WORK/${presets[0]}.png" "$WORK/${presets[$i]}.png" && fail "${presets[$i]} looks like ${presets[0]}"
done
start --preset "${presets[1]}"
key m
close
[ "$(wc -l <"$WORK/kavaro.dat")" = 17018 ] || fail "m with a preset did not save to kavaro.dat"
cmp -s "$WORK/kavaro.dat" "$WORK/usual.dat" && fail "m with a preset saved nothing new"
echo "ok: ${#presets[@]} presets"
