#!/usr/bin/env bash
# Recording into one video file. With --all-frames a GIF's frames are the PNG folder's pictures
# pixel for pixel (WebM's and MP4's codecs, rates and lengths are the unit tests'); a recording
# killed outright still plays; names that can never be written end the run
# before any window, and a file that exists is kept.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
command -v ffprobe >/dev/null || fail "ffprobe is missing (scripts/setup.sh installs ffmpeg)"

mkdir -p "$WORK/seed"
"${RENDER_PAGE:?}" "$WORK/seed" 200 300 "$WORK/seed.ppm" || fail "headless render failed"

# Runs kavaro from the seed state with the arguments; sets APP_PID and finds its window.
start() {
  cp "$WORK/seed/kavaro.dat" "$WORK/kavaro.dat"
  e2e_start "$@"
  win=$("$XTOOL" find Kavaro) || { cat "$WORK/stderr" >&2; fail "no window"; }
}

# Waits up to 60 s for standard error to hold the pattern.
wait_line() {
  for _ in $(seq 600); do
    grep -q "$1" "$WORK/stderr" && return 0
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  cat "$WORK/stderr" >&2
  fail "no line '$1'"
}

close_window() {
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 8000
  [ "$EXIT_STATUS" = 0 ] || { cat "$WORK/stderr" >&2; fail "close ended with '$EXIT_STATUS'"; }
}

# Each decoded frame's MD5 as 24-bit RGB, one line each.
frame_sums() { ffmpeg -v error -i "$@" -fps_mode passthrough -pix_fmt rgb24 -f framemd5 - | grep -v '^#' | cut -d, -f6; }

probe() { ffprobe -v error -count_frames -select_streams v:0 -show_entries "$2" -of default=nw=1:nk=1 "$1"; }

# 1. The same 60 frames from the same state, as PNGs and as one GIF.
start --start 5 --record d --all-frames --record-limit 60
for _ in $(seq 600); do
  [ "$(ls "$WORK/d" 2>/dev/null | wc -l)" -ge 60 ] && break
  sleep 0.1
done
sleep 0.3
close_window
[ "$(ls "$WORK/d" | wc -l)" = 60 ] || fail "$(ls "$WORK/d" | wc -l) pictures, not 60"
start --start 5 --record a.gif --all-frames --record-limit 60
wait_line "recording into $WORK/a.gif: 60 frames written, 0 dropped, 2.00 s; the same recording again: kavaro .*--start 5 --record $WORK/a.gif --all-frames --record-limit 60$"
close_window
frame_sums "$WORK/d/kavaro-%06d.png" >"$WORK/png.sums"
frame_sums "$WORK/a.gif" >"$WORK/gif.sums"
[ "$(wc -l <"$WORK/gif.sums")" = 60 ] || fail "the GIF decodes to $(wc -l <"$WORK/gif.sums") frames"
cmp -s "$WORK/png.sums" "$WORK/gif.sums" || fail "the GIF's frames are not the PNGs"
[ "$(sort -u "$WORK/gif.sums" | wc -l)" -gt 30 ] || fail "the frames hardly change"
echo "ok: the GIF's 60 frames are the PNGs ($(stat -c %s "$WORK/a.gif") bytes, $(du -sb "$WORK/d" | cut -f1) as PNGs)"

# 3. Killed outright after 3 s of recording what the window shows: the file still plays.
for name in k.gif k.webm k.mp4; do
  start --record "$name"
  sleep 3
  kill -KILL "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
  frames=$(probe "$WORK/$name" stream=nb_read_frames)
  [ "${frames:-0}" -ge 10 ] || fail "$name killed after 3 s decodes to '${frames:-}' frames"
  echo "ok: $name killed after 3 s plays $frames frames"
done

# 3b. A disk that fills while recording: one message, the file keeps its frames, the program runs
#     on and ends as usual.
mkdir -p "$WORK/small"
if mount -t tmpfs -o size=48k tmpfs "$WORK/small" 2>/dev/null; then
  trap 'umount "$WORK/small" 2>/dev/null || true; e2e_cleanup' EXIT
  start --record "$WORK/small/full.gif"
  wait_line "recording stopped: cannot write $WORK/small/full.gif: No space left on device; it keeps its first [0-9]* frames"
  sleep 1
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended with the recording"
  close_window
  [ "$(grep -c 'recording' "$WORK/stderr")" = 1 ] || { cat "$WORK/stderr" >&2; fail "not one message"; }
  frames=$(probe "$WORK/small/full.gif" stream=nb_read_frames)
  [ "${frames:-0}" -ge 1 ] || fail "the full disk's GIF decodes to '${frames:-}' frames"
  umount "$WORK/small"
  echo "ok: a full disk stops the recording; its GIF plays $frames frames"
else
  echo "skip: cannot mount a small tmpfs"
fi

# 4. Names that can never be written, and rates out of range: one line, status 2, no window,
#    nothing made. A file that exists is kept, and the next free name told.
: >"$WORK/afile"
# (The names and rates themselves are the unit tests'; here the path out of the program.)
for args in "--record afile/x.gif" "--record e.gif --all-frames --record-fps 0"; do
  set -- $args
  status=0
  (cd "$WORK" && exec "$KAVARO" "$@" 2>"$WORK/stderr" >/dev/null) || status=$?
  [ "$status" = 2 ] || fail "$args ended with $status"
  [ "$(wc -l <"$WORK/stderr")" = 1 ] || { cat "$WORK/stderr" >&2; fail "$args: not one line"; }
  [ ! -e "$WORK/e.gif" ] && [ ! -s "$WORK/afile" ] || fail "$args made a file"
done
echo "ok: refused before the start"
echo old >"$WORK/swarm.gif"
start --record swarm.gif --record-limit 5
wait_line "recording into $WORK/swarm-2.gif: 5 frames written"
close_window
grep -q "swarm.gif exists (it is never written over); recording into $WORK/swarm-2.gif instead" "$WORK/stderr" ||
  fail "the new name was not told"
[ "$(cat "$WORK/swarm.gif")" = old ] || fail "swarm.gif was written over"
[ "$(probe "$WORK/swarm-2.gif" stream=nb_read_frames)" = 5 ] || fail "swarm-2.gif is not 5 frames"
echo "ok: swarm.gif kept, swarm-2.gif recorded"
