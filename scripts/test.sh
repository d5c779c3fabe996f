#!/usr/bin/env bash
# Set up, build and run every test: unit, program and end-to-end, then the page's.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" test
"$root/scripts/build.sh"
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" -LE 'e2e|exhaustive'
# The package the first pass built is the one the end-to-end tests install.
ctest --output-on-failure -L e2e -FS deb
# The page: its build, its unit tests under node, the page in Chromium against this build.
"$root/scripts/test-web.sh"
