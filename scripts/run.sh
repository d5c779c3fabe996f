#!/usr/bin/env bash
# Set up, build and run Kavaro.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "$root/build/kavaro"
