#!/usr/bin/env bash
# The page against the desktop: the desktop's pictures of frames 1 and 300 (start 7) of the
# factory state and two presets, and of frame 300 of a swarm code, made by the real kavaro under
# a private X server, then the page served three ways (with the headers, without them, without
# them and the service worker) and driven in headless Chromium by page_test.js.
# Usage: page_test.sh KAVARO XTOOL WEB_DIR [CHECK-PATTERN]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
e2e_setup "$1" "$2"
web="$(cd "$3" && pwd)"

mkdir -p "$WORK/desktop"
for swarm in factory ribbons halo; do
  for n in 1 300; do
    opts=(--start 7 --state "$WORK/$swarm-$n.dat" --snapshot "$WORK/desktop/$swarm-$n.png" --snapshot-frame "$n")
    [ "$swarm" = factory ] || opts+=(--preset "$swarm")
    e2e_start "${opts[@]}"
    for _ in $(seq 600); do
      [ -s "$WORK/desktop/$swarm-$n.png" ] && break
      sleep 0.05
    done
    [ -s "$WORK/desktop/$swarm-$n.png" ] || fail "the desktop wrote no picture of frame $n of $swarm: $(cat "$WORK/stderr")"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
  done
done

# A swarm given by its code: halo with panel values as the panel's steps leave them, start 11.
sed -e '17014s/.*/ 60.00001 \r/' -e '17018s/.*/ .3500001 \r/' "$here/../../presets/halo.dat" >"$WORK/stepped.dat"
SWARM_CODE=$("$KAVARO" --code "$WORK/stepped.dat" --start 11) || fail "no code for the stepped swarm"
e2e_start --swarm "$SWARM_CODE" --state "$WORK/swarm.dat" --snapshot "$WORK/desktop/swarm-300.png" --snapshot-frame 300
for _ in $(seq 600); do
  [ -s "$WORK/desktop/swarm-300.png" ] && break
  sleep 0.05
done
[ -s "$WORK/desktop/swarm-300.png" ] || fail "the desktop wrote no picture of the swarm code: $(cat "$WORK/stderr")"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
export SWARM_CODE

servers=()
cleanup_servers() {
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
  e2e_cleanup
}
trap cleanup_servers EXIT
# Starts a server on a free port; sets URL to its page.
serve() {
  local out="$WORK/server-${#servers[@]}"
  python3 "$here/../../scripts/serve_web.py" "$web" 0 "$@" >"$out" 2>&1 &
  servers+=($!)
  for _ in $(seq 100); do
    [ -s "$out" ] && break
    sleep 0.05
  done
  URL=$(sed -n 's/.* on \(http:[^ ]*\)$/\1/p' "$out")
  [ -n "$URL" ] || fail "no server: $(cat "$out")"
}
serve
export PAGE_URL="$URL"
serve --plain
export PLAIN_URL="$URL"
serve --plain --no-service-worker
export BARE_URL="$URL"
export DESKTOP="$WORK/desktop" WORK
# Chromium's own files stay in the test's folder.
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache"
mkdir -p "$HOME"
cd "$here"
node page_test.js "${4:-}"
