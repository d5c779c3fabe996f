# Shared set-up for the end-to-end tests: a private X server and a private copy of kavaro.
# Usage in a test: source lib.sh; e2e_setup "$1" "$2"; then $KAVARO, $XTOOL, $WORK, $DISPLAY.
# E2E_SCREEN sets the screen's size (default 1280x1024).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_cleanup() {
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  [ -n "${WORK:-}" ] && rm -rf "$WORK"
}

e2e_setup() {
  WORK=$(mktemp -d /tmp/kavaro-e2e.XXXXXX)
  trap e2e_cleanup EXIT
  cp "$1" "$WORK/kavaro"
  KAVARO="$WORK/kavaro"
  XTOOL="$2"
  local fdfile="$WORK/display"
  Xvfb -displayfd 9 -screen 0 "${E2E_SCREEN:-1280x1024}x24" -nolisten tcp 9>"$fdfile" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  [ -s "$fdfile" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  export LIBGL_ALWAYS_SOFTWARE=1
  # Mesa's shader cache stays in the test's folder, not the user's ~/.cache.
  export XDG_CACHE_HOME="$WORK/cache"
}

# Starts kavaro in its folder; sets APP_PID. Standard error goes to $WORK/stderr.
e2e_start() {
  (cd "$WORK" && exec "$KAVARO" "$@" 2>"$WORK/stderr") &
  APP_PID=$!
}

# Waits up to $2 milliseconds for pid $1 to end; sets EXIT_STATUS to its status or "timeout".
e2e_wait_exit() {
  local pid=$1 limit=$2 start now
  start=$(date +%s%3N)
  EXIT_STATUS=timeout
  while kill -0 "$pid" 2>/dev/null; do
    now=$(date +%s%3N)
    [ $((now - start)) -gt "$limit" ] && return 0
    sleep 0.02
  done
  EXIT_STATUS=0
  wait "$pid" || EXIT_STATUS=$?
  APP_PID=""
}
