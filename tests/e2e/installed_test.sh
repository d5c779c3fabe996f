#!/usr/bin/env bash
# The installed program: the package's files unpacked into a temporary root, run from there under
# Xvfb with a temporary HOME. It keeps its state in ~/.local/share/kavaro and writes nothing beside
# itself, even as root; --version, --help and --list-presets (the package's presets) answer
# without a window; with no folder for the state at all it ends with status 1 and a message,
# before any window, writing nothing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
debs=("${KAVARO_DEB_DIR:?the folder of the package}"/kavaro_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || fail "no package in $KAVARO_DEB_DIR"
dpkg-deb -x "$deb" "$WORK/root"
KAVARO="$WORK/root/usr/bin/kavaro"
export HOME="$WORK/home"
unset XDG_DATA_HOME
mkdir -p "$HOME" "$WORK/run"
files() { (cd "$WORK" && find root run home | sort); }

version=$(dpkg-deb -f "$deb" Version)
[ "$(env -u DISPLAY "$KAVARO" --version)" = "kavaro $version" ] || fail "--version: $("$KAVARO" --version)"
help=$(env -u DISPLAY "$KAVARO" --help)
for part in "Escape  save and quit" "m  save the state" "r  random rules" "~/.local/share/kavaro/kavaro.dat"; do
  grep -qF -- "$part" <<<"$help" || fail "--help does not say '$part'"
done

# The menu entry and its English action both fit the window to the screen.
desktop="$WORK/root/usr/share/applications/org.kavaro.kavaro.desktop"
[ "$(grep -c '^Exec=' "$desktop")" = 2 ] && ! grep '^Exec=' "$desktop" | grep -qv '^Exec=kavaro --scale auto' ||
  fail "an Exec line without --scale auto: $(grep '^Exec=' "$desktop")"

# The presets come from the package's data folder.
presets=$(env -u DISPLAY "$KAVARO" --list-presets | tr '\n' ' ')
shipped=$(cd "$WORK/root/usr/share/kavaro/presets" && ls *.dat | sed 's/\.dat$//' | tr '\n' ' ')
[ "$presets" = "$shipped" ] && [ "$(wc -w <<<"$presets")" -ge 6 ] || fail "--list-presets: '$presets', shipped '$shipped'"
status=0
env -u DISPLAY "$KAVARO" --preset no-such-swarm 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "an unknown preset ended with $status"

# No folder can keep the state: XDG_DATA_HOME relative, uncreatable or empty, HOME unusable.
before=$(files)
for xdg in "relative/data" "/dev/null/data" ""; do
  for home in "" "relative/home" "/dev/null/home"; do
    status=0
    (cd "$WORK/run" && env HOME="$home" XDG_DATA_HOME="$xdg" "$KAVARO" 2>"$WORK/err") || status=$?
    [ "$status" = 1 ] || fail "XDG_DATA_HOME='$xdg' HOME='$home': status $status"
    grep -q "no folder can keep the state file kavaro.dat" "$WORK/err" || fail "message: $(cat "$WORK/err")"
  done
done
[ "$(files)" = "$before" ] || fail "files written without a state folder: $(diff <(echo "$before") <(files))"

# The window: first start writes the factory state, "m" saves, Escape saves and quits. A relative
# XDG_DATA_HOME is ignored, as the XDG rule says.
before=$(files)
(cd "$WORK/run" && XDG_DATA_HOME="relative" exec "$KAVARO" 2>"$WORK/stderr") &
APP_PID=$!
win=$("$XTOOL" find Kavaro) || fail "no window: $(cat "$WORK/stderr")"
state="$HOME/.local/share/kavaro/kavaro.dat"
for _ in $(seq 100); do
  [ -f "$state" ] && break
  sleep 0.1
done
[ -f "$state" ] || fail "no state file in ~/.local/share/kavaro"
rm "$state"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key m
for _ in $(seq 50); do
  [ -f "$state" ] && break
  sleep 0.1
done
[ -f "$state" ] || fail "m saved no state file in ~/.local/share/kavaro"
xdotool key Escape
e2e_wait_exit "$APP_PID" 5000
[ "$EXIT_STATUS" = 0 ] || fail "Escape ended with '$EXIT_STATUS': $(cat "$WORK/stderr")"
[ "$(wc -l <"$state")" = 17018 ] || fail "saved file has $(wc -l <"$state") lines"
# Only the state folder and its file are new; nothing beside the program, nothing in the start folder.
new=$(comm -13 <(echo "$before") <(files) | tr '\n' ' ')
[ "$new" = "home/.local home/.local/share home/.local/share/kavaro home/.local/share/kavaro/kavaro.dat " ] ||
  fail "new files: $new"
[ "$(ls -A "$WORK/root/usr/bin")" = kavaro ] || fail "written beside the program: $(ls -A "$WORK/root/usr/bin")"
[ ! -s "$WORK/stderr" ] || fail "said: $(cat "$WORK/stderr")"
echo ok
