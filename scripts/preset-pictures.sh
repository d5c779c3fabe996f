#!/usr/bin/env bash
# Draws the README's picture of every preset swarm: scripts/preset-pictures.sh [OUT_DIR]
# (default docs/presets). Each preset runs in the real program under a private Xvfb from start
# number 1 with every frame recorded (--all-frames), so frame PRESET_FRAME (default 900) is the
# same picture on every machine; it is cropped round the view and scaled down to 200 pixels.
# Builds first when needed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/presets}"
frame="${PRESET_FRAME:-900}"
build="${KAVARO_BUILD:-$root/build}"
[ -x "$build/kavaro" ] && [ -x "$build/tests/xtool" ] || "$root/scripts/build.sh" "$build"
source "$root/tests/e2e/lib.sh"
e2e_setup "$build/kavaro" "$build/tests/xtool"
mkdir -p "$out"
mapfile -t presets < <("$KAVARO" --list-presets)
for p in "${presets[@]}"; do
  e2e_start --preset "$p" --state "$WORK/unused.dat" --start 1 --record "$WORK/$p" --all-frames \
    --record-limit "$frame"
  win=$("$XTOOL" find Kavaro) || fail "no window"
  "$XTOOL" move "$win" 0 0
  # The pointer at the right edge: neither the panel nor the editor nor the menu is drawn. It
  # keeps moving there, so that the program has seen it long before the frame is drawn.
  last="$WORK/$p/$(printf 'kavaro-%06d.png' "$frame")"
  for i in $(seq 3000); do
    [ -e "$last" ] && break
    kill -0 "$APP_PID" 2>/dev/null || break
    xdotool mousemove --window "$win" $((634 + i % 2)) 470
    sleep 0.1
  done
  "$XTOOL" close "$win" || true
  e2e_wait_exit "$APP_PID" 5000
  [ -e "$last" ] || { cat "$WORK/stderr" >&2; fail "$p: no frame $frame"; }
  convert "$last" -crop 440x440+100+0 +repage -scale 200x200 +dither -remap "$last" "$out/$p.png"
  echo "$out/$p.png"
done
