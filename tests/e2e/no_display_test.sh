#!/usr/bin/env bash
# Without an X display: a clear message and a non-zero exit, no crash.
set -uo pipefail
work=$(mktemp -d /tmp/kavaro-nodisplay.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$1" "$work/kavaro"
out=$(cd "$work" && env -u DISPLAY ./kavaro 2>&1)
status=$?
[ "$status" -ne 0 ] || { echo "FAIL: exit status 0 without a display"; exit 1; }
[ "$status" -lt 128 ] || { echo "FAIL: crashed with status $status"; exit 1; }
echo "$out" | grep -q "cannot open the X display" || { echo "FAIL: message was: $out"; exit 1; }
echo "ok: status $status, message: $out"
