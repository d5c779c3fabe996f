#!/usr/bin/env bash
# Takes a picture of the running program under a private Xvfb:
#   scripts/screenshot.sh [OUT.png]   into OUT.png, by default build/screenshot.png
#   scripts/screenshot.sh --refresh   docs/screenshot.png anew: random rules, scattered, 3 s in
#                                     (the rules differ every time: look, and run again to taste)
# Builds first when needed. The program runs in a temporary folder with a fresh state file and
# writes the picture itself (--snapshot), as the window shows it.
# SHOT_X / SHOT_Y place the pointer (default: over the panel, menu hidden); SHOT_KEYS are typed
# first (for example "r" for random rules); SHOT_WAIT is the seconds from the swarm's first
# picture to the one taken.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KAVARO_BUILD:-$root/build}"
case "${1:-}" in
  --refresh)
    out="$root/docs/screenshot.png"
    SHOT_KEYS="${SHOT_KEYS-rq}"
    SHOT_WAIT="${SHOT_WAIT:-3}"
    ;;
  -*) echo "usage: $0 [--refresh | OUT.png]" >&2; exit 2 ;;
  "") out="$build/screenshot.png" ;;
  *) out="$1" ;;
esac
[ -x "$build/kavaro" ] && [ -x "$build/tests/xtool" ] || "$root/scripts/build.sh" "$build"
source "$root/tests/e2e/lib.sh"
e2e_setup "$build/kavaro" "$build/tests/xtool"
e2e_start --snapshot "$WORK/shot.png" --snapshot-after "${SHOT_WAIT:-3}"
win=$("$XTOOL" find Kavaro) || fail "no window"
"$XTOOL" move "$win" 0 0
xdotool mousemove --window "$win" "${SHOT_X:-200}" "${SHOT_Y:-100}"
if [ -n "${SHOT_KEYS:-}" ]; then
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool type --delay 100 "$SHOT_KEYS"
fi
# The picture appears whole (it is written beside its name and renamed).
for _ in $(seq 1200); do
  [ -e "$WORK/shot.png" ] && break
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.1
done
"$XTOOL" close "$win" || true
e2e_wait_exit "$APP_PID" 5000
[ -e "$WORK/shot.png" ] || { cat "$WORK/stderr" >&2; fail "no picture was written"; }
mkdir -p "$(dirname "$out")"
cp "$WORK/shot.png" "$out"
echo "$out"
