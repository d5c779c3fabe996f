#!/usr/bin/env bash
# Checks the Debian package the way distributions do: scripts/package-check.sh [BUILD_DIR].
# lintian (no errors), the menu entry, the software-centre metadata, the manual page, the icons.
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

check "lintian" lintian --fail-on error --allow-root --tag-display-limit 0 "$deb"
dpkg-deb -x "$deb" "$tmp/root"
share="$tmp/root/usr/share"
check "desktop-file-validate" desktop-file-validate "$share"/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml
man_warnings() {  # a page that renders without a single warning
  local err
  err=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
  [ -z "$err" ] || { echo "$err"; return 1; }
}
check "man page" man_warnings "$share/man/man6/kavaro.6.gz"
icons() {
  local size got
  for size in 48 128 256; do
    got=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/"*.png)
    [ "$got" = "${size}x${size}" ] || { echo "icon ${size}: $got"; return 1; }
  done
}
check "icons" icons
only_program() {  # the program and its data, no test or benchmark
  local extra
  extra=$(cd "$tmp/root" && find . -type f | grep -v -e '^./usr/bin/kavaro$' -e '^./usr/share/' || true)
  [ -z "$extra" ] || { echo "$extra"; return 1; }
}
check "only the program" only_program
exit $status
