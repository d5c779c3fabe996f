#!/usr/bin/env bash
# The page's frames per second against the desktop program's, at 1000 and 4000 particles, on
# this machine, one after the other in one run: the same swarm (the ribbons preset with that
# particle budget) and start number. The desktop's rate is the time between two frame numbers
# (--snapshot-frame), under a private X server; the page's is its frame count over 15 s in
# headless Chromium. Both use one force thread per core; the machine's cores are printed.
# Needs build/ (scripts/build.sh) and build-web/ (scripts/web.sh), and npm ci in tests/web.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d /tmp/kavaro-web-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")" LIBGL_ALWAYS_SOFTWARE=1 XDG_CACHE_HOME="$work/cache"
python3 "$root/scripts/serve_web.py" "$root/build-web" 0 >"$work/server" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/server" ] && break; sleep 0.05; done
url=$(sed -n 's/.* on \(http:[^ ]*\)$/\1/p' "$work/server")

# Milliseconds from the start until the desktop program has drawn frame $2 of state file $1.
desktop_ms() {
  local shot="$work/shot-$2.png" start
  rm -f "$shot"
  cp "$1" "$work/run.dat"
  start=$(date +%s%3N)
  "$root/build/kavaro" --state "$work/run.dat" --start 1 --snapshot "$shot" --snapshot-frame "$2" 2>/dev/null &
  local pid=$!
  while [ ! -s "$shot" ]; do sleep 0.005; done
  echo $(($(date +%s%3N) - start))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

echo "cores: $(nproc)"
printf '%-10s %12s %12s %8s\n' particles desktop_fps page_fps ratio
for n in 1000 4000; do
  state="$work/ribbons-$n.dat"
  sed -e "17017s/.*/ $n \r/" "$root/presets/ribbons.dat" >"$state"
  if [ "$n" = 1000 ]; then first=50 last=650; else first=5 last=65; fi
  t1=$(desktop_ms "$state" "$first")
  t2=$(desktop_ms "$state" "$last")
  desktop=$(python3 -c "print(f'{($last - $first) / (($t2 - $t1) / 1000):.2f}')")
  read -r page threads < <(node "$root/bench/page_fps.js" "$url" "$state" 15)
  ratio=$(python3 -c "print(f'{$page / $desktop:.3f}')")
  printf '%-10s %12s %12s %8s   (page threads: %s)\n' "$n" "$desktop" "$page" "$ratio" "$threads"
done
