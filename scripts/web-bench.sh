#!/usr/bin/env bash
# The page's frames per second against the desktop program's, at 1000 and 4000 particles, on
# this machine, one after the other in one run: the same swarm (the ribbons preset with that
# particle budget) and start number. The desktop's rate is the time between two frame numbers
# (--snapshot-frame), under a private X server; the page's is its frame count over 15 s in
# headless Chromium. Both use one force thread per core; the machine's cores are printed. The
# desktop runs its AVX2 kernel also where the processor has AVX-512 (KAVARO_ISA=avx512 or scalar
# in the environment picks another): the page's two doubles a vector against the desktop's four. A shared machine's speed drifts, so
# the two take turns, ROUNDS times (3) for each count, and the ratio of the medians is the verdict.
# scripts/web-bench.sh [ROUNDS]
# Needs build/ (scripts/build.sh) and build-web/ (scripts/web.sh), and npm ci in tests/web.
set -euo pipefail
rounds=${1:-3}
isa=${KAVARO_ISA:-avx2}
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
  KAVARO_ISA=$isa "$root/build/kavaro" --state "$work/run.dat" --start 1 --snapshot "$shot" --snapshot-frame "$2" 2>/dev/null &
  local pid=$!
  while [ ! -s "$shot" ]; do sleep 0.005; done
  echo $(($(date +%s%3N) - start))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "cores: $(nproc), $rounds rounds"
printf '%-10s %-26s %-26s %8s\n' particles "desktop_fps_$isa" page_fps ratio
for n in 1000 4000; do
  state="$work/ribbons-$n.dat"
  sed -e "17017s/.*/ $n \r/" "$root/presets/ribbons.dat" >"$state"
  if [ "$n" = 1000 ]; then first=50 last=650; else first=5 last=65; fi
  desktops=() pages=()
  for _ in $(seq "$rounds"); do
    t1=$(desktop_ms "$state" "$first")
    t2=$(desktop_ms "$state" "$last")
    desktops+=("$(python3 -c "print(f'{($last - $first) / (($t2 - $t1) / 1000):.2f}')")")
    read -r page threads < <(node "$root/bench/page_fps.js" "$url" "$state" 15)
    pages+=("$page")
  done
  desktop=$(echo "${desktops[*]}" | median)
  page=$(echo "${pages[*]}" | median)
  ratio=$(python3 -c "print(f'{$page / $desktop:.3f}')")
  printf '%-10s %-26s %-26s %8s   (medians; page threads: %s)\n' "$n" "$desktop (${desktops[*]})" "$page (${pages[*]})" "$ratio" "$threads"
done
