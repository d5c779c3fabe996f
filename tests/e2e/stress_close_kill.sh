#!/usr/bin/env bash
# Closes and kills at random moments:
# - STRESS_CLOSES (50) closes 0-50 ms after "b", after "o" and during the start-up (in turn),
#   each ending with status 0 within 2 s (longer on a machine with more runnable work than
#   cores: 2 s times the load per core) and without the shutdown's last-resort exit;
# - STRESS_KILLS (20) kills 0-150 ms after "m" and after "o" (in turn), each leaving
#   "kavaro.dat" whole (the old bytes, or 17018 number lines), no dialog at the next start and
#   no temporary file after it;
# - STRESS_SAVES (40) closes 0-60 ms after "m" and after Escape (in turn): never a temporary
#   file left, "kavaro.dat" whole every time, and whenever the save had begun (a temporary file
#   was made) it was put in place and holds the new state: each round starts with a start number
#   of its own, so that "r" gives rules unlike any earlier round's;
# - a FIFO, links to device nodes and link loops as "kavaro.dat" (nodes made here, never the
#   system's): refused with one dialog at the start and one for "m" or Escape, never read or
#   written, the close button still ends the run within 2 s; a snapshot onto a device node is
#   refused with one line and the program runs on;
# - two programs in one folder, STRESS_PAIRS (20) rounds of saving at the same moment and as
#   many of starting while the other saves: no dialog, a whole file from one of them every round
#   (each step waits until the saves it made have been put in place, however slow the machine).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup "$1" "$2"
closes=${STRESS_CLOSES:-50}
kills=${STRESS_KILLS:-20}
saves=${STRESS_SAVES:-40}
pairs=${STRESS_PAIRS:-20}
WATCH="$(dirname "$0")/watch_created.py"

ms() { printf '0.%03d' "$((RANDOM % $1))"; }

# How long a close may take to end: 2 s, stretched by the load per core when there is more work
# than cores (the program then gets only that share of a core); said in every verdict.
end_limit() { awk -v n="$(nproc)" '{ l = $1 / n; if (l < 1) l = 1; printf "%d", 2000 * l }' /proc/loadavg; }
limit_said() { echo "limit $1 ms at load $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"; }

# The program's own words and whether it still runs, for a verdict on a start that showed nothing.
said() {
  local state=running
  local rc=0
  [ -n "$APP_PID" ] || { echo "no program"; return; }
  if ! kill -0 "$APP_PID" 2>/dev/null; then
    wait "$APP_PID" 2>/dev/null || rc=$?
    state="ended with status $rc"
  fi
  echo "the program $state; it said: $(tr '\n' ' ' <"$WORK/${WORK_ERR:-stderr}" | cut -c1-400)"
}

start() {
  e2e_start
  win=$("$XTOOL" find Kavaro) || fail "no window in 30 s ($(said))"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
}

# Until the window shows more than one colour: the program has begun and drawn, so the keys
# sent now reach it (a program's start empties the keyboard ring, and a loaded machine may take
# longer than the sleeps below to get there).
wait_drawn() {  # wait_drawn WIN
  for _ in $(seq 300); do
    if "$XTOOL" grab "$1" "$WORK/shot.ppm" 2>/dev/null &&
       python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(len(set(d[-3 * 640 * 480:])) < 3)' "$WORK/shot.ppm"; then
      return 0
    fi
    sleep 0.1
  done
  fail "$2: the window showed nothing in 30 s"
}

no_temp_left() {  # no_temp_left WHAT
  local left
  left=$(find "$WORK" -path "$WORK/cache" -prune -o -name '*.tmp' -print | head -3)
  [ -z "$left" ] || fail "$1: temporary files left: $left"
}

dialogs() { grep -c "kavaro: \[" "${1:-$WORK/stderr}" || true; }

# A file of 17018 lines, each one number as the program writes it.
whole() {
  [ "$(wc -l <"$1")" = 17018 ] &&
    ! tr -d '\r' <"$1" | grep -qvE '^[ -]([0-9]*\.?[0-9]+(E[-+][0-9]+)?) $'
}

# The first start writes the factory file; keep it as the old state from here on.
start
sleep 0.5
"$XTOOL" close "$win"
limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
[ "$EXIT_STATUS" = 0 ] || fail "first start: close gave '$EXIT_STATUS'"
whole "$WORK/kavaro.dat" || fail "the factory file is not whole"

