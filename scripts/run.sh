#!/usr/bin/env bash
# Sets up what building and running need (Debian packages), builds the program alone and runs
# it: scripts/run.sh [OPTION]... passes the options on (scripts/run.sh --lang en).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
"$root/scripts/setup.sh" run
# A new build folder gets no tests or benchmarks (scripts/test.sh adds them); one that is
# there keeps its settings.
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVARO_TESTS=OFF -DKAVARO_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kavaro
exec "$build/kavaro" "$@"
