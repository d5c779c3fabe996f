#!/usr/bin/env bash
# Takes a screenshot of the running program under a private Xvfb: scripts/screenshot.sh [OUT.png]
# Builds first when needed. The program runs in a temporary folder with a fresh state file.
# SHOT_X / SHOT_Y place the pointer (default: over the panel, menu hidden); SHOT_WAIT seconds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshot.png}"
[ -x "$root/build/kavaro" ] && [ -x "$root/build/tests/xtool" ] || "$root/scripts/build.sh"
source "$root/tests/e2e/lib.sh"
e2e_setup "$root/build/kavaro" "$root/build/tests/xtool"
e2e_start
win=$("$XTOOL" find Untitled) || fail "no window"
sleep "${SHOT_WAIT:-3}"
xdotool mousemove --window "$win" "${SHOT_X:-200}" "${SHOT_Y:-100}"
sleep 1
"$XTOOL" grab "$win" "$WORK/shot.ppm"
mkdir -p "$(dirname "$out")"
convert "$WORK/shot.ppm" "$out"
echo "$out"
