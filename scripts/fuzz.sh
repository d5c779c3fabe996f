#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, 30).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
secs="${FUZZ_SECONDS:-30}"
"$root/scripts/setup.sh" test
CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DKAVARO_FUZZ=ON -DKAVARO_GUI=OFF \
  -DKAVARO_BENCH=OFF "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined"
shopt -s nullglob
for f in "$root"/build-fuzz/tests/*_fuzz; do
  echo "fuzzing $(basename "$f") for ${secs}s"
  corpus="$root/build-fuzz/corpus-$(basename "$f")"
  mkdir -p "$corpus"
  "$f" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
done
