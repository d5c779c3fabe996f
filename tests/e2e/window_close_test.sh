#!/usr/bin/env bash
# The window opens titled "Kavaro", of class "kavaro" / "Kavaro", names its process and carries
# the program's icon at 16, 32, 48 and 128 pixels; the close button ends the run with status 0
# within a second.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
e2e_start
win=$("$XTOOL" find Kavaro) || fail "no window titled Kavaro"
sleep 0.5
command -v xprop >/dev/null || fail "no xprop (scripts/setup.sh installs x11-utils)"
props=$(xprop -id "$win" WM_NAME _NET_WM_NAME WM_CLASS _NET_WM_PID)
for want in 'WM_NAME(STRING) = "Kavaro"' '_NET_WM_NAME(UTF8_STRING) = "Kavaro"' \
            'WM_CLASS(STRING) = "kavaro", "Kavaro"' "_NET_WM_PID(CARDINAL) = $APP_PID"; do
  grep -qxF "$want" <<<"$props" || fail "xprop: no '$want' in: $props"
done
# The icon: width, height, then that many pixels, for each size.
xprop -id "$win" -notype 32c _NET_WM_ICON | python3 -c '
import sys
text = sys.stdin.read()
v = [int(x) for x in text.split("=", 1)[1].replace(",", " ").split()]
sizes, at = [], 0
while at < len(v):
    w, h = v[at], v[at + 1]
    sizes.append(w)
    at += 2 + w * h
assert at == len(v) and sizes == [16, 32, 48, 128], sizes
' || fail "_NET_WM_ICON is not the four icons"
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 1000
if [ "$EXIT_STATUS" != 0 ]; then
  cat "$WORK/stderr" >&2
  e2e_wait_exit "$APP_PID" 5000
  fail "close request did not end the run within a second (then: '$EXIT_STATUS')"
fi
echo "ok: closed with status 0"
