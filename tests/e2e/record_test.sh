#!/usr/bin/env bash
# Recording what the window shows. A recorded run is a numbered sequence of 640x480 pictures of
# the screen palette that change while the view turns, its last one the window's final picture;
# a snapshot of a still picture equals the window and the headless render; a folder that cannot
# be used ends the run before any window, and a disk that fills stops only the recording: the
# program runs on and its state file stays as it was.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
CHECK="python3 $(cd "$(dirname "$0")" && pwd)/png_check.py"
MOUNTED=""
trap 'for m in $MOUNTED; do umount "$m" 2>/dev/null || true; done; e2e_cleanup' EXIT

# A factory file from a first start; the particles hidden (shape 7) so that only the view turns.
mkdir -p "$WORK/seed"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"
sed -e '17011s/.*/ 7 \r/' "$WORK/seed/kavaro.dat" >"$WORK/turning.dat"
sed -e '17011s/.*/ 7 \r/' -e '17018s/.*/ 0 \r/' "$WORK/seed/kavaro.dat" >"$WORK/still.dat"

# Starts kavaro in $2 (its state file from $1) with the remaining arguments; finds its window.
start() {
  local state=$1 cwd=$2
  shift 2
  cp "$WORK/$state" "$WORK/kavaro.dat"
  (cd "$cwd" && exec "$KAVARO" "$@" 2>"$WORK/stderr") &
  APP_PID=$!
  win=$("$XTOOL" find Kavaro) || fail "no window"
  "$XTOOL" move "$win" 0 0
}

# Closes the window; the run ends with status 0 and its state file unchanged.
close_and_check() {
  kill -0 "$APP_PID" 2>/dev/null || { cat "$WORK/stderr" >&2; fail "the program ended early"; }
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 4000
  [ "$EXIT_STATUS" = 0 ] || { cat "$WORK/stderr" >&2; fail "close ended with '$EXIT_STATUS'"; }
  cmp -s "$WORK/kavaro.dat" "$WORK/$1" || fail "the state file changed"
}

wait_size() {
  for _ in $(seq 50); do
    [ "$("$XTOOL" size "$win")" = "640 480" ] && return 0
    sleep 0.1
  done
  fail "the window never became 640x480"
}

# Grabs the window into $1 once two grabs half a second apart agree.
grab_still() {
  "$XTOOL" grab "$win" "$1"
  for _ in $(seq 20); do
    sleep 0.5
    "$XTOOL" grab "$win" "$WORK/again.ppm"
    cmp -s "$1" "$WORK/again.ppm" && return 0
    mv "$WORK/again.ppm" "$1"
  done
  fail "the picture does not hold still"
}

