#!/usr/bin/env bash
# Closes and kills at random moments:
# - STRESS_CLOSES (50) closes 0-50 ms after "b", after "o" and during the start-up (in turn),
#   each ending with status 0 within 2 s and without the shutdown's last-resort exit;
# - STRESS_KILLS (20) kills 0-150 ms after "m" and after "o" (in turn), each leaving
#   "kavaro.dat" whole (the old bytes, or 17018 number lines), no dialog at the next start and
#   no temporary file after it;
# - a FIFO and a link to /dev/zero as "kavaro.dat": refused with one dialog, never read, and
#   the close button still ends the run within 2 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
closes=${STRESS_CLOSES:-50}
kills=${STRESS_KILLS:-20}

ms() { printf '0.%03d' "$((RANDOM % $1))"; }

start() {
  e2e_start
  win=$("$XTOOL" find Kavaro) || fail "no window"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
}

# A file of 17018 lines, each one number as the program writes it.
whole() {
  [ "$(wc -l <"$1")" = 17018 ] &&
    ! tr -d '\r' <"$1" | grep -qvE '^[ -]([0-9]*\.?[0-9]+(E[-+][0-9]+)?) $'
}

# The first start writes the factory file; keep it as the old state from here on.
start
sleep 0.5
"$XTOOL" close "$win"
e2e_wait_exit "$APP_PID" 2000
[ "$EXIT_STATUS" = 0 ] || fail "first start: close gave '$EXIT_STATUS'"
whole "$WORK/kavaro.dat" || fail "the factory file is not whole"

for i in $(seq "$closes"); do
  case $((i % 3)) in
    0) what=b ;;
    1) what=o ;;
    2) what=start ;;
  esac
  # Every other start-up close begins with no state file: the reset writes it and restarts.
  [ "$what" = start ] && [ $((i % 2)) = 0 ] && rm -f "$WORK/kavaro.dat"
  start
  if [ "$what" != start ]; then
    sleep 0.2
    xdotool key "$what"
  fi
  sleep "$(ms 51)"
  t0=$(date +%s%3N)
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 2000
  if [ "$EXIT_STATUS" != 0 ]; then
    cat "$WORK/stderr" >&2
    [ "$EXIT_STATUS" = timeout ] && kill -9 "$APP_PID" 2>/dev/null
    fail "close $i ($what): status '$EXIT_STATUS' after $(($(date +%s%3N) - t0)) ms"
  fi
  grep -q "did not stop" "$WORK/stderr" && fail "close $i ($what): the program thread missed its stop"
  [ -f "$WORK/kavaro.dat" ] || [ "$what" = start ] || fail "close $i ($what): no state file"
done
echo "ok: $closes closes"

[ -f "$WORK/kavaro.dat" ] || { start; sleep 0.5; "$XTOOL" close "$win"; e2e_wait_exit "$APP_PID" 2000; }
for i in $(seq "$kills"); do
  if [ $((i % 2)) = 0 ]; then what=o; else what=m; fi
  cp "$WORK/kavaro.dat" "$WORK/old.dat"
  start
  sleep 0.3
  [ "$what" = m ] && xdotool key r && sleep 0.1  # a new state to save
  xdotool key "$what"
  sleep "$(ms 151)"
  kill -9 "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
  if ! cmp -s "$WORK/kavaro.dat" "$WORK/old.dat"; then
    whole "$WORK/kavaro.dat" || fail "kill $i ($what): kavaro.dat is not whole ($(wc -l <"$WORK/kavaro.dat" 2>/dev/null) lines)"
  fi
  # The next start: no dialog, no temporary file left.
  start
  sleep 0.5
  grep -q "kavaro: \[" "$WORK/stderr" && { cat "$WORK/stderr" >&2; fail "kill $i ($what): a dialog at the next start"; }
  [ -e "$WORK/kavaro.tmp" ] && fail "kill $i ($what): kavaro.tmp left after the next start"
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 2000
  [ "$EXIT_STATUS" = 0 ] || fail "kill $i ($what): the next start closed with '$EXIT_STATUS'"
done
echo "ok: $kills kills"

for kind in fifo zero; do
  rm -f "$WORK/kavaro.dat"
  if [ "$kind" = fifo ]; then mkfifo "$WORK/kavaro.dat"; else ln -s /dev/zero "$WORK/kavaro.dat"; fi
  start
  sleep 1
  "$XTOOL" close "$win"
  e2e_wait_exit "$APP_PID" 2000
  [ "$EXIT_STATUS" = 0 ] || { [ "$EXIT_STATUS" = timeout ] && kill -9 "$APP_PID"; fail "$kind: close gave '$EXIT_STATUS'"; }
  [ "$(grep -c "kavaro: \[" "$WORK/stderr")" = 1 ] || { cat "$WORK/stderr" >&2; fail "$kind: not one dialog"; }
  grep -q "File not found" "$WORK/stderr" || fail "$kind: not refused as a folder is"
  if [ "$kind" = fifo ]; then [ -p "$WORK/kavaro.dat" ]; else [ -L "$WORK/kavaro.dat" ]; fi || fail "$kind: replaced"
done
echo "ok: FIFO and /dev/zero refused"
