#!/usr/bin/env bash
# Builds the Debian package: scripts/package.sh [BUILD_DIR] (default build/). Prints its path,
# BUILD_DIR/package/kavaro_<version>_<arch>.deb. Install it with: apt install ./kavaro_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/scripts/setup.sh" package
# A new build folder gets no tests or benchmarks; one that is there keeps its settings.
[ -f "$build/CPackConfig.cmake" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVARO_TESTS=OFF -DKAVARO_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kavaro >/dev/null
rm -f "$build"/package/kavaro_*.deb
(cd "$build" && cpack -G DEB >"$build/package.log" 2>&1) || { cat "$build/package.log" >&2; exit 1; }
ls "$build"/package/kavaro_*.deb
