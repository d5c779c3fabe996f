#!/usr/bin/env bash
# Configures and builds everything, the tests and benchmarks included, into build/ (or the folder
# given as $1, extra CMake options after it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVARO_TESTS=ON -DKAVARO_BENCH=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
