#!/usr/bin/env bash
# Unit and program tests under AddressSanitizer and UBSan; threaded tests under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" test
"$root/scripts/build.sh" "$root/build-asan" -DKAVARO_SANITIZE=address,undefined -DKAVARO_GUI=OFF -DKAVARO_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j"$(nproc)" -L 'unit|program')
"$root/scripts/build.sh" "$root/build-tsan" -DKAVARO_SANITIZE=thread -DKAVARO_GUI=OFF -DKAVARO_BENCH=OFF
(cd "$root/build-tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$(nproc)" -L 'threaded')