slowest=0
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
  sent=$(date +%s%3N)
  limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
  if [ "$EXIT_STATUS" != 0 ]; then
    cat "$WORK/stderr" >&2
    [ "$EXIT_STATUS" = timeout ] && kill -9 "$APP_PID" 2>/dev/null
    fail "close $i ($what): status '$EXIT_STATUS' $(($(date +%s%3N) - sent)) ms after the close was sent ($(limit_said "$limit"))"
  fi
  took=$(($(date +%s%3N) - sent))
  [ "$took" -gt "$slowest" ] && slowest=$took
  grep -q "did not stop" "$WORK/stderr" && fail "close $i ($what): the program thread missed its stop"
  [ -f "$WORK/kavaro.dat" ] || [ "$what" = start ] || fail "close $i ($what): no state file"
done
echo "ok: $closes closes, the slowest seen ended $slowest ms after the close was sent"

[ -f "$WORK/kavaro.dat" ] || { start; sleep 0.5; "$XTOOL" close "$win"; limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"; }
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
  no_temp_left "kill $i ($what), after the next start"
  "$XTOOL" close "$win"
  limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
  [ "$EXIT_STATUS" = 0 ] || fail "kill $i ($what): the next start closed with '$EXIT_STATUS'"
done
echo "ok: $kills kills"

# Closes while a save runs: the save ends before the program does.
begun=0
for i in $(seq "$saves"); do
  if [ $((i % 2)) = 0 ]; then what=Escape; else what=m; fi
  cp "$WORK/kavaro.dat" "$WORK/old.dat"
  rm -f "$WORK/watch.end"
  e2e_start --start $((i % 100 + 1))
  win=$("$XTOOL" find Kavaro) || fail "save $i: no window in 30 s ($(said))"
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  wait_drawn "$win" "save $i"
  sleep 0.3
  xdotool key r
  sleep 0.1
  python3 "$WATCH" "$WORK" watch.end >"$WORK/created" &
  watcher=$!
  for _ in $(seq 200); do grep -q ready "$WORK/created" 2>/dev/null && break; sleep 0.01; done
  xdotool key "$what"
  sleep "$(ms 61)"
  "$XTOOL" close "$win" 2>/dev/null || true  # after Escape the window may be gone already
  limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
  # Every event before this one has been printed once the watcher has seen it.
  touch "$WORK/watch.end"
  for _ in $(seq 500); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.01; done
  kill "$watcher" 2>/dev/null && fail "save $i ($what): the watcher did not see its end in 5 s"
  wait "$watcher" 2>/dev/null || true
  if [ "$EXIT_STATUS" != 0 ]; then
    [ "$EXIT_STATUS" = timeout ] && kill -9 "$APP_PID" 2>/dev/null
    fail "save $i ($what): status '$EXIT_STATUS' ($(limit_said "$limit"))"
  fi
  grep -q "did not stop" "$WORK/stderr" && fail "save $i ($what): the shutdown gave up on the save"
  [ "$(dialogs)" = 0 ] || { cat "$WORK/stderr" >&2; fail "save $i ($what): a dialog"; }
  no_temp_left "save $i ($what)"
  whole "$WORK/kavaro.dat" || fail "save $i ($what): kavaro.dat is not whole"
  temps=$(grep -E '^kavaro\.dat\..{6}\.tmp$' "$WORK/created" | tr '\n' ' ' || true)
  if [ -n "$temps" ]; then
    begun=$((begun + 1))
    put=$(grep -cx 'kavaro\.dat' "$WORK/created" || true)
    if cmp -s "$WORK/kavaro.dat" "$WORK/old.dat"; then
      [ "$put" = 0 ] && fail "save $i ($what): begun ($temps) but never put in place: the old state stayed"
      fail "save $i ($what): begun ($temps) and put in place, but it holds the old state: the r before it was not applied"
    fi
    [ "$put" = 1 ] || fail "save $i ($what): begun ($temps), the new state, but put in place $put times"
  fi
done
echo "ok: $saves closes after m and Escape, $begun of them during the save, each of those put in place with the new state"

# Targets that may be neither read nor written; each node and link is as it was afterwards.
cp "$WORK/kavaro.dat" "$WORK/good.dat"
mkdir -p "$WORK/nodes"
mknod "$WORK/nodes/zero" c 1 5
mknod "$WORK/nodes/full" c 1 7
nodes() { (cd "$WORK" && stat -c '%n %F %t:%T %i %s' kavaro.dat nodes/* 2>&1; readlink kavaro.dat nodes/* || true); }
for kind in fifo:m zero:m loop:m loop:Escape full:Escape; do
  key=${kind#*:}
  kind=${kind%:*}
  rm -f "$WORK/kavaro.dat" "$WORK/nodes/a"
  case $kind in
    fifo) mkfifo "$WORK/kavaro.dat" ;;
    zero | full) ln -s "nodes/$kind" "$WORK/kavaro.dat" ;;
    loop) ln -s nodes/a "$WORK/kavaro.dat" && ln -s ../kavaro.dat "$WORK/nodes/a" ;;
  esac
  before=$(nodes)
  start
  sleep 1
  [ "$(dialogs)" = 1 ] || { cat "$WORK/stderr" >&2; fail "$kind: not one dialog"; }
  grep -q "File not found" "$WORK/stderr" || fail "$kind: not refused as a folder is"
  xdotool key y
  sleep 0.3
  xdotool key "$key"
  sleep 0.7
  [ "$(dialogs)" = 2 ] || { cat "$WORK/stderr" >&2; fail "$kind, $key: not one dialog for the save"; }
  xdotool key y
  [ "$key" = m ] && { sleep 0.3; "$XTOOL" close "$win"; }
  limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
  [ "$EXIT_STATUS" = 0 ] || { [ "$EXIT_STATUS" = timeout ] && kill -9 "$APP_PID"; fail "$kind, $key: ended with '$EXIT_STATUS'"; }
  [ "$(nodes)" = "$before" ] || fail "$kind, $key: changed: $(nodes)"
  no_temp_left "$kind, $key"
done
rm -f "$WORK/kavaro.dat"
cp "$WORK/good.dat" "$WORK/kavaro.dat"
for shot in nodes/full linked.png; do
  [ "$shot" = linked.png ] && ln -sf nodes/zero "$WORK/linked.png"
  before=$(nodes; stat -c '%n %F' "$WORK/linked.png" 2>/dev/null || true)
  e2e_start --snapshot "$WORK/$shot"
  win=$("$XTOOL" find Kavaro) || fail "no window"
  sleep 1.5
  [ "$(grep -c "cannot write the snapshot $WORK/$shot: Not a regular file" "$WORK/stderr")" = 1 ] &&
    [ "$(wc -l <"$WORK/stderr")" = 1 ] || { cat "$WORK/stderr" >&2; fail "snapshot onto $shot: not one line"; }
  kill -0 "$APP_PID" || fail "snapshot onto $shot: the program did not run on"
  "$XTOOL" close "$win"
  limit=$(end_limit); e2e_wait_exit "$APP_PID" "$limit"
  [ "$EXIT_STATUS" = 0 ] || fail "snapshot onto $shot: close gave '$EXIT_STATUS'"
  [ "$(nodes; stat -c '%n %F' "$WORK/linked.png" 2>/dev/null || true)" = "$before" ] || fail "snapshot onto $shot: changed"
done
echo "ok: FIFO, device nodes and link loops neither read nor written"

# Two programs in one folder.
PID2=""
trap '{ [ -z "$PID2" ] || kill "$PID2" 2>/dev/null || true; }; { [ -z "${watcher:-}" ] || kill "$watcher" 2>/dev/null || true; }; e2e_cleanup' EXIT
start_second() {  # sets PID2 and WIN2
  local before
  before=$(xdotool search --name '^Kavaro$' 2>/dev/null | sort || true)
  (cd "$WORK" && exec "$KAVARO" 2>"$WORK/stderr2") &
  PID2=$!
  WIN2=""
  for _ in $(seq 200); do
    WIN2=$(comm -13 <(echo "$before") <(xdotool search --name '^Kavaro$' 2>/dev/null | sort) | head -n1)
    [ -n "$WIN2" ] && break
    sleep 0.05
  done
  [ -n "$WIN2" ] || fail "no window for the second program"
}
key_to() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key "$2"; }
no_dialogs() {
  [ "$(dialogs)" = 0 ] && [ "$(dialogs "$WORK/stderr2")" = 0 ] || { cat "$WORK/stderr" "$WORK/stderr2" >&2; fail "$1: a dialog"; }
}
watch_ready() { for _ in $(seq 200); do grep -q ready "$WORK/created" 2>/dev/null && break; sleep 0.01; done; }
# Two programs' saves: two files made, then both renamed onto one name while the watcher is held
# (as a loaded machine may hold it): still two lines.
mkdir "$WORK/renames"
rm -f "$WORK/renames/end"
python3 "$WATCH" "$WORK/renames" end >"$WORK/created" &
watcher=$!
watch_ready
kill -STOP "$watcher"
echo a >"$WORK/renames/a"
echo b >"$WORK/renames/b"
mv "$WORK/renames/a" "$WORK/renames/same"
mv "$WORK/renames/b" "$WORK/renames/same"
touch "$WORK/renames/end"
kill -CONT "$watcher"
for _ in $(seq 500); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.01; done
kill "$watcher" 2>/dev/null && fail "the watcher did not see the end of two renames in 5 s"
wait "$watcher" 2>/dev/null || true
[ "$(grep -cx same "$WORK/created")" = 2 ] || fail "the watcher saw two renames onto one name as $(grep -cx same "$WORK/created")"
# The saves put in place so far: the renames onto kavaro.dat that the watcher has seen.
rm -f "$WORK/watch.end"
python3 "$WATCH" "$WORK" watch.end >"$WORK/created" &
watcher=$!
watch_ready
puts=0
put_in_place() {  # put_in_place N WHAT: waits (30 s at most) for N more saves to be put in place
  puts=$((puts + $1))
  local seen=0
  for _ in $(seq 1500); do
    seen=$(grep -cx 'kavaro\.dat' "$WORK/created" || true)
    [ "$seen" -ge "$puts" ] && return 0
    sleep 0.02
  done
  # Whether a key never became a save (fewer temporary files than saves) or a save was begun
  # and not put in place, and what each program said.
  local temps
  temps=$(grep -cE '^kavaro\.dat\..{6}\.tmp$' "$WORK/created" || true)
  fail "$2: $seen saves put in place in all, not $puts, within 30 s; $temps temporary files made; first $(APP_PID=$PID1 WORK_ERR=stderr said); second $(APP_PID=$PID2 WORK_ERR=stderr2 said)"
}
start
PID1=$APP_PID
start_second
for i in $(seq "$pairs"); do
  key_to "$win" r
  key_to "$WIN2" r
  sleep 0.2
  key_to "$win" m
  key_to "$WIN2" m
  put_in_place 2 "same moment $i, both saving"
  no_dialogs "same moment $i"
  whole "$WORK/kavaro.dat" || fail "same moment $i: not whole"
  cp "$WORK/kavaro.dat" "$WORK/both.dat"
  # The file is one program's whole state: each saves alone what it holds.
  key_to "$win" m
  put_in_place 1 "same moment $i, the first saving alone"
  cp "$WORK/kavaro.dat" "$WORK/first.dat"
  key_to "$WIN2" m
  put_in_place 1 "same moment $i, the second saving alone"
  cmp -s "$WORK/both.dat" "$WORK/first.dat" || cmp -s "$WORK/both.dat" "$WORK/kavaro.dat" ||
    fail "same moment $i: after both saved at once the file is neither the first program's state nor the second's (as each saved it alone)"
  no_temp_left "same moment $i"
done
"$XTOOL" close "$WIN2"
limit=$(end_limit); e2e_wait_exit "$PID2" "$limit"
PID2=""
[ "$EXIT_STATUS" = 0 ] || fail "the second program closed with '$EXIT_STATUS'"
for i in $(seq "$pairs"); do
  key_to "$win" r
  sleep 0.1
  key_to "$win" m
  sleep "$(ms 61)"
  start_second
  sleep 0.8
  no_dialogs "start while saving $i"
  "$XTOOL" close "$WIN2"
  limit=$(end_limit); e2e_wait_exit "$PID2" "$limit"
  PID2=""
  [ "$EXIT_STATUS" = 0 ] || fail "start while saving $i: the second program closed with '$EXIT_STATUS'"
  put_in_place 1 "start while saving $i"
  whole "$WORK/kavaro.dat" || fail "start while saving $i: not whole"
  no_temp_left "start while saving $i"
done
touch "$WORK/watch.end"
wait "$watcher" 2>/dev/null || true
"$XTOOL" close "$win"
limit=$(end_limit); e2e_wait_exit "$PID1" "$limit"
[ "$EXIT_STATUS" = 0 ] || fail "the first program closed with '$EXIT_STATUS'"
echo "ok: two programs, $pairs rounds saving at once and $pairs starting while the other saves"
