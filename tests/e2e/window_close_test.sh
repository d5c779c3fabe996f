#!/usr/bin/env bash
# The window opens titled "Untitled"; the close button ends the run with status 0 within a second.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
e2e_start
win=$("$XTOOL" find Untitled) || fail "no window titled Untitled"
sleep 0.5
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 1000
if [ "$EXIT_STATUS" != 0 ]; then
  cat "$WORK/stderr" >&2
  e2e_wait_exit "$APP_PID" 5000
  fail "close request did not end the run within a second (then: '$EXIT_STATUS')"
fi
echo "ok: closed with status 0"