# 1. About 2 s of turning, recorded into a folder given relative to where kavaro was started;
#    the numbering goes on after a picture already there. Then a press inside the view's circle
#    holds the view (the writer catches up meanwhile), a short drag turns it once more, and the
#    window keeps that last picture.
mkdir -p "$WORK/elsewhere/rec"
: >"$WORK/elsewhere/rec/kavaro-000007.png"
start turning.dat "$WORK/elsewhere" --record rec
wait_size
xdotool mousemove --window "$win" 320 220
sleep 2
xdotool mousedown 1
sleep 1.5
xdotool mousemove --window "$win" 326 220
grab_still "$WORK/end.ppm"
# Closed while the button is held: a release would set the view turning again.
close_and_check turning.dat
xdotool mouseup 1
[ ! -s "$WORK/elsewhere/rec/kavaro-000007.png" ] || fail "an existing picture was overwritten"
mapfile -t shots < <(ls "$WORK/elsewhere/rec" | grep -v '^kavaro-000007.png$')
n=${#shots[@]}
[ "$n" -ge 10 ] || fail "only $n pictures in about 2 s"
for i in $(seq 0 $((n - 1))); do
  want=$(printf 'kavaro-%06d.png' $((i + 8)))
  [ "${shots[$i]}" = "$want" ] || fail "picture $i is ${shots[$i]}, not $want"
done
grep -q "recording into $WORK/elsewhere/rec: $n frames written, [0-9]* dropped" "$WORK/stderr" || {
  cat "$WORK/stderr" >&2
  fail "no count of the $n pictures written"
}
cd "$WORK/elsewhere/rec"
# Every new picture differs from the one before while the view turns.
$CHECK differ "${shots[@]}" || fail "not new pictures of the screen palette"
$CHECK same "${shots[$((n - 1))]}" "$WORK/end.ppm" || {
  cat "$WORK/stderr" >&2
  fail "the last picture is not the window's"
}
cd "$WORK"
echo "ok: $n pictures recorded"

# 2. A snapshot of the still picture equals the headless render and the window.
mkdir -p "$WORK/expect"
cp "$WORK/still.dat" "$WORK/expect/kavaro.dat"
"$RENDER_PAGE" "$WORK/expect" 200 300 "$WORK/expected.ppm" || fail "headless render failed"
start still.dat "$WORK" --snapshot "$WORK/snap.png" --snapshot-after 1.5
xdotool mousemove --window "$win" 200 300
for _ in $(seq 100); do
  [ -s "$WORK/snap.png" ] && break
  sleep 0.1
done
[ -s "$WORK/snap.png" ] || fail "no snapshot"
wait_size
"$XTOOL" grab "$win" "$WORK/window.ppm"
close_and_check still.dat
$CHECK palette "$WORK/snap.png"
$CHECK same "$WORK/snap.png" "$WORK/expected.ppm" || fail "the snapshot is not the headless render"
$CHECK same "$WORK/snap.png" "$WORK/window.ppm" || fail "the snapshot is not the window's picture"
echo "ok: snapshot"

# 3. A disk that fills up while recording: a message, no broken picture, the program runs on.
mkdir -p "$WORK/small"
if mount -t tmpfs -o size=96k tmpfs "$WORK/small" 2>/dev/null; then
  MOUNTED="$WORK/small"
  start turning.dat "$WORK" --record "$WORK/small"
  for _ in $(seq 100); do
    grep -q "recording stopped" "$WORK/stderr" && break
    sleep 0.1
  done
  grep -q "recording stopped: cannot write $WORK/small/kavaro-[0-9]*.png: No space left on device" \
    "$WORK/stderr" || { cat "$WORK/stderr" >&2; fail "no message about the full disk"; }
  sleep 0.5
  close_and_check turning.dat
  mapfile -t full < <(ls "$WORK/small")
  [ "${#full[@]}" -ge 1 ] || fail "nothing written before the disk was full"
  (cd "$WORK/small" && $CHECK palette "${full[@]}") || fail "a broken picture was left"
  grep -q "${#full[@]} frames written, [0-9]* dropped.*(stopped after a failed write)" "$WORK/stderr" ||
    fail "the count does not say what was written"
  umount "$WORK/small"
  MOUNTED=""
  echo "ok: full disk"
else
  echo "skip: cannot mount a small tmpfs"
fi

# 4. A folder that cannot be written (read-only), one that cannot be made (under the state file)
#    and a file: one line and status 2 before any window, nothing made.
mkdir -p "$WORK/ro"
bad=("$WORK/kavaro.dat/rec" "$WORK/afile")
if mount -t tmpfs -o ro,size=16k tmpfs "$WORK/ro" 2>/dev/null; then
  MOUNTED="$WORK/ro"
  bad+=("$WORK/ro")
fi
: >"$WORK/afile"
cp "$WORK/still.dat" "$WORK/kavaro.dat"
for b in "${bad[@]}"; do
  status=0
  "$KAVARO" --record "$b" 2>"$WORK/stderr" || status=$?
  [ "$status" = 2 ] || fail "--record $b ended with $status"
  [ "$(wc -l <"$WORK/stderr")" = 1 ] && grep -q "^kavaro: cannot record into $b: " "$WORK/stderr" || {
    cat "$WORK/stderr" >&2
    fail "no one-line message about $b"
  }
done
[ ! -s "$WORK/afile" ] || fail "the file was written"
cmp -s "$WORK/kavaro.dat" "$WORK/still.dat" || fail "the state file changed"
echo "ok: refused ${bad[*]}"
