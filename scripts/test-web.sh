#!/usr/bin/env bash
# The page's tests: builds the page (scripts/web.sh), runs the unit tests of the layers without a
# window under node, and drives the page in Debian's headless Chromium against the desktop's
# pictures (the desktop program is built too when missing). KAVARO_EXHAUSTIVE=1 adds the
# exhaustive checks of the force step's stages on the WebAssembly build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" web-test
"$root/scripts/web.sh"
# The desktop program and the X tool the comparison needs.
if [ ! -x "$root/build/kavaro" ] || [ ! -x "$root/build/tests/xtool" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" -j"$(nproc)" --target kavaro xtool
fi
cd "$root/build-web"
labels=web_unit
[ "${KAVARO_EXHAUSTIVE:-0}" = 1 ] && labels='web_unit|web_exhaustive'
ctest --output-on-failure -L "$labels"
# Playwright's driver from npm, as the lock file pins it; Chromium is Debian's.
(cd "$root/tests/web" && npm ci --no-audit --no-fund --silent)
bash "$root/tests/web/page_test.sh" "$root/build/kavaro" "$root/build/tests/xtool" "$root/build-web"
