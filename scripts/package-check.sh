#!/usr/bin/env bash
# Checks the Debian package the way distributions do: scripts/package-check.sh [BUILD_DIR].
# lintian (pedantic and informational tags included: none may show), the menu entry, the
# software-centre metadata (pedantic: no issue at all), the manual page, the icons.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
debs=("$build"/package/kavaro_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || { echo "FAIL: no package in $build/package (run scripts/package.sh)"; exit 1; }
tmp=$(mktemp -d /tmp/kavaro-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
status=0
check() {  # check NAME COMMAND...: runs it, reports it, remembers a failure
  if "${@:2}" >"$tmp/out" 2>&1; then
    echo "ok: $1"
  else
    echo "FAIL: $1"
    status=1
  fi
  sed 's/^/  /' "$tmp/out"
}

no_output() {  # no_output COMMAND...: succeeds and prints nothing
  local out
  out=$("$@" 2>&1) || { echo "$out"; return 1; }
  [ -z "$out" ] || { echo "$out"; return 1; }
}
check "lintian --pedantic -I" no_output lintian --pedantic -I --allow-root --tag-display-limit 0 "$deb"
dpkg-deb -x "$deb" "$tmp/root"
share="$tmp/root/usr/share"
check "desktop-file-validate" desktop-file-validate "$share"/applications/*.desktop
appstream_clean() {  # validates with no issue, not even a pedantic one
  local out
  out=$(appstreamcli validate --pedantic --no-net --no-color "$1" 2>&1) || { echo "$out"; return 1; }
  [ "$out" = "✔ Validation was successful." ] || { echo "$out"; return 1; }
}
check "appstreamcli validate --pedantic" appstream_clean "$share"/metainfo/*.metainfo.xml
man_warnings() {  # a page that renders without a single warning
  local err
  err=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
  [ -z "$err" ] || { echo "$err"; return 1; }
}
check "man page" man_warnings "$share/man/man6/kavaro.6.gz"
icons() {
  local size got
  for size in 16 32 48 128 256; do
    got=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/"*.png)
    [ "$got" = "${size}x${size}" ] || { echo "icon ${size}: $got"; return 1; }
  done
  [ -s "$share/icons/hicolor/scalable/apps/"*.svg ] || { echo "no scalable icon"; return 1; }
}
check "icons" icons
only_program() {  # the program and its data, no test or benchmark
  local extra
  extra=$(cd "$tmp/root" && find . -type f | grep -v -e '^./usr/bin/kavaro$' -e '^./usr/share/' || true)
  [ -z "$extra" ] || { echo "$extra"; return 1; }
}
check "only the program" only_program
exit $status
