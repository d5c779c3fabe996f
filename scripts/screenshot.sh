#!/usr/bin/env bash
# Takes a screenshot of the running program under a private Xvfb: scripts/screenshot.sh [OUT.png]
# Builds first when needed. The program runs in a temporary folder with a fresh state file.
# SHOT_X / SHOT_Y place the pointer (default: over the panel, menu hidden); SHOT_KEYS are typed
# first (for example "r" for random rules); SHOT_WAIT is the seconds to wait before the picture.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshot.png}"
build="${KAVARO_BUILD:-$root/build}"
[ -x "$build/kavaro" ] && [ -x "$build/tests/xtool" ] || "$root/scripts/build.sh" "$build"
source "$root/tests/e2e/lib.sh"
e2e_setup "$build/kavaro" "$build/tests/xtool"
e2e_start
win=$("$XTOOL" find Untitled) || fail "no window"
"$XTOOL" move "$win" 0 0
sleep 1
if [ -n "${SHOT_KEYS:-}" ]; then
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool type --delay 100 "$SHOT_KEYS"
fi
sleep "${SHOT_WAIT:-3}"
xdotool mousemove --window "$win" "${SHOT_X:-200}" "${SHOT_Y:-100}"
sleep 1
"$XTOOL" grab "$win" "$WORK/shot.ppm"
mkdir -p "$(dirname "$out")"
convert "$WORK/shot.ppm" "$out"
echo "$out"
