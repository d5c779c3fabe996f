#!/usr/bin/env bash
# Random-input soak of the real program under a private Xvfb (not part of the test suite):
# pointer moves, clicks and drags with both buttons, and the command keys (all but Escape),
# for SOAK_SECONDS (720). Every 10 s: the program is alive and running, no dialog has been
# shown, and its resident memory is sampled. At the end the close button must end it with
# status 0 within 2 s, and the memory after the first minute must stay flat (growth under
# SOAK_RSS_SLACK_KB, 8192). Needs a build (scripts/build.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
seconds=${SOAK_SECONDS:-720}
slack=${SOAK_RSS_SLACK_KB:-8192}
[ -x "$build/kavaro" ] && [ -x "$build/tests/xtool" ] || { echo "soak: build first (scripts/build.sh)" >&2; exit 2; }
source "$root/tests/e2e/lib.sh"
e2e_setup "$build/kavaro" "$build/tests/xtool"

e2e_start
win=$("$XTOOL" find Kavaro) || fail "no window"
"$XTOOL" move "$win" 0 0
xdotool windowfocus --sync "$win" 2>/dev/null || true

rss() { awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status"; }
cpu() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }
keys=(r t d f c q m b o R T D F C Q 1 x space Left Right Up Down Shift_L Return a z)

events=0 samples=() start=$(date +%s) next=$((start + 10)) last_cpu=$(cpu)
while :; do
  now=$(date +%s)
  [ $((now - start)) -ge "$seconds" ] && break
  x=$((RANDOM % 640)) y=$((RANDOM % 480))
  # The menu band issues commands, Escape among them: the soak stays out of it.
  if [ "$x" -gt 380 ] && [ "$x" -lt 630 ]; then x=$((x - 250)); fi
  case $((RANDOM % 6)) in
    0) xdotool mousemove --window "$win" "$x" "$y" ;;
    1|2) xdotool mousemove --window "$win" "$x" "$y" mousedown $((RANDOM % 2 ? 1 : 3)) sleep 0.05 \
         mousemove --window "$win" $(((x + RANDOM % 60) % 380)) $(((y + RANDOM % 60) % 480)) mouseup 1 mouseup 3 ;;
    3) xdotool mousemove --window "$win" "$x" "$y" click $((RANDOM % 2 ? 1 : 3)) ;;
    *) xdotool key "${keys[RANDOM % ${#keys[@]}]}" ;;
  esac
  events=$((events + 1))
  sleep 0.0$((RANDOM % 5))
  if [ "$now" -ge "$next" ]; then
    next=$((now + 10))
    kill -0 "$APP_PID" 2>/dev/null || { cat "$WORK/stderr" >&2; fail "the program ended after $((now - start)) s"; }
    if grep -q "kavaro: \[" "$WORK/stderr"; then cat "$WORK/stderr" >&2; fail "a dialog after $((now - start)) s"; fi
    c=$(cpu)
    [ "$c" -gt "$last_cpu" ] || fail "no progress in 10 s (hung) after $((now - start)) s"
    last_cpu=$c
    samples+=("$(rss)")
  fi
done

t0=$(date +%s%3N)
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 2000
if [ "$EXIT_STATUS" != 0 ]; then
  cat "$WORK/stderr" >&2
  for t in /proc/"$APP_PID"/task/*; do echo "thread ${t##*/}: $(cat "$t/comm") $(cat "$t/wchan") $(awk '{print $3}' "$t/stat")" >&2; done
  command -v gdb >/dev/null && gdb -p "$APP_PID" -batch -ex "thread apply all bt 8" >&2 2>/dev/null
  fail "close after the soak gave '$EXIT_STATUS'"
fi
n=${#samples[@]}
[ "$n" -ge 2 ] || fail "too short to sample (SOAK_SECONDS >= 30)"
warm=$((n > 6 ? 6 : 1))  # the first minute warms up
base=${samples[$warm]} min=$base max=$base
for s in "${samples[@]:$warm}"; do
  [ "$s" -lt "$min" ] && min=$s
  [ "$s" -gt "$max" ] && max=$s
done
last=${samples[$((n - 1))]}
echo "soak: ${seconds} s, $events input events, $n samples, no crash, no dialog, no hang"
echo "soak: RSS first ${samples[0]} kB, after warm-up $base kB, min $min kB, max $max kB, last $last kB"
echo "soak: close after the soak ended with status 0 in $(($(date +%s%3N) - t0)) ms"
grep -q "did not stop" "$WORK/stderr" && fail "the shutdown had to end without the program thread"
[ $((max - base)) -le "$slack" ] || fail "memory grew by $((max - base)) kB after the warm-up"
echo ok
